#!/usr/bin/env bash
# End-to-end run of valdrynix-plim: a private X server (Xvfb, 1024x768), a real
# window manager (openbox), and the program driven like a user with xdotool
# through one whole pass, in real time (about three minutes; the
# installation alone is some 196 ticks of 0.8 s).
#
# Usage: run.sh PROGRAM [OUTDIR]
#   PROGRAM  the valdrynix-plim executable
#   OUTDIR   where the screenshots and logs go (default: a new folder in /tmp)
#
# Every check prints "ok" or "FAIL" with the step it belongs to; the last line
# is the summary "e2e: N passed, N failed". The exit status is 0 only when
# nothing failed. The run stops by itself after E2E_TIME_LIMIT seconds (480).
set -Eeuo pipefail
# The whole script is one block, read before anything runs, so that editing
# the file cannot upset a run in progress.
{

PROGRAM=${1:?usage: run.sh PROGRAM [OUTDIR]}
OUTDIR=${2:-}
LIMIT=${E2E_TIME_LIMIT:-480}

# The program must meet a real X server, never the offscreen platform that the
# unit tests use.
unset DISPLAY QT_QPA_PLATFORM QT_QPA_OFFSCREEN_NO_GLX WAYLAND_DISPLAY QT_SCALE_FACTOR QT_SCREEN_SCALE_FACTORS \
      QT_AUTO_SCREEN_SCALE_FACTOR QT_ENABLE_HIGHDPI_SCALING QT_FONT_DPI
export LC_ALL=C.UTF-8

IMPORT=/usr/bin/import
CONVERT=/usr/bin/convert
COMPARE=/usr/bin/compare

SCREEN_W=1024
SCREEN_H=768
# What the toolkit may append to a window title on X11.
APP_SUFFIX=" — Valdrynix Plim 1.0."

PASSED=0
FAILED=0
STEP="start"
PROG_PID=""
XVFB_PID=""
WM_PID=""
WATCHDOG_PID=""
SUMMARY_DONE=0
ERR_LINE=""
T_START=$(( ${EPOCHREALTIME/./} / 1000 ))

# ------------------------------------------------------------------ reporting

say() { printf '%s\n' "$*"; }
pass() { PASSED=$((PASSED + 1)); say "ok   - $STEP: $*"; }
fail() {
    FAILED=$((FAILED + 1))
    say "FAIL - $STEP: $*"
    [ -n "$OUTDIR" ] && [ -d "$OUTDIR" ] && printf '%s: %s\n' "$STEP" "$*" >>"$OUTDIR/failures.txt"
    return 0
}
# check DESCRIPTION COMMAND...: COMMAND may set WHY to say what it saw.
check() {
    local what=$1
    shift
    WHY=""
    if "$@"; then pass "$what"; else fail "$what${WHY:+ ($WHY)}"; fi
}
# A step that the rest of the run depends on failed: record it and stop.
abort() {
    fail "$*"
    if [ -n "$XVFB_PID" ] && [ -d "${OUTDIR:-/nonexistent}" ]; then
        timeout 20 "$IMPORT" -window root "$OUTDIR/failure.png" 2>/dev/null && say "     screen at the failure: $OUTDIR/failure.png"
        say "     visible windows: $(describe_visible)"
    fi
    exit 1
}
now_ms() { echo $(( ${EPOCHREALTIME/./} / 1000 )); }
secs() { printf '%d.%03d' $(($1 / 1000)) $(($1 % 1000)); }

summary() {
    [ "$SUMMARY_DONE" = 1 ] && return 0
    SUMMARY_DONE=1
    say "# run time $(secs $(( $(now_ms) - T_START ))) s; screenshots and logs in ${OUTDIR:-(none)}"
    say "e2e: $PASSED passed, $FAILED failed"
}

stop_pid() { # PID: ends one process that this script started
    local pid=$1 i
    [ -n "$pid" ] || return 0
    kill -0 "$pid" 2>/dev/null || return 0
    kill -TERM "$pid" 2>/dev/null || true
    for i in $(seq 20); do kill -0 "$pid" 2>/dev/null || return 0; sleep 0.1; done
    kill -KILL "$pid" 2>/dev/null || true
}

on_exit() {
    local status=$?
    set +e
    trap - ERR
    if [ "$status" -ne 0 ] && [ "$FAILED" -eq 0 ]; then
        FAILED=$((FAILED + 1))
        say "FAIL - $STEP: the test stopped unexpectedly (status $status${ERR_LINE:+, line $ERR_LINE})"
    fi
    stop_pid "$PROG_PID"
    stop_pid "$WM_PID"
    stop_pid "$XVFB_PID"
    stop_pid "$WATCHDOG_PID"
    [ -n "${WORK:-}" ] && rm -rf "$WORK"
    summary
    if [ "$FAILED" -gt 0 ]; then exit 1; fi
    exit 0
}
on_signal() {
    trap - TERM INT HUP
    fail "stopped by $1 (time limit of ${LIMIT} s, or interrupted)"
    exit 1
}
trap on_exit EXIT
trap 'on_signal TERM' TERM
trap 'on_signal INT' INT
trap 'on_signal HUP' HUP
trap 'ERR_LINE=$LINENO' ERR

# ------------------------------------------------------------------ set-up

[ -x "$PROGRAM" ] || abort "the program '$PROGRAM' is not an executable file"
for tool in Xvfb openbox xdotool xwininfo xprop xdpyinfo timeout "$IMPORT" "$CONVERT" "$COMPARE"; do
    command -v "$tool" >/dev/null 2>&1 || abort "the tool '$tool' is missing (packages: xvfb openbox xdotool x11-utils imagemagick)"
done
# Every X client call is bounded in time, so that nothing can hold the run.
xdo() { timeout 10 xdotool "$@"; }
xpr() { timeout 5 xprop "$@"; }
xwi() { # ID [OPTION...]: xwininfo on one window (never its interactive pick)
    case ${1:-} in '' | 0 | 0x0) return 1 ;; esac
    local id=$1
    shift
    timeout 5 xwininfo "$@" -id "$id"
}
im_import() { timeout 20 "$IMPORT" "$@"; }
im_convert() { timeout 20 "$CONVERT" "$@"; }
im_compare() { timeout 20 "$COMPARE" "$@"; }

