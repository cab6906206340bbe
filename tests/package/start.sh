#!/usr/bin/env bash
# The installed program on a real desktop: `cmake --install` into a scratch
# DESTDIR, then that copy (not the build tree's) is started from / on a private
# X server (Xvfb) with a window manager (openbox). The splash must come, and
# about 2 s later the welcome prompt; then the program is left the way the
# manual page says: Alt+F4 on the prompt brings the splash back, Alt+F4 on
# the splash closes the last window and the program ends.
#
# Usage: start.sh CMAKE BUILD_DIR [OUTDIR]
#   OUTDIR  where the screenshot and logs go (default: a new folder in /tmp)
#
# Every check prints "ok" or "FAIL"; the last line is the summary
# "package-start: N passed, N failed", and the exit status is 0 only when
# nothing failed.
set -uo pipefail
{

CMAKE=${1:?usage: start.sh CMAKE BUILD_DIR [OUTDIR]}
BUILD=${2:?build folder}
OUTDIR=${3:-}

# The program must meet this X server, never the offscreen platform that the
# unit tests use, nor the caller's display.
unset DISPLAY QT_QPA_PLATFORM QT_QPA_OFFSCREEN_NO_GLX WAYLAND_DISPLAY QT_SCALE_FACTOR QT_SCREEN_SCALE_FACTORS \
      QT_AUTO_SCREEN_SCALE_FACTOR QT_ENABLE_HIGHDPI_SCALING QT_FONT_DPI
export LC_ALL=C.UTF-8

PROMPT_TITLE="Vítá vás aplikace Valdrynix Plim"
# What the toolkit may append to a window title on X11.
APP_SUFFIX=" — Valdrynix Plim 1.0."

PASSED=0
FAILED=0
STEP=start
PROG_PID=""
XVFB_PID=""
WM_PID=""
# shellcheck source=tests/xsession.sh
. "$(dirname "$0")/../xsession.sh"
WORK=""

say() { printf '%s\n' "$*"; }
pass() { PASSED=$((PASSED + 1)); say "ok   - $STEP: $*"; }
fail() { FAILED=$((FAILED + 1)); say "FAIL - $STEP: $*"; }
check() { # DESCRIPTION COMMAND...: COMMAND may set WHY to say what it saw
    local what=$1
    shift
    WHY=""
    if "$@"; then pass "$what"; else fail "$what${WHY:+ ($WHY)}"; fi
}
now_ms() { echo $(( ${EPOCHREALTIME/./} / 1000 )); }
secs() { printf '%d.%03d' $(($1 / 1000)) $(($1 % 1000)); }
T_START=$(now_ms)

stop_pid() { # PID: ends one process that this script started
    local pid=$1
    [ -n "$pid" ] || return 0
    kill -0 "$pid" 2>/dev/null || return 0
    kill -TERM "$pid" 2>/dev/null
    for _ in $(seq 20); do kill -0 "$pid" 2>/dev/null || return 0; sleep 0.1; done
    kill -KILL "$pid" 2>/dev/null
}
on_exit() {
    stop_pid "$PROG_PID"
    xsession_stop
    [ -n "$WORK" ] && rm -rf "$WORK"
    say "# run time $(secs $(( $(now_ms) - T_START ))) s; screenshot and logs in ${OUTDIR:-(none)}"
    say "package-start: $PASSED passed, $FAILED failed"
    if [ "$FAILED" -gt 0 ]; then exit 1; fi
    exit 0
}
trap on_exit EXIT
trap 'fail "interrupted"; exit 1' TERM INT HUP
abort() { # a step that the rest depends on failed
    fail "$*"
    if [ -n "$XVFB_PID" ] && [ -d "$OUTDIR" ]; then
        timeout 20 import -window root "$OUTDIR/failure.png" 2>/dev/null && say "     screen at the failure: $OUTDIR/failure.png"
    fi
    if [ -s "${OUTDIR:-/nonexistent}/program.log" ]; then
        say "     last lines of the program's output:"
        tail -n 20 "$OUTDIR/program.log" | sed 's/^/     | /'
    fi
    exit 1
}

for tool in Xvfb openbox xdotool xwininfo xprop xdpyinfo import timeout; do
    command -v "$tool" >/dev/null 2>&1 || abort "the tool '$tool' is missing (./test.sh installs it)"
done
xdo() { timeout 10 xdotool "$@"; }
xpr() { timeout 5 xprop "$@"; }
poll() { # MS COMMAND...: true as soon as COMMAND is, false after MS milliseconds
    local deadline=$(( $(now_ms) + $1 ))
    shift
    while :; do
        "$@" && return 0
        [ "$(now_ms)" -lt "$deadline" ] || return 1
        sleep 0.05
    done
}

[ -n "$OUTDIR" ] || OUTDIR=$(mktemp -d /tmp/vp-package-start.XXXXXX)
mkdir -p "$OUTDIR"
rm -f "$OUTDIR"/*.png "$OUTDIR"/*.log
WORK=$(mktemp -d /tmp/vp-package-start-work.XXXXXX)
export XDG_RUNTIME_DIR="$WORK/runtime" XDG_CONFIG_HOME="$WORK/config" HOME="$WORK/home"
mkdir -p "$XDG_RUNTIME_DIR" "$XDG_CONFIG_HOME" "$HOME"
chmod 700 "$XDG_RUNTIME_DIR"

STEP="staging"
DESTDIR="$WORK/stage" "$CMAKE" --install "$BUILD" --prefix /usr >"$OUTDIR/install.log" 2>&1 \
    || abort "cmake --install failed (see $OUTDIR/install.log)"
PROGRAM=$WORK/stage/usr/bin/valdrynix-plim
[ -x "$PROGRAM" ] || abort "no program at $PROGRAM"
pass "installed into $WORK/stage"

STEP="X server"
# :81 to :89 are this test's; other scripts use :71-:78 and :91-:99.
xsession_start 81 89 openbox 2>>"$OUTDIR/setup.log" || abort "no X server with openbox came up on :81 to :89 (see $OUTDIR/setup.log)"
pass "Xvfb with openbox on $DISPLAY"
# The program's own runtime folder, in the scratch folder of this run.
export XDG_RUNTIME_DIR="$WORK/runtime"

# ------------------------------------------------------------------ helpers

visible_windows() { xdo search --all --onlyvisible --pid "$PROG_PID" 2>/dev/null || true; }
re_escape() { printf '%s' "$1" | sed 's/[][\.*^$(){}+?|]/\\&/g'; }
windows_titled() { # TITLE: visible windows of the program with that title (the toolkit may add its suffix)
    xdo search --all --onlyvisible --pid "$PROG_PID" \
        --name "^$(re_escape "$1")($(re_escape "$APP_SUFFIX"))?\$" 2>/dev/null || true
}
one_visible() { FOUND=$(visible_windows | head -n 1); [ -n "$FOUND" ]; }
one_titled() { FOUND=$(windows_titled "$1" | head -n 1); [ -n "$FOUND" ]; }
is_visible() { timeout 5 xwininfo -id "$1" 2>/dev/null | grep -q 'Map State: IsViewable'; }
not_visible() { ! is_visible "$1"; }
alive() { kill -0 "$PROG_PID" 2>/dev/null; }
ended() { ! alive; }

client_size() { # ID: sets W and H of the client area
    local info
    info=$(timeout 5 xwininfo -id "$1" 2>/dev/null) || return 1
    W=$(awk -F: '/^ *Width/ {gsub(/ /, "", $2); print $2}' <<<"$info")
    H=$(awk -F: '/^ *Height/ {gsub(/ /, "", $2); print $2}' <<<"$info")
}
has_size() { # ID W H
    client_size "$1" || { WHY="window gone"; return 1; }
    [ "$W" = "$2" ] && [ "$H" = "$3" ] || { WHY="client area ${W}x$H"; return 1; }
}
# The window manager puts no title bar or border around it: openbox says so
# in _NET_FRAME_EXTENTS (left, right, top, bottom).
frame_extents() { xpr -id "$1" _NET_FRAME_EXTENTS 2>/dev/null | sed -n 's/.*= *//p'; }
borderless() {
    local ext
    ext=$(frame_extents "$1")
    [ "$ext" = "0, 0, 0, 0" ] || { WHY="frame extents ${ext:-unknown}"; return 1; }
}
framed() {
    local ext top
    ext=$(frame_extents "$1")
    top=$(awk -F', ' '{print $3}' <<<"$ext")
    [ -n "$top" ] && [ "$top" -ge 10 ] || { WHY="frame extents ${ext:-unknown}: no title bar"; return 1; }
}
wm_class_is() { # ID CLASS: the class that docks match against the desktop entry's StartupWMClass
    local c
    c=$(xpr -id "$1" WM_CLASS 2>/dev/null | sed -n 's/.*= *//p')
    [[ $c == *", \"$2\"" ]] || { WHY="WM_CLASS is ${c:-unset}"; return 1; }
}
close_with_alt_f4() { # ID: what a user does to close a window; openbox binds Alt+F4 to close
    xdo windowactivate --sync "$1" >/dev/null 2>&1 || xdo windowfocus --sync "$1" >/dev/null 2>&1 || true
    xdo key --clearmodifiers alt+F4
}

# ------------------------------------------------------------------ the run

STEP="splash"
T_LAUNCH=$(now_ms)
(cd / && exec "$PROGRAM") >"$OUTDIR/program.log" 2>&1 &
PROG_PID=$!
poll 10000 one_visible || { alive || abort "the program ended at once"; abort "no window within 10 s of the start"; }
T_SPLASH=$(now_ms)
SPLASH=$FOUND
say "     first window after $(secs $((T_SPLASH - T_LAUNCH))) s"
check "323x241 pixels" has_size "$SPLASH" 323 241
check "borderless, no title bar" borderless "$SPLASH"
check "WM_CLASS matches the desktop entry's StartupWMClass" wm_class_is "$SPLASH" valdrynix-plim
timeout 20 import -window root "$OUTDIR/splash.png" 2>/dev/null && say "     screenshot: $OUTDIR/splash.png"

STEP="welcome prompt"
poll 5000 one_titled "$PROMPT_TITLE" || abort "no window \"$PROMPT_TITLE\" within 5 s of the splash"
PROMPT=$FOUND
DT=$(( $(now_ms) - T_SPLASH ))
in_time() { [ "$DT" -ge 1500 ] && [ "$DT" -le 3000 ] || { WHY="after $(secs "$DT") s"; return 1; }; }
check "\"$PROMPT_TITLE\" comes about 2 s after the splash" in_time
check "the splash is gone" poll 1000 not_visible "$SPLASH"
check "it has a title bar" framed "$PROMPT"
timeout 20 import -window root "$OUTDIR/prompt.png" 2>/dev/null && say "     screenshot: $OUTDIR/prompt.png"

STEP="leaving"
close_with_alt_f4 "$PROMPT"
splash_back() {
    local w
    [ -z "$(windows_titled "$PROMPT_TITLE")" ] || return 1
    for w in $(visible_windows); do
        has_size "$w" 323 241 && borderless "$w" && { SPLASH=$w; return 0; }
    done
    return 1
}
poll 1500 splash_back || abort "Alt+F4 on the prompt did not bring the splash back"
pass "Alt+F4 on the prompt brings the splash back"
close_with_alt_f4 "$SPLASH"
if poll 5000 ended; then
    status=0
    wait "$PROG_PID" || status=$?
    PROG_PID=""
    exited_cleanly() { [ "$status" -eq 0 ] || { WHY="exit status $status"; return 1; }; }
    check "Alt+F4 on the splash closes the last window and the program ends with status 0" exited_cleanly
else
    fail "the program still runs 5 s after Alt+F4 on the splash (visible windows: $(visible_windows | tr '\n' ' '))"
fi
exit 0
}
