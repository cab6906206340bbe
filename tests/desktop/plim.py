"""The program under test on a private desktop: started as a user would start
it, with its trace of window requests switched on; its windows as the window
manager shows them; its output, exit status and sanitizer reports."""

from __future__ import annotations

import json
import os
import re
import signal
import subprocess
import threading
import time
from dataclasses import dataclass
from pathlib import Path

import tracelines
from x11 import wait_until
from xsession import Session

# The trace's lines begin with the program's own clock: seconds since it started.
TRACE_PATTERN = "%{time process} %{if-category}%{category}: %{endif}%{message}"
TRACE_LINE = re.compile(r"^\s*(\d+\.\d+) (.*)$")


@dataclass
class Line:
    t: float  # the program's clock, seconds since its start
    text: str


class Ended(AssertionError):
    """The program ended where it should still be running."""


def describe_status(status: int | None) -> str:
    if status is None:
        return "still running"
    if status < 0:
        return f"killed by signal {-status} ({signal.Signals(-status).name})"
    return f"exit status {status}"


def load_layout(layout_tool: str) -> dict:
    out = subprocess.run([os.path.realpath(layout_tool)], capture_output=True, text=True, check=True, timeout=60,
                         env={**os.environ, "QT_QPA_PLATFORM": "offscreen"})
    return json.loads(out.stdout)