if [ -z "$OUTDIR" ]; then OUTDIR=$(mktemp -d /tmp/vp-e2e.XXXXXX); fi
mkdir -p "$OUTDIR"
rm -f "$OUTDIR"/*.png "$OUTDIR/failures.txt" "$OUTDIR/trace.log"
if [ -n "${E2E_TRACE:-}" ]; then # every command of the run, with times, into OUTDIR/trace.log
    exec {TRACE_FD}>"$OUTDIR/trace.log"
    BASH_XTRACEFD=$TRACE_FD
    PS4='+ ${EPOCHREALTIME} ${LINENO}: '
    set -x
fi
WORK=$(mktemp -d /tmp/vp-e2e-work.XXXXXX)
export XDG_RUNTIME_DIR="$WORK/runtime" XDG_CONFIG_HOME="$WORK/config" HOME="$WORK/home"
mkdir -p "$XDG_RUNTIME_DIR" "$XDG_CONFIG_HOME" "$HOME"
chmod 700 "$XDG_RUNTIME_DIR"

# The watchdog: whatever happens, the run ends after LIMIT seconds.
(
    trap - EXIT TERM INT HUP ERR
    deadline=$(( $(date +%s) + LIMIT ))
    while [ "$(date +%s)" -lt "$deadline" ]; do sleep 1; done
    echo "e2e: time limit of ${LIMIT} s reached, stopping" >&2
    kill -TERM $$ 2>/dev/null
    for _ in $(seq 20); do sleep 1; done
    # Still there: the run is stuck in a command. End what it started, then the run.
    for f in "$WORK"/*.pid; do [ -f "$f" ] && kill -TERM "$(cat "$f")" 2>/dev/null; done
    sleep 2
    for f in "$WORK"/*.pid; do [ -f "$f" ] && kill -KILL "$(cat "$f")" 2>/dev/null; done
    kill -KILL $$ 2>/dev/null
) &
WATCHDOG_PID=$!

STEP="X server"
for n in 91 92 93 94 95 96 97 98 99; do
    [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ] && continue
    Xvfb ":$n" -screen 0 "${SCREEN_W}x${SCREEN_H}x24" -nolisten tcp -dpi 96 >"$OUTDIR/xvfb.log" 2>&1 &
    XVFB_PID=$!
    echo "$XVFB_PID" >"$WORK/xvfb.pid"
    for _ in $(seq 50); do
        kill -0 "$XVFB_PID" 2>/dev/null || break
        timeout 5 xdpyinfo -display ":$n" >/dev/null 2>&1 && { export DISPLAY=":$n"; break; }
        sleep 0.1
    done
    [ -n "${DISPLAY:-}" ] && [ "$DISPLAY" = ":$n" ] && break
    stop_pid "$XVFB_PID"
    XVFB_PID=""
done
[ -n "$XVFB_PID" ] || abort "no free display among :91 to :99, or Xvfb would not start (see $OUTDIR/xvfb.log)"
say "# X server on $DISPLAY, screenshots and logs in $OUTDIR"

STEP="window manager"
openbox --sm-disable >"$OUTDIR/openbox.log" 2>&1 &
WM_PID=$!
echo "$WM_PID" >"$WORK/wm.pid"
wm_ready() { timeout 5 xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'; }
for _ in $(seq 50); do wm_ready && break; sleep 0.1; done
wm_ready || abort "openbox did not come up (see $OUTDIR/openbox.log)"

# ------------------------------------------------------------------ helpers

prog_alive() { kill -0 "$PROG_PID" 2>/dev/null; }
ensure_alive() {
    prog_alive && return 0
    local status=0
    wait "$PROG_PID" || status=$?
    PROG_PID=""
    say "     last lines of the program's output:"
    tail -n 20 "$OUTDIR/program.log" | sed 's/^/     | /'
    abort "the program has exited (status $status)"
}

# All visible top-level windows of the program.
visible_windows() { xdo search --all --onlyvisible --pid "$PROG_PID" 2>/dev/null || true; }

re_escape() { printf '%s' "$1" | sed 's/[][\.*^$(){}+?|]/\\&/g'; }

# Visible windows of the program whose title is TITLE, exactly or with the
# application name that the toolkit may append (the title check is separate).
windows_titled() {
    local re
    re="^$(re_escape "$1")($(re_escape "$APP_SUFFIX"))?\$"
    xdo search --all --onlyvisible --pid "$PROG_PID" --name "$re" 2>/dev/null || true
}

title_of() { xdo getwindowname "$1" 2>/dev/null || true; }

describe_visible() {
    local w out=""
    for w in $(visible_windows); do
        geom "$w" && out+="[$(title_of "$w")] ${W}x${H}+${X}+${Y}; " || out+="[$w gone]; "
    done
    printf '%s' "${out:-none}"
}

# geom ID: client area (X Y W H, absolute) and the outer frame around it
# (FX FY FW FH: the window manager's top-level window that holds it).
geom() {
    local info parent top
    info=$(xwi "$1" 2>/dev/null) || return 1
    X=$(awk -F: '/Absolute upper-left X/ {gsub(/ /,"",$2); print $2}' <<<"$info")
    Y=$(awk -F: '/Absolute upper-left Y/ {gsub(/ /,"",$2); print $2}' <<<"$info")
    W=$(awk -F: '/^ *Width/ {gsub(/ /,"",$2); print $2}' <<<"$info")
    H=$(awk -F: '/^ *Height/ {gsub(/ /,"",$2); print $2}' <<<"$info")
    # Up the tree to the child of the root: the window manager's frame, or
    # the window itself where nothing was put around it.
    top=$1
    for _ in 1 2 3 4 5 6 7 8; do
        parent=$(xwi "$top" -tree 2>/dev/null | grep 'Parent window id') || return 1
        case $parent in *"(the root window)"*) break ;; esac
        top=$(awk '{print $4}' <<<"$parent")
    done
    info=$(xwi "$top" 2>/dev/null) || return 1
    FX=$(awk -F: '/Absolute upper-left X/ {gsub(/ /,"",$2); print $2}' <<<"$info")
    FY=$(awk -F: '/Absolute upper-left Y/ {gsub(/ /,"",$2); print $2}' <<<"$info")
    FW=$(awk -F: '/^ *Width/ {gsub(/ /,"",$2); print $2}' <<<"$info")
    FH=$(awk -F: '/^ *Height/ {gsub(/ /,"",$2); print $2}' <<<"$info")
    [ -n "$X" ] && [ -n "$Y" ] && [ -n "$W" ] && [ -n "$H" ] && [ -n "$FX" ]
}

# poll MS COMMAND...: runs COMMAND every 100 ms until it succeeds or MS pass.
poll() {
    local limit=$(( $(now_ms) + $1 ))
    shift
    while :; do
        ensure_alive
        "$@" && return 0
        [ "$(now_ms)" -ge "$limit" ] && return 1
        sleep 0.1
    done
}

# wait_titled VAR TITLE MS: waits for exactly one visible window titled TITLE
# and stores its id in VAR.
FOUND=""
one_titled() {
    local ids
    ids=$(windows_titled "$1")
    [ -n "$ids" ] && [ "$(wc -w <<<"$ids")" -eq 1 ] && FOUND=$ids
}
wait_titled() {
    FOUND=""
    poll "$3" one_titled "$2" || return 1
    printf -v "$1" '%s' "$FOUND"
}
gone() { [ -z "$(windows_titled "$1")" ]; }
is_visible() { xwi "$1" 2>/dev/null | grep -q 'Map State: IsViewable'; }
not_visible() { ! is_visible "$1"; }

# Full-screen borderless windows of the program (the backdrop, the restart screen).
fullscreen_windows() {
    local w
    for w in $(visible_windows); do
        geom "$w" || continue
        [ "$X" = 0 ] && [ "$Y" = 0 ] && [ "$W" = "$SCREEN_W" ] && [ "$H" = "$SCREEN_H" ] && echo "$w"
    done
    return 0
}

# ---- checks on one window (set WHY)

has_size() { # ID W H
    geom "$1" || { WHY="window gone"; return 1; }
    [ "$W" = "$2" ] && [ "$H" = "$3" ] || { WHY="client area is ${W}x${H}"; return 1; }
}
borderless() { # ID: no frame, no title bar around the client area
    geom "$1" || { WHY="window gone"; return 1; }
    local ext
    ext=$(xpr -id "$1" _NET_FRAME_EXTENTS 2>/dev/null | sed -n 's/.*= *//p')
    [ "$FX" = "$X" ] && [ "$FY" = "$Y" ] && [ "$FW" = "$W" ] && [ "$FH" = "$H" ] \
        || { WHY="frame ${FW}x${FH}+${FX}+${FY} around client ${W}x${H}+${X}+${Y}, frame extents ${ext:-none}"; return 1; }
}
framed() { # ID: a title bar above the client area
    geom "$1" || { WHY="window gone"; return 1; }
    [ $((Y - FY)) -ge 10 ] || { WHY="frame ${FW}x${FH}+${FX}+${FY} around client ${W}x${H}+${X}+${Y}: no title bar"; return 1; }
}
centred() { # ID: the client area, or the whole frame, in the middle of the screen (within 1 pixel)
    geom "$1" || { WHY="window gone"; return 1; }
    local cx=$((2 * X + W - SCREEN_W)) cy=$((2 * Y + H - SCREEN_H))
    local fx=$((2 * FX + FW - SCREEN_W)) fy=$((2 * FY + FH - SCREEN_H))
    if [ "${cx#-}" -le 2 ] && [ "${cy#-}" -le 2 ]; then return 0; fi
    if [ "${fx#-}" -le 2 ] && [ "${fy#-}" -le 2 ]; then return 0; fi
    WHY="client at ${X},${Y} (${W}x${H}), frame at ${FX},${FY} (${FW}x${FH}) on a ${SCREEN_W}x${SCREEN_H} screen"
    return 1
}
covers_screen() { # ID
    geom "$1" || { WHY="window gone"; return 1; }
    [ "$X" = 0 ] && [ "$Y" = 0 ] && [ "$W" = "$SCREEN_W" ] && [ "$H" = "$SCREEN_H" ] \
        || { WHY="client ${W}x${H}+${X}+${Y}"; return 1; }
}
title_is() { # ID TITLE: what the title bar shows
    local t
    t=$(title_of "$1")
    [ "$t" = "$2" ] || { WHY="the title bar reads \"$t\""; return 1; }
}
only_visible() { # ID...: these and no other windows of the program are visible
    local want have
    want=$(printf '%s\n' "$@" | sort)
    have=$(visible_windows | sort)
    [ "$want" = "$have" ] || { WHY="visible: $(describe_visible)"; return 1; }
}
active_is() { # ID
    local a
    a=$(xdo getactivewindow 2>/dev/null || true)
    [ "$a" = "$1" ] || { WHY="the active window is \"$(title_of "$a")\" ($a)"; return 1; }
}
on_top() { # ID: the topmost of the managed windows
    local top
    top=$(xpr -root _NET_CLIENT_LIST_STACKING 2>/dev/null | sed -n 's/.*# //p' | tr ',' '\n' | tail -n 1 | tr -d ' ')
    [ -n "$top" ] && [ $((top)) = "$1" ] || { WHY="topmost is \"$(title_of $((top)))\""; return 1; }
}
in_front() { active_is "$1" && on_top "$1"; }

