# Shared by the end-to-end scripts (run.sh, random.sh): reporting, a private X
# server with a real window manager, the program under test, and helpers that
# look at its windows and drive it like a user with xdotool. Sourced, never run.
#
# The sourcing script sets PROGRAM and OUTDIR and then calls, in order:
#   e2e_init NAME      checks the tools, makes OUTDIR and a work folder, starts
#                      the watchdog and installs the exit handler
#   session_start      Xvfb and the window manager (E2E_WM: openbox or metacity)
#   program_start      the program, its output and trace into OUTDIR/program.log
#
# Settings (environment):
#   E2E_WM          openbox (default) or metacity
#   E2E_TIME_LIMIT  seconds before the watchdog ends the run (default 480)
#   E2E_STRACE      1: run the program under strace (file, process and network
#                   calls, into OUTDIR/strace.log.PID)
#   E2E_DBUS        session: a private session bus for the program; none
#                   (default): no session bus, as under xvfb-run
#   E2E_TRACE       1: every command of the script, with times, into OUTDIR/trace.log

# ------------------------------------------------------------------ reporting

PASSED=0
FAILED=0
STEP="start"
SUMMARY_DONE=0
ERR_LINE=""
NAME=e2e
T_START=$((${EPOCHREALTIME/./} / 1000))

now_ms() { echo $((${EPOCHREALTIME/./} / 1000)); }
secs() { printf '%d.%03d' $(($1 / 1000)) $(($1 % 1000)); }
# The wall-clock time as hh:mm:ss.mmm, as the program's trace prints it.
clock() {
    local t=$EPOCHREALTIME s
    printf -v s '%(%H:%M:%S)T' "${t%.*}"
    printf '%s.%s' "$s" "${t#*.}" | cut -c1-12
}
say() {
    printf '%s\n' "$*"
    [ -n "${OUTDIR:-}" ] && [ -d "$OUTDIR" ] && printf '%s %s\n' "$(clock)" "$*" >>"$OUTDIR/steps.log"
    return 0
}
# note TEXT: into OUTDIR/steps.log only (what the run does, for reading next to the traces).
note() { [ -n "${OUTDIR:-}" ] && [ -d "$OUTDIR" ] && printf '%s   %s\n' "$(clock)" "$*" >>"$OUTDIR/steps.log"; return 0; }
pass() { PASSED=$((PASSED + 1)); say "ok   - $STEP: $*"; }
fail() {
    FAILED=$((FAILED + 1))
    say "FAIL - $STEP: $*"
    [ -n "${OUTDIR:-}" ] && [ -d "$OUTDIR" ] && printf '%s: %s\n' "$STEP" "$*" >>"$OUTDIR/failures.txt"
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
    if [ -n "${DISPLAY:-}" ] && [ -n "${XVFB_PID:-}" ] && [ -d "${OUTDIR:-/nonexistent}" ]; then
        timeout 20 import -window root "$OUTDIR/failure.png" 2>/dev/null && say "     screen at the failure: $OUTDIR/failure.png"
        [ -n "${PROG_PID:-}" ] && say "     visible windows: $(describe_visible)"
    fi
    exit 1
}
summary() {
    [ "$SUMMARY_DONE" = 1 ] && return 0
    SUMMARY_DONE=1
    say "# run time $(secs $(($(now_ms) - T_START))) s; screenshots and logs in ${OUTDIR:-(none)}"
    say "e2e: $PASSED passed, $FAILED failed"
}

# ------------------------------------------------------------------ processes

# Everything this script starts is ended by its own id, never by name.
PROG_PID=""    # the program itself (the one whose windows we look at)
LAUNCH_PID=""  # what we started for it: the program, or strace around it
XVFB_PID=""
WM_PID=""
BUS_PID=""
WATCHDOG_PID=""
SPY_PIDS=()
SELECTION_PIDS=()
LOCKED=0 # file descriptor 9 holds the lock on our display number; children do not inherit it

stop_pid() { # PID: ends one process that this script started
    local pid=$1 i
    [ -n "$pid" ] || return 0
    kill -0 "$pid" 2>/dev/null || return 0
    kill -TERM "$pid" 2>/dev/null || true
    for i in $(seq 20); do kill -0 "$pid" 2>/dev/null || { wait "$pid" 2>/dev/null || true; return 0; }; sleep 0.1; done
    kill -KILL "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
}

