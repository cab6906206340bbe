"""How to start the desktops most people run, headless, for xsession.Session:
GNOME's mutter (on Xvfb, or as its Wayland session with Xwayland), GNOME
Shell itself (its Wayland session, with its top bar), KDE's kwin (on Xvfb,
with breeze title bars, or as Plasma's Wayland session with Xwayland), KDE
Plasma (kwin with plasmashell's panel and task manager), Xfce's xfwm4 (its
compositor on), Xfce with its own panels (xfwm4 and xfce4-panel), GNOME
Flashback's panels (metacity and gnome-panel) and the tiling sway (headless,
Xwayland). Each of them gets a session bus of its own.
"""

from __future__ import annotations

import os
import pwd
import re
import shlex
import shutil
import subprocess
import time
from pathlib import Path

# Window managers that run on the session's Xvfb: the command, and whether it
# needs a session bus (mutter and kwin ask it for settings, xfwm4 for xfconfd,
# which the bus starts).
X_DESKTOPS: dict[str, tuple[list[str], bool]] = {
    "mutter": (["mutter", "--x11", "--replace", "--sm-disable"], True),
    "kwin": (["kwin_x11", "--replace"], True),
    "plasma": (["kwin_x11", "--replace"], True),
    "xfwm4": (["xfwm4", "--replace", "--sm-client-disable"], True),
    "xfce": (["xfwm4", "--replace", "--sm-client-disable"], True),
    "gnome-flashback": (["metacity", "--replace", "--sm-disable", "--compositor=none"], True),
}


# The edges where a real shell draws its panels: GNOME Shell's top bar,
# Plasma's default panel, Xfce's top panel (its dock at the bottom hides when
# a window comes near, and leaves the work area whole), GNOME Flashback's top
# and bottom panels. How high they are, the shell's struts tell
# (_NET_WORKAREA): 32 pixels of GNOME's bar, 40 or 44 of Plasma's, 27 of
# Xfce's, 24 each of GNOME Flashback's here.
SHELL_PANELS = {"gnome-shell": ("top",), "plasma": ("bottom",), "xfce": ("top",),
                "gnome-flashback": ("top", "bottom")}


def wait_work_area(session, edges: tuple[str, ...], log: str, seconds: float = 90) -> None:
    """Until the shell's panels have taken their room off the work area at
    each of their edges."""
    w, h = session.size

    def up():
        v = session.desk.ids(session.desk.root.id, "_NET_WORKAREA")
        if len(v) < 4:
            return False
        room = {"top": v[1], "bottom": h - v[1] - v[3], "left": v[0], "right": w - v[0] - v[2]}
        return all(room[e] > 0 for e in edges)
    end = time.monotonic() + seconds
    while not up():
        if time.monotonic() > end:
            raise TimeoutError(f"no panel along {' and '.join(edges)} within {seconds:.0f} s (see {log})")
        time.sleep(0.2)


def start_xfce_panel(session) -> None:
    """Xfce's panels as a fresh home gets them: the default layout that
    xfce4-panel would otherwise ask about in a dialog on its first start."""
    conf = Path(session.env["XDG_CONFIG_HOME"]) / "xfce4/xfconf/xfce-perchannel-xml"
    conf.mkdir(parents=True, exist_ok=True)
    shutil.copy("/etc/xdg/xfce4/panel/default.xml", conf / "xfce4-panel.xml")
    session._spawn(["xfce4-panel", "--disable-wm-check"], "xfce4-panel.log")
    wait_work_area(session, SHELL_PANELS["xfce"], "xfce4-panel.log")


def start_gnome_panel(session) -> None:
    """GNOME Flashback's panels in their default layout: a menu bar, a
    clock and a tray at the top, the window list at the bottom."""
    session._spawn(["gnome-panel", "--replace"], "gnome-panel.log")
    wait_work_area(session, SHELL_PANELS["gnome-flashback"], "gnome-panel.log")


def start_plasma_shell(session) -> None:
    """KDE Plasma on kwin: plasmashell with the default layout of a fresh
    home, a bottom panel with a task manager and a clock. It is up once the
    panel has taken its height off the work area (some 15 s here)."""
    # Plasma's clipboard manager (klipper, the clipboard applet of the panel's
    # tray) takes every text copied over at once and keeps it when its owner
    # goes, so that no clipboard is ever empty or without an owner there. The
    # pass pastes from such clipboards: an applet of the same name in the home
    # folder, which draws nothing, takes its place.
    applet = Path(session.env["HOME"]) / ".local/share/plasma/plasmoids/org.kde.plasma.clipboard"
    (applet / "contents/ui").mkdir(parents=True, exist_ok=True)
    shutil.copy("/usr/share/plasma/plasmoids/org.kde.plasma.clipboard/metadata.json", applet)
    (applet / "contents/ui/main.qml").write_text("import QtQuick 2.15\nItem {}\n")
    session._spawn(["plasmashell", "--no-respawn"], "plasmashell.log")
    wait_work_area(session, SHELL_PANELS["plasma"], "plasmashell.log")


# Shells that come up on the session's X server once its window manager is.
X_SHELLS = {"plasma": start_plasma_shell, "xfce": start_xfce_panel, "gnome-flashback": start_gnome_panel}


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


def _bus(session, address: str, log: str) -> None:
    p = subprocess.Popen(["dbus-daemon", "--session", "--nofork", "--nopidfile", f"--address={address}",
                          "--print-address=1"], stdout=subprocess.PIPE, stderr=session._log(log),
                         stdin=subprocess.DEVNULL, env=session.env, start_new_session=True)
    session.procs.append(p)
    if not p.stdout.readline().strip():
        raise TimeoutError(f"no bus daemon for {address} (see {log})")


