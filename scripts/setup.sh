#!/usr/bin/env bash
# Installs what the program needs on Debian 12 (as root, or through sudo),
# then configures and builds into the given folder. With --tests it also
# installs what the tests and the package checks need.
# Usage: scripts/setup.sh [--tests] BUILD_DIR [extra cmake arguments]
set -euo pipefail
cd "$(dirname "$0")/.."

with_tests=0
if [ "${1:-}" = --tests ]; then
  with_tests=1
  shift
fi

# Building and running: the compiler and build tools, Qt, the fonts the
# screens draw with, and Qt's Czech translation of the standard widgets.
packages=(
  g++ cmake ninja-build pkg-config ccache
  qt6-base-dev libgl-dev libxcb1-dev
  fonts-liberation fonts-dejavu-core qt6-translations-l10n
)
if [ "$with_tests" = 1 ]; then
  packages+=(
    # a private X server, window managers and tools that drive and watch it
    xvfb xauth openbox metacity xdotool x11-utils imagemagick xclip strace
    # the desktops most people run: GNOME's mutter, KDE's kwin (with its breeze
    # title bars), Xfce's xfwm4 (with xfconfd), sway; Xwayland, session buses,
    # monitors split with xrandr, a panel drawn with python3-xlib
    mutter kwin-x11 kwin-wayland breeze xfwm4 xfconf sway xwayland dbus-x11 dbus-daemon
    x11-xserver-utils python3-xlib util-linux
    # the desktop's own checks of what `cmake --install` puts there, and the .deb
    desktop-file-utils appstream man-db librsvg2-bin dpkg-dev file lintian
  )
fi
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  echo "Installing: ${missing[*]}"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

build=${1:?build folder}
shift
cmake -S . -B "$build" -G Ninja "$@" >/dev/null
cmake --build "$build"
