#!/usr/bin/python3
"""A newcomer's first command on a fresh system: `./run.sh` in the clone of a
system that `.ci/chroot make` made, on a private X server of this machine,
until the splash screen is on it. Prints how long that took from the command's
start, then ends the program. Fails, saying what it saw, when the command ends
first or the splash does not come within the deadline.

Usage: .ci/newcomer.py ROOT [--deadline SECONDS]
"""

import argparse
import os
import select
import signal
import subprocess
import sys
import time

from Xlib import X, display

HERE = os.path.dirname(os.path.abspath(__file__))


def start_xvfb():
    r, w = os.pipe()
    xvfb = subprocess.Popen(
        ["Xvfb", "-displayfd", str(w), "-screen", "0", "1024x768x24", "-nolisten", "tcp", "-noreset"],
        pass_fds=[w], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    os.close(w)
    number = b""
    while not number.endswith(b"\n"):
        chunk = os.read(r, 16)
        if not chunk:
            raise SystemExit("newcomer: Xvfb ended before it named its display")
        number += chunk
    os.close(r)
    return xvfb, ":" + number.decode().strip()


def splash_window(d):
    """The program's splash, once mapped: a top-level window titled Form4."""
    for w in d.screen().root.query_tree().children:
        try:
            if w.get_attributes().map_state == X.IsViewable and w.get_wm_name() == "Form4":
                return w
        except Exception:  # a window gone meanwhile
            continue
    return None


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("root")
    ap.add_argument("--deadline", type=float, default=40 * 60)
    args = ap.parse_args()

    xvfb, name = start_xvfb()
    d = display.Display(name)
    d.screen().root.change_attributes(event_mask=X.SubstructureNotifyMask)
    log_path = os.path.join(args.root + ".run.log")
    log = open(log_path, "wb")
    began = time.monotonic()
    run = subprocess.Popen([os.path.join(HERE, "chroot"), "run", args.root, "./run.sh"],
                           env=dict(os.environ, DISPLAY=name), stdout=log, stderr=subprocess.STDOUT,
                           start_new_session=True)
    found = None
    try:
        while found is None:
            if run.poll() is not None:
                break
            if time.monotonic() - began > args.deadline:
                break
            # A window mapped anywhere wakes the look; a second passes otherwise.
            select.select([d.fileno()], [], [], 1.0)
            while d.pending_events():
                d.next_event()
            found = splash_window(d)
        took = time.monotonic() - began
    finally:
        if run.poll() is None:
            os.killpg(run.pid, signal.SIGTERM)
            try:
                run.wait(10)
            except subprocess.TimeoutExpired:
                os.killpg(run.pid, signal.SIGKILL)
                run.wait()
        log.close()
        xvfb.terminate()
        xvfb.wait()
    tail = open(log_path, "rb").read().decode(errors="replace").splitlines()[-15:]
    if found is None:
        what = "./run.sh ended with status %s" % run.returncode if run.returncode is not None and \
            took < args.deadline else "no splash within %.0f s" % args.deadline
        sys.exit("newcomer: %s; the last lines it printed:\n  %s" % (what, "\n  ".join(tail)))
    print("newcomer: ./run.sh on a fresh system showed the splash after %.0f s (%.1f min)" % (took, took / 60))


if __name__ == "__main__":
    main()
