"""A minute of seeded random input on a real desktop: clicks (left, middle,
right, double), moves, keys, typing, the clipboard and the primary selection
set, emptied and let go, Alt+F4 and the window manager's close on any window,
activations and waits. No crash and no sanitizer report may come of it; when
the input closes the last visible window the program ends with status 0 and
is started again. At the end its windows are closed one by one until it ends
by itself, with status 0.

VP_RANDOM_SEED=N replays the choices of an earlier run (the program's own
timing can still lead a replay elsewhere); VP_RANDOM_SECONDS sets the length."""

from __future__ import annotations

import collections
import os
import random
import re
import subprocess
import time

import tracelines
from plim import describe_status
from x11 import wait_until

KEYS = ["Tab", "shift+Tab", "Escape", "Return", "KP_Enter", "space", "BackSpace", "Delete", "Up", "Down", "Left",
        "Right", "Home", "End", "Prior", "Next", "ctrl+v", "shift+Insert", "ctrl+c", "ctrl+x", "ctrl+a", "ctrl+z",
        "ctrl+shift+z", "ctrl+Insert", "shift+Delete", "F1", "F4", "alt+a", "alt+n", *"abcdefghijklmnopqrstuvwxyzANY0159"]
WORDS = ["Ano", "ne", "plim plim", "12345", "abc def"]
TEXTS = ["", "Vložený text", "řádek 1\nřádek 2", "tab\there", "C:\\Program Files\\Plim", "7" * 300]


class Input:
    def __init__(self, plim, session, rng: random.Random):
        self.p, self.s, self.r = plim, session, rng
        self.owners: dict[str, subprocess.Popen] = {}
        self.log = open(plim.outdir / "actions.log", "a", encoding="utf-8")
        self.recent: collections.deque[str] = collections.deque(maxlen=15)
        self.count = 0

    def act(self, what: str) -> None:
        self.count += 1
        line = f"{time.monotonic():.3f} {what}"
        self.recent.append(line)
        self.log.write(line + "\n")
        self.log.flush()

    def point(self):
        ws = self.p.visible()
        if not ws:
            return None
        w = self.r.choice(ws)
        c = self.p.desk.client_rect(w)
        return (w, c.x + self.r.randrange(max(c.w, 1)), c.y + self.r.randrange(max(c.h, 1))) if c else None

    def select(self, which: str, text: str | None) -> None:
        old = self.owners.pop(which, None)
        if old:
            old.terminate()
            old.wait()
        if text is None:
            return
        p = subprocess.Popen(["xclip", "-quiet", "-selection", which, "-i"], stdin=subprocess.PIPE,
                             stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, env=self.s.env)
        p.stdin.write(text.encode())
        p.stdin.close()
        self.owners[which] = p

    def one(self) -> None:
        d, r, k = self.p.desk, self.r, self.r.randrange(100)
        if k < 39:
            at = self.point()
            if not at:
                return
            button, times = ((1, 1) if k < 27 else (1, 2) if k < 30 else (3, 1) if k < 33 else (2, 1))
            self.act(f"click {button} x{times} in {at[0]:#x} at {at[1]},{at[2]}")
            for _ in range(times):
                d.click(at[1], at[2], button)
        elif k < 47:
            at = self.point()
            if at:
                self.act(f"move to {at[1]},{at[2]}")
                d.move(at[1], at[2])
        elif k < 67:
            key = r.choice(KEYS)
            self.act(f"key {key}")
            d.key(key)
        elif k < 75:
            key = r.choice(["Return", "Return", "space"])
            self.act(f"key {key}")
            d.key(key)
        elif k < 78:
            word = r.choice(WORDS)
            self.act(f"type {word!r}")
            d.type_text(word)
        elif k < 83:
            key = r.choice(["ctrl+v", "shift+Insert"])
            self.act(f"key {key} (paste)")
            d.key(key)
        elif k < 88:
            which = r.choice(["clipboard", "primary"])
            text = r.choice([None, "", r.choice(TEXTS)])
            self.act(f"{which}: {'no owner' if text is None else f'{len(text)} characters'}")
            self.select(which, text)
        elif k < 90:
            self.act("alt+F4 on the active window")
            d.key("alt+F4")
        elif k < 95:
            ws = self.p.visible()
            if ws:
                w = r.choice(ws)
                how = r.choice(["activate", "close", "wm-close"])
                self.act(f"{how} {w:#x} \"{d.title(w)}\"")
                if how == "wm-close":
                    d.request_close(w)
                else:
                    d.request_active(w)
                    if how == "close":
                        wait_until(lambda: d.active() == w, 1)
                        d.key("alt+F4")
        elif k < 98:
            sw, sh = d.screen_size()
            x, y = r.randrange(sw), r.randrange(sh)
            self.act(f"click on the screen at {x},{y}")
            d.click(x, y)
        else:
            t = r.randrange(30) / 10
            self.act(f"wait {t:.1f} s")
            time.sleep(t)

    def let_go(self) -> None:
        for which in list(self.owners):
            self.select(which, None)


