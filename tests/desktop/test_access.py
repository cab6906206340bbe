"""What a screen reader gets, and where the keyboard alone goes, on a real
desktop with a session bus and the accessibility bus (AT-SPI), read through
python3-pyatspi as a screen reader reads it.

Two runs, keyboard only (the driver never clicks and never asks the window
manager to activate a window; a key goes to whatever window is active):
  1. splash, prompt, wizard page by page, the installation with its boxes,
     the completion and the crash screen: names, roles, the bar's value and
     the events at each; out by Alt+F4 on the crash screen.
  2. splash, prompt, Alt+F4 there, splash and a new prompt, the wizard,
     Alt+F4 there: the backdrop alone is active, and Alt+F4 ends the program."""

from __future__ import annotations

import pytest

import atspi
import look
from plim import describe_status
from spoken import BIN_QUESTION, BIN_REFUSAL, INSTALLING, NEXT, PAGES, PROMPT, QUESTION, WIZARD
from x11 import wait_until

JOURNEY = True

DONE = "Instalace Valdrynix Plim 1.0."
PRODUCT, BACKDROP = "Valdrynix Plim 1.0.", "Pozadí instalace Valdrynix Plim 1.0."
COMPLETION = "Proces instalace aplikace Valdrynix Plim 1.0.byl dokončen. Potvrďte stiskem tlačítka OK."
REPORT_START = ("Došlo k zásadní v j mce na adrese '2k45547MHůř8296N54.845BLA / x123456;vALdry0-NX000;H,335978/2' "
                "Ukončete všechny aplikace, vypněte počítač a hoďte ho do záchoda.")
REPORT = (" " + REPORT_START + "\n V systému došlo k chybě. Program provedl neplatnou operaci a bude ukončen.\n\n"
          " Restartujte počítač stiskem 'CTRL + ALT + DEL'\n Došlo k přetížení interní paměti. Toto chybové hlášení "
          "není platné...\n")


class Seen:
    """What the runs have met so far, for the steps after."""


seen = Seen()


@pytest.fixture(scope="module")
def events(session, outdir):
    if session.env.get("DBUS_SESSION_BUS_ADDRESS", "disabled:") == "disabled:":
        pytest.fail("these checks need a session bus (--bus)")
    # As a desktop with a screen reader running has it.
    session.env["QT_LINUX_ACCESSIBILITY_ALWAYS_ON"] = "1"
    listener = atspi.Listener(session.env, outdir / "atspi-events.jsonl")
    yield listener
    listener.stop()


def tree(session) -> dict:
    t = atspi.tree(session.env)
    assert t, "the program is not on the accessibility bus"
    return t


def window(session, role: str, name: str, timeout: float = 10.0) -> dict:
    """The program's one showing window with that role and name, once it is there."""
    found = wait_until(lambda: [w for w in atspi.windows(tree(session)) if w["role"] == role and w["name"] == name], timeout, 0.3)
    shown = [(w["role"], w["name"]) for w in atspi.windows(atspi.tree(session.env) or {"children": []})]
    assert found and len(found) == 1, f"no single {role} \"{name}\" on the accessibility bus (showing: {shown})"
    return found[0]


def focused(win: dict) -> list[tuple[str, str]]:
    return [(n["role"], n["name"]) for n in atspi.walk(win) if "focused" in n["states"]]


def key(plim, w: int, combo: str) -> None:
    """A key as a keyboard user presses it: into the active window, which must be w."""
    look.wait_active(plim, w)
    plim.desk.key(combo)


# ------------------------------------------------------------------ run 1

