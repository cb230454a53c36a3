#!/bin/sh
# usage: install_update.sh [--rebuild-packages] DRIVE_ROOT
#
# Installs the monthly update's outside programs into DRIVE_ROOT, after
# install.sh has laid out the rest (tc_paths.sh and the data):
#   tidecharter/bin              tcGetUp.bat, tcRunUp.bat, tcAppUp.bat,
#                                tcInstallNewExe.bat, tc_update_check.py,
#                                update_source.txt (kept when present)
#   tidecharter/ferret/TMAP/go   fer_append_new_month.jnl, fer_append_add.jnl
#   tidecharter/update_source    the sample update source's directory; its
#                                packages, key pair and bin/update_keyring.gpg
#                                come from sample_source.sh when an Update
#                                first asks it for a month
# --rebuild-packages removes the sample packages, which were built from the
# data built before.
# update_source.txt names the update directory; the sample's is
# file:///cygdrive/c/tidecharter/update_source/.
set -eu

here=$(cd "$(dirname "$0")" && pwd)
rebuild=
if [ "${1:-}" = --rebuild-packages ]; then
  rebuild=yes
  shift
fi
[ $# -eq 1 ] || { echo "usage: install_update.sh [--rebuild-packages] DRIVE_ROOT" >&2; exit 2; }
root=$(cd "$1" && pwd)
home="$root/tidecharter"
[ -f "$home/bin/tc_paths.sh" ] || { echo "install_update.sh: run install.sh first" >&2; exit 1; }

put() {
  if ! { [ -f "$2" ] && cmp -s "$1" "$2"; }; then
    cp "$1" "$2.new"
    chmod "$3" "$2.new"
    mv -f "$2.new" "$2"
    echo "  installed ${2#"$root"/}"
  fi
}

mkdir -p "$home/bin" "$home/ferret/TMAP/go" "$home/update_source" "$home/tmp"
for script in tcGetUp.bat tcRunUp.bat tcAppUp.bat tcInstallNewExe.bat tc_update_check.py; do
  put "$here/$script" "$home/bin/$script" 755
done
for script in fer_append_new_month.jnl fer_append_add.jnl; do
  put "$here/$script" "$home/ferret/TMAP/go/$script" 644
done
sample_source="file:///cygdrive/c/tidecharter/update_source/"
if [ ! -f "$home/bin/update_source.txt" ]; then
  printf '%s\n' "$sample_source" > "$home/bin/update_source.txt"
  echo "  installed tidecharter/bin/update_source.txt"
fi
# Packages built from data that were built again would not fit them: the
# next Update builds them anew.
if [ -n "$rebuild" ]; then
  rm -f "$home"/update_source/*.tar.gz "$home"/update_source/*.tar.gz.sig
fi
# An installation given another source than the sample's needs its key.
source=$(head -n 1 "$home/bin/update_source.txt" | tr -d '\r' |
  sed 's/^[[:space:]]*//; s/[[:space:]]*$//')
if [ "$source" != "$sample_source" ] && [ ! -s "$home/bin/update_keyring.gpg" ]; then
  echo "install_update.sh: no tidecharter/bin/update_keyring.gpg for the update source $source:" \
    "its packages are refused until its public key is there" >&2
fi
