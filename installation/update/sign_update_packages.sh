#!/bin/sh
# usage: sign_update_packages.sh [--name TEXT] KEYDIR [PACKAGE ...]
#
# The update source's side of signed updates.  Writes PACKAGE.sig, a
# detached signature by the source's key, for every PACKAGE whose
# signature is missing or not by that key.  KEYDIR (readable by its owner
# only) holds the key pair:
#   secret.gpg   the signing key; it never leaves the source's maker
#   public.gpg   the keyring that installations get as
#                c:\tidecharter\bin\update_keyring.gpg
# A KEYDIR without a key pair gets a new one (Ed25519, no passphrase, user
# id TEXT, default "Tidecharter update source").  gpg runs unattended in a
# temporary home of its own, whose agent is stopped before the script ends.
set -eu

name="Tidecharter update source"
if [ "${1:-}" = --name ] && [ $# -ge 2 ]; then
  name=$2
  shift 2
fi
die() {
  echo "sign_update_packages.sh: $*" >&2
  exit 1
}
[ $# -ge 1 ] ||
  { echo "usage: sign_update_packages.sh [--name TEXT] KEYDIR [PACKAGE ...]" >&2; exit 2; }
keydir=$1
shift
for tool in gpg gpgv gpgconf; do
  command -v "$tool" > /dev/null 2>&1 || die "$tool is missing (Debian packages gnupg, gpgv)"
done

# /tmp keeps the agent's socket path short enough.
gnupghome=$(mktemp -d /tmp/tcsign.XXXXXX)
cleanup() {
  gpgconf --homedir "$gnupghome" --kill all > /dev/null 2>&1 || true
  rm -rf "$gnupghome"
}
trap cleanup EXIT
trap 'exit 1' HUP INT TERM
tc_gpg() {
  gpg --homedir "$gnupghome" --batch --quiet --no-tty --pinentry-mode loopback "$@"
}

mkdir -p "$keydir"
chmod 700 "$keydir"
if [ -s "$keydir/secret.gpg" ]; then
  tc_gpg --import "$keydir/secret.gpg"
else
  printf '%s\n' '%no-protection' 'Key-Type: eddsa' 'Key-Curve: ed25519' 'Key-Usage: sign' \
    "Name-Real: $name" 'Expire-Date: 0' '%commit' > "$gnupghome/key.txt"
  tc_gpg --generate-key "$gnupghome/key.txt"
  (umask 077 && tc_gpg --export-secret-keys > "$keydir/secret.gpg.partial")
  mv -f "$keydir/secret.gpg.partial" "$keydir/secret.gpg"
  echo "  new signing key in $keydir"
fi
tc_gpg --export > "$keydir/public.gpg.partial"
[ -s "$keydir/public.gpg.partial" ] || die "no key in $keydir"
if cmp -s "$keydir/public.gpg.partial" "$keydir/public.gpg"; then
  rm -f "$keydir/public.gpg.partial"
else
  mv -f "$keydir/public.gpg.partial" "$keydir/public.gpg"
fi

for package in "$@"; do
  [ -f "$package" ] || die "no package $package"
  if gpgv --homedir "$gnupghome" --keyring "$keydir/public.gpg" \
       "$package.sig" "$package" > /dev/null 2>&1; then
    continue
  fi
  rm -f "$package.sig.partial"
  tc_gpg --detach-sign --output "$package.sig.partial" "$package"
  mv -f "$package.sig.partial" "$package.sig"
  echo "  signed $package"
done
