"""A private desktop for the tests and the benchmarks: an X server of its own
(Xvfb), a window manager, and on request a panel, several monitors and a
session bus. Used as a context manager, or from the command line to run one
program inside it:

    xsession.py [--wm openbox] [--panel top:32] [--screen 2304x1024]
                [--monitors 1024x768+0+0,1280x1024+1024+0] [--bus] [--dpi 192]
                [--orca] -- PROGRAM [ARGS...]

With --orca (which brings a session bus) the screen reader runs on the
desktop: Orca with a private preferences folder and its debug log, speaking
through a speech-dispatcher of the session's own whose dummy module makes no
sound. Every `SPEECH OUTPUT: '...'` line of the log (orca-debug.log in the
output folder) is what Orca says.
"""

from __future__ import annotations

import argparse
import os
import re
import shutil
import signal
import subprocess
import sys
import tempfile
import time
from pathlib import Path

from desktops import WAYLAND_DESKTOPS, X_DESKTOPS, X_SHELLS
from x11 import Desk, Rect, wait_until

# How each window manager is started on an X display; each runs without a
# session bus unless the session has one, so that D-Bus starts no bus daemon
# of its own that would outlive the session.
WINDOW_MANAGERS = {
    "openbox": ["openbox", "--sm-disable"],
    "metacity": ["metacity", "--replace", "--sm-disable", "--compositor=none"],
    **{name: cmd for name, (cmd, _) in X_DESKTOPS.items()},
}
# Desktops that cannot do without a session bus (the Wayland ones included).
NEEDS_BUS = {name for name, (_, bus) in X_DESKTOPS.items() if bus} | set(WAYLAND_DESKTOPS)


class SessionError(RuntimeError):
    pass


# speech-dispatcher of the session's own: the dummy module only, its sound
# sent to libao's null driver (no sound card needed; libao reads ~/.libao).
SPEECHD_CONF = """LogLevel 3
DefaultModule dummy
AddModule "dummy" "sd_dummy" ""
AudioOutputMethod "libao"
DefaultLanguage "cs"
"""
# Loaded by Orca from its preferences folder once its debug log is open: the
# log written line by line, so that what Orca says can be read as it says it.
ORCA_CUSTOMIZATIONS = """import orca.debug
if orca.debug.debugFile:
    orca.debug.debugFile.reconfigure(line_buffering=True)
"""
# What Orca says, in its debug log: "HH:MM:SS.micro - SPEECH OUTPUT: 'text'",
# followed by the voice it was said in, a dictionary of its own (Orca 48's
# nests one: {'established': False, 'family': {'name': None, ...}}).
SPEECH_LINE = re.compile(r"^(\d+):(\d+):([\d.]+) - SPEECH OUTPUT: '(.*?)'(?: ?\{(?:[^{}]|\{[^{}]*\})*\})?$",
                         re.M | re.S)


