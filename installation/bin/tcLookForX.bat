#!/bin/sh
# usage: tcLookForX.bat DIGIT
#
# Asks whether an X server answers on the display of the plot windows and
# writes the answer to c:\tidecharter\tmp\batch.log: a first word "HAVE"
# when none answers (the program then warns the user), "FOUND" when one
# does.  The plot windows go where tcferret.bat sends them: to $DISPLAY
# when the program has one, else to display :DIGIT (from xwininfo.txt).
set -eu
. "$(dirname "$0")/tc_paths.sh"

[ $# -ge 1 ] || tc_usage "tcLookForX.bat DIGIT"
case "$1" in
  [0-9]) display=${DISPLAY:-":$1"} ;;
  *) tc_usage "tcLookForX.bat DIGIT (one digit, 0 to 9)" ;;
esac
mkdir -p "$TC_TMP"

if DISPLAY="$display" timeout 3 xdpyinfo > /dev/null 2>&1 ||
   DISPLAY="$display" timeout 3 xset q > /dev/null 2>&1; then
  answer="FOUND an X server on display $display"
else
  answer="HAVE no X server answering on display $display"
fi
printf '%s\n' "$answer" > "$TC_TMP/.batch.log.partial"
tc_publish "$TC_TMP/.batch.log.partial" "$TC_TMP/batch.log"