class Plim:
    def __init__(self, session: Session, program: str, outdir: Path, strace: bool = False, cwd: str | None = None):
        self.session, self.desk = session, session.desk
        self.exe = os.path.realpath(program)
        self.outdir = outdir
        self.strace = strace
        self.cwd = cwd
        self.lines: list[Line] = []
        self.proc: subprocess.Popen | None = None
        self.pid = 0
        self.status: int | None = None
        self.launches = 0
        self._log = open(outdir / "program.log", "a", encoding="utf-8")

    # ---- running

    def env(self) -> dict[str, str]:
        env = dict(self.session.env)
        env.update({"QT_QPA_PLATFORM": "xcb", "QT_LOGGING_RULES": "vp.trace=true", "QT_MESSAGE_PATTERN": TRACE_PATTERN})
        for var in ("ASAN_OPTIONS", "UBSAN_OPTIONS"):
            env[var] = ":".join(filter(None, [os.environ.get(var, ""), f"log_path={self.outdir}/sanitizer"]))
        supp = Path(__file__).resolve().parent.parent / "lsan.supp"
        env.setdefault("LSAN_OPTIONS", f"suppressions={supp}:print_suppressions=0")
        return env

    def start(self) -> None:
        self.launches += 1
        self.lines = []
        self.status = None
        self._log.write(f"---- start {self.launches}\n")
        args = [self.exe]
        if self.strace:
            # Only what the program does with files, processes and the network,
            # one file per process; the seccomp filter keeps the rest at full speed.
            args = ["strace", "-ff", "--seccomp-bpf", "-q", "-s", "256", "-e", "trace=file,process,network",
                    "-o", str(self.outdir / "strace.log")] + args
        self.proc = subprocess.Popen(args, env=self.env(), stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                                     stderr=subprocess.STDOUT, start_new_session=True, cwd=self.cwd)
        threading.Thread(target=self._read, args=(self.proc,), daemon=True).start()
        self.pid = self.proc.pid
        if self.strace:
            # strace forks the program; its windows carry the program's own pid.
            self.pid = wait_until(self._traced_child, 10) or 0
            assert self.pid, "the program did not start under strace (see program.log)"

    def _traced_child(self) -> int:
        try:
            kids = Path(f"/proc/{self.proc.pid}/task/{self.proc.pid}/children").read_text().split()
        except OSError:
            return 0
        for k in kids:
            try:
                if os.readlink(f"/proc/{k}/exe") == self.exe:
                    return int(k)
            except OSError:
                pass
        return 0

    def _read(self, proc: subprocess.Popen) -> None:
        for raw in proc.stdout:
            text = raw.decode("utf-8", "replace").rstrip("\n")
            m = TRACE_LINE.match(text)
            if m:
                self.lines.append(Line(float(m.group(1)), m.group(2)))
            self._log.write(text + "\n")
            self._log.flush()

    def alive(self) -> bool:
        return self.proc is not None and self.proc.poll() is None

    def ensure_alive(self) -> None:
        if not self.alive():
            self.reap()
            raise Ended(f"the program has ended in the middle of the run ({describe_status(self.status)})"
                        f"; last output:\n{self.tail()}")

    def wait_exit(self, timeout: float) -> bool:
        try:
            self.proc.wait(timeout)
        except subprocess.TimeoutExpired:
            return False
        self.reap()
        return True

    def reap(self) -> None:
        if self.proc is not None:
            self.status = self.proc.wait()
            self._log.write(f"---- end {self.launches}: {describe_status(self.status)}\n")
            self._log.flush()

    def kill(self) -> None:
        if self.alive():
            os.killpg(self.proc.pid, signal.SIGKILL)
            self.proc.wait()

    def tail(self, n: int = 25) -> str:
        text = (self.outdir / "program.log").read_text(errors="replace").splitlines()
        return "\n".join("  | " + line for line in [t for t in text if " vp.trace: " not in t][-n:])

    def sanitizer_reports(self) -> list[str]:
        found = []
        for f in sorted(self.outdir.glob("sanitizer.*")):
            if f.stat().st_size:
                found.append(f"{f}:\n" + "\n".join(f.read_text(errors="replace").splitlines()[:40]))
        log = (self.outdir / "program.log").read_text(errors="replace")
        for m in re.finditer(r"(ERROR: (AddressSanitizer|LeakSanitizer)|runtime error:).*", log):
            found.append(m.group(0))
        return found

    # ---- its trace

    def trace(self, pattern: str) -> list[float]:
        """The program's times of the trace lines that match."""
        rx = re.compile(pattern)
        return [line.t for line in list(self.lines) if rx.search(line.text)]

    def last(self, pattern: str) -> float | None:
        times = self.trace(pattern)
        return times[-1] if times else None

    def wait_trace(self, pattern: str, after: float = -1.0, timeout: float = 10.0) -> float | None:
        """The first time after `after` that a line matching pattern came."""
        def seen():
            self.ensure_alive()
            return next((t for t in self.trace(pattern) if t > after), None)
        return wait_until(seen, timeout)

    def now(self) -> float:
        """The program's clock as far as its trace has told it."""
        return self.lines[-1].t if self.lines else 0.0

    def mark(self) -> int:
        """Where the trace is now: the lines after it are news."""
        return len(self.lines)

    def mark_after(self, pattern: str, since: int) -> int:
        """Just after the first line from `since` on that matches (the end of the trace if none does)."""
        rx = re.compile(pattern)
        lines = list(self.lines)
        return next((i + 1 for i in range(since, len(lines)) if rx.search(lines[i].text)), len(lines))

    def handled(self, w: int, timeout: float = 10.0) -> float:
        """Proof that the program has handled all input given before: a ping
        to its window w (as a window manager pings) comes to the program after
        that input, and its trace says when it took it. Twice: Qt passes the
        input it has read to the widgets in the same turn as it takes the first.
        Returns the program's clock when it took the second."""
        took = 0.0
        for _ in range(2):
            pattern = tracelines.client_message(w)
            before = len(self.trace(pattern))
            self.desk.ping(w)

            def came():
                self.ensure_alive()
                times = self.trace(pattern)
                return times[before:before + 1]
            got = wait_until(came, timeout)
            assert got, f"the program did not take a ping to {w:#x} within {timeout:g} s"
            took = got[0]
        return took

    def nothing_follows(self, w: int, windows: list[int], seconds: float, mark: int, what: str = "something came",
                        limit: float = 60.0) -> None:
        """After the input given so far, for `seconds` on the program's own
        clock from when it has handled that input: no screen shown since
        `mark` (no `runtime: show` line) and no window of the program visible
        but `windows`. Each look ends with a ping to w, so a program that is
        slowed down is watched for as long as it takes to live those seconds."""
        def check(when: str) -> None:
            shown = [line.text for line in list(self.lines)[mark:] if re.search(tracelines.show(), line.text)]
            assert not shown, f"{what} ({when}): {shown}"
            assert sorted(self.visible()) == sorted(windows), f"{what} ({when}), visible: {self.describe()}"

        start = self.handled(w)
        end = time.monotonic() + seconds + limit
        now = start
        while now < start + seconds:
            self.ensure_alive()
            check(f"{now - start:.2f} s after the program took the input")
            assert time.monotonic() < end, f"the program lived {now - start:.2f} s of {seconds:g} in {seconds + limit:g} s"
            time.sleep(0.1)  # paces the looks; the verdict is the trace's and the window manager's
            now = self.handled(w)
        check(f"{now - start:.2f} s after the program took the input")

    # ---- its windows

    def visible(self) -> list[int]:
        return self.desk.visible_of({self.pid}) if self.pid else []

    def titled(self, title: str) -> list[int]:
        return [w for w in self.visible() if self.desk.title(w) == title]

    def describe(self) -> str:
        out = []
        for w in self.visible():
            r = self.desk.client_rect(w)
            out.append(f"[{self.desk.title(w)}] {r}")
        return "; ".join(out) or "none"

    def wait_titled(self, title: str, timeout: float = 5.0) -> int:
        def one():
            self.ensure_alive()
            ws = self.titled(title)
            return ws[0] if len(ws) == 1 else 0
        w = wait_until(one, timeout)
        assert w, f"no window \"{title}\" within {timeout:g} s (visible: {self.describe()})"
        return w
