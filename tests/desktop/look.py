"""What a user sees of the program's windows, as assertions with a reason.
Every one names what it found when it fails."""

from __future__ import annotations

import time

from plim import Plim
from x11 import Picture, Rect, wait_until


def client(p: Plim, w: int) -> Rect:
    r = p.desk.client_rect(w)
    assert r is not None, "the window is gone"
    return r


def frame(p: Plim, w: int, timeout: float = 3.0) -> Rect:
    """The window with its frame. A frame smaller than the window it holds is
    a window manager still taking the window on (kwin's new frame is 1x1 for
    a moment), never what the user sees: it is looked at again."""
    def settled() -> bool:
        r, c = p.desk.frame_rect(w), p.desk.client_rect(w)
        return r is None or c is None or (r.w >= c.w and r.h >= c.h)
    wait_until(settled, timeout)
    r = p.desk.frame_rect(w)
    assert r is not None, "the window is gone"
    return r


def has_size(p: Plim, w: int, size: tuple[int, int]) -> None:
    c = client(p, w)
    assert (c.w, c.h) == tuple(size), f"client area is {c.w}x{c.h}, not {size[0]}x{size[1]}"


# ---- checks that only look

# What the checks given to also() found in the step that runs now.
findings: list[str] = []


def also(check, *args, **kwargs) -> None:
    """A check that only looks (it gives no input and waits for nothing the
    steps after it need): where it fails, its step fails at its end with what
    it found, and the journey goes on, so that one wrong look does not hide
    the next fault (conftest.py)."""
    try:
        check(*args, **kwargs)
    except AssertionError as e:
        findings.append(f"{check.__name__}: {e}")


def borderless(p: Plim, w: int, timeout: float = 3.0) -> None:
    """No frame around the client once the window manager has taken the
    window on: while it does, kwin's frame of a window that has none is a
    moment 1x1 (seen once under Plasma beside other tests)."""
    if not wait_until(lambda: client(p, w) == frame(p, w), timeout):
        c, f = client(p, w), frame(p, w)
        assert c == f, f"frame {f} around client {c}"


def framed(p: Plim, w: int) -> None:
    c, f = client(p, w), frame(p, w)
    assert c.y - f.y >= 10, f"frame {f} around client {c}: no title bar"


def centred(p: Plim, w: int, on: Rect, within: int = 2) -> None:
    """The whole window, frame included, in the middle of `on` (a monitor)."""
    f = frame(p, w)
    fx, fy = f.centre2
    mx, my = on.centre2
    assert abs(fx - mx) <= 2 * within and abs(fy - my) <= 2 * within, \
        f"frame {f} (client {client(p, w)}) is not centred on {on}"


def dialog(p: Plim, w: int, title: str, size: tuple[int, int], on: Rect) -> None:
    """A dialog as the user sees it: its title, its client area, a title bar, centred."""
    title_is(p, w, title)
    has_size(p, w, size)
    framed(p, w)
    centred(p, w, on)


def covers(p: Plim, w: int, on: Rect) -> None:
    c = client(p, w)
    assert c == on, f"client {c}, not the whole of {on}"


def title_is(p: Plim, w: int, title: str) -> None:
    t = p.desk.title(w)
    assert t == title, f"the title bar reads \"{t}\""


def only_visible(p: Plim, *ws: int) -> None:
    assert sorted(p.visible()) == sorted(ws), f"visible: {p.describe()}"


def is_active(p: Plim, w: int) -> bool:
    return p.desk.active() == w


def wait_active(p: Plim, w: int, timeout: float = 3.0) -> None:
    if not wait_until(lambda: is_active(p, w), timeout):
        a = p.desk.active()
        raise AssertionError(f"the active window is \"{p.desk.title(a)}\" ({a:#x}, process {p.desk.pid(a)}), "
                             f"not \"{p.desk.title(w)}\"")


def topmost(p: Plim) -> int:
    """The topmost of the windows the window manager stacks, panels aside
    (a panel stays above ordinary windows by design)."""
    stack = [w for w in p.desk.stacking() if "_NET_WM_WINDOW_TYPE_DOCK" not in p.desk.window_type(w)]
    return stack[-1] if stack else 0


def wait_in_front(p: Plim, w: int, timeout: float = 3.0) -> None:
    """Active, and the topmost window."""
    wait_active(p, w, timeout)
    ok = wait_until(lambda: topmost(p) == w, timeout)
    assert ok, f"the topmost window is \"{p.desk.title(topmost(p))}\", not \"{p.desk.title(w)}\""


def wait_gone(p: Plim, w: int, timeout: float = 3.0) -> None:
    assert wait_until(lambda: w not in p.visible(), timeout), f"\"{p.desk.title(w)}\" is still there"


def foreign_windows(p: Plim) -> list[str]:
    """Managed windows of any other process on our display, but the desktop's
    own: its panels and its desktop window (Plasma's shell has both)."""
    out = []
    furniture = {"_NET_WM_WINDOW_TYPE_DOCK", "_NET_WM_WINDOW_TYPE_DESKTOP"}
    for w in p.desk.client_list():
        pid = p.desk.pid(w)
        if pid != p.pid and p.desk.title(w) != "panel" and not furniture & set(p.desk.window_type(w)):
            out.append(f"{w:#x} [{p.desk.title(w)}] of process {pid}")
    return out


# ---- pictures of parts of a window

def region(p: Plim, w: int, r: Rect) -> Picture:
    """What the screen shows of r, in client coordinates of window w."""
    c = client(p, w)
    return p.desk.grab(Rect(c.x + r.x, c.y + r.y, r.w, r.h), within=w)


def settle(p: Plim, w: int, r: Rect, timeout: float = 3.0, own: bool = False) -> Picture:
    """The region once two looks a moment apart agree (the program has drawn).
    A window not viewable yet is looked at again until the time is up; a
    region that never settles within it fails, saying how much still changed.
    With own, what the window itself has drawn, not what the screen shows."""
    end = time.monotonic() + timeout

    def look():
        return p.desk.grab_own(w, r) if own else region(p, w, r)
    last = wait_until(look, timeout)
    assert last, f"\"{p.desk.title(w)}\" was not viewable within {timeout} s"
    changed = -1
    while time.monotonic() < end:
        time.sleep(0.15)
        now = wait_until(look, max(end - time.monotonic(), 0.0))
        assert now, f"\"{p.desk.title(w)}\" went from the screen while it was looked at"
        changed = now.differing(last)
        if changed == 0:
            return now
        last = now
    raise AssertionError(f"{r} of \"{p.desk.title(w)}\" did not settle within {timeout} s: "
                         f"{changed} pixels changed between the last two looks")
