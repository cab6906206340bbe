"""What a blind user hears: the real screen reader (Orca, from Debian 12) on
the desktop, and the program driven by the keyboard alone, as such a user
drives it. The judge is Orca's own debug log: every `SPEECH OUTPUT` line is
what it said (speech-dispatcher's dummy module stands in for the voice).

One run: the splash, the prompt, Return through the wizard page by page (the
focus stays on "Další" and every page is spoken as it turns; the licence and
configuration boxes are visited with Tab and named by their questions),
"where am I" on the last page, the installation until its remaining time has
been spoken anew (not more often than a listener can follow), "where am I" there, "Konec" and its refusal, the waste-bin
question and its refusal. Orca speaks English around the program's Czech
("dialog", "push button" or "button", "text"); its key echo ("return ") is part of
the log. Needs --orca."""

from __future__ import annotations

import re
import subprocess

import pytest

import look
from spoken import BIN_QUESTION, BIN_REFUSAL, INSTALLING, NEXT, PAGES, PROMPT, QUESTION, WIZARD
from x11 import wait_until

JOURNEY = True

LICENCE_FIRST_LINE = "Podmínky využívání aplikace Valdrynix Plim 1.0."
# "Zbývá ještě: 0 h  19 m  2 s  (odhad)": each figure after a blank of its own.
REMAINING = re.compile(r"Zbývá ještě: +(\d+) h +(\d+) m +(\d+) s +\(odhad\)")
EXIT_REFUSAL = "Systém nemůže automaticky ukončit tento program."
BIN_PROMPT = ("Na jednotce 'C:' zbývá pouze 000120kB volného místa. Na této jednotce se nachází Odpadkový koš o "
              "velikosti [?] kB. Chcete tento koš vysypat?")
REFUSAL_PROMPT = "Bohužel, tento koš nemůže být vysypán, protože je již využíván jinou aplikací."
# No more than one remaining time in this many seconds, besides the ones asked for.
PACE = 8.0

# Orca's own words around the program's, as each version says them: Debian 12
# has Orca 43, Debian 13 Orca 48.
ORCA_WORDS = {
    # "Where am I" on a button: one utterance, its name, role and description.
    43: {"window alone": "frame.", "push button": "push button", "keeps descriptions": False,
         "where am I apart": False},
    # Orca 48 keeps the descriptions it has spoken for up to 2 s, until its
    # generator's cache is cleared ("GENERATOR: Clearing cache." in its log;
    # orca/generator.py, _clear_stored_data): a "where am I" sooner than that
    # after a page turned tells the page before.
    # "Where am I" on a button: its name and role ("Konec button."), then
    # apart what it takes for the button's key (from Qt's "set-focus (Enter)"
    # action it makes "r."), then apart its description.
    48: {"window alone": "frame", "push button": "button", "keeps descriptions": True,
         "where am I apart": True},
}


def orca_words() -> dict[str, str]:
    said = subprocess.run(["orca", "--version"], capture_output=True, text=True).stdout
    version = re.search(r"(\d+)\.\d+", said)
    assert version, f"orca --version said {said!r}"
    major = int(version.group(1))
    assert major in ORCA_WORDS, f"no words written out for Orca {major}"
    return ORCA_WORDS[major]


WORDS = orca_words()
BUTTON = WORDS["push button"]


class Seen:
    """What the run has met so far, for the steps after."""


seen = Seen()


class Ears:
    """Orca's speech as the run goes on."""

    def __init__(self, session):
        self.session = session

    def all(self) -> list[tuple[float, str]]:
        return self.session.speech()

    def mark(self) -> int:
        return len(self.all())

    def since(self, mark: int) -> list[str]:
        return [said for _, said in self.all()[mark:]]

    def wait(self, mark: int, what: str, test, timeout: float = 8.0) -> str:
        """The first utterance since mark that passes test, once it is said."""
        found = wait_until(lambda: next((s for s in self.since(mark) if test(s)), None), timeout, 0.1)
        assert found, f"Orca did not say {what} within {timeout:g} s; it said {self.since(mark)}"
        return found

    def wait_said(self, mark: int, text: str, timeout: float = 8.0) -> str:
        return self.wait(mark, repr(text), lambda s: text in s, timeout)

    def wait_forgotten(self) -> None:
        """Where Orca keeps what it has spoken, until it lets it go: from now
        on it reads the program afresh."""
        if not WORDS["keeps descriptions"]:
            return
        log = self.session.orca_log
        start = log.stat().st_size
        line = "GENERATOR: Clearing cache."

        def cleared():
            with open(log, "rb") as f:
                f.seek(start)
                return line.encode() in f.read()
        assert wait_until(cleared, 5, 0.1), f"Orca's log did not say {line!r} within 5 s"


