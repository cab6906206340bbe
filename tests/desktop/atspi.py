"""What a screen reader gets from the program through the desktop's
accessibility bus (AT-SPI), as plain data: the tree of its windows and
controls, and the events it sends.

It runs as a program of its own, with the session's environment, because
pyatspi finds the accessibility bus through the session bus it is started on:

    atspi.py tree APP            the application's tree as JSON
    atspi.py listen APP          its events, one JSON line each, until killed

The test driver uses tree() and Listener, which run these with a session's
environment."""

from __future__ import annotations

import json
import subprocess
import sys
import time
from pathlib import Path

HERE = Path(__file__).resolve()
PYTHON = "/usr/bin/python3"  # Debian's, which has python3-pyatspi

# The events a screen reader such as Orca reacts to.
EVENTS = [
    "focus:",
    "window:activate",
    "object:state-changed:focused",
    "object:state-changed:showing",
    "object:state-changed:checked",
    "object:property-change:accessible-name",
    "object:property-change:accessible-description",
    "object:property-change:accessible-value",
    "object:value-changed",
]


# ---- inside the session (pyatspi)

def _node(acc, depth: int = 0) -> dict:
    import pyatspi

    states = acc.getState()
    node = {
        "role": acc.getRoleName(),
        "name": acc.name or "",
        "description": acc.description or "",
        "states": sorted(pyatspi.stateToString(s) for s in states.getStates()),
        "children": [],
    }
    try:
        v = acc.queryValue()
        node["value"] = {"current": v.currentValue, "min": v.minimumValue, "max": v.maximumValue}
    except NotImplementedError:
        pass
    try:
        t = acc.queryText()
        node["text"] = t.getText(0, -1)
    except NotImplementedError:
        pass
    if depth < 12:
        for i in range(acc.childCount):
            child = acc.getChildAtIndex(i)
            if child is not None:
                node["children"].append(_node(child, depth + 1))
    return node


def _application(name: str):
    import pyatspi

    desktop = pyatspi.Registry.getDesktop(0)
    for i in range(desktop.childCount):
        app = desktop.getChildAtIndex(i)
        if app is not None and app.name == name:
            return app
    return None


def _dump_tree(name: str) -> int:
    app = _application(name)
    if app is None:
        print(json.dumps(None))
        return 0
    print(json.dumps(_node(app), ensure_ascii=False))
    return 0


def _listen(name: str) -> int:
    import pyatspi

    def on_event(e):
        try:
            app = e.source.getApplication()
            if app is None or app.name != name:
                return
            record = {"t": time.monotonic(), "type": e.type, "role": e.source.getRoleName(),
                      "name": e.source.name or "", "description": e.source.description or "",
                      "detail1": e.detail1}
            if e.type.startswith("object:property-change:accessible-value") or e.type == "object:value-changed":
                try:
                    record["value"] = e.source.queryValue().currentValue
                except NotImplementedError:
                    pass
            if isinstance(e.any_data, str):
                record["data"] = e.any_data
            print(json.dumps(record, ensure_ascii=False), flush=True)
        except Exception as ex:  # an object gone meanwhile
            print(json.dumps({"type": e.type, "error": str(ex)}), flush=True)

    pyatspi.Registry.registerEventListener(on_event, *EVENTS)
    print(json.dumps({"type": "listening"}), flush=True)
    pyatspi.Registry.start()
    return 0


# ---- for the driver (any Python)

def tree(env: dict, app: str = "valdrynix-plim") -> dict | None:
    out = subprocess.run([PYTHON, str(HERE), "tree", app], env=env, capture_output=True, text=True, timeout=60)
    if out.returncode != 0:
        raise RuntimeError(f"reading the accessibility tree failed:\n{out.stderr}")
    return json.loads(out.stdout)


def walk(node: dict):
    """Every node of a tree, depth first."""
    yield node
    for c in node.get("children", []):
        yield from walk(c)


def windows(app_tree: dict | None) -> list[dict]:
    return [] if not app_tree else [w for w in app_tree["children"] if "showing" in w["states"]]


def find(node: dict, role: str, name: str | None = None) -> list[dict]:
    return [n for n in walk(node) if n["role"] == role and (name is None or n["name"] == name)]


def showing_texts(window: dict) -> list[str]:
    """The static texts of a window that are on screen, as a screen reader reads them."""
    return [n["name"] for n in walk(window) if n["role"] == "label" and "showing" in n["states"] and n["name"]]


class Listener:
    """The program's accessibility events, recorded from now on."""

    def __init__(self, env: dict, log: Path, app: str = "valdrynix-plim"):
        self.path = log
        self._out = open(log, "w", encoding="utf-8")
        self.proc = subprocess.Popen([PYTHON, str(HERE), "listen", app], env=env, stdout=self._out,
                                     stderr=subprocess.STDOUT, stdin=subprocess.DEVNULL, start_new_session=True)
        end = time.monotonic() + 20
        while not any(e.get("type") == "listening" for e in self.events()):
            if time.monotonic() >= end or self.proc.poll() is not None:
                self.proc.kill()
                self.proc.wait()
                raise AssertionError(f"the AT-SPI listener did not say it was listening within 20 s (see {log})")
            time.sleep(0.05)

    def events(self) -> list[dict]:
        out = []
        for line in self.path.read_text(encoding="utf-8", errors="replace").splitlines():
            try:
                out.append(json.loads(line))
            except ValueError:
                pass
        return out

    def mark(self) -> int:
        return len(self.events())

    def since(self, mark: int) -> list[dict]:
        return self.events()[mark:]

    def stop(self) -> None:
        if self.proc.poll() is None:
            self.proc.terminate()
            try:
                self.proc.wait(5)
            except subprocess.TimeoutExpired:
                self.proc.kill()
                self.proc.wait()
        self._out.close()


if __name__ == "__main__":
    if len(sys.argv) != 3 or sys.argv[1] not in ("tree", "listen"):
        print(__doc__, file=sys.stderr)
        sys.exit(2)
    sys.exit(_dump_tree(sys.argv[2]) if sys.argv[1] == "tree" else _listen(sys.argv[2]))