# Hooks the sourcing script may add to the end of a run (before the summary).
AT_EXIT=()

on_exit() {
    local status=$? h
    set +e
    trap - ERR
    if [ "$status" -ne 0 ] && [ "$FAILED" -eq 0 ]; then
        FAILED=$((FAILED + 1))
        say "FAIL - $STEP: the test stopped unexpectedly (status $status${ERR_LINE:+, line $ERR_LINE})"
    fi
    if [ -n "$LAUNCH_PID" ] && kill -0 "$LAUNCH_PID" 2>/dev/null; then
        say "     the program was still running at the end of the run; stopping it"
    fi
    stop_pid "$LAUNCH_PID"
    stop_pid "$PROG_PID"
    for h in "${AT_EXIT[@]}"; do "$h"; done
    session_stop
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

# ------------------------------------------------------------------ set-up

E2E_WM=${E2E_WM:-openbox}
E2E_DBUS=${E2E_DBUS:-none}
LIMIT=${E2E_TIME_LIMIT:-480}
SCREEN_W=1024
SCREEN_H=768
# Displays of the end-to-end tests; others on the same machine use other numbers.
DISPLAYS=(91 92 93 94 95 96 97 98 99)

# e2e_init NAME: the common start of every script.
e2e_init() {
    NAME=$1
    # The program must meet a real X server, never the offscreen platform that
    # the unit tests use.
    unset DISPLAY QT_QPA_PLATFORM QT_QPA_OFFSCREEN_NO_GLX WAYLAND_DISPLAY QT_SCALE_FACTOR QT_SCREEN_SCALE_FACTORS \
        QT_AUTO_SCREEN_SCALE_FACTOR QT_ENABLE_HIGHDPI_SCALING QT_FONT_DPI DBUS_SESSION_BUS_ADDRESS
    export LC_ALL=C.UTF-8

    trap on_exit EXIT
    trap 'on_signal TERM' TERM
    trap 'on_signal INT' INT
    trap 'on_signal HUP' HUP
    trap 'ERR_LINE=$LINENO' ERR

    [ -x "$PROGRAM" ] || abort "the program '$PROGRAM' is not an executable file"
    local tool wm_tool
    case $E2E_WM in
    openbox | metacity) wm_tool=$E2E_WM ;;
    *) abort "unknown window manager E2E_WM=$E2E_WM (openbox or metacity)" ;;
    esac
    for tool in "$wm_tool" Xvfb xdotool xwininfo xprop xdpyinfo xev xclip flock timeout import convert compare; do
        command -v "$tool" >/dev/null 2>&1 || abort "the tool '$tool' is missing (packages: xvfb openbox metacity xdotool x11-utils xclip imagemagick)"
    done
    if [ "${E2E_STRACE:-0}" = 1 ]; then
        command -v strace >/dev/null 2>&1 || abort "the tool 'strace' is missing"
    fi
    if [ "$E2E_DBUS" = session ]; then
        command -v dbus-daemon >/dev/null 2>&1 || abort "the tool 'dbus-daemon' is missing"
    fi

    if [ -z "${OUTDIR:-}" ]; then OUTDIR=$(mktemp -d "/tmp/vp-$NAME.XXXXXX"); fi
    mkdir -p "$OUTDIR"
    rm -f "$OUTDIR"/*.png "$OUTDIR"/*.log "$OUTDIR"/*.txt "$OUTDIR"/sanitizer.* "$OUTDIR"/strace.log.*
    if [ "${E2E_TRACE:-0}" = 1 ]; then
        exec {TRACE_FD}>"$OUTDIR/trace.log"
        BASH_XTRACEFD=$TRACE_FD
        PS4='+ ${EPOCHREALTIME} ${LINENO}: '
        set -x
    fi
    WORK=$(mktemp -d /tmp/vp-e2e-work.XXXXXX)
    # A desktop session has these; without them Qt would make its own runtime
    # folder in /tmp, and the window manager would write into the real home.
    export XDG_RUNTIME_DIR="$WORK/runtime" XDG_CONFIG_HOME="$WORK/config" XDG_CACHE_HOME="$WORK/cache" HOME="$WORK/home"
    mkdir -p "$XDG_RUNTIME_DIR" "$XDG_CONFIG_HOME" "$XDG_CACHE_HOME" "$HOME"
    chmod 700 "$XDG_RUNTIME_DIR"

    # The watchdog: whatever happens, the run ends after LIMIT seconds.
    (
        trap - EXIT TERM INT HUP ERR
        deadline=$(($(date +%s) + LIMIT))
        while [ "$(date +%s)" -lt "$deadline" ]; do sleep 1; done
        echo "$NAME: time limit of ${LIMIT} s reached, stopping" >&2
        kill -TERM $$ 2>/dev/null
        for _ in $(seq 20); do sleep 1; done
        # Still there: the run is stuck in a command. End what it started, then the run.
        for f in "$WORK"/*.pid; do [ -f "$f" ] && kill -TERM "$(cat "$f")" 2>/dev/null; done
        sleep 2
        for f in "$WORK"/*.pid; do [ -f "$f" ] && kill -KILL "$(cat "$f")" 2>/dev/null; done
        kill -KILL $$ 2>/dev/null
    ) &
    WATCHDOG_PID=$!
}

# Every X client call is bounded in time, so that nothing can hold the run.
xdo() { timeout 10 xdotool "$@"; }
xpr() { timeout 5 xprop "$@"; }
xwi() { # ID [OPTION...]: xwininfo on one window (never its interactive pick)
    case ${1:-} in '' | 0 | 0x0) return 1 ;; esac
    local id=$1
    shift
    timeout 5 xwininfo "$@" -id "$id"
}
im_import() { timeout 20 import "$@"; }
im_convert() { timeout 20 convert "$@"; }
im_compare() { timeout 20 compare "$@"; }

# The window manager is up once the window that _NET_SUPPORTING_WM_CHECK on the
# root names exists and names itself (a property left behind by a window
# manager that has gone names a window that is gone too).
wm_ready() {
    local id self
    id=$(xpr -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | sed -n 's/.*window id # *\(0x[0-9a-f]*\).*/\1/p')
    [ -n "$id" ] || return 1
    self=$(xpr -id "$id" _NET_SUPPORTING_WM_CHECK 2>/dev/null | sed -n 's/.*window id # *\(0x[0-9a-f]*\).*/\1/p')
    [ "$self" = "$id" ] || return 1
    xpr -root _NET_SUPPORTED 2>/dev/null | grep -q '_NET_ACTIVE_WINDOW'
}