# ---- input

move_to() { xdo mousemove "$1" "$2"; }
click_at() { xdo mousemove "$1" "$2" click 1; }
click_in() { # ID CX CY: a click at client coordinates
    geom "$1" || abort "window $1 is gone, cannot click into it"
    click_at $((X + $2)) $((Y + $3))
}
activate() { # ID: make it the active window (as a user would by clicking its title)
    timeout 5 xdotool windowactivate --sync "$1" >/dev/null 2>&1 || true
    poll 2000 active_is "$1"
}
close_box() { # ID: close the window through the window manager (its close box; openbox binds it to Alt+F4)
    activate "$1" || abort "could not make \"$(title_of "$1")\" active to close it ($WHY)"
    xdo key --clearmodifiers alt+F4
}
press_key() { # ID KEY
    activate "$1" || abort "could not make \"$(title_of "$1")\" active to press $2 ($WHY)"
    xdo key --clearmodifiers "$2"
}

# ---- pictures

shot() { # NAME: the whole screen into OUTDIR
    im_import -window root "$OUTDIR/$1.png"
    say "     screenshot: $OUTDIR/$1.png"
}
grab() { im_import -window root "$WORK/screen.png"; }
crop() { # SRC W H X Y DST
    im_convert "$1" -crop "$2x$3+$4+$5" +repage "$6"
}
ae() { # A B: number of differing pixels (or "error")
    local out
    out=$(im_compare -metric AE "$1" "$2" null: 2>&1) || true
    case $out in '' | *[!0-9.e+]*) echo error ;; *) printf '%.0f\n' "$out" ;; esac
}
same() { [ "$(ae "$1" "$2")" = 0 ]; }
differ() { local d; d=$(ae "$1" "$2"); [ "$d" != error ] && [ "$d" -gt 0 ]; }
pixel() { # FILE X Y: the colour as #RRGGBB
    im_convert "$1" -crop "1x1+$2+$3" +repage -depth 8 txt:- | grep -o '#[0-9A-F]\{6\}' | head -n 1
}