class Session:
    def __init__(self, wm: str = "openbox", screen: tuple[int, int] = (1024, 768), panel: str | None = None,
                 monitors: list[Rect] | None = None, bus: bool = False, outdir: Path | None = None,
                 dpi: int = 96, screen_reader: bool = False):
        if wm not in WINDOW_MANAGERS and wm not in WAYLAND_DESKTOPS and wm != "none":
            known = ", ".join([*WINDOW_MANAGERS, *WAYLAND_DESKTOPS])
            raise SessionError(f"unknown window manager {wm!r} (known: {known}, none)")
        if dpi != 96 and wm in WAYLAND_DESKTOPS:
            raise SessionError(f"{wm} scales its outputs itself; a dpi is for a desktop on Xvfb")
        self.wm, self.size, self.panel, self.monitors, self.dpi = wm, screen, panel, monitors, dpi
        self.screen_reader = screen_reader
        self.want_bus = bus or screen_reader or wm in NEEDS_BUS
        self.dir = Path(tempfile.mkdtemp(prefix="vp-session."))
        self.outdir = Path(outdir) if outdir else self.dir
        self.outdir.mkdir(parents=True, exist_ok=True)
        self.procs: list[subprocess.Popen] = []
        self.display = ""
        self.desk: Desk | None = None
        self.env: dict[str, str] = {}

    # ---- set-up

    def __enter__(self) -> "Session":
        try:
            for attempt in range(3):
                try:
                    self._start()
                    return self
                except SessionError as e:
                    print(f"# desktop set-up failed ({e}); trying again", file=sys.stderr)
                    self._stop_processes()
            raise SessionError(f"no desktop after three attempts; logs in {self.outdir}")
        except BaseException:
            self.__exit__(None, None, None)
            raise

    def _log(self, name: str):
        return open(self.outdir / name, "ab")

    def _spawn(self, args: list[str], log: str, env: dict | None = None, **kw) -> subprocess.Popen:
        p = subprocess.Popen(args, stdin=subprocess.DEVNULL, stdout=self._log(log), stderr=subprocess.STDOUT,
                             env=env or self.env, start_new_session=True, **kw)
        self.procs.append(p)
        return p

    def _start(self) -> None:
        home = self.dir / "home"
        runtime = self.dir / "runtime"
        for d in (home, runtime, self.dir / "config", self.dir / "cache"):
            d.mkdir(exist_ok=True)
        runtime.chmod(0o700)
        # What a desktop session gives its programs; without a runtime folder
        # Qt makes one in /tmp, and the window manager would write into the real home.
        keep = {k: v for k, v in os.environ.items()
                if not k.startswith(("QT_", "DISPLAY", "WAYLAND_", "DBUS_", "XDG_", "XAUTHORITY"))}
        self.env = {**keep, "HOME": str(home), "XDG_RUNTIME_DIR": str(runtime),
                    "XDG_CONFIG_HOME": str(self.dir / "config"), "XDG_CACHE_HOME": str(self.dir / "cache"),
                    "LC_ALL": "C.UTF-8", "DBUS_SESSION_BUS_ADDRESS": "disabled:"}
        # The desktop by its name here, and the monitors promised to what runs
        # here, which fails rather than skips without them.
        self.env["VP_TEST_DESKTOP"] = self.wm
        self.env.pop("VP_TEST_MONITORS", None)
        if self.monitors:
            self.env["VP_TEST_MONITORS"] = ",".join(f"{m.w}x{m.h}+{m.x}+{m.y}" for m in self.monitors)
        if self.wm in WAYLAND_DESKTOPS:
            self._start_bus()
            self._start_wayland()
        else:
            self._start_x()
        if self.monitors and self.wm not in WAYLAND_DESKTOPS:
            self._split_monitors()
        if self.dpi != 96:
            # A scaled X11 desktop as GNOME and KDE set one up: the resolution
            # in Xft.dpi (192 for twice the size), loaded before anything starts.
            self.desk.set_resources(f"Xft.dpi:\t{self.dpi}\n")
        if self.want_bus and self.wm not in WAYLAND_DESKTOPS:
            self._start_bus()
        if self.wm in WAYLAND_DESKTOPS:
            if not wait_until(self.desk.wm_name, 20):
                raise SessionError(f"{self.wm}'s Xwayland has no window manager within 20 s")
        elif self.wm != "none":
            self._spawn(WINDOW_MANAGERS[self.wm], "wm.log")
            if not wait_until(self.desk.wm_name, 20):
                raise SessionError(f"{self.wm} did not become ready within 20 s")
            if self.wm in X_SHELLS:
                try:
                    X_SHELLS[self.wm](self)
                except TimeoutError as e:
                    raise SessionError(f"{self.wm}: {e}") from e
        if self.panel:
            edge, size = self.panel.split(":")
            self.desk.dock(edge, int(size))
            self.desk.d.sync()
        if self.screen_reader:
            self._start_screen_reader()

    def _start_x(self) -> None:
        # -displayfd: the server picks a free display itself and names it only
        # once it is ready, so two sessions can never share one. -noreset: it
        # keeps going when its last client leaves (a readiness probe is one).
        r, w = os.pipe()
        w_, h_ = self.size
        self._spawn(["Xvfb", "-displayfd", str(w), "-noreset", "-nolisten", "tcp", "-dpi", "96",
                     "-screen", "0", f"{w_}x{h_}x24"], "xvfb.log", pass_fds=(w,))
        os.close(w)
        number = b""
        end = time.monotonic() + 20
        os.set_blocking(r, False)
        while not number.endswith(b"\n") and time.monotonic() < end:
            try:
                chunk = os.read(r, 16)
                if not chunk:
                    break
                number += chunk
            except BlockingIOError:
                time.sleep(0.02)
        os.close(r)
        if not number.strip().isdigit():
            raise SessionError("Xvfb did not start (see xvfb.log)")
        self.display = ":" + number.strip().decode()
        self.env["DISPLAY"] = self.display
        self.desk = Desk(self.display)

    def _start_wayland(self) -> None:
        # The compositor starts its own Xwayland; the programs go there.
        try:
            self.display = WAYLAND_DESKTOPS[self.wm](self, self.size)
        except TimeoutError as e:
            raise SessionError(f"{self.wm}: {e} (see wm.log)") from e
        self.env["DISPLAY"] = self.display
        self.desk = Desk(self.display)

    def _split_monitors(self) -> None:
        for i, m in enumerate(self.monitors):
            mm = f"{m.w}/{m.w * 254 // 960}x{m.h}/{m.h * 254 // 960}+{m.x}+{m.y}"
            subprocess.run(["xrandr", "--setmonitor", f"M{i}", mm, "screen" if i == 0 else "none"],
                           env=self.env, check=True, capture_output=True, timeout=20)

    def _start_bus(self) -> None:
        # Where a desktop keeps it: in the runtime folder.
        address = f"unix:path={self.env['XDG_RUNTIME_DIR']}/bus"
        p = subprocess.Popen(["dbus-daemon", "--session", "--nofork", "--nopidfile", f"--address={address}",
                              "--print-address=1"], stdout=subprocess.PIPE, stderr=self._log("dbus.log"),
                             stdin=subprocess.DEVNULL, env=self.env, start_new_session=True)
        self.procs.append(p)
        line = p.stdout.readline().decode().strip()
        if not line:
            raise SessionError("the session bus did not start (see dbus.log)")
        self.env["DBUS_SESSION_BUS_ADDRESS"] = line

    def _start_screen_reader(self) -> None:
        # Settings in a file of the private home, shared by every program of
        # the session (the memory backend would keep them per process).
        self.env["GSETTINGS_BACKEND"] = "keyfile"
        subprocess.run(["gsettings", "set", "org.gnome.desktop.a11y.applications", "screen-reader-enabled", "true"],
                       env=self.env, check=True, capture_output=True, timeout=20)
        conf = self.dir / "speechd"
        conf.mkdir(exist_ok=True)
        (conf / "speechd.conf").write_text(SPEECHD_CONF)
        (Path(self.env["HOME"]) / ".libao").write_text("default_driver=null\n")
        socket = self.dir / "speechd.sock"
        self._spawn(["speech-dispatcher", "--run-single", "--timeout", "0", "--config-dir", str(conf),
                     "--socket-path", str(socket), "--communication-method", "unix_socket",
                     "--log-dir", str(self.outdir), "--pid-file", str(self.dir / "speechd.pid")], "speechd.log")
        if not wait_until(socket.exists, 20):
            raise SessionError("speech-dispatcher made no socket within 20 s (see speechd.log)")
        self.env["SPEECHD_ADDRESS"] = f"unix_socket:{socket}"
        prefs = self.dir / "orca"
        prefs.mkdir(exist_ok=True)
        (prefs / "orca-customizations.py").write_text(ORCA_CUSTOMIZATIONS)
        self.orca_log = self.outdir / "orca-debug.log"
        if self.orca_log.exists():
            self.orca_log.unlink()
        self._spawn(["orca", "--replace", "--debug-file", str(self.orca_log), "-u", str(prefs)], "orca.log")
        # Orca greets once it listens to the desktop.
        if not wait_until(lambda: self.speech(), 60, 0.2):
            raise SessionError("Orca said nothing within 60 s (see orca.log and orca-debug.log)")

    def speech(self) -> list[tuple[float, str]]:
        """Everything Orca has spoken so far, one utterance each, with the
        time of day it was said (seconds since midnight by Orca's log)."""
        try:
            text = self.orca_log.read_text(encoding="utf-8", errors="replace")
        except FileNotFoundError:
            return []
        # A long utterance goes on over lines indented under the time.
        return [(int(h) * 3600 + int(m) * 60 + float(sec), said.replace("\n" + " " * 18, "\n"))
                for h, m, sec, said in SPEECH_LINE.findall(text)]

    # ---- tear-down

    def _stop_processes(self) -> None:
        if self.desk:
            try:
                self.desk.close()
            except Exception:
                pass
            self.desk = None
        for p in reversed(self.procs):
            if p.poll() is None:
                try:
                    os.killpg(p.pid, signal.SIGTERM)
                except ProcessLookupError:
                    pass
        for p in reversed(self.procs):
            try:
                p.wait(5)
            except subprocess.TimeoutExpired:
                os.killpg(p.pid, signal.SIGKILL)
                p.wait()
        self.procs.clear()
        # What a desktop started outside those groups (Plasma's kioslave5 goes
        # off on its own): known by the session's folder on its command line.
        for proc in Path("/proc").iterdir():
            try:
                if proc.name.isdigit() and str(self.dir).encode() in (proc / "cmdline").read_bytes():
                    os.kill(int(proc.name), signal.SIGKILL)
            except (OSError, ProcessLookupError):
                pass

    def __exit__(self, *exc) -> None:
        self._stop_processes()
        shutil.rmtree(self.dir, ignore_errors=True)

    # ---- for the checks

    def monitor_rects(self) -> list[Rect]:
        """The monitors as the X server tells them, the primary first."""
        try:
            got = self.desk.root.xrandr_get_monitors().monitors
        except Exception:  # no RandR 1.5: one monitor, the whole screen
            got = []
        if not got:
            w, h = self.size
            return self.monitors or [Rect(0, 0, w, h)]
        got = sorted(got, key=lambda m: not m.primary)
        return [Rect(m.x, m.y, m.width_in_pixels, m.height_in_pixels) for m in got]

    def work_area(self) -> Rect:
        v = self.desk.ids(self.desk.root.id, "_NET_WORKAREA")
        return Rect(*v[:4]) if len(v) >= 4 else Rect(0, 0, *self.size)


