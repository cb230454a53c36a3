#!/bin/sh
# usage: tc_plot_window.sh COMMANDFILE MARKER LOG
#
# Started by tcferret.bat in a process group of its own: runs classic
# Ferret on COMMANDFILE in an X window, touches MARKER once Ferret has
# worked through the file, then keeps Ferret's input open so the window
# stays.  The group ends when the window goes (closed by the user or the
# window manager, killed, destroyed), when Ferret ends, when its X server
# goes away or when tcKillCygwinX.bat ends it; it then leaves
# tmp/tcferret_windows.pid.  Ferret never waits on a terminal: its input
# is a pipe that only this script writes.
set -eu
. "$(dirname "$0")/tc_paths.sh"

[ $# -eq 3 ] || tc_usage "tc_plot_window.sh COMMANDFILE MARKER LOG"
commands=$1
marker=$2
log=$3

# The list is rewritten by every window that ends and by tcKillCygwinX.bat:
# changes are made under its lock, or an entry could be lost.
list="$TC_TMP/tcferret_windows.pid"
forget_window() {
  {
    flock 9
    if [ -f "$list" ]; then
      grep -vx "$$" "$list" > "$list.$$" || true
      if [ -s "$list.$$" ]; then mv -f "$list.$$" "$list"; else rm -f "$list.$$" "$list"; fi
    fi
  } 9>> "$TC_TMP/.tcferret_windows.lock"
}
{
  flock 9
  printf '%s\n' "$$" >> "$list"
} 9>> "$TC_TMP/.tcferret_windows.lock"

fifo="$TC_TMP/.tcferret_input.$$"
drawn="$TC_TMP/.tcferret_window.$$"
rm -f "$fifo" "$drawn"
mkfifo "$fifo"
trap 'rm -f "$fifo" "$drawn"; forget_window' EXIT
trap 'exit 0' TERM HUP INT

tc_ferret_env
ferret_c -nojnl < "$fifo" > "$log" 2>&1 &
ferret=$!
exec 3> "$fifo"
rm -f "$fifo"

# tcferret.bat removes its marker once seen, so this script has its own.
{
  cat "$commands"
  printf '\nspawn touch %s %s\n' "$marker" "$drawn"
} >&3

while [ ! -e "$drawn" ] && kill -0 "$ferret" 2>/dev/null; do
  sleep 0.1
done

# The window's structure events: its end (closed, killed, or Ferret gone)
# brings DestroyNotify; minimised or on another workspace it is only
# unmapped.  xev ends by itself when the X server goes away, or at once
# when the window went before it looked.  Either way the whole group ends,
# as it does when Ferret has no window left to show.  A server that does
# not answer is left to the check below.
found=0
window=$(timeout 20 /usr/bin/python3 "$TC_BIN/tc_find_window.py" "$ferret" 2>/dev/null) ||
  found=$?
case $found in
  0)
    xev -id "$window" -event structure 3>&- 2>/dev/null | {
      while read -r event _; do
        [ "$event" != DestroyNotify ] || break
      done
      kill -TERM 0
    } ;;
  1)
    kill -TERM 0 ;;
esac

# The server cannot name its clients' processes (a remote display): Ferret
# waiting on its input does not notice a display that went away; then its
# input is closed, which ends it.
seconds=0
while kill -0 "$ferret" 2>/dev/null; do
  sleep 1
  seconds=$((seconds + 1))
  if [ $((seconds % 10)) -eq 0 ] && ! timeout 5 xdpyinfo > /dev/null 2>&1; then
    break
  fi
done