# The welcome prompt: its two answer buttons (left x 64..145, right 152..233,
# y 88..113 in the client area); only their inside is compared, so that the
# focus frame of the left button does not count.
prompt_regions() { # ID: into $WORK/left.png and $WORK/right.png
    geom "$1" || return 1
    grab
    crop "$WORK/screen.png" 71 15 $((X + 64 + 5)) $((Y + 88 + 5)) "$WORK/left.png"
    crop "$WORK/screen.png" 71 15 $((X + 152 + 5)) $((Y + 88 + 5)) "$WORK/right.png"
}
answers_read() { # ID left|swapped: left "Ano" as at first, or the two exchanged
    prompt_regions "$1" || { WHY="prompt gone"; return 1; }
    if [ "$2" = left ]; then
        same "$WORK/left.png" "$WORK/ano.png" && same "$WORK/right.png" "$WORK/ne.png"
    else
        same "$WORK/right.png" "$WORK/ano.png" && same "$WORK/left.png" "$WORK/ne.png"
    fi || { WHY="left differs from the first left by $(ae "$WORK/left.png" "$WORK/ano.png") pixels and from the first right by $(ae "$WORK/left.png" "$WORK/ne.png") pixels"; return 1; }
}

# The wizard's pages: the frame area at client 200,8 (249x169).
page_region() { # ID DST
    geom "$1" || return 1
    grab
    crop "$WORK/screen.png" 249 169 $((X + 200)) $((Y + 8)) "$2"
}
page_is() { # ID REF
    page_region "$1" "$WORK/page-now.png" || { WHY="wizard gone"; return 1; }
    same "$WORK/page-now.png" "$2" || { WHY="the page differs by $(ae "$WORK/page-now.png" "$2") pixels"; return 1; }
}
page_changed_from() { # ID REF
    page_region "$1" "$WORK/page-now.png" || return 1
    differ "$WORK/page-now.png" "$2"
}

