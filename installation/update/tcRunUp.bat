#!/bin/sh
# usage: tcRunUp.bat MMYYYY
#
# Verifies, unpacks and checks the update package
# c:\tidecharter\tmp\update\MMYYYY.tar.gz that tcGetUp.bat fetched, and
# reports in c:\tidecharter\tmp\runup.log:
#   DIDI, DONE    the package's data files are ready in tmp\update\MMYYYY\
#   DIDI, NEWP    the same, and the package carries a new program, staged
#                 in tmp\update\newexe\ for tcInstallNewExe.bat
#   SKIP, NONE    the package is missing, unsigned, not signed by the update
#                 source's key, damaged, for another or an earlier month, or
#                 holds something else; the reason is in runup_detail.log.
#                 The program reads two lines: "SKIP" alone would be taken
#                 for an unreadable status file.
# Before anything is unpacked, gpgv checks the detached signature
# MMYYYY.tar.gz.sig against c:\tidecharter\bin\update_keyring.gpg and no
# other keys.  The package is a gzipped tar archive of RG_ArgoClim_MMYYYY.nc,
# Reynolds_MMYYYY.nc, Aviso_MMYYYY.nc and optionally the program
# "tidecharter"; nothing else is accepted, and nothing is unpacked outside
# the update directory.  The signed names and time axes carry the month.
set -eu
. "$(dirname "$0")/tc_paths.sh"

[ $# -eq 1 ] || tc_usage "tcRunUp.bat MMYYYY"
code=$1
case "$code" in
  [01][0-9][12][0-9][0-9][0-9]) ;;
  *) tc_usage "tcRunUp.bat MMYYYY" ;;
esac

status="$TC_TMP/runup.log"
updates="$TC_TMP/update"
package="$updates/$code.tar.gz"
signature="$package.sig"
keyring="$TC_BIN/update_keyring.gpg"
gpghome="$updates/.$code.gpgv"
unpack="$updates/.$code.unpack"
ready="$updates/$code"
newexe="$updates/newexe"
log="$TC_TMP/runup_detail.log"
mkdir -p "$updates"
rm -f "$status"

note() {
  printf '%s tcRunUp.bat %s: %s\n' "$(date '+%Y-%m-%d %H:%M:%S')" "$code" "$*" >> "$log"
}

report() {
  printf '%s\n' "$@" > "$status.partial"
  mv -f "$status.partial" "$status"
  note "$*"
}

skip() {
  note "$*"
  rm -rf "$unpack" "$gpghome"
  report SKIP NONE
  exit 0
}

[ -f "$package" ] || skip "no package $package"

# Only the update source's key makes a package trusted: gpgv with the
# installation's keyring alone, in an empty home so no other key or option
# counts.  Like apt, accept only good signatures over the binary file with
# a SHA-2 digest, and refuse any bad, unknown, expired or revoked one.
[ -s "$signature" ] || skip "no signature $code.tar.gz.sig: an unsigned package is refused"
command -v gpgv > /dev/null 2>&1 ||
  skip "gpgv is missing (Debian package gpgv): the package cannot be verified"
{ [ -f "$keyring" ] && [ -r "$keyring" ] && [ -s "$keyring" ]; } ||
  skip "no readable keyring $keyring: the package cannot be verified"
rm -rf "$gpghome"
mkdir -p "$gpghome"
rc=0
verdict=$(gpgv --homedir "$gpghome" --keyring "$keyring" --status-fd 1 \
  "$signature" "$package" 2>> "$log") || rc=$?
rm -rf "$gpghome"
signer=$(printf '%s\n' "$verdict" | awk '
  $1 != "[GNUPG:]" { next }
  $2 ~ /^(BADSIG|ERRSIG|EXPSIG|EXPKEYSIG|REVKEYSIG|NO_PUBKEY|NODATA)$/ { bad = 1 }
  $2 == "VALIDSIG" && $10 ~ /^(8|9|10|11)$/ && $11 == "00" { signer = $3 }
  END { if (!bad && signer != "") print signer }')
[ "$rc" = 0 ] && [ -n "$signer" ] ||
  skip "$code.tar.gz.sig is not a good signature by a key of $keyring (gpgv exit $rc)"
note "good signature by key $signer"

# Only plain files with the expected names, at the top of the archive.
names=$(tar -tzf "$package" 2>> "$log") || skip "the package is not a readable archive"
kinds=$(tar -tvzf "$package" 2>> "$log" | cut -c 1) || skip "the package is not a readable archive"
carries_exe=0
printf '%s\n' "$kinds" > "$updates/.$code.kinds"
printf '%s\n' "$names" | paste -d '|' "$updates/.$code.kinds" - > "$updates/.$code.members"
rm -f "$updates/.$code.kinds"
while IFS='|' read -r kind name; do
  name=${name#./}
  if [ "$kind" = d ] && { [ -z "$name" ] || [ "$name" = . ]; }; then
    continue
  fi
  [ "$kind" = "-" ] || { rm -f "$updates/.$code.members"; skip "the package holds something other than files: $name"; }
  case "$name" in
    "RG_ArgoClim_$code.nc"|"Reynolds_$code.nc"|"Aviso_$code.nc") ;;
    tidecharter) carries_exe=1 ;;
    *) rm -f "$updates/.$code.members"; skip "unexpected file in the package: $name" ;;
  esac
done < "$updates/.$code.members"
rm -f "$updates/.$code.members"

rm -rf "$unpack"
mkdir -p "$unpack"
tar -xzf "$package" -C "$unpack" --no-same-owner --no-same-permissions 2>> "$log" ||
  skip "the package could not be unpacked"
for found in "$unpack"/* "$unpack"/.[!.]*; do
  [ -e "$found" ] || continue
  case "${found##*/}" in
    "RG_ArgoClim_$code.nc"|"Reynolds_$code.nc"|"Aviso_$code.nc"|tidecharter)
      [ -f "$found" ] && [ ! -L "$found" ] || skip "the package unpacked into something other than files" ;;
    *) skip "unexpected file in the package: ${found##*/}" ;;
  esac
done

/usr/bin/python3 "$TC_BIN/tc_update_check.py" package "$unpack" "$TC_DATA" "$code" >> "$log" 2>&1 ||
  skip "the package's data files failed their check"

newp=DONE
if [ "$carries_exe" = 1 ]; then
  # The program that runs this script is the one to replace: remember it
  # for tcInstallNewExe.bat, which runs after it has ended.
  program=$(readlink "/proc/$PPID/exe" 2>/dev/null || true)
  case "$(basename "${program:-sh}")" in
    sh|dash|bash|busybox) program="" ;;
  esac
  if [ "$(head -c 4 "$unpack/tidecharter" | od -An -c | tr -d ' ')" != '177ELF' ]; then
    skip "the package's program is not an executable"
  elif [ -z "$program" ] || [ ! -f "$program" ]; then
    note "new program not staged: the running program was not found"
    rm -f "$unpack/tidecharter"
  elif dpkg-query -S "$program" >/dev/null 2>&1; then
    # Installed from the Debian package: its package manager brings new
    # programs, and the data need nothing more.
    note "new program not staged: $program belongs to a package, which the package manager updates"
    rm -f "$unpack/tidecharter"
  else
    rm -rf "$newexe"
    mkdir -p "$newexe"
    mv "$unpack/tidecharter" "$newexe/tidecharter"
    chmod 755 "$newexe/tidecharter"
    printf '%s\n%s\n' "$PPID" "$program" > "$newexe/target"
    newp=NEWP
  fi
fi

rm -rf "$ready"
mv "$unpack" "$ready"
report DIDI "$newp"
