#!/bin/sh
# usage: tcRunUp.bat MMYYYY
#
# Unpacks and checks the update package c:\tidecharter\tmp\update\MMYYYY.tar.gz
# that tcGetUp.bat fetched, and reports in c:\tidecharter\tmp\runup.log:
#   DIDI, DONE    the package's data files are ready in tmp\update\MMYYYY\
#   DIDI, NEWP    the same, and the package carries a new program, staged
#                 in tmp\update\newexe\ for tcInstallNewExe.bat
#   SKIP          the package is missing, damaged or holds something else
# The package is a gzipped tar archive of RG_ArgoClim_MMYYYY.nc,
# Reynolds_MMYYYY.nc, Aviso_MMYYYY.nc and optionally the program
# "tidecharter"; nothing else is accepted, and nothing is unpacked outside
# the update directory.
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
unpack="$updates/.$code.unpack"
ready="$updates/$code"
newexe="$updates/newexe"
log="$TC_TMP/runup_detail.log"
mkdir -p "$updates"
rm -f "$status"

report() {
  printf '%s\n' "$@" > "$status.partial"
  mv -f "$status.partial" "$status"
  printf '%s tcRunUp.bat %s: %s\n' "$(date '+%Y-%m-%d %H:%M:%S')" "$code" "$*" >> "$log"
}

skip() {
  printf '%s tcRunUp.bat %s: %s\n' "$(date '+%Y-%m-%d %H:%M:%S')" "$code" "$*" >> "$log"
  rm -rf "$unpack"
  report SKIP
  exit 0
}

[ -f "$package" ] || skip "no package $package"

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
    printf '%s tcRunUp.bat %s: %s\n' "$(date '+%Y-%m-%d %H:%M:%S')" "$code" \
      "new program not staged: the running program was not found" >> "$log"
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
