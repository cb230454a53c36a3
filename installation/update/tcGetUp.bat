#!/bin/sh
# usage: tcGetUp.bat MMYYYY
#
# Fetches the monthly update package MMYYYY.tar.gz from the update source
# into c:\tidecharter\tmp\update\ and reports in c:\tidecharter\tmp\getup.log:
#   TRYD, FOUN          the package is here
#   TRYD, ERRO, NOHO    the update source cannot be reached
#   TRYD, ERRO, NOFI    the source has no package for that month yet
#   TRYD, ERRO, OTHE    any other failure
# The source is the first line of c:\tidecharter\bin\update_source.txt: a
# file:// URL (a directory, /cygdrive/c/... paths allowed) or an http(s)://
# URL of the directory holding the packages.  A package the user saved by
# hand as c:\tidecharter\tmp\MMYYYY.tar.gz or MMYYYY_monthly_update.exe is
# taken as it is.
set -eu
. "$(dirname "$0")/tc_paths.sh"

[ $# -eq 1 ] || tc_usage "tcGetUp.bat MMYYYY"
code=$1
case "$code" in
  [01][0-9][12][0-9][0-9][0-9]) ;;
  *) tc_usage "tcGetUp.bat MMYYYY" ;;
esac

status="$TC_TMP/getup.log"
package="$TC_TMP/update/$code.tar.gz"
partial="$TC_TMP/update/.$code.tar.gz.partial"
log="$TC_TMP/getup_detail.log"
mkdir -p "$TC_TMP/update"
# A status left by an earlier update must never pass for this one's.
rm -f "$status" "$partial"

report() {
  rm -f "$partial"
  printf '%s\n' "$@" > "$status.partial"
  mv -f "$status.partial" "$status"
  printf '%s tcGetUp.bat %s: %s\n' "$(date '+%Y-%m-%d %H:%M:%S')" "$code" "$*" >> "$log"
  exit 0
}

found() {
  mv -f "$partial" "$package"
  report TRYD FOUN
}

for saved in "$TC_TMP/$code.tar.gz" "$TC_TMP/${code}_monthly_update.exe"; do
  if [ -f "$saved" ]; then
    cp "$saved" "$partial" || report TRYD ERRO OTHE
    found
  fi
done

source=$(head -n 1 "$TC_BIN/update_source.txt" 2>/dev/null | tr -d '\r' |
  sed 's/^[[:space:]]*//; s/[[:space:]]*$//') || source=""
source=${source%/}

case "$source" in
  file://*)
    dir=${source#file://}
    dir=${dir#localhost}
    dir=$(tc_host_path "$dir")
    [ -d "$dir" ] || report TRYD ERRO NOHO
    [ -f "$dir/$code.tar.gz" ] || report TRYD ERRO NOFI
    cp "$dir/$code.tar.gz" "$partial" || report TRYD ERRO OTHE
    found ;;
  http://*|https://*)
    command -v curl > /dev/null 2>&1 || report TRYD ERRO OTHE
    rc=0
    http=$(curl --silent --show-error --location --fail --connect-timeout 30 \
      --max-time 2700 --output "$partial" --write-out '%{http_code}' \
      "$source/$code.tar.gz" 2>> "$log") || rc=$?
    case "$rc:$http" in
      0:*) found ;;
      22:404|22:410) report TRYD ERRO NOFI ;;
      5:*|6:*|7:*|28:*|35:*|52:*|55:*|56:*) report TRYD ERRO NOHO ;;
      *) report TRYD ERRO OTHE ;;
    esac ;;
  *)
    report TRYD ERRO OTHE ;;
esac
