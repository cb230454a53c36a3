#!/bin/sh
# Shared set-up for run.sh and test.sh: Debian packages, the build, and the
# drive root with its installation and sample data. Sourced, not run.
#
# Environment: TIDECHARTER_DRIVE_C (drive root; default below),
#              TIDECHARTER_BUILD (build directory; default ./build).

TOP=$(cd "$(dirname "$0")/.." && pwd)
: "${TIDECHARTER_DRIVE_C:=${XDG_DATA_HOME:-$HOME/.local/share}/tidecharter/drive_c}"
: "${TIDECHARTER_BUILD:=$TOP/build}"
export TIDECHARTER_DRIVE_C

PACKAGES="build-essential cmake pkg-config qt6-base-dev libgl-dev libgtest-dev \
  ferret-vis python3-ferret ferret-datasets ghostscript xvfb x11-utils xauth \
  imagemagick xdotool netcdf-bin python3-netcdf4 python3-numpy fonts-dejavu-core \
  xterm curl gpgv gnupg ffmpeg clang libclang-rt-14-dev openbox wmctrl \
  dpkg-dev desktop-file-utils appstream lintian man-db xdg-utils"

say() { printf 'tidecharter: %s\n' "$*"; }

install_packages() {
  missing=""
  for p in $PACKAGES; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing="$missing $p"
  done
  [ -z "$missing" ] && return 0
  say "installing Debian packages:$missing"
  if [ "$(id -u)" -eq 0 ]; then SUDO=""; else SUDO="sudo"; fi
  $SUDO apt-get update -qq
  # shellcheck disable=SC2086
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq $missing
}

build_program() {
  say "building in $TIDECHARTER_BUILD"
  cmake -S "$TOP" -B "$TIDECHARTER_BUILD" -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
  cmake --build "$TIDECHARTER_BUILD" -j"$(nproc)"
}

install_drive_root() {
  say "installing the drive root in $TIDECHARTER_DRIVE_C"
  sh "$TOP/installation/install.sh" "$TIDECHARTER_DRIVE_C"
}
