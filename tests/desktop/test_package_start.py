"""The installed program as a desktop starts it: `cmake --install` staged into
a scratch folder, the staged program started from / on a private desktop; its
splash, its prompt, the class a dock matches against the desktop entry, and a
clean end when its last window is closed."""

from __future__ import annotations

import subprocess

import pytest

import look
import tracelines
from plim import Plim, describe_status
from test_pass import PROMPT, SIZES, close_box, handed_over
from x11 import wait_until

JOURNEY = True


@pytest.fixture(scope="module")
def plim(session, opts, outdir, tmp_path_factory):
    if not opts.stage_from:
        pytest.fail("--stage-from BUILD_DIR is needed")
    stage = tmp_path_factory.mktemp("stage")
    with open(outdir / "install.log", "w") as log:
        subprocess.run(["cmake", "--install", opts.stage_from, "--prefix", "/usr"], env={"DESTDIR": str(stage),
                       "PATH": "/usr/bin:/bin"}, stdout=log, stderr=subprocess.STDOUT, check=True, timeout=120)
    program = stage / "usr/bin/valdrynix-plim"
    assert program.is_file(), f"no program at {program}"
    p = Plim(session, str(program), outdir, cwd="/")
    yield p
    p.kill()


def test_the_staged_program_shows_its_splash(plim, session, outdir):
    plim.start()
    splash = wait_until(lambda: plim.ensure_alive() or plim.visible(), 15)
    assert splash, "no window within 15 s of the start"
    plim.splash = splash[0]
    look.has_size(plim, plim.splash, SIZES["splash"])
    look.borderless(plim, plim.splash)
    wm_class = plim.desk.prop(plim.splash, "WM_CLASS")
    assert wm_class and wm_class.split(b"\0")[1] == b"valdrynix-plim", \
        f"WM_CLASS is {wm_class!r}, not the desktop entry's StartupWMClass"
    session.desk.screenshot(outdir / "splash.png")


def test_then_the_prompt(plim, session, outdir):
    plim.prompt = plim.wait_titled(PROMPT, 10)
    handed_over(plim, plim.trace(tracelines.show("PreStart"))[0])
    look.wait_gone(plim, plim.splash)
    look.framed(plim, plim.prompt)
    session.desk.screenshot(outdir / "prompt.png")


def test_closing_the_last_window_ends_it(plim):
    close_box(plim, plim.prompt)
    splash = wait_until(lambda: not plim.titled(PROMPT) and plim.visible(), 3)
    assert splash, "Alt+F4 on the prompt did not bring the splash back"
    plim.desk.request_close(splash[0])
    assert plim.wait_exit(5), f"still running 5 s after closing the splash (visible: {plim.describe()})"
    assert plim.status == 0, describe_status(plim.status)
