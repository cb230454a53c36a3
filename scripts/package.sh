#!/bin/sh
# Builds the Debian package tidecharter_<version>_<arch>.deb from CMake's
# install() rules with CPack, checks its desktop entry and metainfo, and
# prints the package's path as its last line.
# Usage: scripts/package.sh [OUTDIR]   (default: the current directory)
#
# Environment: TIDECHARTER_BUILD (build directory; default ./build),
#              TIDECHARTER_MAINTAINER (the package's maintainer, "Name <address>";
#              default: packaging/CMakeLists.txt's).
# Install it, as root or with sudo:  apt install ./tidecharter_*.deb
set -eu
. "$(dirname "$0")/setup.sh"

out=${1:-.}
mkdir -p "$out"
out=$(cd "$out" && pwd)

install_packages
# The maintainer is the environment's, or the default: never one an
# earlier run left in the build directory.
if [ -n "${TIDECHARTER_MAINTAINER:-}" ]; then
  set -- "-DTIDECHARTER_MAINTAINER=$TIDECHARTER_MAINTAINER"
else
  set -- -UTIDECHARTER_MAINTAINER
fi
# A build directory of its own needs no tests; one that has them keeps them.
if [ -f "$TIDECHARTER_BUILD/CMakeCache.txt" ]; then
  build_program "$@"
else
  build_program -DBUILD_TESTING=OFF "$@"
fi

say "checking the desktop entry and the metainfo"
desktop-file-validate "$TOP"/packaging/*.desktop
appstreamcli validate --no-net "$TOP"/packaging/*.metainfo.xml >/dev/null

say "packaging"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
(cd "$TIDECHARTER_BUILD" && cpack -G DEB -B "$work" >"$work/cpack.log" 2>&1) ||
  { cat "$work/cpack.log" >&2; exit 1; }
set -- "$work"/tidecharter_*.deb
[ -f "$1" ] || { cat "$work/cpack.log" >&2; say "no package was written"; exit 1; }
mv -f "$1" "$out/"
package="$out/$(basename "$1")"
say "$(du -k "$package" | cut -f 1) kB, depends on: $(dpkg-deb -f "$package" Depends)"
echo "$package"
