# Sourced by startup.sh and cpu.sh: a private X server (Xvfb) with openbox on
# the first free display from $1 upwards. Sets DISPLAY, XSESSION_DIR and the
# process ids XVFB_PID and OPENBOX_PID; xsession_stop ends exactly those.

xsession_start() {
    local first=${1:-77}
    local d=$first
    while [ -e "/tmp/.X$d-lock" ] || [ -e "/tmp/.X11-unix/X$d" ]; do
        d=$((d + 1))
        if [ "$d" -gt $((first + 50)) ]; then
            echo "no free X display from :$first on" >&2
            return 1
        fi
    done
    XSESSION_DIR=$(mktemp -d /tmp/vp-bench.XXXXXX)
    Xvfb ":$d" -screen 0 1024x768x24 -nolisten tcp >"$XSESSION_DIR/xvfb.log" 2>&1 &
    XVFB_PID=$!
    export DISPLAY=":$d"
    local i
    for i in $(seq 100); do
        xdpyinfo >/dev/null 2>&1 && break
        if ! kill -0 "$XVFB_PID" 2>/dev/null; then
            echo "Xvfb did not start; see $XSESSION_DIR/xvfb.log" >&2
            return 1
        fi
        sleep 0.05
    done
    openbox >"$XSESSION_DIR/openbox.log" 2>&1 &
    OPENBOX_PID=$!
    # openbox is ready once it has announced what it supports on the root window.
    for i in $(seq 200); do
        xprop -root _NET_SUPPORTED 2>/dev/null | grep -q '_NET_ACTIVE_WINDOW' && break
        if ! kill -0 "$OPENBOX_PID" 2>/dev/null; then
            echo "openbox did not start; see $XSESSION_DIR/openbox.log" >&2
            return 1
        fi
        sleep 0.05
    done
    if ! xprop -root _NET_SUPPORTED 2>/dev/null | grep -q '_NET_ACTIVE_WINDOW'; then
        echo "openbox did not get ready on $DISPLAY" >&2
        return 1
    fi
    # A desktop session has a runtime folder; without one Qt warns on every start.
    export XDG_RUNTIME_DIR="$XSESSION_DIR/runtime"
    mkdir -m 700 -p "$XDG_RUNTIME_DIR"
}

xsession_stop() {
    [ -n "${OPENBOX_PID:-}" ] && kill "$OPENBOX_PID" 2>/dev/null && wait "$OPENBOX_PID" 2>/dev/null
    [ -n "${XVFB_PID:-}" ] && kill "$XVFB_PID" 2>/dev/null && wait "$XVFB_PID" 2>/dev/null
    OPENBOX_PID=
    XVFB_PID=
    [ -n "${XSESSION_DIR:-}" ] && rm -rf "$XSESSION_DIR"
    XSESSION_DIR=
    return 0
}