wm_start() { # the window manager on $DISPLAY, into OUTDIR/wm.log
    # No session bus for it: without one, D-Bus would start a bus daemon
    # (dbus-launch, where installed) for metacity's settings, to outlive the run.
    case $E2E_WM in
    openbox) DBUS_SESSION_BUS_ADDRESS=disabled: openbox --sm-disable >>"$OUTDIR/wm.log" 2>&1 9>&- & ;;
    # No compositing (Xvfb has no GL to speak of); no session manager. Its
    # settings stay in memory.
    metacity) DBUS_SESSION_BUS_ADDRESS=disabled: metacity --replace --sm-disable --compositor=none >>"$OUTDIR/wm.log" 2>&1 9>&- & ;;
    esac
    WM_PID=$!
    echo "$WM_PID" >"$WORK/wm.pid"
}

# One attempt on display :N. Returns 0 with Xvfb and the window manager up.
session_try() {
    local n=$1 i
    # Our own lock first (held for the whole run), then the X server's: Xvfb
    # refuses a display whose lock file exists.
    exec 9>"/tmp/vp-e2e-display-$n.lock"
    LOCKED=1
    flock -n 9 || return 1
    { [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ]; } && return 1
    printf '%s display :%s\n' "$(clock)" "$n" >>"$OUTDIR/setup.log"
    # -noreset: the server keeps going when its last client leaves (the
    # readiness probes are such clients; without it the window manager
    # started right after could find the server resetting). -displayfd: the
    # server writes its number once it is ready, and only if the display is
    # its own; a probe alone could be answered by another run's server that
    # won the same number a moment earlier, and two runs would share a screen.
    rm -f "$WORK/display"
    Xvfb ":$n" -noreset -displayfd 8 -screen 0 "${SCREEN_W}x${SCREEN_H}x24" -nolisten tcp -dpi 96 \
        8>"$WORK/display" >>"$OUTDIR/xvfb.log" 2>&1 9>&- &
    XVFB_PID=$!
    echo "$XVFB_PID" >"$WORK/xvfb.pid"
    export DISPLAY=":$n"
    for i in $(seq 100); do
        kill -0 "$XVFB_PID" 2>/dev/null || break
        [ "$(cat "$WORK/display" 2>/dev/null)" = "$n" ] && break
        sleep 0.1
    done
    if [ "$(cat "$WORK/display" 2>/dev/null)" != "$n" ] || ! kill -0 "$XVFB_PID" 2>/dev/null || ! timeout 5 xdpyinfo >/dev/null 2>&1; then
        printf '%s   Xvfb did not come up on :%s\n' "$(clock)" "$n" >>"$OUTDIR/setup.log"
        return 1
    fi
    wm_start
    for i in $(seq 100); do
        kill -0 "$WM_PID" 2>/dev/null || break
        wm_ready && break
        sleep 0.1
    done
    if ! kill -0 "$WM_PID" 2>/dev/null || ! wm_ready; then
        printf '%s   %s did not come up on :%s\n' "$(clock)" "$E2E_WM" "$n" >>"$OUTDIR/setup.log"
        return 1
    fi
    return 0
}