@pytest.fixture(scope="module")
def ears(session, plim):
    if not getattr(session, "screen_reader", False):
        pytest.fail("this journey needs the screen reader (--orca)")
    # As on a desktop where the screen reader runs.
    session.env["QT_LINUX_ACCESSIBILITY_ALWAYS_ON"] = "1"
    return Ears(session)


def key(plim, w: int, combo: str) -> None:
    """A key as a keyboard user presses it: into the active window, which must be w."""
    look.wait_active(plim, w)
    plim.desk.key(combo)


def focus_said(said: str, name: str, role: str) -> bool:
    return said.startswith(f"{name} {role}")


def test_splash_and_prompt_are_read(plim, ears):
    mark = ears.mark()
    plim.start()
    ears.wait(mark, "the splash", lambda s: s == "Valdrynix Plim 1.0. " + WORDS["window alone"], 20)
    seen.prompt = plim.wait_titled(PROMPT, 10)
    ears.wait_said(mark, f"{PROMPT} dialog {QUESTION}")
    ears.wait(mark, "the focus on Ano", lambda s: focus_said(s, "Ano", BUTTON))


def test_return_opens_the_wizard_read_whole(plim, ears):
    mark = ears.mark()
    key(plim, seen.prompt, "Return")
    seen.wizard = plim.wait_titled(WIZARD)
    ears.wait_said(mark, f"{WIZARD} dialog {PAGES[0]}")
    ears.wait(mark, "the focus on Další", lambda s: focus_said(s, NEXT, BUTTON))


def turn_page(plim, ears, page: str) -> None:
    mark = ears.mark()
    key(plim, seen.wizard, "Return")
    ears.wait(mark, f"the page \"{page}\"", lambda s: page in s)
    moved = [s for s in ears.since(mark) if f" {BUTTON}" in s or "radio button" in s or " text" in s]
    assert not moved, f"the focus moved when the page turned: {moved}"


def visit(plim, ears, tabs: int, name: str, role: str) -> str:
    """Tab forward to a control, then back to Další; what was said there."""
    mark = ears.mark()
    for _ in range(tabs):
        key(plim, seen.wizard, "Tab")
    said = ears.wait(mark, f"\"{name}\" as a {role}", lambda s: s.startswith(role) or f" {role}" in s)
    back = ears.mark()
    for _ in range(tabs):
        key(plim, seen.wizard, "shift+Tab")
    ears.wait(back, "the focus back on Další", lambda s: focus_said(s, NEXT, BUTTON))
    return said


def test_the_folder_page_is_spoken_as_it_turns(plim, ears):
    turn_page(plim, ears, PAGES[1])


def test_the_licence_page_and_its_box_named_by_its_question(plim, ears):
    turn_page(plim, ears, PAGES[2])
    # Další, Konec, the licence box.
    said = visit(plim, ears, 2, PAGES[2], "text")
    assert said.startswith(f"{PAGES[2]} text"), f"the licence box is announced as \"{said}\""


def test_the_configuration_page_and_its_box_named_by_its_question(plim, ears):
    turn_page(plim, ears, PAGES[3])
    # Další, Konec, the first option, the configuration box.
    said = visit(plim, ears, 3, PAGES[3], "text")
    assert said.startswith(f"{PAGES[3]} text"), f"the configuration box is announced as \"{said}\""


def test_the_last_page_and_where_am_i_there(plim, ears):
    turn_page(plim, ears, PAGES[4])
    ears.wait_forgotten()
    mark = ears.mark()
    key(plim, seen.wizard, "KP_Enter")
    where_am_i(ears, mark, NEXT, repr(PAGES[4]), lambda s: PAGES[4] in s)


def where_am_i(ears, mark: int, name: str, what: str, describes) -> str:
    """What "where am I" on a button says: its name, its role and, as test
    judges it, its description; the description's utterance."""
    if not WORDS["where am I apart"]:
        return ears.wait(mark, f"{name} {BUTTON} with {what}",
                         lambda s: s.startswith(f"{name} {BUTTON} ") and describes(s))
    said = ears.wait(mark, f"{what} on \"where am I\"", describes)
    before = ears.since(mark)[:ears.since(mark).index(said)]
    assert before and before[0] == f"{name} {BUTTON}.", f"\"where am I\" began {before}, not with {name}"
    return said