def test_splash_is_the_product_name(plim, session, events):
    # The splash is up for 2 s: the accessibility bus and its registry are
    # woken before the program starts, so that the first look at the tree
    # does not wait for them (on a loaded machine that took longer than 2 s).
    atspi.tree(session.env)
    plim.start()
    seen.splash = wait_until(lambda: plim.ensure_alive() or plim.visible(), 15)
    assert seen.splash, "no window within 15 s of the start"
    seen.splash = seen.splash[0]
    w = window(session, "frame", PRODUCT)
    assert atspi.showing_texts(w) == ["Valdrynix Plim   1.0."]  # its shadow is left out
    assert [n["name"] for n in atspi.find(w, "image")] == ["Fotografie usměvavého muže s brýlemi"]
    look.title_is(plim, seen.splash, "Form4")  # the title stays as the program sets it


def test_prompt_reads_its_question(plim, session, events):
    seen.prompt = plim.wait_titled(PROMPT, 10)
    w = window(session, "dialog", PROMPT)
    assert atspi.showing_texts(w) == [QUESTION]
    assert sorted(n["name"] for n in atspi.find(w, "push button")) == ["Ano", "Ne"]
    assert wait_until(lambda: focused(window(session, "dialog", PROMPT)) == [("push button", "Ano")], 5), \
        f"the keyboard focus is on {focused(window(session, 'dialog', PROMPT))}"
    assert any(e["type"] == "window:activate" and e["name"] == PROMPT for e in events.events())


def test_return_on_ano_opens_the_wizard(plim, session, events):
    key(plim, seen.prompt, "Return")
    seen.wizard = plim.wait_titled(WIZARD)
    look.wait_active(plim, seen.wizard)
    w = window(session, "dialog", WIZARD)
    assert PAGES[0] in atspi.showing_texts(w)
    assert focused(w) == [("push button", NEXT)]
    assert atspi.find(w, "image", "Fotografie usměvavého muže s brýlemi")


def test_return_turns_the_pages_and_each_is_heard(plim, session, events):
    for page in PAGES[1:]:
        mark = events.mark()
        key(plim, seen.wizard, "Return")

        def told():
            return [e for e in events.since(mark)
                    if e["type"] == "object:property-change:accessible-description" and e["name"] == NEXT]
        heard = wait_until(told, 5, 0.2)
        assert heard and heard[-1]["description"] == page, f"turning to \"{page}\" sent {events.since(mark)}"
        # The news a screen reader speaks: a notification, named by the page, shows.
        news = wait_until(lambda: [e for e in events.since(mark) if e["type"] == "object:state-changed:showing"
                                   and e["role"] == "notification" and e["detail1"] == 1], 5, 0.2)
        assert news and [e["name"] for e in news] == [page], f"turning to \"{page}\" told {news}"
        w = window(session, "dialog", WIZARD)
        assert page in atspi.showing_texts(w)
        assert focused(w) == [("push button", NEXT)], f"the focus moved to {focused(w)}"
        if page == PAGES[1]:
            boxes = atspi.find(w, "text", PAGES[1])
            assert boxes and boxes[0].get("text") == r"C:\Program Files\Valdrynix Plim\Plim\Plim_1_0"


def test_the_installation_bar_is_a_progress_bar(plim, session, events):
    mark = events.mark()
    key(plim, seen.wizard, "Return")
    seen.inst = plim.wait_titled(INSTALLING)
    w = window(session, "dialog", INSTALLING)
    bars = atspi.find(w, "progress bar")
    assert len(bars) == 1 and bars[0]["value"]["min"] == 0 and bars[0]["value"]["max"] == 100, bars
    assert "Instaluje se:" in atspi.showing_texts(w)
    assert [n["name"] for n in atspi.find(w, "image") if "showing" in n["states"]] == ["Otevřená složka", "Počítač"]
    # A new whole percent about every second and a half.
    assert wait_until(lambda: atspi.find(tree(session), "progress bar")[0]["value"]["current"] >= 3, 15, 0.5)
    values = [e["value"] for e in events.since(mark) if e["type"] == "object:property-change:accessible-value"]
    assert values[:4] == [0, 1, 2, 3], values  # empty when the screen loads, then each new percent


