#!/usr/bin/env bash
# Runs one test program on a private X server (Xvfb, 1024x768) under a real
# window manager, for the checks that only a window manager can answer:
# taskbar buttons, frames, placement, focus.
# Usage: desktop.sh openbox|metacity PROGRAM [ARGS...]
set -euo pipefail
wm=${1:?window manager}
shift
# shellcheck source=tests/xsession.sh
. "$(dirname "$0")/xsession.sh"
trap xsession_stop EXIT
xsession_start 71 76 "$wm"
export HOME=$XSESSION_DIR XDG_CONFIG_HOME=$XSESSION_DIR/config
QT_QPA_PLATFORM=xcb "$@"
