#!/usr/bin/python3
"""CPU use of the program during the installation, on a private desktop
(Xvfb with openbox): Return on the prompt ("Ano" has the focus), Return five
times in the wizard ("Další  >>"), then the program's utime + stime over
SECONDS of the installation, as percent of one core. Target: under 2 %.

Usage: bench/cpu.py BUILD_DIR [SECONDS]"""

import os
import sys
import time
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent.parent / "tests" / "desktop"))
from plim import Plim  # noqa: E402
from x11 import wait_until  # noqa: E402
from xsession import Session  # noqa: E402


def cpu_ticks(pid):
    fields = Path(f"/proc/{pid}/stat").read_text().rsplit(")", 1)[1].split()
    return int(fields[11]) + int(fields[12])


def main():
    if len(sys.argv) < 2:
        sys.exit(__doc__)
    build = Path(sys.argv[1]).resolve()
    seconds = float(sys.argv[2]) if len(sys.argv) > 2 else 60
    with Session("openbox") as s:
        p = Plim(s, str(build / "valdrynix-plim"), s.dir)
        p.start()
        for title, presses in (("Vítá vás aplikace Valdrynix Plim", 1), ("Instalace", 5)):
            w = p.wait_titled(title, 10)
            for _ in range(presses):
                time.sleep(0.3)
                s.desk.request_active(w)
                wait_until(lambda: s.desk.active() == w, 2)
                s.desk.key("Return")
        p.wait_titled("Probíhá instalace. Nerušit.", 5)
        print(f"X server {s.display} with openbox; the installation screen is up; measuring {seconds:g} s")
        hz = os.sysconf("SC_CLK_TCK")
        others = {"Xvfb": s.procs[0].pid, "openbox": s.procs[-1].pid}
        before = {"valdrynix-plim": cpu_ticks(p.pid), **{k: cpu_ticks(v) for k, v in others.items()}}
        t0 = time.monotonic()
        time.sleep(seconds)
        took = time.monotonic() - t0
        p.ensure_alive()
        after = {"valdrynix-plim": cpu_ticks(p.pid), **{k: cpu_ticks(v) for k, v in others.items()}}
        p.kill()
    print(f"measured over {took:.1f} s, clock tick 1/{hz} s")
    share = {k: 100 * (after[k] - before[k]) / hz / took for k in after}
    for k, v in share.items():
        print(f"{k + ':':<16}{v:.2f} % of one core")
    print(f"target (under 2 %): {'met' if share['valdrynix-plim'] < 2 else 'NOT met'}")


if __name__ == "__main__":
    main()
