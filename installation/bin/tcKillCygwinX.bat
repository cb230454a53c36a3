#!/bin/sh
# usage: tcKillCygwinX.bat
#
# Closes the plot windows that tcferret.bat opened (each viewer runs in a
# process group of its own, listed in c:\tidecharter\tmp\tcferret_windows.pid).
# It never stops an X server: the desktop's display is not ours to end.
set -eu
. "$(dirname "$0")/tc_paths.sh"

list="$TC_TMP/tcferret_windows.pid"
[ -f "$list" ] || exit 0
# Under the lock that the viewers take to change the list.
{
  flock 9
  mv -f "$list" "$list.closing" 2>/dev/null || exit 0
} 9>> "$TC_TMP/.tcferret_windows.lock"
while read -r group; do
  case "$group" in
    ''|*[!0-9]*) continue ;;
  esac
  # A recycled number must not take an unrelated program with it.  A
  # window of an earlier version, still open, is closed too.
  if tr '\0' ' ' < "/proc/$group/cmdline" 2>/dev/null | grep -q 'tidecharter-view\|tc_plot_window\.sh'; then
    kill -TERM "-$group" 2>/dev/null || kill -TERM "$group" 2>/dev/null || true
  fi
done < "$list.closing"
rm -f "$list.closing"
