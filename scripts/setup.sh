#!/usr/bin/env bash
# Installs what the program and its tests need on Debian 12 (as root, or
# through sudo), then configures and builds into the given folder.
# Usage: scripts/setup.sh BUILD_DIR [extra cmake arguments]
set -euo pipefail
cd "$(dirname "$0")/.."

packages=(
  g++ cmake ninja-build pkg-config ccache
  qt6-base-dev libgl-dev libxcb1-dev
  fonts-liberation fonts-dejavu-core
  xvfb xauth openbox xdotool x11-utils imagemagick
)
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
