#!/bin/sh
# usage: tcInstallNewExe.bat
#
# Installs the new program that tcRunUp.bat staged in
# c:\tidecharter\tmp\update\newexe\: waits until the running program (named
# with its process id in newexe/target) has ended, keeps the old program as
# <program>.old and puts the new one in its place.  Started by the program
# as it ends; reports in c:\tidecharter\tmp\installnewexe.log.
set -eu
. "$(dirname "$0")/tc_paths.sh"

[ $# -eq 0 ] || tc_usage "tcInstallNewExe.bat"
staged="$TC_TMP/update/newexe"
mkdir -p "$TC_TMP"
exec >> "$TC_TMP/installnewexe.log" 2>&1
echo "$(date '+%Y-%m-%d %H:%M:%S') tcInstallNewExe.bat"

[ -f "$staged/tidecharter" ] && [ -f "$staged/target" ] || tc_die "no new program staged in $staged"
pid=$(sed -n 1p "$staged/target")
program=$(sed -n 2p "$staged/target")
[ -n "$program" ] && [ -f "$program" ] || tc_die "the program to replace is not there: $program"

# The process id counts only while it still runs that program.
waited=0
while [ "$(readlink "/proc/$pid/exe" 2>/dev/null || true)" = "$program" ]; do
  [ "$waited" -lt 1200 ] || tc_die "the program (process $pid) has not ended; nothing installed"
  sleep 0.1
  waited=$((waited + 1))
done

cp "$staged/tidecharter" "$program.new"
chmod 755 "$program.new"
cp -p "$program" "$program.old"
mv -f "$program.new" "$program"
rm -rf "$staged"
echo "$(date '+%Y-%m-%d %H:%M:%S') installed $program (the previous one is $program.old)"