def remaining_times(ears, mark: int = 0) -> list[tuple[float, str]]:
    """When Orca spoke a remaining time since mark, and the time it spoke."""
    return [(t, m.group(0)) for t, said in ears.all()[mark:] if (m := REMAINING.search(said))]


def test_the_installation_is_read_with_its_remaining_time(plim, ears):
    mark = ears.mark()
    key(plim, seen.wizard, "Return")
    seen.inst = plim.wait_titled(INSTALLING)
    said = ears.wait(mark, "the installation with its remaining time",
                     lambda s: s.startswith(f"{INSTALLING} dialog") and REMAINING.search(s))
    seen.inst_mark = mark
    assert said == f"{INSTALLING} dialog {REMAINING.search(said).group(0)}", said
    ears.wait(mark, "the focus on Konec", lambda s: focus_said(s, "Konec", BUTTON))


def at_a_listeners_pace(times: list[tuple[float, str]]) -> None:
    """A new remaining time comes no sooner than PACE after the last one; the
    same one may be said twice together (a window read again as it comes back
    from behind a box, then its focus described by it), never again later."""
    for (t0, said0), (t1, said1) in zip(times, times[1:]):
        if said1 == said0:
            assert t1 - t0 < 2.0, f"the same remaining time spoken again {t1 - t0:.1f} s later: {times}"
        else:
            assert t1 - t0 >= PACE, f"two remaining times {t1 - t0:.1f} s apart: {times}"


def test_the_remaining_time_is_spoken_anew_at_a_listeners_pace(plim, ears):
    def spoken_anew():
        times = remaining_times(ears, seen.inst_mark)
        return len(times) >= 3 and times
    # The figure changes every tick of 0.8 s: it is told again after a while.
    times = wait_until(spoken_anew, 45, 0.5)
    assert times, f"the remaining time was not spoken anew within 45 s: {ears.since(seen.inst_mark)}"
    at_a_listeners_pace(times)


def test_where_am_i_tells_the_remaining_time(plim, ears):
    ears.wait_forgotten()
    mark = ears.mark()
    key(plim, seen.inst, "KP_Enter")
    where_am_i(ears, mark, "Konec", "the remaining time", lambda s: REMAINING.search(s) is not None)


def test_konec_is_refused_as_before(plim, ears):
    # As a user takes a moment after "where am I" (Orca 48 would read the
    # focus coming back with the description it has just spoken).
    ears.wait_forgotten()
    mark = ears.mark()
    key(plim, seen.inst, "Return")
    ears.wait_said(mark, EXIT_REFUSAL)
    box = wait_until(lambda: [w for w in plim.visible() if w != seen.inst and plim.desk.title(w) not in
                              (INSTALLING, "Form2")], 5)
    assert box, f"no refusal box (visible: {plim.describe()})"
    back = ears.mark()
    key(plim, box[0], "Return")
    look.wait_gone(plim, box[0])
    # Back in the installation (whose time went on behind the box): the window
    # is read again with its time as it is then, the focus, and after a while
    # the time anew.
    ears.wait(back, "the installation read again", lambda s: s.startswith(f"{INSTALLING} dialog"))
    ears.wait(back, "the focus back on Konec", lambda s: focus_said(s, "Konec", BUTTON))
    times = wait_until(lambda: (t := remaining_times(ears, back)) and len({s for _, s in t}) >= 2 and t, 20, 0.2)
    assert times, f"the remaining time was not told anew within 20 s: {ears.since(back)}"
    at_a_listeners_pace(times)


def test_the_bin_question_and_its_refusal_as_before(plim, ears):
    box = wait_until(lambda: plim.ensure_alive() or plim.titled(BIN_QUESTION), 180, 0.5)
    assert box, f"no \"{BIN_QUESTION}\" (visible: {plim.describe()})"
    mark = ears.mark()
    ears.wait_said(0, BIN_PROMPT)
    key(plim, box[0], "Return")
    refusal = plim.wait_titled(BIN_REFUSAL, 5)
    ears.wait_said(mark, REFUSAL_PROMPT)
    key(plim, refusal, "Return")
    look.wait_gone(plim, refusal)
    assert not plim.sanitizer_reports(), "\n".join(plim.sanitizer_reports())