def parse_monitors(text: str) -> list[Rect]:
    out = []
    for part in text.split(","):
        size, x, y = part.split("+")
        w, h = size.split("x")
        out.append(Rect(int(x), int(y), int(w), int(h)))
    return out


def main() -> int:
    ap = argparse.ArgumentParser(description="Runs one program on a private desktop.")
    ap.add_argument("--wm", default="openbox")
    ap.add_argument("--screen", default="1024x768")
    ap.add_argument("--panel")
    ap.add_argument("--monitors")
    ap.add_argument("--bus", action="store_true")
    ap.add_argument("--dpi", type=int, default=96)
    ap.add_argument("--orca", action="store_true", help="the Orca screen reader on the desktop (with a bus)")
    ap.add_argument("--outdir", help="the session's logs (Orca's among them)")
    ap.add_argument("command", nargs="+")
    a = ap.parse_args()
    w, h = (int(v) for v in a.screen.split("x"))
    with Session(a.wm, (w, h), a.panel, parse_monitors(a.monitors) if a.monitors else None, a.bus,
                 outdir=a.outdir, dpi=a.dpi, screen_reader=a.orca) as s:
        print(f"# {a.wm} on {s.display}", file=sys.stderr)
        return subprocess.run(a.command, env={**s.env, "QT_QPA_PLATFORM": "xcb"}).returncode


if __name__ == "__main__":
    sys.exit(main())
