"""Reads what strace saw the program do and lists everything a harmless
program must not do: open a file for writing; create, remove, rename or link
anything, or change its mode, owner or times; start another program (any
process other than threads, any exec after its own); connect to anything but
its X server and, where it has one, the session bus; offer a socket or send to
an address. Reading is never counted (the dynamic loader, Qt's plugins,
fontconfig). The one exception: Qt asks for its runtime folder at start-up
and is told it exists, which changes nothing."""

from __future__ import annotations

import re
from dataclasses import dataclass
from pathlib import Path

CALL = re.compile(r"^(\w+)\(")
WRITING = re.compile(r"O_(WRONLY|RDWR|CREAT|TRUNC|APPEND)")
PEER = re.compile(r'sun_path=(@?)"([^"]*)"')

FORBIDDEN = {
    "creat": "creates a file",
    **dict.fromkeys(["rmdir", "unlink", "unlinkat"], "removes something"),
    **dict.fromkeys(["rename", "renameat", "renameat2"], "renames something"),
    **dict.fromkeys(["link", "linkat", "symlink", "symlinkat"], "makes a link"),
    **dict.fromkeys(["chmod", "fchmodat", "fchmodat2", "chown", "lchown", "fchownat"], "changes a mode or owner"),
    **dict.fromkeys(["truncate", "mknod", "mknodat", "utime", "utimes", "utimensat", "futimesat"], "changes a file"),
    **dict.fromkeys(["setxattr", "lsetxattr", "removexattr", "lremovexattr"], "changes extended attributes"),
    **dict.fromkeys(["mount", "umount2", "chroot", "pivot_root", "swapon", "swapoff", "acct", "quotactl"],
                    "changes the file system"),
    **dict.fromkeys(["bind", "listen", "accept", "accept4"], "offers a socket"),
    **dict.fromkeys(["fork", "vfork"], "makes a new process"),
}


@dataclass
class Offence:
    pid: int
    why: str
    line: str

    def __str__(self) -> str:
        return f"{self.pid}: {self.why}\n      {self.line}"


def bus_socket(address: str) -> str:
    """The socket a bus address names, as strace prints it."""
    for kind, mark in (("unix:path=", ""), ("unix:abstract=", "@")):
        if kind in address:
            return mark + re.split(r"[,;]", address.split(kind, 1)[1])[0]
    return ""


def judge(traces: dict[int, list[str]], root: int, display: str, runtime: str, bus: str = "") -> list[Offence]:
    """traces: each process's strace lines; root: the program's own process."""
    x11 = f"/tmp/.X11-unix/X{display.lstrip(':').split('.')[0]}"
    bus = bus_socket(bus)
    found = []
    for pid, lines in traces.items():
        execs = 0
        for line in lines:
            m = CALL.match(line)
            if not m:
                continue
            call, result = m.group(1), line.rsplit(" = ", 1)[-1] if " = " in line else ""

            def offence(why):
                found.append(Offence(pid, why, line))
            if call in ("execve", "execveat"):
                execs += 1
                if not (pid == root and execs == 1):
                    offence("starts a program")
            elif call in ("clone", "clone3"):
                if "CLONE_THREAD" not in line:
                    offence("makes a new process")
            elif call in ("open", "openat", "openat2", "open_by_handle_at"):
                if WRITING.search(line):
                    offence("opens a file for writing")
            elif call in ("mkdir", "mkdirat"):
                if not (f'"{runtime}"' in line and result.startswith("-1 EEXIST")):
                    offence("makes a folder")
            elif call == "connect":
                m = PEER.search(line)
                peer = m.group(1) + m.group(2) if m else None
                if peer not in (x11, "@" + x11) and not (bus and peer == bus):
                    offence("connects to something other than its X server" + (" and the session bus" if bus else ""))
            elif call == "sendto":
                if ", NULL, 0) = " not in line:
                    offence("sends to an address")
            elif call == "sendmsg":
                if "msg_name={" in line:
                    offence("sends to an address")
            elif call in FORBIDDEN:
                offence(FORBIDDEN[call])
    return found


def read_traces(prefix: Path) -> dict[int, list[str]]:
    """strace -ff -o PREFIX writes the trace of process N to PREFIX.N."""
    return {int(f.suffix[1:]): f.read_text(errors="replace").splitlines()
            for f in prefix.parent.glob(prefix.name + ".*") if f.suffix[1:].isdigit()}
