#!/usr/bin/python3
"""The desktops people use, started headless for a test: how to bring up each
window manager (on Xvfb, or as a Wayland compositor with its own Xwayland), a
session bus of its own, a panel with a strut, two monitors or a 2x screen.

    desktops.py DESKTOP [--panel top:32|bottom:44] [--monitors two]
                [--scale 2] [--keep] -- COMMAND [ARGS...]

runs COMMAND with DISPLAY (and the bus) of the desktop and ends everything it
started. DESKTOP is one of: openbox, metacity, mutter (X11 on Xvfb),
mutter-wayland (a headless GNOME session; the program runs on its Xwayland),
kwin (kwin_x11 on Xvfb), xfwm4 (its compositor on), sway (headless, Xwayland).

`Desktop` is the same as a context manager for a Python driver:

    with Desktop("kwin", panel=("bottom", 44)) as d:
        subprocess.run(cmd, env=d.env)
"""

import argparse
import os
import pwd
import shutil
import signal
import subprocess
import sys
import tempfile
import time

PYTHON = "/usr/bin/python3"  # Debian's, which has python3-xlib
HERE = os.path.abspath(__file__)

X_DESKTOPS = {
    # name: (command, needs a session bus)
    "openbox": (["openbox", "--sm-disable"], False),
    "metacity": (["metacity", "--replace", "--sm-disable", "--compositor=none"], False),
    "mutter": (["mutter", "--x11", "--replace", "--sm-disable"], True),
    "kwin": (["kwin_x11", "--replace"], True),
    "xfwm4": (["xfwm4", "--sm-client-disable", "--replace"], True),
}
WAYLAND_DESKTOPS = ("mutter-wayland", "sway")
DESKTOPS = tuple(X_DESKTOPS) + WAYLAND_DESKTOPS


def wait_for(test, seconds, what):
    end = time.monotonic() + seconds
    while time.monotonic() < end:
        if test():
            return
        time.sleep(0.05)
    raise RuntimeError(f"timed out waiting for {what}")


def wm_ready(env):
    """A window manager is ready once _NET_SUPPORTING_WM_CHECK on the root
    names a window that names itself."""
    def prop(args):
        r = subprocess.run(["xprop"] + args + ["_NET_SUPPORTING_WM_CHECK"], env=env,
                           capture_output=True, text=True, timeout=5)
        parts = r.stdout.split("#")
        return parts[1].strip() if r.returncode == 0 and len(parts) > 1 else None
    try:
        root = prop(["-root"])
        return root is not None and prop(["-id", root]) == root
    except subprocess.TimeoutExpired:
        return False


