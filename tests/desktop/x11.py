"""What the test driver asks of an X server and its window manager, and the
input it gives as a user would: plain python3-xlib, one connection."""

from __future__ import annotations

import os
import struct
import time
import zlib
from dataclasses import dataclass

from Xlib import X, XK, Xatom, Xutil
from Xlib import display as xdisplay
from Xlib import error as xerror
from Xlib.ext import xtest
from Xlib.protocol import event as xevent


class NotViewable(Exception):
    """A window's pixels were refused: it is not viewable (being mapped, or
    gone), or was not when asked. To the waits (wait_until, look.settle)
    that is "not yet"; still so at their end, it is raised."""


@dataclass(frozen=True)
class Rect:
    x: int
    y: int
    w: int
    h: int

    @property
    def centre2(self) -> tuple[int, int]:
        """Twice the centre, so that odd sizes stay whole numbers."""
        return 2 * self.x + self.w, 2 * self.y + self.h

    def __str__(self) -> str:
        return f"{self.w}x{self.h}+{self.x}+{self.y}"


class Picture:
    """A piece of the screen as RGB pixels."""

    def __init__(self, w: int, h: int, rgb: bytes):
        self.w, self.h, self.rgb = w, h, rgb

    def pixel(self, x: int, y: int) -> tuple[int, int, int]:
        i = 3 * (y * self.w + x)
        return self.rgb[i], self.rgb[i + 1], self.rgb[i + 2]

    def differing(self, other: "Picture") -> int:
        if (self.w, self.h) != (other.w, other.h):
            return self.w * self.h
        a, b = self.rgb, other.rgb
        return sum(1 for i in range(0, len(a), 3) if a[i:i + 3] != b[i:i + 3])

    def count(self, colour: tuple[int, int, int]) -> int:
        c = bytes(colour)
        return sum(1 for i in range(0, len(self.rgb), 3) if self.rgb[i:i + 3] == c)

    def colours(self) -> set[bytes]:
        return {self.rgb[i:i + 3] for i in range(0, len(self.rgb), 3)}

    def mixed_blocks(self, n: int) -> int:
        """How many of the n×n squares, counted from the top left, hold more
        than one colour: a picture enlarged n times by whole pixels has none."""
        mixed = 0
        for by in range(0, self.h - n + 1, n):
            for bx in range(0, self.w - n + 1, n):
                first = self.pixel(bx, by)
                if any(self.pixel(bx + i, by + j) != first for j in range(n) for i in range(n)):
                    mixed += 1
        return mixed

    def save_png(self, path) -> None:
        rows = b"".join(b"\0" + self.rgb[y * 3 * self.w:(y + 1) * 3 * self.w] for y in range(self.h))

        def chunk(kind: bytes, data: bytes) -> bytes:
            return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))

        with open(path, "wb") as f:
            f.write(b"\x89PNG\r\n\x1a\n")
            f.write(chunk(b"IHDR", struct.pack(">IIBBBBB", self.w, self.h, 8, 2, 0, 0, 0)))
            f.write(chunk(b"IDAT", zlib.compress(rows, 6)))
            f.write(chunk(b"IEND", b""))


