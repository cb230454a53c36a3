#!/bin/sh
# Builds Tidecharter, lays out the drive root with the sample data and
# starts the program.  Usage: scripts/run.sh
set -eu
. "$(dirname "$0")/setup.sh"

install_packages
build_program -DBUILD_TESTING=OFF
install_drive_root
say "real data: $TIDECHARTER_DRIVE_C/tidecharter/bin/tidecharter-import --help (installed as /usr/bin/tidecharter-import by the package)"

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  say "Tidecharter needs a display for its dialogs and for Ferret's plot windows."
  say "On a machine without one, run it inside a virtual X server:"
  say "    xvfb-run -a -s '-screen 0 1280x1024x24' scripts/run.sh"
  exit 1
fi
say "starting $TIDECHARTER_BUILD/tidecharter"
exec "$TIDECHARTER_BUILD/tidecharter"