class Desktop:
    def __init__(self, name, panel=None, monitors="one", scale=1, keep=False):
        if name not in DESKTOPS:
            raise ValueError(f"unknown desktop {name!r}; one of {', '.join(DESKTOPS)}")
        self.name, self.panel, self.monitors, self.scale, self.keep = name, panel, monitors, scale, keep
        self.procs = []
        self.dir = tempfile.mkdtemp(prefix="vp-desktop-")
        os.chmod(self.dir, 0o755)
        self.env = dict(os.environ)
        for k in ("DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM", "XAUTHORITY"):
            self.env.pop(k, None)
        self.env["XDG_RUNTIME_DIR"] = os.path.join(self.dir, "runtime")
        os.makedirs(self.env["XDG_RUNTIME_DIR"], mode=0o700)
        self.env["HOME"] = self.dir
        self.env["XDG_CONFIG_HOME"] = os.path.join(self.dir, "config")

    # ---------------------------------------------------------------- pieces
    def start(self, cmd, env=None, user=None, log=None):
        out = open(os.path.join(self.dir, (log or os.path.basename(cmd[0])) + ".log"), "ab")
        pre = []
        if user is not None:
            pre = ["setpriv", f"--reuid={user}", f"--regid={user}", "--clear-groups"]
        p = subprocess.Popen(pre + cmd, env=env or self.env, stdout=out, stderr=subprocess.STDOUT,
                             stdin=subprocess.DEVNULL, start_new_session=True)
        self.procs.append(p)
        return p

    def bus(self):
        r = subprocess.run(["dbus-daemon", "--session", "--fork", "--print-address=1", "--print-pid=1"],
                           env=self.env, capture_output=True, text=True, check=True)
        address, pid = r.stdout.split()[:2]
        self.bus_pid = int(pid)
        self.env["DBUS_SESSION_BUS_ADDRESS"] = address

    def xvfb(self):
        size = "2304x1024x24" if self.monitors == "two" else ("2048x1536x24" if self.scale == 2 else "1024x768x24")
        rd, wr = os.pipe()
        p = subprocess.Popen(["Xvfb", "-noreset", "-displayfd", str(wr), "-screen", "0", size, "-dpi", "96",
                              "-nolisten", "tcp"], pass_fds=(wr,), stdout=subprocess.DEVNULL,
                             stderr=open(os.path.join(self.dir, "xvfb.log"), "ab"), start_new_session=True)
        os.close(wr)
        self.procs.append(p)
        number = b""
        with os.fdopen(rd, "rb") as f:
            number = f.readline().strip()
        if not number:
            raise RuntimeError("Xvfb did not start")
        self.env["DISPLAY"] = ":" + number.decode()

    def split_monitors(self):
        if self.monitors != "two":
            return
        for args in (["--setmonitor", "L", "1024/271x768/203+0+0", "screen"],
                     ["--setmonitor", "R", "1280/339x1024/271+1024+0", "none"]):
            subprocess.run(["xrandr"] + args, env=self.env, check=True)

    def start_panel(self):
        if self.panel:
            edge, size = self.panel
            self.start([PYTHON, HERE, "--be-panel", f"{edge}:{size}"], log="panel")
            wait_for(self.panel_mapped, 10, "the panel")
            time.sleep(0.3)  # the window manager takes the strut off its work area

    def panel_mapped(self):
        r = subprocess.run(["xwininfo", "-name", "panel"], env=self.env, capture_output=True, text=True)
        return r.returncode == 0 and "IsViewable" in r.stdout

    def wait_env_file(self, path):
        wait_for(lambda: os.path.exists(path) and os.path.getsize(path) > 0, 30, path)
        time.sleep(0.2)
        env = {}
        with open(path) as f:
            for line in f:
                k, _, v = line.rstrip("\n").partition("=")
                env[k] = v
        return env

    # ---------------------------------------------------------------- desktops
    def __enter__(self):
        try:
            if self.name in X_DESKTOPS:
                self.xvfb()
                self.split_monitors()
                cmd, bus = X_DESKTOPS[self.name]
                if bus:
                    self.bus()
                else:
                    self.env["DBUS_SESSION_BUS_ADDRESS"] = "disabled:"
                self.start(cmd)
                wait_for(lambda: wm_ready(self.env), 30, self.name)
            elif self.name == "mutter-wayland":
                self.bus()
                envfile = os.path.join(self.dir, "xwayland.env")
                helper = ["sh", "-c", f'env > {envfile}.tmp && mv {envfile}.tmp {envfile} && exec sleep 100000']
                self.start(["mutter", "--wayland", "--headless", "--virtual-monitor", "1024x768",
                            "--wayland-display", "vp-mutter", "--sm-disable", "--"] + helper, log="mutter")
                inner = self.wait_env_file(envfile)
                self.env["DISPLAY"] = inner["DISPLAY"]
                if "XAUTHORITY" in inner:
                    self.env["XAUTHORITY"] = inner["XAUTHORITY"]
                wait_for(lambda: wm_ready(self.env), 30, "mutter's Xwayland")
            elif self.name == "sway":
                self.sway()
            self.start_panel()
            if self.scale == 2 and self.monitors != "two":
                subprocess.run(["xrdb", "-merge"], input="Xft.dpi: 192\n", text=True, env=self.env, check=True)
            return self
        except BaseException:
            self.__exit__(None, None, None)
            raise

    def sway(self):
        # sway runs as nobody (it refuses root), with a runtime folder of its own,
        # and lets root's clients onto its Xwayland.
        nobody = pwd.getpwnam("nobody")
        run = os.path.join(self.dir, "sway-runtime")
        os.makedirs(run, mode=0o700)
        os.chown(run, nobody.pw_uid, nobody.pw_gid)
        envfile = os.path.join(self.dir, "xwayland.env")
        conf = os.path.join(self.dir, "sway.conf")
        with open(conf, "w") as f:
            f.write("xwayland enable\n"
                    "output HEADLESS-1 resolution 1024x768\n"
                    f"exec sh -c 'xhost +si:localuser:root; env > {envfile}.tmp; mv {envfile}.tmp {envfile}'\n")
        os.chmod(self.dir, 0o777)
        env = {"PATH": os.environ["PATH"], "XDG_RUNTIME_DIR": run, "HOME": run,
               "WLR_BACKENDS": "headless", "WLR_LIBINPUT_NO_DEVICES": "1", "WLR_RENDERER": "pixman",
               "WLR_HEADLESS_OUTPUTS": "1"}
        self.start(["sway", "-c", conf], env=env, user=nobody.pw_uid, log="sway")
        inner = self.wait_env_file(envfile)
        self.env["DISPLAY"] = inner["DISPLAY"]
        self.env["DBUS_SESSION_BUS_ADDRESS"] = "disabled:"
        wait_for(lambda: wm_ready(self.env), 30, "sway's Xwayland")

    def __exit__(self, *exc):
        for p in reversed(self.procs):
            if p.poll() is None:
                try:
                    os.killpg(p.pid, signal.SIGTERM)
                except ProcessLookupError:
                    pass
                try:
                    p.wait(5)
                except subprocess.TimeoutExpired:
                    os.killpg(p.pid, signal.SIGKILL)
                    p.wait()
        if getattr(self, "bus_pid", None):
            try:
                os.kill(self.bus_pid, signal.SIGTERM)
            except ProcessLookupError:
                pass
        if not self.keep:
            shutil.rmtree(self.dir, ignore_errors=True)
        return False