# Xvfb and the window manager on the first free display; a set-up that fails
# is retried on another display, so that the run fails only for the program.
session_start() {
    STEP="set-up"
    local attempt n
    for attempt in 1 2 3 4; do
        for n in "${DISPLAYS[@]}"; do
            if session_try "$n"; then
                [ "$attempt" -gt 1 ] && say "     set-up needed $attempt attempts (see $OUTDIR/setup.log)"
                say "# X server on $DISPLAY with $E2E_WM, screenshots and logs in $OUTDIR"
                spies_start
                bus_start
                return 0
            fi
            session_stop
        done
        sleep 1
    done
    abort "no X server with $E2E_WM came up on any of :${DISPLAYS[0]} to :${DISPLAYS[-1]} (see $OUTDIR/setup.log, xvfb.log, wm.log)"
}

session_stop() {
    local p
    for p in "${SELECTION_PIDS[@]}"; do stop_pid "$p"; done
    SELECTION_PIDS=()
    for p in "${SPY_PIDS[@]}"; do stop_pid "$p"; done
    SPY_PIDS=()
    stop_pid "$BUS_PID"
    BUS_PID=""
    stop_pid "$WM_PID"
    WM_PID=""
    stop_pid "$XVFB_PID"
    XVFB_PID=""
    unset DISPLAY
    if [ "$LOCKED" = 1 ]; then
        exec 9>&-
        LOCKED=0
    fi
}

# Stamps every line read with the wall-clock time.
stamp_lines() { local l; while IFS= read -r l; do printf '%s %s\n' "$(clock)" "$l"; done; }

# What the window manager does, for reading next to the program's trace: the
# active window and the stacking as the window manager announces them, and the
# top-level windows it creates, maps and unmaps.
spies_start() {
    timeout "$LIMIT" xprop -spy -root _NET_ACTIVE_WINDOW _NET_CLIENT_LIST_STACKING \
        > >(stamp_lines >"$OUTDIR/wm-active.log") 2>&1 9>&- &
    SPY_PIDS+=($!)
    timeout "$LIMIT" xev -root -event substructure > >(stamp_lines >"$OUTDIR/wm-events.log") 2>&1 9>&- &
    SPY_PIDS+=($!)
}

# A session bus of our own when E2E_DBUS=session (a desktop has one).
bus_start() {
    [ "$E2E_DBUS" = session ] || return 0
    local i addr
    # Where a desktop keeps it: in the runtime folder (which goes with the run).
    dbus-daemon --session --nofork --nopidfile --address="unix:path=$XDG_RUNTIME_DIR/bus" --print-address=1 \
        >"$WORK/bus.address" 2>>"$OUTDIR/dbus.log" 9>&- &
    BUS_PID=$!
    echo "$BUS_PID" >"$WORK/bus.pid"
    for i in $(seq 50); do
        addr=$(head -n 1 "$WORK/bus.address" 2>/dev/null)
        [ -n "$addr" ] && break
        sleep 0.1
    done
    [ -n "$addr" ] || abort "the session bus did not start (see $OUTDIR/dbus.log)"
    export DBUS_SESSION_BUS_ADDRESS=$addr
    say "# session bus $addr"
}

# ------------------------------------------------------------------ the program

