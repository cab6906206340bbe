"""The Debian package built twice by reprotest, Debian's own check of reproducible builds.

reprotest copies the sources twice and runs ./package.sh in each copy: once as the control, once
with the time, the time zone, the locale, the umask, the build path, HOME, PATH, the environment,
the number of CPUs, address-space randomisation, the kernel's name, the host and domain names and
the order in which folders list their files all changed. The two packages must be the same to the
byte; where they are not, diffoscope says where, and the test shows it.

Run by CTest (tests/package/CMakeLists.txt) as
    /usr/bin/python3 -m pytest -q tests/package/test_reprotest.py
with the environment VP_SOURCE_DIR.
"""

import os
import shutil
import subprocess
from pathlib import Path

SRC = Path(os.environ.get("VP_SOURCE_DIR", ".")).resolve()

# Every variation reprotest has but user_group, the one that does not work on our machines:
# it builds as another account through sudo, and needs that account and its sudo rule made
# first (--variations=user_group.available+=USER:GROUP). The others work as root here:
# domain_host and kernel through `unshare -r --uts` and setarch, fileordering through
# disorderfs on /dev/fuse, and time through faketime.
VARIATIONS = "+all,-user_group"

# ccache is off: a second build served from the objects of the first would look the same
# whether it is or not.
BUILD = "CCACHE_DISABLE=1 bash package.sh"
# A fresh clone's files carry the time of the checkout, which differs from one clone to the next;
# reprotest's copies keep the times of the files they copy. So before each build its sources get
# the time it starts at, as a checkout of its own would have. (Outside the build's faked clock:
# sources dated in the build's future would have CMake regenerate the build without end.)
BEFORE_EACH = "find . -path ./.git -prune -o -type f -exec touch {} +"


def sources(work):
    """The files of the clone without its build folders: what git tracks or would track, and .git."""
    listed = subprocess.run(["git", "-C", SRC, "ls-files", "-z", "--cached", "--others", "--exclude-standard"],
                            capture_output=True, check=True).stdout.decode().split("\0")
    tree = work / "src"
    for name in filter(None, listed):
        if (SRC / name).is_file():  # a file deleted but not yet committed is listed and not there
            (tree / name).parent.mkdir(parents=True, exist_ok=True)
            shutil.copy2(SRC / name, tree / name, follow_symlinks=False)
    # package.sh dates the package by the last commit; in a worktree .git is a file naming the real one.
    git = SRC / ".git"
    if git.is_dir():
        shutil.copytree(git, tree / ".git", symlinks=True)
    else:
        shutil.copy2(git, tree / ".git")
    return tree


def test_reprotest_finds_the_two_varied_builds_of_the_package_identical(tmp_path):
    missing = [t for t in ("reprotest", "diffoscope", "faketime", "disorderfs", "git") if shutil.which(t) is None]
    assert not missing, f"missing: {' '.join(missing)} (scripts/setup.sh --tests installs them)"
    tree = sources(tmp_path)
    store = tmp_path / "reprotest"
    p = subprocess.run(["reprotest", f"--variations={VARIATIONS}", f"--store-dir={store}", "--source-root", tree,
                        f"--testbed-build-pre={BEFORE_EACH}", BUILD, "build-package/*.deb"],
                       capture_output=True, text=True, cwd=tmp_path, timeout=1500)
    said = p.stdout + p.stderr
    diff = store / "experiment-1.diffoscope.out"
    shown = diff.read_text(errors="replace")[:20000] if diff.is_file() else said[-20000:]
    assert p.returncode == 0 and "Reproduction successful" in said, f"status {p.returncode}:\n{shown}"
    # What it found the same is the package, not an empty list (it keeps the control's files, and
    # lists them with their checksums, once it has found the experiment's to be the same).
    arch = subprocess.run(["dpkg", "--print-architecture"], capture_output=True, text=True, check=True).stdout.strip()
    compared = [line.split(None, 1)[1] for line in (store / "SHA256SUMS").read_text().splitlines()]
    assert compared == [f"./build-package/valdrynix-plim_1.0_{arch}.deb"], compared
    assert (store / "control/source-root" / compared[0]).stat().st_size > 100_000, "the package is nearly empty"
