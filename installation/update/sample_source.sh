#!/bin/sh
# usage: sample_source.sh DRIVE_ROOT
#
# Makes the sample update source ready, after install_update.sh:
#   tidecharter/update_source    sample packages 092008.tar.gz and
#                                102008.tar.gz (built when absent, and only
#                                over the sample data), each with its
#                                signature MMYYYY.tar.gz.sig, made with it
#   tidecharter/update_signing   the sample source's key pair (made once);
#                                its secret key never goes into bin/
#   tidecharter/bin              update_keyring.gpg, the sample source's
#                                public key, while update_source.txt names
#                                the sample source
# tcGetUp.bat runs it when an Update first asks the sample source for a
# month it does not hold yet: building the packages takes some fifteen
# seconds, which a first start of the program no longer waits for.  One
# run at a time per drive root; a second waits, then finds them made.
set -eu

here=$(cd "$(dirname "$0")" && pwd)
[ $# -eq 1 ] || { echo "usage: sample_source.sh DRIVE_ROOT" >&2; exit 2; }
root=$(cd "$1" && pwd)
home="$root/tidecharter"
[ -f "$home/bin/update_source.txt" ] || { echo "sample_source.sh: run install_update.sh first" >&2; exit 1; }

put() {
  if ! { [ -f "$2" ] && cmp -s "$1" "$2"; }; then
    cp "$1" "$2.new"
    chmod "$3" "$2.new"
    mv -f "$2.new" "$2"
    echo "  installed ${2#"$root"/}"
  fi
}

dir="$home/update_source"
mkdir -p "$dir"
exec 9> "$dir/.lock"
flock 9
# September and October 2008, the months after the sample's end.
months="092008 102008"
new=""
for code in $months; do
  [ -f "$dir/$code.tar.gz" ] || new="$new $code"
done
/usr/bin/python3 "$here/make_update_packages.py" "$home/data" "$dir" 57 58

# Only the packages built here are signed: one that was put there some
# other way stays unsigned, and tcRunUp.bat refuses it.  No packages are
# built over data other than the sample; the key pair is still made, for
# packages brought later.  (Without the lock: gpg's agent must not keep it.)
set --
for code in $new; do
  if [ -f "$dir/$code.tar.gz" ]; then set -- "$@" "$dir/$code.tar.gz"; fi
done
sh "$here/sign_update_packages.sh" --name "Tidecharter sample update source" \
  "$home/update_signing" "$@" 9>&-
# The sample's key is trusted only while the sample is the update source;
# an installation given another source keeps the keyring it was given.
source=$(head -n 1 "$home/bin/update_source.txt" | tr -d '\r' |
  sed 's/^[[:space:]]*//; s/[[:space:]]*$//')
if [ "$source" = "file:///cygdrive/c/tidecharter/update_source/" ]; then
  put "$home/update_signing/public.gpg" "$home/bin/update_keyring.gpg" 644
fi
