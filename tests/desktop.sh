#!/usr/bin/env bash
# Runs one test program on a private X server (Xvfb, 1024x768) under a real
# window manager, for the checks that only a window manager can answer:
# taskbar buttons, frames, placement, focus.
# Usage: desktop.sh openbox|metacity PROGRAM [ARGS...]
set -euo pipefail
wm=${1:?window manager}
shift
for tool in Xvfb xprop "$wm"; do
    command -v "$tool" >/dev/null || { echo "desktop.sh: $tool is missing" >&2; exit 1; }
done
work=$(mktemp -d /tmp/vp-desktop.XXXXXX)
pids=()
cleanup() {
    for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
    wait 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

# A display of our own; -noreset, so that the server does not reset when a
# probe disconnects and the window manager then fails to connect.
started=""
for n in 71 72 73 74 75 76; do
    [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ] && continue
    Xvfb ":$n" -screen 0 1024x768x24 -dpi 96 -nolisten tcp -noreset >"$work/xvfb.log" 2>&1 &
    xpid=$!
    for _ in $(seq 50); do
        kill -0 "$xpid" 2>/dev/null || break
        DISPLAY=":$n" timeout 5 xprop -root >/dev/null 2>&1 && { started=":$n"; break; }
        sleep 0.1
    done
    if [ -n "$started" ]; then pids+=("$xpid"); break; fi
    kill "$xpid" 2>/dev/null || true
done
[ -n "$started" ] || { echo "desktop.sh: no X server could be started" >&2; cat "$work/xvfb.log" >&2; exit 1; }
export DISPLAY=$started HOME=$work XDG_CONFIG_HOME=$work/config XDG_RUNTIME_DIR=$work/runtime
mkdir -p "$XDG_CONFIG_HOME" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"

case $wm in
openbox) openbox --sm-disable >"$work/wm.log" 2>&1 & ;;
metacity) metacity --sm-disable --no-composite >"$work/wm.log" 2>&1 & ;;
*) "$wm" >"$work/wm.log" 2>&1 & ;;
esac
pids+=("$!")
# The window manager is there once the root names its check window and that
# window exists.
wm_ready() {
    local id
    id=$(timeout 5 xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | sed -n 's/.*window id # //p')
    [ -n "$id" ] && timeout 5 xprop -id "$id" >/dev/null 2>&1
}
for _ in $(seq 100); do wm_ready && break; sleep 0.1; done
wm_ready || { echo "desktop.sh: $wm did not come up" >&2; cat "$work/wm.log" >&2; exit 1; }

QT_QPA_PLATFORM=xcb "$@"
