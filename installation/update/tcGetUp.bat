#!/bin/sh
# usage: tcGetUp.bat MMYYYY
#
# Fetches the monthly update package MMYYYY.tar.gz and its detached
# signature MMYYYY.tar.gz.sig from the update source into
# c:\tidecharter\tmp\update\ and reports in c:\tidecharter\tmp\getup.log:
#   TRYD, FOUN          the package is here
#   TRYD, ERRO, NOHO    the update source cannot be reached
#   TRYD, ERRO, NOFI    the source has no package for that month yet
#   TRYD, ERRO, NONE    the source is "none": months come from tidecharter-import
#   TRYD, ERRO, OTHE    any other failure
# The source is the first line of c:\tidecharter\bin\update_source.txt: a
# file:// URL (a directory, /cygdrive/c/... paths allowed) or an https://
# (or http://) URL of the directory holding the packages; an address
# without a scheme is taken as https://.  A package the user saved by hand
# as c:\tidecharter\tmp\MMYYYY.tar.gz or MMYYYY_monthly_update.exe is taken
# as it is, with the signature saved beside it (its name + ".sig", or
# MMYYYY.tar.gz.sig).  The sample source, c:\tidecharter\update_source\,
# gets its packages and their signatures the first time one is asked for
# (the installation's update/sample_source.sh).  A missing signature is
# not a failure here: tcRunUp.bat refuses the unsigned package and says
# why.
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
signature="$package.sig"
log="$TC_TMP/getup_detail.log"
mkdir -p "$TC_TMP/update"
# A status or signature left by an earlier update must never pass for this
# one's.
rm -f "$status" "$partial" "$partial.sig" "$signature"

note() {
  printf '%s tcGetUp.bat %s: %s\n' "$(date '+%Y-%m-%d %H:%M:%S')" "$code" "$*" >> "$log"
}

report() {
  rm -f "$partial" "$partial.sig"
  printf '%s\n' "$@" > "$status.partial"
  mv -f "$status.partial" "$status"
  note "$*"
  exit 0
}

# The package is here, with its signature when one was found.
found() {
  if [ -s "$partial.sig" ]; then
    mv -f "$partial.sig" "$signature"
  else
    note "no signature $code.tar.gz.sig beside the package"
  fi
  mv -f "$partial" "$package"
  report TRYD FOUN
}

for saved in "$TC_TMP/$code.tar.gz" "$TC_TMP/${code}_monthly_update.exe"; do
  if [ -f "$saved" ]; then
    cp "$saved" "$partial" || report TRYD ERRO OTHE
    for sig in "$saved.sig" "$TC_TMP/$code.tar.gz.sig"; do
      if [ -f "$sig" ]; then
        cp "$sig" "$partial.sig" || true
        break
      fi
    done
    found
  fi
done

source=$(head -n 1 "$TC_BIN/update_source.txt" 2>/dev/null | tr -d '\r' |
  sed 's/^[[:space:]]*//; s/[[:space:]]*$//') || source=""
source=${source%/}
note "update source: ${source:-(none given)}"
case "$source" in
  ''|*://*) ;;
  none) report TRYD ERRO NONE ;;
  *) source="https://$source" ;;
esac

# fetch URL FILE: prints curl's exit status and the HTTP code.  An https://
# source is never followed to a plain http:// address.
fetch() {
  redirects==https,http
  case "$1" in https://*) redirects==https ;; esac
  rc=0
  http=$(curl --silent --show-error --location --fail --connect-timeout 30 \
    --max-time 2700 --proto =https,http --proto-redir "$redirects" \
    --output "$2" --write-out '%{http_code}' "$1" 2>> "$log") || rc=$?
  printf '%s:%s\n' "$rc" "$http"
}

# The sample source's packages are built the first time an Update asks
# for one, by the installation the drive root was laid out from.
sample_source() {
  installation=$(sed -n 's/^source //p' "$TC_HOME/installation.txt" 2> /dev/null | head -n 1)
  if [ -f "$installation/update/sample_source.sh" ]; then
    note "making the sample update source"
    sh "$installation/update/sample_source.sh" "$TC_DRIVE" >> "$log" 2>&1 ||
      note "the sample update source could not be made"
  fi
}

case "$source" in
  file://*)
    dir=${source#file://}
    dir=${dir#localhost}
    dir=$(tc_host_path "$dir")
    [ -d "$dir" ] || report TRYD ERRO NOHO
    if [ "$dir" = "$TC_HOME/update_source" ] && [ ! -f "$dir/$code.tar.gz" ]; then
      sample_source
    fi
    [ -f "$dir/$code.tar.gz" ] || report TRYD ERRO NOFI
    cp "$dir/$code.tar.gz" "$partial" || report TRYD ERRO OTHE
    if [ -f "$dir/$code.tar.gz.sig" ]; then
      cp "$dir/$code.tar.gz.sig" "$partial.sig" || true
    fi
    found ;;
  http://*|https://*)
    command -v curl > /dev/null 2>&1 || report TRYD ERRO OTHE
    case "$(fetch "$source/$code.tar.gz" "$partial")" in
      0:*)
        case "$(fetch "$source/$code.tar.gz.sig" "$partial.sig")" in
          0:*) ;;
          *) rm -f "$partial.sig" ;;
        esac
        found ;;
      22:404|22:410) report TRYD ERRO NOFI ;;
      5:*|6:*|7:*|28:*|35:*|52:*|55:*|56:*) report TRYD ERRO NOHO ;;
      *) report TRYD ERRO OTHE ;;
    esac ;;
  *)
    report TRYD ERRO OTHE ;;
esac
