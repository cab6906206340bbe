"""The strace reader on made-up traces: what it must let pass and what it must
flag. Needs no desktop."""

import pytest

from harmless import judge

OWN_EXEC = 'execve("/build/valdrynix-plim", ["valdrynix-plim"], 0x7ffc /* 40 vars */) = 0'
BUS = "unix:abstract=/tmp/dbus-abc,guid=1"


def verdict(*lines, bus=BUS, others=None):
    traces = {10: [OWN_EXEC, *lines], **(others or {})}
    return judge(traces, root=10, display=":91", runtime="/run/vp", bus=bus)


@pytest.mark.parametrize("line", [
    'openat(AT_FDCWD, "/etc/fonts/fonts.conf", O_RDONLY|O_CLOEXEC) = 3',
    'openat(AT_FDCWD, "/nowhere", O_RDONLY) = -1 ENOENT (No such file or directory)',
    'mkdir("/run/vp", 0700) = -1 EEXIST (File exists)',
    'connect(3, {sa_family=AF_UNIX, sun_path=@"/tmp/.X11-unix/X91"}, 21) = 0',
    'connect(3, {sa_family=AF_UNIX, sun_path="/tmp/.X11-unix/X91"}, 110) = 0',
    'connect(7, {sa_family=AF_UNIX, sun_path=@"/tmp/dbus-abc"}, 16) = 0',
    'clone3({flags=CLONE_VM|CLONE_FS|CLONE_FILES|CLONE_SIGHAND|CLONE_THREAD|CLONE_SYSVSEM, stack=0x7f}, 88) = 12',
    'recvmsg(3, {msg_name=NULL, msg_namelen=0, msg_iov=[{iov_base="\\1", iov_len=4096}], msg_iovlen=1}, 0) = 32',
    'sendmsg(3, {msg_name=NULL, msg_namelen=0, msg_iov=[{iov_base="\\1", iov_len=4}], msg_iovlen=1}, 0) = 4',
    'sendto(5, "\\0", 1, MSG_NOSIGNAL, NULL, 0) = 1',
    'readlink("/proc/self/exe", "/build/valdrynix-plim", 256) = 20',
    'inotify_add_watch(5, "/etc/fonts", IN_MODIFY) = 1',
])
def test_harmless(line):
    assert verdict(line) == []


@pytest.mark.parametrize("line", [
    'openat(AT_FDCWD, "/home/u/.cache/fontconfig/x.cache-8", O_WRONLY|O_CREAT|O_TRUNC, 0666) = 5',
    'openat(AT_FDCWD, "/dev/shm/x", O_RDWR|O_CREAT|O_EXCL, 0600) = 5',
    'openat(AT_FDCWD, "/tmp/log", O_WRONLY|O_APPEND) = -1 EACCES (Permission denied)',
    'open("/tmp/x", O_RDWR) = 4',
    'creat("/tmp/x", 0644) = 4',
    'mkdir("/tmp/runtime-root", 0700) = 0',
    'mkdir("/run/vp/sub", 0700) = -1 EEXIST (File exists)',
    'mkdirat(AT_FDCWD, "/tmp/new", 0700) = 0',
    'unlink("/tmp/x") = 0',
    'unlinkat(AT_FDCWD, "/tmp/x", 0) = -1 ENOENT (No such file or directory)',
    'rmdir("/tmp/d") = 0',
    'rename("/tmp/a", "/tmp/b") = 0',
    'renameat2(AT_FDCWD, "/tmp/a", AT_FDCWD, "/tmp/b", RENAME_NOREPLACE) = 0',
    'symlink("/a", "/tmp/l") = 0',
    'chmod("/tmp/x", 0777) = 0',
    'fchmodat(AT_FDCWD, "/tmp/x", 0600) = 0',
    'utimensat(AT_FDCWD, "/tmp/x", NULL, 0) = 0',
    'truncate("/tmp/x", 0) = 0',
    'execve("/usr/bin/dbus-launch", ["dbus-launch", "--autolaunch"], 0x7ffd /* 41 vars */) = -1 ENOENT (No such file)',
    'clone(child_stack=NULL, flags=CLONE_CHILD_CLEARTID|CLONE_CHILD_SETTID|SIGCHLD, child_tidptr=0x7f) = 18087',
    'vfork() = 18087',
    'connect(4, {sa_family=AF_INET, sin_port=htons(80), sin_addr=inet_addr("93.184.216.34")}, 16) = 0',
    'connect(4, {sa_family=AF_UNIX, sun_path="/run/user/0/at-spi/bus"}, 110) = 0',
    'connect(4, {sa_family=AF_UNIX, sun_path=@"/tmp/.X11-unix/X92"}, 21) = 0',
    'bind(4, {sa_family=AF_INET, sin_port=htons(0), sin_addr=inet_addr("0.0.0.0")}, 16) = 0',
    'listen(4, 5) = 0',
    'sendto(4, "x", 1, 0, {sa_family=AF_INET, sin_port=htons(53), sin_addr=inet_addr("8.8.8.8")}, 16) = 1',
    'sendmsg(4, {msg_name={sa_family=AF_INET, sin_port=htons(53)}, msg_namelen=16}, 0) = 1',
    # Only the program's own first exec is its own.
    OWN_EXEC,
])
def test_flagged(line):
    assert len(verdict(line)) == 1


def test_an_exec_in_a_second_process_starts_a_program():
    assert verdict(others={11: ['execve("/bin/sh", ["sh"], 0x7ffc /* 40 vars */) = 0']})


def test_without_a_session_bus_a_bus_connection_is_flagged():
    assert verdict('connect(7, {sa_family=AF_UNIX, sun_path=@"/tmp/dbus-abc"}, 16) = 0', bus="")
