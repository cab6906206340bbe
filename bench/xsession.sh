# Sourced by startup.sh and cpu.sh: a private X server (Xvfb) with openbox on
# the first free display from $1 to :78 (the benchmarks' own numbers). Sets
# DISPLAY, XSESSION_DIR and the process ids XVFB_PID and OPENBOX_PID;
# xsession_stop ends exactly those.
#
# A set-up that fails (Xvfb or openbox not coming up) is retried, on the next
# free display where there is one, a few times before giving up.

# openbox is ready once the window that _NET_SUPPORTING_WM_CHECK on the root
# names exists and names itself (a property left by a window manager that has
# gone names a window that is gone too).
xsession_wm_ready() {
    local id self
    id=$(timeout 5 xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | sed -n 's/.*window id # *\(0x[0-9a-f]*\).*/\1/p')
    [ -n "$id" ] || return 1
    self=$(timeout 5 xprop -id "$id" _NET_SUPPORTING_WM_CHECK 2>/dev/null | sed -n 's/.*window id # *\(0x[0-9a-f]*\).*/\1/p')
    [ "$self" = "$id" ]
}

# One attempt on display :$1; returns 0 with Xvfb and openbox up.
xsession_try() {
    local d=$1 i
    # -noreset: the server keeps going when its last client leaves. The
    # readiness probe below is such a client; without it the server could be
    # resetting just as openbox connects ("Failed to open the display").
    # -displayfd: the server writes its number once it is ready, and only if
    # the display is its own (a probe alone could be answered by the server
    # of another script that won the same number a moment earlier).
    rm -f "$XSESSION_DIR/display"
    Xvfb ":$d" -noreset -displayfd 8 -screen 0 1024x768x24 -nolisten tcp 8>"$XSESSION_DIR/display" >>"$XSESSION_DIR/xvfb.log" 2>&1 &
    XVFB_PID=$!
    export DISPLAY=":$d"
    for i in $(seq 100); do
        [ "$(cat "$XSESSION_DIR/display" 2>/dev/null)" = "$d" ] && break
        kill -0 "$XVFB_PID" 2>/dev/null || break
        sleep 0.05
    done
    if [ "$(cat "$XSESSION_DIR/display" 2>/dev/null)" != "$d" ] || ! timeout 5 xdpyinfo >/dev/null 2>&1; then
        echo "Xvfb did not start on :$d; see $XSESSION_DIR/xvfb.log" >&2
        return 1
    fi
    openbox --sm-disable >>"$XSESSION_DIR/openbox.log" 2>&1 &
    OPENBOX_PID=$!
    for i in $(seq 200); do
        xsession_wm_ready && return 0
        kill -0 "$OPENBOX_PID" 2>/dev/null || break
        sleep 0.05
    done
    echo "openbox did not get ready on :$d; see $XSESSION_DIR/openbox.log" >&2
    return 1
}

xsession_start() {
    local first=${1:-77} last=78 d attempt
    XSESSION_DIR=$(mktemp -d /tmp/vp-bench.XXXXXX)
    for attempt in 1 2 3 4; do
        for d in $(seq "$first" "$last"); do
            [ -e "/tmp/.X$d-lock" ] || [ -e "/tmp/.X11-unix/X$d" ] && continue
            if xsession_try "$d"; then
                # A desktop session has a runtime folder; without one Qt makes its own in /tmp.
                export XDG_RUNTIME_DIR="$XSESSION_DIR/runtime"
                mkdir -m 700 -p "$XDG_RUNTIME_DIR"
                return 0
            fi
            xsession_stop_processes
        done
        sleep 1
    done
    echo "no X server with openbox came up on a free display from :$first to :$last" >&2
    return 1
}

xsession_stop_processes() {
    [ -n "${OPENBOX_PID:-}" ] && kill "$OPENBOX_PID" 2>/dev/null && wait "$OPENBOX_PID" 2>/dev/null
    [ -n "${XVFB_PID:-}" ] && kill "$XVFB_PID" 2>/dev/null && wait "$XVFB_PID" 2>/dev/null
    OPENBOX_PID=
    XVFB_PID=
    return 0
}

xsession_stop() {
    xsession_stop_processes
    [ -n "${XSESSION_DIR:-}" ] && rm -rf "$XSESSION_DIR"
    XSESSION_DIR=
    return 0
}