# The installation's progress bar: the track at client 32,144, 289 pixels
# long; one row near its top edge, above the percentage figure, is counted.
BAR_LEN=289
FILL=-1
bar_fill() { # ID: sets FILL to the filled pixels, -1 when the bar cannot be seen
    FILL=-1
    geom "$1" || return 1
    im_import -window root -crop "${BAR_LEN}x1+$((X + 32))+$((Y + 146))" +repage "$WORK/bar.png" 2>/dev/null || return 1
    local txt fill track
    txt=$(im_convert "$WORK/bar.png" -depth 8 txt:-)
    fill=$(grep -c '#000080' <<<"$txt" || true)
    track=$(grep -c '#FFFFFF' <<<"$txt" || true)
    [ $((fill + track)) -eq "$BAR_LEN" ] || return 1
    FILL=$fill
}
pct() { echo $(( ($1 * 100 + BAR_LEN / 2) / BAR_LEN )); }
fill_at_least() { bar_fill "$1" && [ "$FILL" -ge "$2" ]; }

# ------------------------------------------------------------------ the run

STEP="splash"
T_LAUNCH=$(now_ms)
"$PROGRAM" >"$OUTDIR/program.log" 2>&1 &
PROG_PID=$!
echo "$PROG_PID" >"$WORK/program.pid"

any_visible() { [ -n "$(visible_windows)" ]; }
poll 10000 any_visible || abort "no window within 10 s of the start"
T_SPLASH=$(now_ms)
SPLASH=$(visible_windows | head -n 1)
say "     first window after $(secs $((T_SPLASH - T_LAUNCH))) s"
check "it is the only window at the start" only_visible "$SPLASH"
check "borderless, no title bar" borderless "$SPLASH"
check "323x241 pixels" has_size "$SPLASH" 323 241
check "centred on the screen" centred "$SPLASH"
shot 01-splash

STEP="splash hands over"
PROMPT_TITLE="Vítá vás aplikace Valdrynix Plim"
wait_titled PROMPT "$PROMPT_TITLE" 5000 || abort "no window \"$PROMPT_TITLE\" within 5 s of the splash"
T_PROMPT=$(now_ms)
DT=$((T_PROMPT - T_SPLASH))
handover_in_time() { [ "$DT" -ge 1500 ] && [ "$DT" -le 2800 ] || { WHY="after $(secs $DT) s"; return 1; }; }
check "the prompt comes about 2 s after the splash" handover_in_time
check "the splash is gone" not_visible "$SPLASH"
check "nothing else is visible" only_visible "$PROMPT"

STEP="welcome prompt"
check "title bar reads \"$PROMPT_TITLE\"" title_is "$PROMPT" "$PROMPT_TITLE"
check "client area 294x122" has_size "$PROMPT" 294 122
check "it has a title bar" framed "$PROMPT"
check "centred on the screen" centred "$PROMPT"
check "it is the active window" poll 1000 active_is "$PROMPT"
shot 02-prompt
prompt_regions "$PROMPT" || abort "the prompt vanished"
cp "$WORK/left.png" "$WORK/ano.png"
cp "$WORK/right.png" "$WORK/ne.png"
cp "$WORK/left.png" "$OUTDIR/button-left-first.png"
cp "$WORK/right.png" "$OUTDIR/button-right-first.png"
answers_differ() { differ "$WORK/ano.png" "$WORK/ne.png" || { WHY="the two button captions look the same"; return 1; }; }
check "the two answers read differently" answers_differ

