#!/bin/sh
# Builds Tidecharter with its tests and its Debian package (scripts/package.sh),
# lays out a drive root with the sample data and runs every test; one of
# them installs the package into a temporary root. Tests that need an X
# server get a virtual one.
# Then the hardening pass (scripts/hardening.sh): the tests again under
# AddressSanitizer and UBSan, and each fuzz target for a bounded time.
# TIDECHARTER_HARDENING=0 leaves the hardening pass out.
# Usage: scripts/test.sh [extra ctest arguments, for the first pass only]
set -eu
. "$(dirname "$0")/setup.sh"

install_packages
build_program -DBUILD_TESTING=ON
rm -rf "$TIDECHARTER_BUILD/package"
sh "$TOP/scripts/package.sh" "$TIDECHARTER_BUILD/package"
TIDECHARTER_PACKAGE=$(echo "$TIDECHARTER_BUILD"/package/tidecharter_*.deb)
export TIDECHARTER_PACKAGE
install_drive_root

failed=""
say "running the tests"
(cd "$TIDECHARTER_BUILD" &&
  xvfb-run -a -s "-screen 0 1280x1024x24" \
    ctest --output-on-failure -j2 --timeout 900 "$@") || failed=" tests"

if [ "${TIDECHARTER_HARDENING:-1}" != 0 ]; then
  sh "$TOP/scripts/hardening.sh" || failed="$failed hardening"
fi

if [ -n "$failed" ]; then
  say "failed:$failed"
  exit 1
fi
say "all passed"
