# Sourced: a private X server (Xvfb, 1024x768, 96 dpi) with a window manager,
# for the checks and benchmarks that meet a real desktop.
#
#   xsession_start FIRST LAST [openbox|metacity]
#       takes the first free display from :FIRST to :LAST, starts Xvfb and the
#       window manager there (openbox by default) and waits until both are
#       ready; a set-up that fails is tried again, on the next free display
#       where there is one. Sets DISPLAY, XSESSION_DIR (a scratch folder with
#       xvfb.log and wm.log), XVFB_PID and WM_PID, and XDG_RUNTIME_DIR as a
#       desktop session has it (without one Qt makes its own in /tmp).
#   xsession_stop
#       ends exactly the processes it started and removes XSESSION_DIR.
#
# Each caller keeps to its own range of displays: the benchmarks :77-:78, the
# desktop checks :71-:76, the package check :81-:89 (the end-to-end suite has
# its own set-up on :91-:99).

# The window manager is ready once the window that _NET_SUPPORTING_WM_CHECK on
# the root names exists and names itself (a property left behind by a window
# manager that has gone names a window that is gone too).
xsession_wm_ready() {
    local id self
    id=$(timeout 5 xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | sed -n 's/.*window id # *\(0x[0-9a-f]*\).*/\1/p')
    [ -n "$id" ] || return 1
    self=$(timeout 5 xprop -id "$id" _NET_SUPPORTING_WM_CHECK 2>/dev/null | sed -n 's/.*window id # *\(0x[0-9a-f]*\).*/\1/p')
    [ "$self" = "$id" ]
}

# One attempt on display :$1 with window manager $2.
xsession_try() {
    local d=$1 wm=$2 i
    # -noreset: the server keeps going when its last client leaves. A
    # readiness probe is such a client; without it the server could be
    # resetting just as the window manager connects ("Failed to open the
    # display"). -displayfd: the server writes its number once it is ready,
    # and only if the display is its own, so that two set-ups racing for one
    # number cannot end up sharing a screen.
    : >"$XSESSION_DIR/display"
    Xvfb ":$d" -noreset -displayfd 8 -screen 0 1024x768x24 -dpi 96 -nolisten tcp \
        8>"$XSESSION_DIR/display" >>"$XSESSION_DIR/xvfb.log" 2>&1 &
    XVFB_PID=$!
    for i in $(seq 100); do
        kill -0 "$XVFB_PID" 2>/dev/null || break
        [ "$(cat "$XSESSION_DIR/display" 2>/dev/null)" = "$d" ] && break
        sleep 0.05
    done
    if [ "$(cat "$XSESSION_DIR/display" 2>/dev/null)" != "$d" ]; then
        echo "Xvfb did not start on :$d; see $XSESSION_DIR/xvfb.log" >&2
        return 1
    fi
    export DISPLAY=":$d"
    # No session bus for the window manager: D-Bus would otherwise start a bus
    # daemon (dbus-launch, where installed) that outlives the session.
    case $wm in
    openbox) DBUS_SESSION_BUS_ADDRESS=disabled: openbox --sm-disable >>"$XSESSION_DIR/wm.log" 2>&1 & ;;
    metacity) DBUS_SESSION_BUS_ADDRESS=disabled: metacity --replace --sm-disable --compositor=none >>"$XSESSION_DIR/wm.log" 2>&1 & ;;
    *) echo "xsession: unknown window manager '$wm'" >&2; return 2 ;;
    esac
    WM_PID=$!
    for i in $(seq 200); do
        xsession_wm_ready && return 0
        kill -0 "$WM_PID" 2>/dev/null || break
        sleep 0.05
    done
    echo "$wm did not get ready on :$d; see $XSESSION_DIR/wm.log" >&2
    return 1
}

xsession_start() {
    local first=${1:?first display} last=${2:?last display} wm=${3:-openbox} d attempt tool
    for tool in Xvfb xprop "$wm"; do
        command -v "$tool" >/dev/null 2>&1 || { echo "xsession: $tool is missing (./test.sh installs it)" >&2; return 1; }
    done
    XSESSION_DIR=$(mktemp -d /tmp/vp-xsession.XXXXXX)
    for attempt in 1 2 3 4; do
        for d in $(seq "$first" "$last"); do
            { [ -e "/tmp/.X$d-lock" ] || [ -e "/tmp/.X11-unix/X$d" ]; } && continue
            if xsession_try "$d" "$wm"; then
                export XDG_RUNTIME_DIR="$XSESSION_DIR/runtime"
                mkdir -m 700 -p "$XDG_RUNTIME_DIR"
                return 0
            fi
            xsession_stop_processes
        done
        sleep 1
    done
    echo "no X server with $wm came up on a free display from :$first to :$last" >&2
    return 1
}

xsession_stop_processes() {
    [ -n "${WM_PID:-}" ] && kill "$WM_PID" 2>/dev/null && wait "$WM_PID" 2>/dev/null
    [ -n "${XVFB_PID:-}" ] && kill "$XVFB_PID" 2>/dev/null && wait "$XVFB_PID" 2>/dev/null
    WM_PID=
    XVFB_PID=
    return 0
}

xsession_stop() {
    xsession_stop_processes
    [ -n "${XSESSION_DIR:-}" ] && rm -rf "$XSESSION_DIR"
    XSESSION_DIR=
    return 0
}
