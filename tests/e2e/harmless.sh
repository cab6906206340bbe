#!/usr/bin/env bash
# Reads what strace saw the program do and lists everything a harmless program
# must not do: open a file for writing, create, remove, rename, link or change
# the mode or owner of anything in the file system, start another program
# (any process other than threads, any exec after its own), or connect to
# anything but its X server and, where it has one, the session bus.
#
#   harmless.sh PREFIX ROOT_PID DISPLAY_NUMBER RUNTIME_DIR [BUS_ADDRESS]
#   harmless.sh --self-test
#
# PREFIX is strace's -ff -o prefix (the trace of process N is PREFIX.N) and
# ROOT_PID the program's own process, whose first exec is the program itself.
# RUNTIME_DIR is $XDG_RUNTIME_DIR: Qt tries to make it on start-up and gets
# "exists", which changes nothing. Reading is never counted, so neither is
# what the dynamic loader and fontconfig read. Prints one line per offence and
# exits with 1 when there is any, 0 otherwise.
set -euo pipefail

verdict() {
    local prefix=$1 root=$2 display=$3 runtime=$4 bus=${5:-} busconn="" f pid
    # The socket that the bus address names, as strace prints it.
    case $bus in
    *unix:path=*) busconn=${bus#*unix:path=} ;;
    *unix:abstract=*) busconn=@${bus#*unix:abstract=} ;;
    esac
    busconn=${busconn%%,*}
    busconn=${busconn%%;*}
    local found=0 out
    for f in "$prefix".*; do
        [ -f "$f" ] || continue
        pid=${f##*.}
        out=$(awk -v pid="$pid" -v root="$root" -v x11="/tmp/.X11-unix/X$display" -v runtime="$runtime" -v bus="$busconn" '
            function offence(why) { printf "%s: %s\n      %s\n", pid, why, $0; bad = 1 }
            {
                call = $0
                sub(/\(.*/, "", call)
                result = $0
                if (!sub(/.* = /, "", result)) result = ""
            }
            call == "execve" || call == "execveat" {
                if (pid == root && !execs++) next
                offence("starts a program")
                next
            }
            call == "fork" || call == "vfork" { offence("makes a new process"); next }
            (call == "clone" || call == "clone3") && $0 !~ /CLONE_THREAD/ { offence("makes a new process"); next }
            call == "open" || call == "openat" || call == "openat2" || call == "open_by_handle_at" {
                if ($0 ~ /O_(WRONLY|RDWR|CREAT|TRUNC|APPEND)/) offence("opens a file for writing")
                next
            }
            call == "creat" { offence("creates a file"); next }
            call == "mkdir" || call == "mkdirat" {
                # Qt asks for its runtime folder on start-up; "exists" changes nothing.
                if (index($0, "\"" runtime "\"") && result ~ /^-1 EEXIST/) next
                offence("makes a folder")
                next
            }
            call ~ /^(rmdir|unlink|unlinkat)$/ { offence("removes something"); next }
            call ~ /^(rename|renameat|renameat2)$/ { offence("renames something"); next }
            call ~ /^(link|linkat|symlink|symlinkat)$/ { offence("makes a link"); next }
            call ~ /^(chmod|fchmodat|fchmodat2|chown|lchown|fchownat)$/ { offence("changes a mode or owner"); next }
            call ~ /^(truncate|mknod|mknodat|utime|utimes|utimensat|futimesat)$/ { offence("changes a file"); next }
            call ~ /^(setxattr|lsetxattr|removexattr|lremovexattr)$/ { offence("changes extended attributes"); next }
            call ~ /^(mount|umount2|chroot|pivot_root|swapon|swapoff|acct|quotactl)$/ { offence("changes the file system"); next }
            call == "connect" {
                peer = $0
                if (match(peer, /sun_path=@?"[^"]*"/)) {
                    peer = substr(peer, RSTART + 9, RLENGTH - 9)
                    gsub(/"/, "", peer)
                    if (peer == x11 || peer == "@" x11) next
                    if (bus != "" && peer == bus) next
                }
                offence("connects to something other than its X server" (bus != "" ? " and the session bus" : ""))
                next
            }
            call ~ /^(bind|listen|accept|accept4)$/ { offence("offers a socket"); next }
            call == "sendto" && $0 !~ /, NULL, 0\) = / { offence("sends to an address"); next }
            call == "sendmsg" && $0 ~ /msg_name=\{/ { offence("sends to an address"); next }
            END { exit bad }
        ' "$f") || found=1
        [ -n "$out" ] && printf '%s\n' "$out"
    done
    return $found
}

self_test() {
    local dir failures=0
    dir=$(mktemp -d /tmp/vp-harmless-test.XXXXXX)
    trap 'rm -rf "$dir"' RETURN
    # expect VERDICT LINE...: the lines as the trace of process 10 (the program).
    expect() {
        local want=$1 got
        shift
        rm -f "$dir"/t.*
        printf '%s\n' 'execve("/build/valdrynix-plim", ["valdrynix-plim"], 0x7ffc /* 40 vars */) = 0' "$@" >"$dir/t.10"
        if verdict "$dir/t" 10 91 /run/vp "unix:abstract=/tmp/dbus-abc,guid=1" >/dev/null; then got=harmless; else got=flagged; fi
        if [ "$got" != "$want" ]; then
            echo "self-test FAIL: expected $want: $*"
            failures=$((failures + 1))
        fi
    }
    expect harmless 'openat(AT_FDCWD, "/etc/fonts/fonts.conf", O_RDONLY|O_CLOEXEC) = 3'
    expect harmless 'openat(AT_FDCWD, "/nowhere", O_RDONLY) = -1 ENOENT (No such file or directory)'
    expect harmless 'mkdir("/run/vp", 0700) = -1 EEXIST (File exists)'
    expect harmless 'connect(3, {sa_family=AF_UNIX, sun_path=@"/tmp/.X11-unix/X91"}, 21) = 0'
    expect harmless 'connect(3, {sa_family=AF_UNIX, sun_path="/tmp/.X11-unix/X91"}, 110) = 0'
    expect harmless 'connect(7, {sa_family=AF_UNIX, sun_path=@"/tmp/dbus-abc"}, 16) = 0'
    expect harmless 'clone3({flags=CLONE_VM|CLONE_FS|CLONE_FILES|CLONE_SIGHAND|CLONE_THREAD|CLONE_SYSVSEM, stack=0x7f}, 88) = 12'
    expect harmless 'recvmsg(3, {msg_name=NULL, msg_namelen=0, msg_iov=[{iov_base="\1", iov_len=4096}], msg_iovlen=1}, 0) = 32'
    expect harmless 'sendmsg(3, {msg_name=NULL, msg_namelen=0, msg_iov=[{iov_base="\1", iov_len=4}], msg_iovlen=1}, 0) = 4'
    expect harmless 'sendto(5, "\0", 1, MSG_NOSIGNAL, NULL, 0) = 1'
    expect harmless 'readlink("/proc/self/exe", "/build/valdrynix-plim", 256) = 20'
    expect harmless 'inotify_add_watch(5, "/etc/fonts", IN_MODIFY) = 1'
    expect flagged 'openat(AT_FDCWD, "/home/u/.cache/fontconfig/x.cache-8", O_WRONLY|O_CREAT|O_TRUNC, 0666) = 5'
    expect flagged 'openat(AT_FDCWD, "/dev/shm/x", O_RDWR|O_CREAT|O_EXCL, 0600) = 5'
    expect flagged 'openat(AT_FDCWD, "/tmp/log", O_WRONLY|O_APPEND) = -1 EACCES (Permission denied)'
    expect flagged 'open("/tmp/x", O_RDWR) = 4'
    expect flagged 'creat("/tmp/x", 0644) = 4'
    expect flagged 'mkdir("/tmp/runtime-root", 0700) = 0'
    expect flagged 'mkdir("/run/vp/sub", 0700) = -1 EEXIST (File exists)'
    expect flagged 'mkdirat(AT_FDCWD, "/tmp/new", 0700) = 0'
    expect flagged 'unlink("/tmp/x") = 0'
    expect flagged 'unlinkat(AT_FDCWD, "/tmp/x", 0) = -1 ENOENT (No such file or directory)'
    expect flagged 'rmdir("/tmp/d") = 0'
    expect flagged 'rename("/tmp/a", "/tmp/b") = 0'
    expect flagged 'renameat2(AT_FDCWD, "/tmp/a", AT_FDCWD, "/tmp/b", RENAME_NOREPLACE) = 0'
    expect flagged 'symlink("/a", "/tmp/l") = 0'
    expect flagged 'chmod("/tmp/x", 0777) = 0'
    expect flagged 'fchmodat(AT_FDCWD, "/tmp/x", 0600) = 0'
    expect flagged 'utimensat(AT_FDCWD, "/tmp/x", NULL, 0) = 0'
    expect flagged 'truncate("/tmp/x", 0) = 0'
    expect flagged 'execve("/usr/bin/dbus-launch", ["dbus-launch", "--autolaunch"], 0x7ffd /* 41 vars */) = -1 ENOENT (No such file or directory)'
    expect flagged 'clone(child_stack=NULL, flags=CLONE_CHILD_CLEARTID|CLONE_CHILD_SETTID|SIGCHLD, child_tidptr=0x7f) = 18087'
    expect flagged 'vfork() = 18087'
    expect flagged 'connect(4, {sa_family=AF_INET, sin_port=htons(80), sin_addr=inet_addr("93.184.216.34")}, 16) = 0'
    expect flagged 'connect(4, {sa_family=AF_UNIX, sun_path="/run/user/0/at-spi/bus"}, 110) = 0'
    expect flagged 'connect(4, {sa_family=AF_UNIX, sun_path=@"/tmp/.X11-unix/X92"}, 21) = 0'
    expect flagged 'bind(4, {sa_family=AF_INET, sin_port=htons(0), sin_addr=inet_addr("0.0.0.0")}, 16) = 0'
    expect flagged 'listen(4, 5) = 0'
    expect flagged 'sendto(4, "x", 1, 0, {sa_family=AF_INET, sin_port=htons(53), sin_addr=inet_addr("8.8.8.8")}, 16) = 1'
    expect flagged 'sendmsg(4, {msg_name={sa_family=AF_INET, sin_port=htons(53)}, msg_namelen=16}, 0) = 1'
    # Only the program's own first exec is its own; a second one, or one in
    # another process, starts a program.
    expect flagged 'execve("/build/valdrynix-plim", ["valdrynix-plim"], 0x7ffc /* 40 vars */) = 0'
    rm -f "$dir"/t.*
    printf '%s\n' 'execve("/bin/sh", ["sh"], 0x7ffc /* 40 vars */) = 0' >"$dir/t.11"
    printf '%s\n' 'execve("/build/valdrynix-plim", ["valdrynix-plim"], 0x7ffc /* 40 vars */) = 0' >"$dir/t.10"
    if verdict "$dir/t" 10 91 /run/vp >/dev/null; then
        echo "self-test FAIL: expected flagged: an exec in a second process"
        failures=$((failures + 1))
    fi
    # Without a session bus, a connection to one is not the program's to make.
    rm -f "$dir"/t.*
    printf '%s\n' 'execve("/build/valdrynix-plim", ["valdrynix-plim"], 0x7ffc /* 40 vars */) = 0' \
        'connect(7, {sa_family=AF_UNIX, sun_path=@"/tmp/dbus-abc"}, 16) = 0' >"$dir/t.10"
    if verdict "$dir/t" 10 91 /run/vp >/dev/null; then
        echo "self-test FAIL: expected flagged: a bus connection without a bus address"
        failures=$((failures + 1))
    fi
    if [ "$failures" -gt 0 ]; then
        echo "harmless: $failures self-test cases failed"
        return 1
    fi
    echo "harmless: self-test passed"
}

if [ "${1:-}" = --self-test ]; then
    self_test
    exit
fi
[ $# -ge 4 ] || { echo "usage: $0 PREFIX ROOT_PID DISPLAY_NUMBER RUNTIME_DIR [BUS_ADDRESS] | --self-test" >&2; exit 2; }
ls "$1".* >/dev/null 2>&1 || { echo "no trace files $1.*" >&2; exit 2; }
verdict "$@"
