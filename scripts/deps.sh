#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, when missing.
# Sourced by run-saver and run-tests; safe to run on its own.
set -euo pipefail

ORVO_PACKAGES=(
  # build
  cmake g++ ninja-build pkg-config python3
  libx11-dev libxext-dev libxtst-dev libxft-dev libxrandr-dev libxcomposite-dev fonts-dejavu-core libfltk1.3-dev libpam0g-dev libpng-dev libgif-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  # the Wayland back end, the lock's prompt (FreeType, fontconfig) and the
  # Wayland test compositor
  libwayland-dev libwayland-bin wayland-protocols libxkbcommon-dev libfreetype-dev libfontconfig-dev
  # tests
  sway grim wtype xwayland
  xvfb xauth xdotool x11-utils x11-xkb-utils x11-apps imagemagick libpam-wrapper clang xscreensaver man-db libxml2-utils
  # the Debian package (scripts/package) and its test
  dpkg-dev lintian file
)

# The Windows build (scripts/build-windows) and its tests under Wine.
ORVO_WINDOWS_PACKAGES=(
  g++-mingw-w64-x86-64-posix mingw-w64-tools binutils-mingw-w64-x86-64 googletest
  wine64 wine fonts-wine xvfb xauth x11-utils imagemagick cmake ninja-build
)

orvo_missing_packages() {
  local p missing=()
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  echo "${missing[@]}"
}

orvo_install_deps() {
  orvo_install_packages "${ORVO_PACKAGES[@]}"
}

orvo_install_windows_deps() {
  orvo_install_packages "${ORVO_WINDOWS_PACKAGES[@]}"
}

orvo_install_packages() {
  local missing
  missing=$(orvo_missing_packages "$@")
  [ -z "$missing" ] && return 0
  echo "Installing missing packages: $missing"
  local sudo=""
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  $sudo apt-get update -qq
  # shellcheck disable=SC2086
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends $missing
}

if [ "${BASH_SOURCE[0]}" = "$0" ]; then
  orvo_install_deps
fi