def test_random_input(plim, session):
    seed = int(os.environ.get("VP_RANDOM_SEED") or time.time_ns() % 1_000_000_007)
    seconds = float(os.environ.get("VP_RANDOM_SECONDS", "60"))
    print(f"\n# seed {seed} (replay: VP_RANDOM_SEED={seed}), {seconds:g} s of random input")
    rng = random.Random(seed)
    user = Input(plim, session, rng)
    lives = normal_ends = 0

    def crashed(what: str) -> str:
        return (f"{what}; replay with VP_RANDOM_SEED={seed}\nlast actions:\n" + "\n".join(user.recent)
                + f"\n{plim.tail()}\n" + "\n".join(plim.sanitizer_reports()))

    def start() -> None:
        nonlocal lives
        lives += 1
        user.act(f"start the program (life {lives})")
        plim.start()
        wait_until(lambda: plim.visible() or not plim.alive(), 15)

    start()
    end = time.monotonic() + seconds
    try:
        while time.monotonic() < end:
            if not plim.alive():
                plim.reap()
                assert plim.status == 0, crashed(f"the program crashed ({describe_status(plim.status)})")
                assert not plim.sanitizer_reports(), crashed("sanitizer report")
                normal_ends += 1
                user.act("the program ended with status 0 (its last visible window was closed)")
                start()
                continue
            user.one()
            time.sleep(rng.randrange(4) * 0.08)
        assert plim.alive() or plim.proc.poll() == 0, crashed("the program crashed at the end of the input")
        print(f"# {user.count} actions, {lives} starts, {normal_ends} normal ends")

        # Leaving: the topmost window closed, one after another, until the program ends.
        deadline = time.monotonic() + 40
        while plim.alive() and time.monotonic() < deadline:
            ws = plim.visible()
            if not ws:
                time.sleep(0.2)
                continue
            # Bottom to top: a modal box stands over the wizard it belongs to, and the
            # wizard (transient for the backdrop) refuses to close while the box is up.
            stack = [w for w in plim.desk.stacking() if w in ws]
            stack += [w for w in ws if w not in stack]
            boxes = [w for w in stack if plim.desk.prop(w, "WM_TRANSIENT_FOR")]
            target = (boxes or stack)[-1]
            user.act(f"leaving: close {target:#x} \"{plim.desk.title(target)}\"")
            plim.desk.request_active(target)
            wait_until(lambda: plim.desk.active() == target, 1)
            plim.desk.key("alt+F4")
            time.sleep(0.4)
            if plim.alive() and target in plim.visible():
                user.act(f"leaving: Escape, then Return on {target:#x}")
                plim.desk.key("Escape")
                time.sleep(0.3)
                if target in plim.visible():
                    plim.desk.key("Return")
                time.sleep(0.3)
        assert not plim.alive(), crashed(f"closing its windows one by one for 40 s did not end the program "
                                         f"(visible: {plim.describe()})")
        plim.reap()
        assert plim.status == 0, crashed(f"leaving ended in {describe_status(plim.status)}")
        assert not plim.sanitizer_reports(), crashed("sanitizer report")
    finally:
        user.let_go()
        shown = collections.Counter(re.findall(tracelines.show(), (plim.outdir / "program.log").read_text()))
        print("# screens shown: " + ", ".join(f"{k} {v}" for k, v in sorted(shown.items())))
        print(f"# seed {seed} (replay: VP_RANDOM_SEED={seed})")
