#!/usr/bin/python3
"""Start-up time of the program against a minimal Qt program showing the same
sight, on a private desktop (Xvfb with openbox). Both print, at the first
expose of their window, the milliseconds since launch; the launch time comes
from here (VP_BENCH_LAUNCH_US). Target: a ratio of the medians of at most 1.3.

Usage: bench/startup.py BUILD_DIR [RUNS]"""

import statistics
import subprocess
import sys
import time
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent.parent / "tests" / "desktop"))
from xsession import Session  # noqa: E402


def run(session, exe):
    env = {**session.env, "QT_QPA_PLATFORM": "xcb", "VP_BENCH_LAUNCH_US": str(time.time_ns() // 1000)}
    out = subprocess.run([exe], env=env, capture_output=True, text=True, timeout=60)
    line = next((x for x in out.stdout.splitlines() if x.startswith("startup_ms ")), None)
    if out.returncode or not line:
        sys.exit(f"{exe} failed or printed no measurement:\n{out.stderr}")
    time.sleep(0.2)  # let the window manager finish with the closed window
    fields = dict(f.split("=", 1) for f in line.split()[1:])
    return fields


def main():
    if len(sys.argv) < 2:
        sys.exit(__doc__)
    build = Path(sys.argv[1]).resolve()
    runs = int(sys.argv[2]) if len(sys.argv) > 2 else 15
    plim, minimal = str(build / "bench/bench_startup_plim"), str(build / "bench/bench_startup_minimal")
    with Session("openbox") as s:
        print(f"X server {s.display} with openbox; 2 warm-up runs each, then {runs} runs each, alternating")
        for _ in range(2):
            run(s, plim), run(s, minimal)
        got = {"valdrynix-plim": [], "minimal": []}
        for _ in range(runs):
            got["valdrynix-plim"].append(run(s, plim))
            got["minimal"].append(run(s, minimal))
    print(f"time from process start (measured by {got['valdrynix-plim'][0].get('method', '?')}), ms, {runs} runs each:")
    med = {}
    for name, rows in got.items():
        expose = [float(r["expose"]) for r in rows]
        frame = [float(r["frame"]) for r in rows]
        med[name] = statistics.median(expose)
        print(f"  {name:<16} first expose: median {med[name]:8.2f}  mean {statistics.mean(expose):8.2f}"
              f"   first frame: median {statistics.median(frame):8.2f}")
        # Where the time went: the median moment of each step on the way.
        steps = [dict((k, float(v)) for k, v in (p.split(":") for p in r["phases"].split(","))) for r in rows]
        print("  " + " " * 16 + " steps (medians):",
              ", ".join(f"{k} {statistics.median(st[k] for st in steps):.1f}" for k in steps[0]))
    ratio = med["valdrynix-plim"] / med["minimal"]
    print(f"ratio valdrynix-plim/minimal, first expose (medians): {ratio:.3f}")
    print(f"target (ratio at most 1.3): {'met' if ratio <= 1.3 else 'NOT met'}")


if __name__ == "__main__":
    main()
