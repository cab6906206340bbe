"""Settings and shared pieces of the desktop tests.

Each test module is one journey of a user: its steps are test functions that
run in order on one desktop with one program. When a step fails, the screen
is saved as STEP.failure.png beside the program's trace (program.log). Where
only checks that look failed in it (look.also: a picture, a size, a panel, the
window list), the journey goes on; where the step itself failed, the program
is not where the next steps begin, and they are skipped, saying after which.
"""

from __future__ import annotations

import re
from pathlib import Path

import pytest

import look
from plim import Plim, load_layout
from x11 import Rect
from xsession import Session, parse_monitors


def pytest_addoption(parser):
    g = parser.getgroup("desktop")
    g.addoption("--program", help="the valdrynix-plim executable")
    g.addoption("--layout-tool", help="the layout tool of the same build")
    g.addoption("--wm", default="openbox", help="window manager: openbox, metacity, ...")
    g.addoption("--panel", default=None, help="a dock along one edge, e.g. top:32")
    g.addoption("--screen", default="1024x768")
    g.addoption("--monitors", default=None, help="e.g. 1024x768+0+0,1280x1024+1024+0")
    g.addoption("--bus", action="store_true", help="a session bus of the desktop's own")
    g.addoption("--orca", action="store_true", help="the Orca screen reader on the desktop (brings a bus)")
    g.addoption("--dpi", type=int, default=96, help="Xft.dpi of the desktop: 192 draws everything twice the size")
    g.addoption("--strace", action="store_true", help="the program under strace")
    g.addoption("--stage-from", default=None, help="a build folder to stage with cmake --install")
    g.addoption("--outdir", default=None, help="screenshots and logs (default: a new folder in /tmp)")
    g.addoption("--until", default=None, help="a shorter journey: its steps up to this one")


@pytest.fixture(scope="module")
def opts(request):
    return request.config.option


@pytest.fixture(scope="module")
def outdir(request, opts, tmp_path_factory) -> Path:
    base = Path(opts.outdir) if opts.outdir else tmp_path_factory.mktemp("desktop")
    d = base / request.module.__name__
    d.mkdir(parents=True, exist_ok=True)
    for old in d.glob("*"):
        if old.is_file():
            old.unlink()
    return d


@pytest.fixture(scope="module")
def scale(opts) -> float:
    """How many screen pixels a pixel of the program's screens takes."""
    return opts.dpi / 96


@pytest.fixture(scope="module")
def layout(opts, scale) -> dict:
    """Where the program's definitions put every control, in screen pixels."""
    if not opts.layout_tool:
        pytest.fail("--layout-tool is needed")
    got = load_layout(opts.layout_tool)
    for screen in got.values():
        for name, r in screen["controls"].items():
            screen["controls"][name] = [round(v * scale) for v in r]
    return got


@pytest.fixture(scope="module")
def session(opts, outdir):
    w, h = (int(v) for v in opts.screen.split("x"))
    monitors = parse_monitors(opts.monitors) if opts.monitors else None
    with Session(opts.wm, (w, h), opts.panel, monitors, opts.bus, outdir, dpi=opts.dpi, screen_reader=opts.orca) as s:
        print(f"\n# {opts.wm} on {s.display}, screenshots and logs in {outdir}")
        yield s


@pytest.fixture(scope="module")
def plim(session, opts, outdir):
    if not opts.program:
        pytest.fail("--program is needed")
    p = Plim(session, opts.program, outdir, strace=opts.strace)
    yield p
    p.kill()


# ---- one journey: steps in order, the rest skipped after a failure

_failed: dict[str, str] = {}


@pytest.hookimpl(hookwrapper=True)
def pytest_runtest_makereport(item, call):
    outcome = yield
    rep = outcome.get_result()
    if rep.when == "setup":
        look.findings.clear()
    if rep.when != "call":
        return
    if rep.failed:  # the step itself: the program is not where the next ones begin
        _failed.setdefault(item.module.__name__, item.name)
    if look.findings:
        found = "\n".join(look.findings)
        look.findings.clear()
        if rep.passed:
            rep.outcome, rep.longrepr = "failed", f"checks that looked found (the journey goes on):\n{found}"
        else:
            rep.sections.append(("checks that looked", found))
    if rep.failed:
        session = item.funcargs.get("session")
        if session is not None and session.desk is not None:
            shot = Path(item.funcargs["outdir"]) / (re.sub(r"\W+", "-", item.name) + ".failure.png")
            try:
                session.desk.screenshot(shot)
                rep.sections.append(("failure", f"screenshot {shot}; the program's trace in {shot.parent}/program.log"))
            except Exception as e:  # the screen may be gone with the server
                rep.sections.append(("failure", f"no screenshot: {e}"))


def pytest_collection_modifyitems(config, items):
    last = config.getoption("until")
    if not last:
        return
    names = [i.name for i in items]
    if last not in names:
        raise pytest.UsageError(f"--until {last}: no such step")
    dropped = items[names.index(last) + 1:]
    config.hook.pytest_deselected(items=dropped)
    del items[len(items) - len(dropped):]


def pytest_runtest_setup(item):
    first = _failed.get(item.module.__name__)
    if first and getattr(item.module, "JOURNEY", False):
        pytest.skip(f"after the failed step {first}")


# ---- the screen as the checks measure it

def monitor_of(session: Session, r: Rect) -> Rect:
    """The monitor that holds most of r."""
    def overlap(m: Rect) -> int:
        w = min(r.x + r.w, m.x + m.w) - max(r.x, m.x)
        h = min(r.y + r.h, m.y + m.h) - max(r.y, m.y)
        return max(w, 0) * max(h, 0)
    return max(session.monitor_rects(), key=overlap)
