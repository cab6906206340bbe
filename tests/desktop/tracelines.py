"""The program's trace lines that the driver reads (QT_LOGGING_RULES=vp.trace=true),
as patterns for Plim.trace() and friends. The program makes them in one place,
core/trace.h (namespace vp::trace): change the wording there and here together.
(Not named trace.py: that would hide Python's own trace module.)"""

from __future__ import annotations

import re


def show(screen: str | None = None) -> str:
    """`runtime: show "Inst"`: a screen's Show() has begun (any screen: the
    name is group 1)."""
    return 'runtime: show "' + (re.escape(screen) if screen else r"(\w+)") + '"'


def box_open(title: str) -> str:
    """`box: open Upozornění`: a message box with this title is up."""
    return "box: open " + re.escape(title) + "$"


def box_closed(title: str | None = None) -> str:
    """`box: closed Upozornění`: the box has been answered."""
    return "box: closed" + (" " + re.escape(title) + "$" if title else r"\b")


def client_message(window: int) -> str:
    """`x: client message to 0x1a00007`: a client message reached this window
    of the program (vp::trace::XClientMessageFormat)."""
    return f"x: client message to 0x{window:x}$"
