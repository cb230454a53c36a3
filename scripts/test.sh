#!/bin/sh
# Builds Tidecharter with its tests, lays out a drive root with the sample
# data and runs every test. Tests that need an X server get a virtual one.
# With TIDECHARTER_HARDENING=1 the hardening pass (the tests under
# AddressSanitizer and UBSan, and each fuzz target for a bounded time) runs
# first.
# Usage: scripts/test.sh [extra ctest arguments]
set -eu
. "$(dirname "$0")/setup.sh"

install_packages
build_program -DBUILD_TESTING=ON
install_drive_root

if [ "${TIDECHARTER_HARDENING:-0}" = 1 ]; then
  sh "$TOP/scripts/hardening.sh"
fi

cd "$TIDECHARTER_BUILD"
say "running the tests"
exec xvfb-run -a -s "-screen 0 1280x1024x24" \
  ctest --output-on-failure -j2 --timeout 900 "$@"
