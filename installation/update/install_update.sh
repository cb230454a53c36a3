#!/bin/sh
# usage: install_update.sh [--rebuild-packages] DRIVE_ROOT
#
# Installs the monthly update's outside programs into DRIVE_ROOT, after
# install.sh has laid out the rest (tc_paths.sh and the data):
#   tidecharter/bin              tcGetUp.bat, tcRunUp.bat, tcAppUp.bat,
#                                tcInstallNewExe.bat, tc_update_check.py,
#                                update_source.txt (kept when present),
#                                update_keyring.gpg (the sample source's
#                                public key, while the sample is the source)
#   tidecharter/ferret/TMAP/go   fer_append_new_month.jnl, fer_append_add.jnl
#   tidecharter/update_source    sample packages 092008.tar.gz and
#                                102008.tar.gz (built when absent), each
#                                with its signature MMYYYY.tar.gz.sig
#   tidecharter/update_signing   the sample source's key pair (made once);
#                                its secret key never goes into bin/
# update_source.txt names the update directory; the sample's is
# file:///cygdrive/c/tidecharter/update_source/.
set -eu

here=$(cd "$(dirname "$0")" && pwd)
rebuild=
if [ "${1:-}" = --rebuild-packages ]; then
  rebuild=--force
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
# shellcheck disable=SC2086
/usr/bin/python3 "$here/make_update_packages.py" $rebuild "$home/data" "$home/update_source"

# No packages are built over data other than the sample; the key pair is
# still made, for packages brought later.
set -- "$home"/update_source/*.tar.gz
[ -e "$1" ] || set --
sh "$here/sign_update_packages.sh" --name "Tidecharter sample update source" \
  "$home/update_signing" "$@"
# The sample's key is trusted only while the sample is the update source;
# an installation given another source keeps the keyring it was given.
source=$(head -n 1 "$home/bin/update_source.txt" | tr -d '\r' |
  sed 's/^[[:space:]]*//; s/[[:space:]]*$//')
if [ "$source" = "$sample_source" ]; then
  put "$home/update_signing/public.gpg" "$home/bin/update_keyring.gpg" 644
elif [ ! -s "$home/bin/update_keyring.gpg" ]; then
  echo "install_update.sh: no tidecharter/bin/update_keyring.gpg for the update source $source:" \
    "its packages are refused until its public key is there" >&2
fi
