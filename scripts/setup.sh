#!/usr/bin/env bash
# Installs what the program needs on Debian 12 or 13 (as root, or through
# sudo), then configures and builds the program alone into the given folder.
# With --tests it also installs what the tests and the package checks need and
# builds the tests, the benchmarks and the tools; with --package what building
# the Debian package needs, and the build is a release build without the tests
# and the benchmarks, whose warnings do not stop it.
# Usage: scripts/setup.sh [--tests|--package] BUILD_DIR [extra cmake arguments]
set -euo pipefail
cd "$(dirname "$0")/.."

with_tests=0
with_package=0
case "${1:-}" in
  --tests) with_tests=1; shift ;;
  --package) with_package=1; shift ;;
esac

# The one place where the two releases differ in what they call a package.
release=$(. /etc/os-release && echo "${VERSION_CODENAME:-}")
case "$release" in
  bookworm)
    # Liberation 1.07, whose package has the narrow sans the dialogs draw with
    narrow_sans=fonts-liberation ;;
  trixie)
    # Liberation 2, without the narrow sans: that has a package of its own
    narrow_sans=fonts-liberation-sans-narrow ;;
  *)
    echo "setup.sh: this is ${release:-an unknown release}; Debian 12 (bookworm) and 13 (trixie) are known" >&2
    exit 1 ;;
esac

# Building and running: the compiler and build tools, Qt, the fonts the
# screens draw with, and Qt's Czech translation of the standard widgets.
packages=(
  g++ cmake ninja-build pkg-config ccache
  qt6-base-dev libgl-dev libxcb1-dev
  fonts-liberation "$narrow_sans" fonts-dejavu-core qt6-translations-l10n
)
if [ "$with_tests" = 1 ]; then
  packages+=(
    # a private X server, window managers, and what the desktop test driver
    # (Python with python3-xlib, run by pytest) uses to drive and watch them
    xvfb xauth openbox metacity x11-utils x11-xserver-utils imagemagick xclip strace
    python3 python3-pytest python3-xlib
    # what a screen reader hears: accessibility switched on in the offscreen unit
    # test, and the desktop's accessibility bus read as a screen reader reads it
    qt6-base-private-dev at-spi2-core python3-pyatspi
    # the desktops most people run: GNOME's mutter, KDE's kwin (with its breeze
    # title bars), Xfce's xfwm4 (with xfconfd), sway; Xwayland and session buses
    mutter kwin-x11 kwin-wayland breeze xfwm4 xfconf sway xwayland dbus-daemon dbus-x11
    # the panels of Xfce and of GNOME Flashback, each with its window manager
    xfce4-panel gnome-panel
    # the real shells of GNOME and KDE, with their own panels: GNOME Shell
    # (its top bar, overview and window list) and Plasma (plasmashell's panel
    # with its task manager)
    gnome-shell plasma-workspace plasma-desktop
    # the desktop's own checks of what `cmake --install` puts there, and the .deb
    desktop-file-utils appstream man-db librsvg2-bin dpkg-dev file lintian
    # the package tests: pytest, hardening-check (in devscripts), appstreamcli
    # compose, and Qt's Wayland platform for the start-up line on Wayland alone
    python3-pytest devscripts appstream-compose qt6-wayland
    # Debian's check that the package builds the same twice, with what its
    # variations need (faketime, disorderfs, the Estonian locale it builds in:
    # locales-all) and diffoscope to say what differs
    reprotest faketime disorderfs locales-all diffoscope-minimal
    # the layout of the C++ files, checked as a test
    clang-format
    # a real screen reader on the test desktop: Orca, speaking through
    # speech-dispatcher's dummy module into libao's null driver (no sound card),
    # with its settings set by gsettings
    orca speech-dispatcher speech-dispatcher-audio-plugins libao4 libglib2.0-bin
  )
fi
if [ "$with_package" = 1 ]; then
  # CPack's Debian generator: dpkg-shlibdeps and dpkg-deb, and file to find the programs
  packages+=(dpkg-dev file git)
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
target=()
if [ "$with_package" = 1 ]; then
  set -- -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBUILD_TESTING=OFF -DVP_WERROR=OFF "$@"
elif [ "$with_tests" = 1 ]; then
  set -- -DBUILD_TESTING=ON "$@"
else
  # The program alone; a folder that a test build made keeps its tests configured.
  [ -f "$build/CMakeCache.txt" ] || set -- -DBUILD_TESTING=OFF "$@"
  target=(--target valdrynix-plim)
fi
cmake -S . -B "$build" -G Ninja "$@" >/dev/null
cmake --build "$build" "${target[@]}"
