#!/bin/sh
# usage: tcLookForX.bat DIGIT
#
# Asks whether an X server answers on the display of the plot windows and
# writes the answer to c:\tidecharter\tmp\batch.log: a first word "HAVE"
# when none answers (the program then warns the user), "FOUND" when one
# does.  The plot windows go where tcferret.bat sends them: to $DISPLAY
# when the program has one, else to display :DIGIT (from xwininfo.txt).
# The program reads the answer after at most 4 seconds, so the previous
# run's answer goes first and this one comes within 3 seconds, "HAVE" when
# the question cannot be asked or gets no answer in time.
set -eu
# Run at every start of the program: no process to find our own directory.
case "$0" in */*) . "${0%/*}/tc_paths.sh" ;; *) . ./tc_paths.sh ;; esac

rm -f "$TC_TMP/batch.log"
[ $# -ge 1 ] || tc_usage "tcLookForX.bat DIGIT"
case "$1" in
  [0-9]) display=${DISPLAY:-":$1"} ;;
  *) tc_usage "tcLookForX.bat DIGIT (one digit, 0 to 9)" ;;
esac
[ -d "$TC_TMP" ] || mkdir -p "$TC_TMP"

# One question, 2 seconds for it (a display that hangs holds any client).
if command -v xdpyinfo > /dev/null 2>&1; then
  ask="xdpyinfo"
elif command -v xset > /dev/null 2>&1; then
  ask="xset q"
else
  ask=""
fi
if [ -z "$ask" ]; then
  answer="HAVE no X server found: neither xdpyinfo nor xset is installed to ask $display"
elif DISPLAY="$display" timeout -k 0.5 2 $ask > /dev/null 2>&1; then
  answer="FOUND an X server on display $display"
else
  answer="HAVE no X server answering on display $display"
fi
printf '%s\n' "$answer" > "$TC_TMP/.batch.log.partial"
tc_publish "$TC_TMP/.batch.log.partial" "$TC_TMP/batch.log"