def be_panel(spec):
    """A dock along one edge with a strut, as GNOME's top bar and KDE's panel."""
    from Xlib import X, Xatom, display
    edge, size = spec.split(":")
    size = int(size)
    d = display.Display()
    s = d.screen()
    w_, h_ = s.width_in_pixels, s.height_in_pixels
    y = 0 if edge == "top" else h_ - size
    win = s.root.create_window(0, y, w_, size, 0, s.root_depth, X.InputOutput, X.CopyFromParent,
                               background_pixel=0x303030)
    atom = d.intern_atom
    win.change_property(atom("_NET_WM_WINDOW_TYPE"), Xatom.ATOM, 32, [atom("_NET_WM_WINDOW_TYPE_DOCK")])
    strut = [0, 0, size, 0, 0, 0, 0, 0, 0, w_ - 1, 0, 0] if edge == "top" else \
        [0, 0, 0, size, 0, 0, 0, 0, 0, 0, 0, w_ - 1]
    win.change_property(atom("_NET_WM_STRUT_PARTIAL"), Xatom.CARDINAL, 32, strut)
    win.change_property(atom("_NET_WM_STRUT"), Xatom.CARDINAL, 32, strut[:4])
    win.set_wm_name("panel")
    win.map()
    d.flush()
    while True:
        d.next_event()


def main():
    if len(sys.argv) == 3 and sys.argv[1] == "--be-panel":
        be_panel(sys.argv[2])
        return 0
    ap = argparse.ArgumentParser()
    ap.add_argument("desktop", choices=DESKTOPS)
    ap.add_argument("--panel", help="top:32 or bottom:44")
    ap.add_argument("--monitors", default="one", choices=("one", "two"))
    ap.add_argument("--scale", type=int, default=1, choices=(1, 2))
    ap.add_argument("--keep", action="store_true", help="keep the scratch folder (logs)")
    argv = sys.argv[1:]
    cmd = argv[argv.index("--") + 1:] if "--" in argv else []
    a = ap.parse_args(argv[:argv.index("--")] if "--" in argv else argv)
    panel = None
    if a.panel:
        edge, size = a.panel.split(":")
        panel = (edge, int(size))
    with Desktop(a.desktop, panel=panel, monitors=a.monitors, scale=a.scale, keep=a.keep) as d:
        if a.keep:
            print(f"desktop folder: {d.dir}", file=sys.stderr)
        env = dict(d.env, QT_QPA_PLATFORM="xcb")
        return subprocess.run(cmd or ["true"], env=env).returncode


if __name__ == "__main__":
    sys.exit(main())