STEP="hovering the answers"
geom "$PROMPT" || abort "the prompt vanished"
move_to $((X + 192)) $((Y + 100))
check "over the right button the captions swap (right reads \"Ano\", left \"Ne\")" poll 2000 answers_read "$PROMPT" swapped
shot 03-prompt-hover
geom "$PROMPT" || abort "the prompt vanished"
move_to $((X + 104)) $((Y + 100))
check "back over the left button: left reads \"Ano\" again, right \"Ne\"" poll 2000 answers_read "$PROMPT" left
geom "$PROMPT" || abort "the prompt vanished"
move_to $((X + 192)) $((Y + 100))
check "over the right button again: swapped again" poll 2000 answers_read "$PROMPT" swapped

STEP="closing the prompt"
# The pointer leaves the prompt, so that the next prompt starts unhovered.
move_to 5 5
sleep 0.2
close_box "$PROMPT"
T_CLOSE=$(now_ms)
splash_back() {
    local w
    gone "$PROMPT_TITLE" || return 1
    for w in $(visible_windows); do
        has_size "$w" 323 241 && borderless "$w" && { SPLASH=$w; return 0; }
    done
    return 1
}
check "the prompt goes and the splash is back at once" poll 1000 splash_back
check "the splash is centred again" centred "$SPLASH"
shot 04-splash-again
wait_titled PROMPT "$PROMPT_TITLE" 5000 || abort "no new prompt within 5 s of the splash coming back"
DT=$(( $(now_ms) - T_CLOSE ))
check "a new prompt comes about 2 s later" handover_in_time
check "the splash is gone again" not_visible "$SPLASH"
check "nothing else is visible" only_visible "$PROMPT"
check "the new prompt is centred" centred "$PROMPT"
check "the new prompt reads \"Ano\" on the left and \"Ne\" on the right" answers_read "$PROMPT" left

STEP="answering Ano"
click_in "$PROMPT" 104 100
WIZ_TITLE="Instalace"
wait_titled WIZ "$WIZ_TITLE" 5000 || abort "no window \"$WIZ_TITLE\" within 5 s of the answer"
sleep 0.3
check "the prompt is gone" gone "$PROMPT_TITLE"
BACKDROP=$(fullscreen_windows | head -n 1)
[ -n "$BACKDROP" ] || abort "no full-screen backdrop behind the wizard (visible: $(describe_visible))"
check "a backdrop covers the whole screen" covers_screen "$BACKDROP"
check "the backdrop is borderless" borderless "$BACKDROP"
grab
backdrop_picture() {
    local top bottom
    top=$(pixel "$WORK/screen.png" 5 5)
    bottom=$(pixel "$WORK/screen.png" 5 $((SCREEN_H - 5)))
    # The gradient starts bright blue at the top; below its 600 rows the plain blue shows.
    [ "$bottom" = "#0000FF" ] && [ "${top:1:2}" != "00" ] && [ "$((16#${top:5:2}))" -ge 200 ] \
        || { WHY="pixel at the top left $top, near the bottom left $bottom"; return 1; }
}
check "the backdrop shows its gradient over blue" backdrop_picture
check "only the backdrop and the wizard are visible" only_visible "$BACKDROP" "$WIZ"

STEP="wizard"
check "title bar reads \"$WIZ_TITLE\"" title_is "$WIZ" "$WIZ_TITLE"
check "client area 459x244" has_size "$WIZ" 459 244
check "it has a title bar" framed "$WIZ"
check "centred on the screen" centred "$WIZ"
check "the wizard is in front and active" poll 2000 in_front "$WIZ"
shot 05-backdrop-wizard

STEP="clicking the backdrop (wizard)"
click_at 20 700
sleep 0.6
check "the focus comes back to the wizard" poll 2500 in_front "$WIZ"

STEP="wizard Konec"
page_region "$WIZ" "$WORK/page1.png" || abort "the wizard vanished"
click_in "$WIZ" 412 220
REFUSAL_TITLE="Valdrynix Plim 1.0."
wait_titled BOX "$REFUSAL_TITLE" 5000 || abort "no box \"$REFUSAL_TITLE\" within 5 s of \"Konec\""
pass "a box titled \"$REFUSAL_TITLE\" comes"
shot 06-exit-refusal
press_key "$BOX" Return
check "Return closes the box" poll 3000 not_visible "$BOX"
check "the wizard is still there" is_visible "$WIZ"
check "and still on its first page" page_is "$WIZ" "$WORK/page1.png"

STEP="wizard pages"
cp "$WORK/page1.png" "$WORK/page-prev.png"
for n in 2 3 4 5; do
    click_in "$WIZ" 332 220
    if poll 2000 page_changed_from "$WIZ" "$WORK/page-prev.png"; then
        sleep 0.2
        page_region "$WIZ" "$WORK/page-prev.png"
        pass "\"Další\" shows page $n"
    else
        fail "\"Další\" does not change the page (to page $n)"
    fi
done
cp "$WORK/page-prev.png" "$WORK/page5.png"
cp "$WORK/page5.png" "$OUTDIR/wizard-page5.png"

