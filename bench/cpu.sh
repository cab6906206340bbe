#!/usr/bin/env bash
# CPU use of the real program during the installation.
#
#   bench/cpu.sh BUILD_DIR [SECONDS]
#
# Starts BUILD_DIR/valdrynix-plim under its own Xvfb server with openbox,
# drives it with xdotool past the welcome prompt and the wizard to the
# installation screen, then measures the program's CPU time (utime + stime
# from /proc/PID/stat) over SECONDS (default 60) of the installation and
# prints it as percent of one core. The X server's and openbox's share over
# the same time is shown for context. Target: under 2 % for the program.
set -euo pipefail
export LC_ALL=C.UTF-8 # UTF-8 for the window titles, C for numbers

if [ $# -lt 1 ] || [ ! -d "$1" ]; then
    echo "usage: $0 BUILD_DIR [SECONDS]" >&2
    exit 2
fi
BUILD=$(cd "$1" && pwd)
MEASURE=${2:-60}
PROGRAM="$BUILD/valdrynix-plim"
if [ ! -x "$PROGRAM" ]; then
    echo "$PROGRAM is missing: ninja -C $BUILD valdrynix-plim" >&2
    exit 2
fi

here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=tests/xsession.sh
. "$here/../tests/xsession.sh"
PROGRAM_PID=
cleanup() {
    if [ -n "$PROGRAM_PID" ] && kill -0 "$PROGRAM_PID" 2>/dev/null; then
        kill "$PROGRAM_PID" 2>/dev/null || true
        wait "$PROGRAM_PID" 2>/dev/null || true
    fi
    xsession_stop
}
trap cleanup EXIT
xsession_start 78 78
echo "X server $DISPLAY with openbox"

"$PROGRAM" >"$XSESSION_DIR/program.log" 2>&1 &
PROGRAM_PID=$!

# Waits up to $2 seconds for a visible window titled $1 and prints its id. Qt
# on X11 adds " — <application display name>" to every title; that is allowed.
wait_window() {
    local title=$1 limit=$2 id i
    for i in $(seq $((limit * 10))); do
        id=$(xdotool search --onlyvisible --name "^${title}( — .*)?\$" 2>/dev/null | head -1) || true
        if [ -n "$id" ]; then
            echo "$id"
            return 0
        fi
        kill -0 "$PROGRAM_PID" 2>/dev/null || break
        sleep 0.1
    done
    return 1
}
fail() {
    echo "$1" >&2
    echo "visible windows:" >&2
    xdotool search --onlyvisible --name '.' 2>/dev/null | while read -r w; do echo "  $(xdotool getwindowname "$w")" >&2; done
    echo "program output:" >&2
    cat "$XSESSION_DIR/program.log" >&2
    exit 1
}
# Gives the window the keyboard and presses one key in it, as a real key
# (XTEST); a key sent to a window with "key --window" is a synthetic event,
# which does not reliably reach the focused button.
press() {
    xdotool windowactivate --sync "$1" >/dev/null 2>&1 || xdotool windowfocus --sync "$1" >/dev/null 2>&1 || true
    xdotool key --clearmodifiers "$2"
}

prompt=$(wait_window "Vítá vás aplikace Valdrynix Plim" 10) || fail "the welcome prompt did not appear"
sleep 0.3
press "$prompt" Return # "Ano" has the focus
wizard=$(wait_window "Instalace" 5) || fail "the wizard did not appear after Return on the welcome prompt"
for _ in 1 2 3 4 5; do
    sleep 0.3
    press "$wizard" Return # "Další  >>" has the focus
done
wait_window "Probíhá instalace. Nerušit." 5 >/dev/null || fail "the installation screen did not appear"
echo "installation screen is up; measuring ${MEASURE} s"

ticks() { # utime + stime of process $1, in clock ticks
    local stat
    stat=$(cat "/proc/$1/stat") || return 1
    # Fields after the command name, which ends at the last ')': utime is field 14, stime 15.
    set -- ${stat##*) }
    echo $((${12} + ${13}))
}
hz=$(getconf CLK_TCK)
p0=$(ticks "$PROGRAM_PID")
x0=$(ticks "$XVFB_PID")
o0=$(ticks "$WM_PID")
t0=${EPOCHREALTIME/,/.}
sleep "$MEASURE"
p1=$(ticks "$PROGRAM_PID") || fail "the program ended during the measurement"
x1=$(ticks "$XVFB_PID")
o1=$(ticks "$WM_PID")
t1=${EPOCHREALTIME/,/.}
wait_window "Probíhá instalace. Nerušit." 1 >/dev/null || echo "note: the installation screen was no longer visible at the end of the measurement"

percent() { awk -v d="$1" -v hz="$hz" -v t0="$t0" -v t1="$t1" 'BEGIN { printf "%.2f", 100 * d / hz / (t1 - t0) }'; }
cpu=$(percent $((p1 - p0)))
echo "measured over $(awk -v a="$t0" -v b="$t1" 'BEGIN { printf "%.1f", b - a }') s, clock tick 1/$hz s"
echo "valdrynix-plim: $cpu % of one core ($((p1 - p0)) ticks)"
echo "Xvfb:           $(percent $((x1 - x0))) % of one core"
echo "openbox:        $(percent $((o1 - o0))) % of one core"
if awk -v c="$cpu" 'BEGIN { exit !(c < 2) }'; then
    echo "target (under 2 %): met"
else
    echo "target (under 2 %): NOT met"
fi