class Desk:
    """One X display as a user and the window manager see it."""

    def __init__(self, name: str):
        self.d = xdisplay.Display(name)
        self.root = self.d.screen().root
        self._atoms: dict[str, int] = {}

    def close(self) -> None:
        self.d.close()

    # ---- properties

    def atom(self, name: str) -> int:
        if name not in self._atoms:
            self._atoms[name] = self.d.intern_atom(name)
        return self._atoms[name]

    def win(self, wid: int):
        return self.d.create_resource_object("window", wid)

    def prop(self, wid: int, name: str):
        try:
            p = self.win(wid).get_full_property(self.atom(name), X.AnyPropertyType)
        except (xerror.BadWindow, xerror.BadAtom):
            return None
        return None if p is None else p.value

    def ids(self, wid: int, name: str) -> list[int]:
        v = self.prop(wid, name)
        return [int(x) for x in v] if v is not None else []

    def title(self, wid: int) -> str:
        v = self.prop(wid, "_NET_WM_NAME") or self.prop(wid, "WM_NAME")
        if v is None:
            return ""
        return v.decode("utf-8", "replace") if isinstance(v, bytes) else str(v)

    def pid(self, wid: int) -> int | None:
        v = self.ids(wid, "_NET_WM_PID")
        return v[0] if v else None

    def states(self, wid: int) -> set[str]:
        return {self.d.get_atom_name(a) for a in self.ids(wid, "_NET_WM_STATE")}

    def window_type(self, wid: int) -> list[str]:
        return [self.d.get_atom_name(a) for a in self.ids(wid, "_NET_WM_WINDOW_TYPE")]

    # ---- the window manager's view

    def wm_name(self) -> str | None:
        """The window manager's name, once it is ready: the window that
        _NET_SUPPORTING_WM_CHECK names exists and names itself (one left behind
        by a window manager that has gone names a window that is gone too)."""
        check = self.ids(self.root.id, "_NET_SUPPORTING_WM_CHECK")
        if not check or self.ids(check[0], "_NET_SUPPORTING_WM_CHECK") != check[:1]:
            return None
        return self.title(check[0]) or "?"

    def supported(self) -> set[str]:
        return {self.d.get_atom_name(a) for a in self.ids(self.root.id, "_NET_SUPPORTED")}

    def active(self) -> int:
        v = self.ids(self.root.id, "_NET_ACTIVE_WINDOW")
        return v[0] if v else 0

    def stacking(self) -> list[int]:
        """The managed windows bottom to top."""
        return self.ids(self.root.id, "_NET_CLIENT_LIST_STACKING")

    def client_list(self) -> list[int]:
        return self.ids(self.root.id, "_NET_CLIENT_LIST")

    def screen_size(self) -> tuple[int, int]:
        g = self.root.get_geometry()
        return g.width, g.height

    # ---- windows

    def all_windows(self) -> list[int]:
        out, todo = [], [self.root]
        while todo:
            w = todo.pop()
            try:
                kids = w.query_tree().children
            except xerror.BadWindow:
                continue
            out.extend(k.id for k in kids)
            todo.extend(kids)
        return out

    def viewable(self, wid: int) -> bool:
        try:
            return self.win(wid).get_attributes().map_state == X.IsViewable
        except (xerror.BadWindow, xerror.BadDrawable):
            return False

    def visible_of(self, pids: set[int]) -> list[int]:
        """The visible top-level windows of these processes."""
        return [w for w in self.all_windows() if self.pid(w) in pids and self.viewable(w)]

    def client_rect(self, wid: int) -> Rect | None:
        try:
            w = self.win(wid)
            g = w.get_geometry()
            t = w.translate_coords(self.root, 0, 0)
        except (xerror.BadWindow, xerror.BadDrawable):
            return None
        return Rect(-t.x, -t.y, g.width, g.height)

    def frame_rect(self, wid: int) -> Rect | None:
        """The window as the user sees it: the client grown by the decorations
        the window manager announces in _NET_FRAME_EXTENTS; where it announces
        none, its top-level window that holds the client (metacity's frame also
        holds invisible resize borders, so the extents come first)."""
        c = self.client_rect(wid)
        if c is None:
            return None
        ext = self.ids(wid, "_NET_FRAME_EXTENTS")
        if len(ext) == 4:
            l, r, t, b = ext
            return Rect(c.x - l, c.y - t, c.w + l + r, c.h + t + b)
        top = self.win(wid)
        try:
            while True:
                parent = top.query_tree().parent
                if parent.id == self.root.id:
                    break
                top = parent
        except xerror.BadWindow:
            return None
        return self.client_rect(top.id)

    # ---- pictures

    def _image(self, drawable, x: int, y: int, w: int, h: int) -> Picture:
        img = drawable.get_image(x, y, w, h, X.ZPixmap, 0xFFFFFFFF)
        raw = img.data if isinstance(img.data, bytes) else bytes(img.data)
        rgb = bytearray(3 * w * h)
        rgb[0::3], rgb[1::3], rgb[2::3] = raw[2::4], raw[1::4], raw[0::4]
        return Picture(w, h, bytes(rgb))

    def grab(self, r: Rect, within: int | None = None) -> Picture:
        """The screen's pixels in r (root coordinates). Where the server will
        not read the root window back (rootless Xwayland, as in GNOME's
        Wayland session), the window `within` is read instead."""
        sw, sh = self.screen_size()
        x, y = max(r.x, 0), max(r.y, 0)
        w, h = min(r.w, sw - x), min(r.h, sh - y)
        try:
            return self._image(self.root, x, y, w, h)
        except xerror.BadMatch:
            if not within:
                raise
        # GetImage on a window answers BadMatch while it is not viewable (the
        # window manager maps the window a moment after the program asks).
        c = self.client_rect(within)
        if c is None:
            raise NotViewable(f"window {within:#x} is gone")
        try:
            return self._image(self.win(within), x - c.x, y - c.y, w, h)
        except (xerror.BadMatch, xerror.BadWindow, xerror.BadDrawable) as e:
            # Viewable by now, it may have been mapped since; else r lies outside it.
            why = f"{r} outside its client area {c}?" if self.viewable(within) else "not viewable"
            raise NotViewable(f"GetImage on window {within:#x}: {type(e).__name__} ({why})") from e

    def grab_own(self, wid: int, r: Rect) -> Picture:
        """What window wid has drawn in r (its client coordinates), read from
        the window itself: neither the pointer nor a compositor's copy of it
        on the screen is in the way."""
        try:
            return self._image(self.win(wid), r.x, r.y, r.w, r.h)
        except (xerror.BadMatch, xerror.BadWindow, xerror.BadDrawable) as e:
            raise NotViewable(f"GetImage on window {wid:#x}: {type(e).__name__}") from e

    def screenshot(self, path) -> None:
        sw, sh = self.screen_size()
        try:
            shot = self.grab(Rect(0, 0, sw, sh))
        except xerror.BadMatch:
            # Rootless: the visible windows pasted where they are, bottom to top.
            canvas = bytearray(3 * sw * sh)
            for wid in self.stacking():
                c = self.client_rect(wid)
                if not c or not self.viewable(wid):
                    continue
                x0, y0 = max(c.x, 0), max(c.y, 0)
                x1, y1 = min(c.x + c.w, sw), min(c.y + c.h, sh)
                if x1 <= x0 or y1 <= y0:
                    continue
                try:
                    part = self._image(self.win(wid), x0 - c.x, y0 - c.y, x1 - x0, y1 - y0)
                except xerror.XError:
                    continue
                for row in range(y1 - y0):
                    at = 3 * ((y0 + row) * sw + x0)
                    canvas[at:at + 3 * (x1 - x0)] = part.rgb[3 * row * (x1 - x0):3 * (row + 1) * (x1 - x0)]
            shot = Picture(sw, sh, bytes(canvas))
        shot.save_png(path)

    # ---- input, as a user gives it

    def move(self, x: int, y: int) -> None:
        xtest.fake_input(self.d, X.MotionNotify, x=x, y=y)
        self.d.sync()

    def click(self, x: int, y: int, button: int = 1) -> None:
        self.move(x, y)
        xtest.fake_input(self.d, X.ButtonPress, button)
        xtest.fake_input(self.d, X.ButtonRelease, button)
        self.d.sync()

    def key(self, combo: str) -> None:
        """A key with its modifiers, such as "alt+F4", "ctrl+v", "shift+Insert"."""
        names = {"ctrl": "Control_L", "alt": "Alt_L", "shift": "Shift_L", "super": "Super_L"}
        parts = combo.split("+")
        codes = []
        for p in parts:
            sym = XK.string_to_keysym(names.get(p.lower(), p))
            code = self.d.keysym_to_keycode(sym)
            if not code:
                raise ValueError(f"no key for {p!r}")
            codes.append(code)
        for c in codes:
            xtest.fake_input(self.d, X.KeyPress, c)
        for c in reversed(codes):
            xtest.fake_input(self.d, X.KeyRelease, c)
        self.d.sync()

    def alt_tab(self, hold: float = 0.4) -> None:
        """Alt+Tab as a hand types it: Alt held a moment after Tab, so that the
        window manager, which grabs the keyboard once Tab comes, sees Alt go."""
        alt, tab = (self.d.keysym_to_keycode(XK.string_to_keysym(k)) for k in ("Alt_L", "Tab"))
        for kind, code in ((X.KeyPress, alt), (X.KeyPress, tab), (X.KeyRelease, tab)):
            xtest.fake_input(self.d, kind, code)
            self.d.sync()
            time.sleep(0.05)
        time.sleep(hold)
        xtest.fake_input(self.d, X.KeyRelease, alt)
        self.d.sync()

    def type_text(self, text: str) -> None:
        for ch in text:
            self.key("space" if ch == " " else ch)

    def _to_wm(self, wid: int, name: str, data: list[int]) -> None:
        ev = xevent.ClientMessage(window=self.win(wid), client_type=self.atom(name), data=(32, (data + [0] * 5)[:5]))
        self.root.send_event(ev, event_mask=X.SubstructureRedirectMask | X.SubstructureNotifyMask)
        self.d.sync()

    def ping(self, wid: int) -> None:
        """A _NET_WM_PING to the client that owns the window, as a window
        manager sends one: Qt answers it in turn with the input before it."""
        ev = xevent.ClientMessage(window=self.win(wid), client_type=self.atom("WM_PROTOCOLS"),
                                  data=(32, [self.atom("_NET_WM_PING"), X.CurrentTime, wid, 0, 0]))
        self.win(wid).send_event(ev, event_mask=0)
        self.d.sync()

    def request_active(self, wid: int) -> None:
        """What a taskbar does when its button is clicked (source 2: a pager)."""
        self._to_wm(wid, "_NET_ACTIVE_WINDOW", [2, X.CurrentTime, 0])

    def request_close(self, wid: int) -> None:
        """What a taskbar's "Close" does: the window manager asks the window to close."""
        self._to_wm(wid, "_NET_CLOSE_WINDOW", [X.CurrentTime, 2])

    def other_program(self, title: str, r: Rect) -> int:
        """An ordinary window of another program: framed, in the taskbar and
        in Alt+Tab, taking the focus when given it. Stays until destroyed."""
        w = self.root.create_window(r.x, r.y, r.w, r.h, 0, X.CopyFromParent, X.InputOutput, X.CopyFromParent,
                                    background_pixel=0xE0E0E0)
        w.set_wm_name(title)
        w.change_property(self.atom("_NET_WM_NAME"), self.atom("UTF8_STRING"), 8, title.encode())
        w.set_wm_class("other", "Other")
        w.change_property(self.atom("_NET_WM_PID"), Xatom.CARDINAL, 32, [os.getpid()])
        w.set_wm_normal_hints(flags=Xutil.USPosition | Xutil.USSize, x=r.x, y=r.y, width=r.w, height=r.h)
        w.set_wm_hints(flags=Xutil.InputHint, input=1)
        w.map()
        self.d.sync()
        return w.id

    def destroy(self, wid: int) -> None:
        self.win(wid).destroy()
        self.d.sync()

    # ---- a panel

    def set_resources(self, text: str) -> None:
        """The X resources a desktop loads with xrdb (Xft.dpi among them)."""
        self.root.change_property(self.atom("RESOURCE_MANAGER"), Xatom.STRING, 8, text.encode())
        self.d.sync()

    def dock(self, edge: str, size: int) -> int:
        """A panel along one edge of the screen: a dock window with a strut, as
        GNOME's top bar and KDE's panel are. Stays while this connection does."""
        sw, sh = self.screen_size()
        rect = {"top": Rect(0, 0, sw, size), "bottom": Rect(0, sh - size, sw, size),
                "left": Rect(0, 0, size, sh), "right": Rect(sw - size, 0, size, sh)}[edge]
        w = self.root.create_window(rect.x, rect.y, rect.w, rect.h, 0, X.CopyFromParent, X.InputOutput,
                                    X.CopyFromParent, background_pixel=0x303030)
        w.change_property(self.atom("_NET_WM_WINDOW_TYPE"), Xatom.ATOM, 32, [self.atom("_NET_WM_WINDOW_TYPE_DOCK")])
        strut = {"left": [size, 0, 0, 0], "right": [0, size, 0, 0], "top": [0, 0, size, 0], "bottom": [0, 0, 0, size]}[edge]
        ranges = {"left": [0, sh - 1, 0, 0, 0, 0, 0, 0], "right": [0, 0, 0, sh - 1, 0, 0, 0, 0],
                  "top": [0, 0, 0, 0, 0, sw - 1, 0, 0], "bottom": [0, 0, 0, 0, 0, 0, 0, sw - 1]}[edge]
        w.change_property(self.atom("_NET_WM_STRUT"), Xatom.CARDINAL, 32, strut)
        w.change_property(self.atom("_NET_WM_STRUT_PARTIAL"), Xatom.CARDINAL, 32, strut + ranges)
        w.set_wm_name("panel")
        # Where it asks to be, as a panel does; and it never takes the focus.
        w.set_wm_normal_hints(flags=Xutil.USPosition | Xutil.PPosition | Xutil.USSize | Xutil.PSize | Xutil.PMinSize
                              | Xutil.PMaxSize, x=rect.x, y=rect.y, width=rect.w, height=rect.h,
                              min_width=rect.w, min_height=rect.h, max_width=rect.w, max_height=rect.h)
        w.set_wm_hints(flags=Xutil.InputHint, input=0)
        w.map()
        self.d.sync()
        return w.id


def wait_until(what, timeout: float, every: float = 0.05):
    """Calls what() until it returns something true, for at most timeout
    seconds. A window not viewable yet (NotViewable) is "not yet" too; still
    so at the end, it is raised."""
    end = time.monotonic() + timeout
    while True:
        try:
            v = what()
        except NotViewable:
            if time.monotonic() >= end:
                raise
            v = None
        if v or time.monotonic() >= end:
            return v
        time.sleep(every)