STEP="installation starts"
INST_TITLE="Probíhá instalace. Nerušit."
click_in "$WIZ" 332 220
wait_titled INST "$INST_TITLE" 5000 || abort "no window \"$INST_TITLE\" within 5 s of the fifth \"Další\""
check "the wizard is gone" poll 1000 not_visible "$WIZ"
check "title bar reads \"$INST_TITLE\"" title_is "$INST" "$INST_TITLE"
check "client area 363x223" has_size "$INST" 363 223
check "it has a title bar" framed "$INST"
check "centred on the screen" centred "$INST"
check "only the backdrop and the installation are visible" only_visible "$BACKDROP" "$INST"
check "the progress bar advances" poll 10000 fill_at_least "$INST" 5
FIRST_FILL=$FILL

STEP="closing the installation"
close_box "$INST"
check "the installation window goes" poll 2000 not_visible "$INST"
check "the wizard comes back" poll 2000 is_visible "$WIZ"
check "on its last page" poll 1000 page_is "$WIZ" "$WORK/page5.png"
check "only the backdrop and the wizard are visible" only_visible "$BACKDROP" "$WIZ"

STEP="installation anew"
click_in "$WIZ" 332 220
wait_titled INST "$INST_TITLE" 5000 || abort "no window \"$INST_TITLE\" within 5 s of \"Další\" on the last page"
T_INST=$(now_ms)
check "the wizard is gone" poll 1000 not_visible "$WIZ"
check "the installation window is centred" centred "$INST"
restarted() { bar_fill "$INST" && [ "$FILL" -le 3 ] && [ "$FILL" -lt "$FIRST_FILL" ] || { WHY="bar at $FILL of $BAR_LEN pixels, was $FIRST_FILL"; return 1; }; }
check "the bar starts again from empty" restarted

STEP="installation at 10 %"
check "the bar reaches 10 %" poll 40000 fill_at_least "$INST" $(( (BAR_LEN + 9) / 10 ))
shot 07-install-10
say "     bar at $(pct "$FILL") % after $(secs $(( $(now_ms) - T_INST ))) s"

STEP="clicking the backdrop (installation)"
click_at 20 700
sleep 0.6
check "the focus comes back to the installation" poll 2500 in_front "$INST"

STEP="installation at 55 %"
check "the bar reaches 55 %" poll 90000 fill_at_least "$INST" $(( (BAR_LEN * 55 + 99) / 100 ))
shot 08-install-55
say "     bar at $(pct "$FILL") % after $(secs $(( $(now_ms) - T_INST ))) s"

STEP="waste bin"
WARN_TITLE="Upozornění"
LAST_FILL=0
watch_for_warning() {
    [ -n "$(windows_titled "$WARN_TITLE")" ] && return 0
    bar_fill "$INST" && LAST_FILL=$FILL
    return 1
}
poll 90000 watch_for_warning || abort "no box \"$WARN_TITLE\" within 90 s of 55 % (bar at $LAST_FILL of $BAR_LEN pixels)"
wait_titled WARN "$WARN_TITLE" 1000 || abort "more than one box \"$WARN_TITLE\""
T_BOXES=$(now_ms)
shot 09-bin-box
check "title bar reads \"$WARN_TITLE\"" title_is "$WARN" "$WARN_TITLE"
late_enough() { [ "$LAST_FILL" -ge $((BAR_LEN * 78 / 100)) ] || { WHY="the bar was last seen at $(pct "$LAST_FILL") % ($LAST_FILL pixels)"; return 1; }; }
check "the box comes once the bar is near 80 %" late_enough
press_key "$WARN" Return
REFUSE_TITLE="Požadavek nelze splnit"
wait_titled REFUSE "$REFUSE_TITLE" 3000 || abort "no box \"$REFUSE_TITLE\" after answering Yes"
check "answering Yes closes the question" not_visible "$WARN"
pass "a box titled \"$REFUSE_TITLE\" follows"
check "title bar reads \"$REFUSE_TITLE\"" title_is "$REFUSE" "$REFUSE_TITLE"
shot 10-bin-refusal
press_key "$REFUSE" Return
check "Return closes it" poll 3000 not_visible "$REFUSE"
T_BOXES=$(( $(now_ms) - T_BOXES ))
past_80() { bar_fill "$INST" && [ "$FILL" -ge $((BAR_LEN * 80 / 100)) ] && [ "$FILL" -le $((BAR_LEN * 86 / 100)) ] || { WHY="bar at $FILL of $BAR_LEN pixels"; return 1; }; }
check "the question came past 80 % (and not much later)" past_80
check "the installation goes on" poll 3000 fill_at_least "$INST" $((FILL + 1))

