#!/bin/sh
# usage: tc_plot_window.sh COMMANDFILE MARKER LOG
#
# Started by tcferret.bat in a process group of its own: runs classic
# Ferret on COMMANDFILE in an X window, touches MARKER once Ferret has
# worked through the file, then keeps Ferret's input open so the window
# stays until Ferret ends, its X server goes away or tcKillCygwinX.bat
# ends this group.  Ferret
# never waits on a terminal: its input is a pipe that only this script
# writes.
set -eu
. "$(dirname "$0")/tc_paths.sh"

[ $# -eq 3 ] || tc_usage "tc_plot_window.sh COMMANDFILE MARKER LOG"
commands=$1
marker=$2
log=$3

printf '%s\n' "$$" >> "$TC_TMP/tcferret_windows.pid"
fifo="$TC_TMP/.tcferret_input.$$"
rm -f "$fifo"
mkfifo "$fifo"
trap 'rm -f "$fifo"' EXIT
trap 'exit 0' TERM HUP INT

tc_ferret_env
ferret_c -nojnl < "$fifo" > "$log" 2>&1 &
ferret=$!
exec 3> "$fifo"
rm -f "$fifo"

{
  cat "$commands"
  printf '\nspawn touch %s\n' "$marker"
} >&3

# Ferret waiting on its input does not notice a display that went away;
# then its input is closed, which ends it.
seconds=0
while kill -0 "$ferret" 2>/dev/null; do
  sleep 1
  seconds=$((seconds + 1))
  if [ $((seconds % 10)) -eq 0 ] && ! timeout 5 xdpyinfo > /dev/null 2>&1; then
    break
  fi
done