def test_the_boxes_by_keyboard_and_the_completion(plim, session, events):
    box = wait_until(lambda: plim.ensure_alive() or plim.titled(BIN_QUESTION), 180, 0.5)
    assert box, f"no \"{BIN_QUESTION}\" (visible: {plim.describe()})"
    bar = atspi.find(tree(session), "progress bar")[0]["value"]["current"]
    assert 81 <= bar <= 86, f"the bar reads {bar} at the question"
    key(plim, box[0], "Return")
    refusal = plim.wait_titled(BIN_REFUSAL, 3)
    key(plim, refusal, "Return")
    seen.done = plim.wait_titled(DONE, 90)
    w = window(session, "dialog", DONE)
    assert atspi.showing_texts(w) == [COMPLETION]
    assert focused(w) == [("push button", "OK")]
    values = [e["value"] for e in events.events() if e["type"] == "object:property-change:accessible-value"]
    assert values[-1] == 100 and values == sorted(values), values[-5:]


def test_the_crash_screen_reads_its_report(plim, session, events):
    key(plim, seen.done, "Return")
    w = window(session, "frame", REPORT_START)
    assert atspi.showing_texts(w) == [REPORT]
    # Alone once the window manager has taken the backdrop away too.
    alone = wait_until(lambda: len(plim.visible()) == 1 and plim.visible(), 3)
    assert alone, f"visible: {plim.describe()}"
    seen.rst = alone[0]
    look.wait_active(plim, seen.rst)
    mark = plim.mark()
    for k in ("Return", "space", "Escape", "Tab"):
        plim.desk.key(k)
    # The keys were taken, and for a second after that nothing came of them.
    plim.nothing_follows(seen.rst, [seen.rst], 1.0, mark, "a key led on from the crash screen")


def test_alt_f4_on_the_crash_screen_ends_the_program(plim):
    key(plim, seen.rst, "alt+F4")
    assert plim.wait_exit(5), f"still running (visible: {plim.describe()})"
    assert plim.status == 0, describe_status(plim.status)


# ------------------------------------------------------------------ run 2

def test_the_prompt_again_after_alt_f4(plim, session, events):
    plim.start()
    seen.prompt = plim.wait_titled(PROMPT, 15)
    key(plim, seen.prompt, "alt+F4")
    splash = wait_until(lambda: plim.ensure_alive() or [w for w in plim.visible() if plim.desk.title(w) == "Form4"], 3)
    assert splash, f"Alt+F4 on the prompt does not bring the splash back (visible: {plim.describe()})"
    seen.prompt = plim.wait_titled(PROMPT, 10)
    # The prompt is built anew, and read anew.
    w = window(session, "dialog", PROMPT)
    assert atspi.showing_texts(w) == [QUESTION]
    assert wait_until(lambda: focused(window(session, "dialog", PROMPT)) == [("push button", "Ano")], 5)


def test_alt_f4_on_the_wizard_leaves_an_active_backdrop(plim, session, events):
    key(plim, seen.prompt, "Return")
    seen.wizard = plim.wait_titled(WIZARD)
    backdrop = wait_until(lambda: [w for w in plim.visible() if plim.desk.title(w) == "Form2"], 3)
    assert backdrop, f"no backdrop (visible: {plim.describe()})"
    seen.backdrop = backdrop[0]
    mark = events.mark()
    key(plim, seen.wizard, "alt+F4")
    look.wait_gone(plim, seen.wizard)
    look.only_visible(plim, seen.backdrop)
    # Without the focus the backdrop would take no key: a dead end for a keyboard user.
    look.wait_active(plim, seen.backdrop, 5)
    assert wait_until(lambda: any(e["type"] == "window:activate" and e["name"] == BACKDROP for e in events.since(mark)), 5), \
        events.since(mark)


def test_alt_f4_on_the_backdrop_ends_the_program(plim):
    key(plim, seen.backdrop, "alt+F4")
    assert plim.wait_exit(5), f"still running (visible: {plim.describe()})"
    assert plim.status == 0, describe_status(plim.status)
    assert not plim.sanitizer_reports(), "\n".join(plim.sanitizer_reports())