STEP="installation finishes"
DONE_TITLE="Instalace Valdrynix Plim 1.0."
no_second_warning() { [ -z "$(windows_titled "$WARN_TITLE")" ]; }
SECOND_WARNING=0
watch_for_done() {
    no_second_warning || SECOND_WARNING=1
    one_titled "$DONE_TITLE"
}
poll 60000 watch_for_done || abort "no window \"$DONE_TITLE\" within 60 s after the waste-bin boxes (bar at $FILL of $BAR_LEN)"
DONE=$FOUND
DT=$(( $(now_ms) - T_INST - T_BOXES ))
say "     the installation took $(secs $DT) s besides the time in the boxes"
install_time() { [ "$DT" -ge 145000 ] && [ "$DT" -le 175000 ] || { WHY="$(secs $DT) s"; return 1; }; }
check "the installation takes about 196 ticks of 0.8 s (145 to 175 s)" install_time
no_repeat() { [ "$SECOND_WARNING" = 0 ] || { WHY="\"$WARN_TITLE\" came a second time"; return 1; }; }
check "the waste-bin question does not come again" no_repeat
check "the installation window is gone" poll 1000 not_visible "$INST"

STEP="completion dialog"
check "title bar reads \"$DONE_TITLE\"" title_is "$DONE" "$DONE_TITLE"
check "client area 314x125" has_size "$DONE" 314 125
check "it has a title bar" framed "$DONE"
check "centred on the screen" centred "$DONE"
check "only the backdrop and the dialog are visible" only_visible "$BACKDROP" "$DONE"
check "the dialog is in front and active" poll 2000 in_front "$DONE"
shot 11-completion

STEP="clicking the backdrop (completion)"
click_at 20 700
sleep 0.6
check "the focus comes back to the completion dialog" poll 2500 in_front "$DONE"

STEP="completion OK"
RESTART=""
only_restart_screen() {
    local ws
    ws=$(visible_windows)
    [ "$(wc -w <<<"$ws")" -eq 1 ] || return 1
    covers_screen "$ws" || return 1
    RESTART=$ws
}
restart_blue() {
    local c
    grab
    c=$(pixel "$WORK/screen.png" 5 5)
    [ "$c" = "#0000C0" ] || { WHY="pixel at the top left is $c"; return 1; }
}
click_in "$DONE" 156 100
poll 3000 only_restart_screen || abort "after OK: not a single full-screen window (visible: $(describe_visible))"
pass "OK leaves one full-screen window, the backdrop and the dialog are gone"
check "the restart screen is borderless" borderless "$RESTART"
check "it is dark blue" restart_blue
shot 12-restart

STEP="restart screen click"
FAULT_TITLE="Chyba"
click_at 20 20
wait_titled FAULT "$FAULT_TITLE" 3000 || abort "no window \"$FAULT_TITLE\" within 3 s of the click"
check "the restart screen is gone" poll 1000 not_visible "$RESTART"
check "only the fault dialog is visible" only_visible "$FAULT"

STEP="fault dialog"
check "title bar reads \"$FAULT_TITLE\"" title_is "$FAULT" "$FAULT_TITLE"
check "client area 228x94" has_size "$FAULT" 228 94
check "it has a title bar" framed "$FAULT"
check "centred on the screen" centred "$FAULT"
shot 13-fault

STEP="fault dialog Konec"
click_in "$FAULT" 160 76
wait_titled BOX "$REFUSAL_TITLE" 3000 || abort "no box \"$REFUSAL_TITLE\" within 3 s of \"Konec\""
pass "a box titled \"$REFUSAL_TITLE\" comes"
press_key "$BOX" Return
check "Return closes the box" poll 3000 not_visible "$BOX"
check "the fault dialog is still there, alone" only_visible "$FAULT"

STEP="closing the fault dialog"
close_box "$FAULT"
wait_titled DONE "$DONE_TITLE" 3000 || abort "no window \"$DONE_TITLE\" within 3 s of closing \"$FAULT_TITLE\""
check "the fault dialog goes" poll 1000 gone "$FAULT_TITLE"
check "the completion dialog is back, without the backdrop" only_visible "$DONE"
check "centred on the screen" centred "$DONE"

STEP="completion OK again"
click_in "$DONE" 156 100
poll 3000 only_restart_screen || abort "after OK: not a single full-screen window (visible: $(describe_visible))"
pass "the restart screen comes again, alone"
check "it is dark blue" restart_blue
click_at 20 20
wait_titled FAULT "$FAULT_TITLE" 3000 || abort "no window \"$FAULT_TITLE\" within 3 s of the click"
pass "a click brings \"$FAULT_TITLE\" again"
check "only the fault dialog is visible" poll 1000 only_visible "$FAULT"

STEP="fault dialog Znovu"
click_in "$FAULT" 64 76
T_ZNOVU=$(now_ms)
wait_titled PROMPT "$PROMPT_TITLE" 1000 || abort "no prompt within 1 s of \"Znovu\""
check "the prompt is there at once, alone" only_visible "$PROMPT"
check "centred on the screen" centred "$PROMPT"
check "it reads \"Ano\" on the left as it was left" answers_read "$PROMPT" left
shot 14-prompt-again
# Over the next 2.5 s neither the splash nor another prompt may come.
stays_alone() {
    while [ $(( $(now_ms) - T_ZNOVU )) -lt 2500 ]; do
        ensure_alive
        only_visible "$PROMPT" || return 1
        sleep 0.1
    done
    only_visible "$PROMPT"
}
check "neither the splash nor another prompt follows" stays_alone

STEP="end"
check "the program is still running" prog_alive
exit 0
}
