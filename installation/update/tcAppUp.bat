#!/bin/sh
# usage: tcAppUp.bat MMYYYY
#
# Appends the month MMYYYY to the data files: runs Ferret (without a
# display) on the command file c:\tidecharter\tmp\tcferretMMYYYY.txt that
# the program wrote ("go fer_append_new_month ..."), with the package files
# that tcRunUp.bat unpacked into c:\tidecharter\tmp\update\MMYYYY\ on
# Ferret's data path.  fer_append_new_month only writes copies
# (<data file>.append); tc_update_check.py then checks them and renames them
# over the data files, all or none.  A run stopped at any point leaves the
# data files as they were (or, stopped inside the renames, is completed by
# the next run).  Ferret's output goes to c:\tidecharter\tmp\appup.log.
# The program learns the outcome from c:\tidecharter\tmp\commit.log,
# removed first and written only by the commit check: "DONE" when every
# data file holds the month, "ERRO" when the check refused the copies.
set -eu
. "$(dirname "$0")/tc_paths.sh"

status="$TC_TMP/commit.log"
rm -f "$status"

[ $# -eq 1 ] || tc_usage "tcAppUp.bat MMYYYY"
code=$1
case "$code" in
  [01][0-9][12][0-9][0-9][0-9]) ;;
  *) tc_usage "tcAppUp.bat MMYYYY" ;;
esac

commands="$TC_TMP/tcferret$code.txt"
packages="$TC_TMP/update/$code"
wrapper="$TC_TMP/update/append_$code.jnl"
log="$TC_TMP/appup.log"
check="$TC_BIN/tc_update_check.py"
mkdir -p "$TC_TMP/update"
exec >> "$log" 2>&1
echo "$(date '+%Y-%m-%d %H:%M:%S') tcAppUp.bat $code"

[ -f "$commands" ] || tc_die "no command file $commands"
[ -d "$packages" ] || tc_die "no unpacked package $packages"

# One append at a time, whoever starts it.
exec 9> "$TC_TMP/update/append.lock"
flock -w 600 9 || tc_die "another append is still running"

/usr/bin/python3 "$check" recover "$TC_DATA"

{
  echo "! Runs the program's append file with the data directory known."
  echo "define symbol tc_append_dir = $TC_DATA"
  echo "go \"$commands\""
} > "$wrapper"

tc_ferret_env
FER_DATA="$packages $FER_DATA"
export FER_DATA
cd "$TC_TMP"
/usr/bin/python3 -c 'import sys, pyferret; pyferret.init(sys.argv[1:], True)' \
  -nodisplay -nojnl -quiet -script "$wrapper" < /dev/null || true

if /usr/bin/python3 "$check" commit "$TC_DATA" "$packages" "$code"; then
  word=DONE
  # The main menu's data line says how far the data now reach.
  /usr/bin/python3 "$check" dataline "$TC_HOME" || true
  # The new month's derived fields, under the append lock still.
  /usr/bin/python3 "$TC_BIN/tc_derived.py" --append "$TC_DATA" || true
  printf 'DONE month %s is in the data files\n' "$code" > "$status.partial"
else
  word=ERRO
  printf 'ERRO month %s not appended, see appup.log\n' "$code" > "$status.partial"
fi
tc_publish "$status.partial" "$status"
[ "$word" = DONE ]
