"""How to start the desktops most people run, headless, for xsession.Session:
GNOME's mutter (on Xvfb, or as its Wayland session with Xwayland), KDE's kwin
(on Xvfb, with breeze title bars, or as Plasma's Wayland session with
Xwayland), Xfce's xfwm4 (its compositor on) and the tiling sway (headless,
Xwayland). Each of them gets a session bus of its own.
"""

from __future__ import annotations

import os
import pwd
import shlex
import shutil
import time
from pathlib import Path

# Window managers that run on the session's Xvfb: the command, and whether it
# needs a session bus (mutter and kwin ask it for settings, xfwm4 for xfconfd,
# which the bus starts).
X_DESKTOPS: dict[str, tuple[list[str], bool]] = {
    "mutter": (["mutter", "--x11", "--replace", "--sm-disable"], True),
    "kwin": (["kwin_x11", "--replace"], True),
    "xfwm4": (["xfwm4", "--replace", "--sm-client-disable"], True),
}


def _wait_env(path: Path, seconds: float = 30) -> dict[str, str]:
    end = time.monotonic() + seconds
    while time.monotonic() < end:
        if path.exists():
            env = {}
            for line in path.read_text().splitlines():
                k, _, v = line.partition("=")
                env[k] = v
            return env
        time.sleep(0.05)
    raise TimeoutError(f"no Xwayland within {seconds} s")


def _report_env(path: Path) -> str:
    # What the compositor's child sees (DISPLAY of its Xwayland, XAUTHORITY);
    # root's clients may then connect without the cookie.
    return f"xhost +si:localuser:root >/dev/null 2>&1; env > {path}.tmp && mv {path}.tmp {path}"


def start_mutter_wayland(session, size: tuple[int, int]) -> str:
    """A GNOME session as its users run it: mutter as a headless Wayland
    compositor, which starts Xwayland and runs a child with DISPLAY set. Its
    virtual monitors are real ones to Xwayland and the window manager, side
    by side from the left in the order given."""
    envfile = session.dir / "xwayland.env"
    monitors = [f"{m.w}x{m.h}" for m in session.monitors] if session.monitors else ["%dx%d" % size]
    session._spawn(["mutter", "--wayland", "--headless", *[a for m in monitors for a in ("--virtual-monitor", m)],
                    "--wayland-display", "vp-wayland", "--sm-disable", "--",
                    "sh", "-c", _report_env(envfile) + " && exec sleep 1000000"], "wm.log")
    return _wait_env(envfile)["DISPLAY"]


def start_sway(session, size: tuple[int, int]) -> str:
    """sway refuses to run as root: it runs as nobody, with a runtime folder of
    its own, on the headless backend with the software renderer."""
    nobody = pwd.getpwnam("nobody")
    run = session.dir / "sway-runtime"
    run.mkdir(mode=0o700)
    os.chown(run, nobody.pw_uid, nobody.pw_gid)
    session.dir.chmod(0o755)
    envfile = session.dir / "xwayland.env"
    conf = session.dir / "sway.conf"
    w, h = size
    conf.write_text("xwayland enable\n"
                    f"output HEADLESS-1 resolution {w}x{h}\n"
                    f"exec sh -c '{_report_env(envfile)}'\n")
    # nobody writes the file into a folder of root's: a folder it may write to.
    envfile = run / "xwayland.env"
    conf.write_text(conf.read_text().replace(str(session.dir / "xwayland.env"), str(envfile)))
    env = {"PATH": os.environ["PATH"], "XDG_RUNTIME_DIR": str(run), "HOME": str(run),
           "WLR_BACKENDS": "headless", "WLR_LIBINPUT_NO_DEVICES": "1", "WLR_RENDERER": "pixman",
           "WLR_HEADLESS_OUTPUTS": "1"}
    session._spawn(["setpriv", f"--reuid={nobody.pw_uid}", f"--regid={nobody.pw_gid}", "--clear-groups",
                    "sway", "-c", str(conf)], "wm.log", env=env)
    return _wait_env(envfile)["DISPLAY"]


def start_kwin_wayland(session, size: tuple[int, int]) -> str:
    """A KDE Plasma session as its users run it: kwin as a Wayland compositor
    on a virtual output, which starts a rootless Xwayland and runs a child
    there. The installed kwin_wayland carries a file capability that root may
    not be granted here ("Operation not permitted"); a plain copy of it in the
    session's folder starts. kwin splits each of its arguments after the
    options into a program and its arguments, as a shell would, and starts it
    detached, out of the session's reach: the child reports and ends, and kwin
    goes on without it."""
    kwin = session.dir / "kwin_wayland"
    shutil.copy(shutil.which("kwin_wayland") or "/usr/bin/kwin_wayland", kwin)
    envfile = session.dir / "xwayland.env"
    envfile.unlink(missing_ok=True)  # from an attempt that failed
    w, h = size
    child = shlex.join(["sh", "-c", _report_env(envfile)])
    session._spawn([str(kwin), "--virtual", "--xwayland", "--socket", "vp-wayland", "--width", str(w),
                    "--height", str(h), "--no-lockscreen", child], "wm.log")
    return _wait_env(envfile)["DISPLAY"]


# Wayland compositors with their own Xwayland, in place of Xvfb.
WAYLAND_DESKTOPS = {
    "mutter-wayland": start_mutter_wayland,
    "kwin-wayland": start_kwin_wayland,
    "sway": start_sway,
}