def start_gnome_shell(session, size: tuple[int, int]) -> str:
    """GNOME as its users run it: GNOME Shell, which takes mutter's options,
    as a headless Wayland compositor with its top bar, overview and Alt+Tab,
    in a private runtime folder. It asks the login manager on the system bus;
    a second bus daemon stands in for that bus. Its Xwayland starts when the
    first X client comes; its log names the display, and the cookie is in the
    runtime folder. The overview it opens at start is closed, as a user's
    first click does."""
    run = Path(session.env["XDG_RUNTIME_DIR"])
    system = f"unix:path={run}/system_bus"
    _bus(session, system, "system-bus.log")
    # Root's session gets a banner "Logged in as a privileged user", which stays
    # until the user is seen active at the compositor (input through Xwayland's
    # XTEST is not): banners off, as a user may set them, so that nothing but
    # the top bar shares the top of the screen.
    keyfile = Path(session.env["XDG_CONFIG_HOME"]) / "glib-2.0" / "settings" / "keyfile"
    keyfile.parent.mkdir(parents=True, exist_ok=True)
    keyfile.write_text("[org/gnome/desktop/notifications]\nshow-banners=false\n")
    env = {**session.env, "DBUS_SYSTEM_BUS_ADDRESS": system, "XDG_SESSION_TYPE": "wayland",
           "GSETTINGS_BACKEND": "keyfile"}
    w, h = size
    shell = session._spawn(["gnome-shell", "--wayland", "--headless", "--virtual-monitor", f"{w}x{h}",
                            "--wayland-display", "vp-wayland", "--sm-disable"], "wm.log", env=env)
    log = session.outdir / "wm.log"
    end = time.monotonic() + 60
    display = None
    while display is None:
        m = re.search(r"Using public X11 display (:\d+)", log.read_text(errors="replace"))
        display = m.group(1) if m else None
        if display is None and shell.poll() is not None:
            raise TimeoutError(f"GNOME Shell ended ({shell.returncode})")
        if display is None and time.monotonic() > end:
            raise TimeoutError("no Xwayland display named within 60 s")
        time.sleep(0.1)
    # Root's clients may then connect without the cookie; the first one starts Xwayland.
    while True:
        cookies = sorted(run.glob(".mutter-Xwaylandauth.*"))
        if cookies and subprocess.run(["xhost", "+si:localuser:root"], env={**env, "DISPLAY": display,
                                      "XAUTHORITY": str(cookies[0])}, capture_output=True, timeout=20).returncode == 0:
            break
        if time.monotonic() > end:
            raise TimeoutError("GNOME Shell's Xwayland let no client in within 60 s")
        time.sleep(0.2)
    # The shell says it has started once its start-up is over (main.js, on
    # "startup-complete"), the overview it opens at start open by then; only
    # from then on is closing it final.
    while "GNOME Shell started at" not in log.read_text(errors="replace"):
        if shell.poll() is not None or time.monotonic() > end:
            raise TimeoutError("GNOME Shell did not say it had started within 60 s (see wm.log)")
        time.sleep(0.1)
    bus = GnomeShell(session.env["DBUS_SESSION_BUS_ADDRESS"])
    while bus.overview_active():
        bus.close_overview()
        if time.monotonic() > end:
            raise TimeoutError("GNOME Shell's overview stayed open")
        time.sleep(0.2)
    return display


class GnomeShell:
    """What GNOME Shell tells on its session bus: the whole screen as the user
    sees it, top bar included, and its own list of windows (the one its
    overview and Alt+Tab show). It answers only callers that own a name it
    allows; this one owns that of GNOME's desktop portal."""

    ALLOWED = "org.freedesktop.impl.portal.desktop.gnome"

    def __init__(self, address: str):
        import dbus
        self.bus = dbus.bus.BusConnection(address)
        self.bus.request_name(self.ALLOWED)
        self.shell = self.bus.get_object("org.gnome.Shell", "/org/gnome/Shell")

    def overview_active(self) -> bool:
        return bool(self.shell.Get("org.gnome.Shell", "OverviewActive",
                                   dbus_interface="org.freedesktop.DBus.Properties"))

    def close_overview(self) -> None:
        import dbus
        self.shell.Set("org.gnome.Shell", "OverviewActive", dbus.Boolean(False),
                       dbus_interface="org.freedesktop.DBus.Properties")

    def _call(self, what):
        # The shell learns who owns the allowed name a moment after it is taken.
        import dbus
        end = time.monotonic() + 10
        while True:
            try:
                return what()
            except dbus.exceptions.DBusException as e:
                if "AccessDenied" not in e.get_dbus_name() or time.monotonic() > end:
                    raise
                time.sleep(0.1)

    def screenshot(self, path: Path) -> None:
        obj = self.bus.get_object("org.gnome.Shell.Screenshot", "/org/gnome/Shell/Screenshot")
        ok, _ = self._call(lambda: obj.Screenshot(False, False, str(path),
                                                  dbus_interface="org.gnome.Shell.Screenshot"))
        if not ok:
            raise RuntimeError("GNOME Shell took no screenshot")

    def windows(self) -> list[dict]:
        """The windows the shell lists for its overview and Alt+Tab."""
        obj = self.bus.get_object("org.gnome.Shell", "/org/gnome/Shell/Introspect")
        got = self._call(lambda: obj.GetWindows(dbus_interface="org.gnome.Shell.Introspect"))
        return [{str(k): (str(v) if isinstance(v, str) else v) for k, v in props.items()} for props in got.values()]


# Wayland compositors with their own Xwayland, in place of Xvfb.
WAYLAND_DESKTOPS = {
    "gnome-shell": start_gnome_shell,
    "mutter-wayland": start_mutter_wayland,
    "kwin-wayland": start_kwin_wayland,
    "sway": start_sway,
}