# How the program is run: its trace of window requests on, its messages with
# the time of day, sanitizer reports (in a sanitizer build) into OUTDIR.
PROGRAM_ENV_DONE=0
program_env() {
    [ "$PROGRAM_ENV_DONE" = 1 ] && return 0
    PROGRAM_ENV_DONE=1
    export QT_LOGGING_RULES="vp.trace=true"
    export QT_MESSAGE_PATTERN='%{time hh:mm:ss.zzz} %{if-category}%{category}: %{endif}%{message}'
    export ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}log_path=$OUTDIR/sanitizer"
    export UBSAN_OPTIONS="${UBSAN_OPTIONS:+$UBSAN_OPTIONS:}log_path=$OUTDIR/sanitizer"
    if [ -z "${LSAN_OPTIONS:-}" ] && [ -f "$E2E_DIR/../lsan.supp" ]; then
        export LSAN_OPTIONS="suppressions=$E2E_DIR/../lsan.supp"
    fi
}
E2E_DIR=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
LAUNCHES=0

# A process that PARENT started, by its executable's path (strace forks first).
child_running() { # PARENT EXE: prints the pid
    local pid exe
    for pid in $(cat /proc/"$1"/task/*/children 2>/dev/null); do
        exe=$(readlink "/proc/$pid/exe" 2>/dev/null) || continue
        [ "$exe" = "$2" ] && { echo "$pid"; return 0; }
    done
    return 1
}

program_start() {
    local exe i
    LAUNCHES=$((LAUNCHES + 1))
    program_env
    exe=$(readlink -f "$PROGRAM")
    printf '%s ---- start %d\n' "$(clock)" "$LAUNCHES" >>"$OUTDIR/program.log"
    if [ "${E2E_STRACE:-0}" = 1 ]; then
        # Only what the program does with files, processes and the network,
        # one file per process (OUTDIR/strace.log.PID); the seccomp filter
        # keeps all other calls at full speed.
        strace -ff --seccomp-bpf -q -s 256 -e trace=file,process,network -o "$OUTDIR/strace.log" "$exe" \
            >>"$OUTDIR/program.log" 2>&1 9>&- &
        LAUNCH_PID=$!
        PROG_PID=""
        for i in $(seq 100); do
            PROG_PID=$(child_running "$LAUNCH_PID" "$exe") && break
            kill -0 "$LAUNCH_PID" 2>/dev/null || break
            sleep 0.05
        done
        [ -n "$PROG_PID" ] || abort "the program did not start under strace (see $OUTDIR/program.log)"
        STRACE_ROOT=$PROG_PID
        # strace lets its tracee go on when it is stopped; the watchdog ends both.
        echo "$PROG_PID" >"$WORK/traced.pid"
    else
        "$exe" >>"$OUTDIR/program.log" 2>&1 9>&- &
        LAUNCH_PID=$!
        PROG_PID=$LAUNCH_PID
    fi
    echo "$LAUNCH_PID" >"$WORK/program.pid"
}

prog_alive() { [ -n "$LAUNCH_PID" ] && kill -0 "$LAUNCH_PID" 2>/dev/null; }

# What an exit status means (the shell's 128 + N for signal N).
describe_status() {
    local s=$1
    if [ "$s" -gt 128 ] && [ "$s" -lt 160 ]; then
        printf 'killed by signal %s (SIG%s)' $((s - 128)) "$(kill -l $((s - 128)) 2>/dev/null || echo '?')"
    else
        printf 'exit status %s' "$s"
    fi
}

# program_reap: after the program has ended, sets EXIT_STATUS and forgets it.
EXIT_STATUS=""
program_reap() {
    EXIT_STATUS=0
    wait "$LAUNCH_PID" 2>/dev/null || EXIT_STATUS=$?
    printf '%s ---- end %d: %s\n' "$(clock)" "$LAUNCHES" "$(describe_status "$EXIT_STATUS")" >>"$OUTDIR/program.log"
    LAUNCH_PID=""
    PROG_PID=""
}

program_log_tail() {
    say "     last lines of the program's output ($OUTDIR/program.log):"
    grep -v ' vp.trace: ' "$OUTDIR/program.log" | tail -n 25 | sed 's/^/     | /'
}

ensure_alive() {
    prog_alive && return 0
    program_reap
    program_log_tail
    sanitizer_reports >/dev/null || true
    abort "the program has ended in the middle of the run ($(describe_status "$EXIT_STATUS"))"
}

# Sanitizer reports of all runs so far: files named by log_path, or lines in
# the program's output. Prints them and fails when there are any.
sanitizer_reports() {
    local found=0 f
    for f in "$OUTDIR"/sanitizer.*; do
        [ -s "$f" ] || continue
        found=1
        say "     sanitizer report $f:"
        head -n 40 "$f" | sed 's/^/     | /'
    done
    if grep -qE 'ERROR: (AddressSanitizer|LeakSanitizer)|runtime error:' "$OUTDIR/program.log" 2>/dev/null; then
        found=1
        say "     sanitizer messages in the program's output:"
        grep -E -A 12 'ERROR: (AddressSanitizer|LeakSanitizer)|runtime error:' "$OUTDIR/program.log" | head -n 40 | sed 's/^/     | /'
    fi
    [ "$found" = 0 ] || { WHY="see above"; return 1; }
}

status_ok() { [ "$EXIT_STATUS" = 0 ] || { WHY="$(describe_status "$EXIT_STATUS")"; return 1; }; }

# wait_exit MS: waits for the program to end; sets EXIT_STATUS.
wait_exit() {
    local limit=$(($(now_ms) + $1))
    while prog_alive; do
        [ "$(now_ms)" -ge "$limit" ] && return 1
        sleep 0.1
    done
    program_reap
}

# ------------------------------------------------------------------ windows

# All visible top-level windows of the program.
visible_windows() { [ -n "$PROG_PID" ] && xdo search --all --onlyvisible --pid "$PROG_PID" 2>/dev/null || true; }

re_escape() { printf '%s' "$1" | sed 's/[][\.*^$(){}+?|]/\\&/g'; }

# What the toolkit may append to a window title on X11.
APP_SUFFIX=" — Valdrynix Plim 1.0."

# Visible windows of the program whose title is TITLE, exactly or with the
# application name that the toolkit may append (the title check is separate).
windows_titled() {
    local re
    re="^$(re_escape "$1")($(re_escape "$APP_SUFFIX"))?\$"
    [ -n "$PROG_PID" ] && xdo search --all --onlyvisible --pid "$PROG_PID" --name "$re" 2>/dev/null || true
}

title_of() { xdo getwindowname "$1" 2>/dev/null || true; }

describe_visible() {
    local w out=""
    for w in $(visible_windows); do
        geom "$w" && out+="[$(title_of "$w")] ${W}x${H}+${X}+${Y}; " || out+="[$w gone]; "
    done
    printf '%s' "${out:-none}"
}

# geom ID: client area (X Y W H, absolute) and the frame around it as the user
# sees it (FX FY FW FH): the client grown by the decorations that the window
# manager announces in _NET_FRAME_EXTENTS; where it announces none, the window
# manager's top-level window that holds the client (metacity's frame window
# also holds invisible borders for resizing, so it is not what the user sees).
geom() {
    local info parent top ext l r t b
    info=$(xwi "$1" 2>/dev/null) || return 1
    X=$(awk -F: '/Absolute upper-left X/ {gsub(/ /,"",$2); print $2}' <<<"$info")
    Y=$(awk -F: '/Absolute upper-left Y/ {gsub(/ /,"",$2); print $2}' <<<"$info")
    W=$(awk -F: '/^ *Width/ {gsub(/ /,"",$2); print $2}' <<<"$info")
    H=$(awk -F: '/^ *Height/ {gsub(/ /,"",$2); print $2}' <<<"$info")
    [ -n "$X" ] && [ -n "$Y" ] && [ -n "$W" ] && [ -n "$H" ] || return 1
    ext=$(xpr -id "$1" _NET_FRAME_EXTENTS 2>/dev/null | sed -n 's/.*= *//p' | tr -d ' ')
    if [[ $ext =~ ^([0-9]+),([0-9]+),([0-9]+),([0-9]+)$ ]]; then
        l=${BASH_REMATCH[1]} r=${BASH_REMATCH[2]} t=${BASH_REMATCH[3]} b=${BASH_REMATCH[4]}
        FX=$((X - l)) FY=$((Y - t)) FW=$((W + l + r)) FH=$((H + t + b))
        return 0
    fi
    # Up the tree to the child of the root.
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
    [ -n "$FX" ] && [ -n "$FY" ] && [ -n "$FW" ] && [ -n "$FH" ]
}

# poll MS COMMAND...: runs COMMAND every 100 ms (POLL_EVERY seconds) until it
# succeeds or MS pass.
POLL_EVERY=0.1
poll() {
    local limit=$(($(now_ms) + $1))
    shift
    while :; do
        ensure_alive
        "$@" && return 0
        [ "$(now_ms)" -ge "$limit" ] && return 1
        sleep "$POLL_EVERY"
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
    [ "$a" = "$1" ] || { WHY="the active window is \"$(title_of "$a")\" ($a, process $(xpr -id "$a" _NET_WM_PID 2>/dev/null | sed -n 's/.*= *//p'); ours is $PROG_PID)"; return 1; }
}
# The managed windows bottom to top, as the window manager stacks them.
stacking() { xpr -root _NET_CLIENT_LIST_STACKING 2>/dev/null | sed -n 's/.*# //p' | tr ',' '\n' | tr -d ' ' | sed '/^$/d'; }
# Managed windows of any other process on our display (there should be none:
# a second program on the same screen would put its windows over ours).
foreign_windows() {
    local w pid
    for w in $(xpr -root _NET_CLIENT_LIST 2>/dev/null | sed -n 's/.*# //p' | tr ',' ' '); do
        pid=$(xpr -id "$w" _NET_WM_PID 2>/dev/null | sed -n 's/.*= *//p')
        [ -n "$pid" ] && [ "$pid" = "$PROG_PID" ] && continue
        printf '%s [%s] of process %s; ' "$((w))" "$(title_of $((w)))" "${pid:-unknown}"
    done
}
on_top() { # ID: the topmost of the managed windows
    local top
    top=$(stacking | tail -n 1)
    [ -n "$top" ] && [ $((top)) = "$1" ] || { WHY="topmost is \"$(title_of $((top)))\""; return 1; }
}
in_front() { active_is "$1" && on_top "$1"; }

# ---- input

move_to() { note "move to $1,$2"; xdo mousemove "$1" "$2"; }
click_at() { note "click at $1,$2"; xdo mousemove "$1" "$2" click 1; }
click_in() { # ID CX CY [BUTTON]: a click at client coordinates
    geom "$1" || abort "window $1 is gone, cannot click into it"
    note "click ${4:-1} in $1 at $2,$3 (screen $((X + $2)),$((Y + $3)))"
    xdo mousemove $((X + $2)) $((Y + $3)) click "${4:-1}"
}
activate() { # ID: make it the active window (as a user would by clicking its title)
    note "activate $1"
    timeout 5 xdotool windowactivate --sync "$1" >/dev/null 2>&1 || true
    poll 2000 active_is "$1"
}
close_box() { # ID: close the window through the window manager (both bind Alt+F4 to its close box)
    activate "$1" || abort "could not make \"$(title_of "$1")\" active to close it ($WHY)"
    note "alt+F4 on $1"
    xdo key --clearmodifiers alt+F4
}
press_key() { # ID KEY
    activate "$1" || abort "could not make \"$(title_of "$1")\" active to press $2 ($WHY)"
    note "key $2 in $1"
    xdo key --clearmodifiers "$2"
}

# ---- the two selections a paste takes from

selection_release() { # SELECTION: whoever of ours owned it lets go; then no one owns it
    local p keep=()
    for p in "${SELECTION_PIDS[@]}"; do
        if [ "$(cat "$WORK/selection.$p" 2>/dev/null)" = "$1" ]; then stop_pid "$p"; else keep+=("$p"); fi
    done
    SELECTION_PIDS=("${keep[@]}")
}
selection_set() { # SELECTION TEXT: owned by xclip, offering TEXT (may be empty)
    selection_release "$1"
    printf '%s' "$2" >"$WORK/selection.text"
    xclip -quiet -selection "$1" -i "$WORK/selection.text" >/dev/null 2>&1 9>&- &
    SELECTION_PIDS+=($!)
    echo "$1" >"$WORK/selection.$!"
    # Until xclip owns the selection, a paste would still see the old owner.
    local i
    for i in $(seq 30); do
        [ "$(timeout 2 xclip -o -selection "$1" 2>/dev/null)" = "$2" ] && return 0
        sleep 0.1
    done
    return 1
}
selection_none() { # SELECTION: no owner at all (xclip owns it for a moment, then lets go)
    selection_set "$1" "" || return 1
    selection_release "$1"
    local i
    for i in $(seq 30); do
        timeout 2 xclip -o -selection "$1" >/dev/null 2>&1 || return 0
        sleep 0.1
    done
    return 1
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
