#!/bin/sh
# usage: tcJnlrm.bat
#
# Removes the journal files Ferret leaves in c:\tidecharter\tmp
# (ferret.jnl, ferret.jnl.~1~, ...).
set -eu
. "$(dirname "$0")/tc_paths.sh"

for journal in "$TC_TMP"/ferret*.jnl*; do
  [ -e "$journal" ] && rm -f "$journal"
done
exit 0
