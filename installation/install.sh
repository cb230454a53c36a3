#!/bin/sh
# usage: install.sh [--rebuild-data] [--display DIGIT] [DRIVE_ROOT]
#
# Installs the programs outside Tidecharter into DRIVE_ROOT, the directory
# that the program's c:\ and /cygdrive/c/ stand for (default:
# $TIDECHARTER_DRIVE_C, else ${XDG_DATA_HOME:-$HOME/.local/share}/tidecharter/drive_c):
#   tidecharter/bin               batch scripts, notepad, xwininfo.txt,
#                                 pacific/versioninfo.txt, pacific/TDC_city_locations.csv,
#                                 tidecharter-import (the real products into data/)
#   tidecharter/tidecharter_data  the data package that the Python programs use
#   tidecharter/ferret/TMAP/go    GetDates.jnl and the go scripts
#   tidecharter/data              the data sets (the sample is built when absent)
#   tidecharter/Help/README_tdc.txt
#   tidecharter/tmp
#   tidecharter/installation.txt  what was laid out, from where (written last)
# Run it again at any time: files that are already up to date are left
# alone, and the sample data is built only when missing.  The user's files
# are never overwritten: data that is not the sample, tmp, and a location
# table edited since it was installed (a new one is then left beside it as
# TDC_city_locations.csv.new).  A run that was stopped leaves
# tidecharter/install.unfinished, and the program runs it again at its next
# start.
#   --rebuild-data   build the sample data again even when present
#   --display DIGIT  the X display number written to bin/xwininfo.txt
#                    (default: the digit of $DISPLAY, else 0; an existing
#                    xwininfo.txt is kept unless this is given)
set -eu

here=$(cd "$(dirname "$0")" && pwd)
# The installation may be a package's, read-only: Python leaves no caches there.
PYTHONDONTWRITEBYTECODE=1
export PYTHONDONTWRITEBYTECODE
rebuild=no
display=
root=

while [ $# -gt 0 ]; do
  case "$1" in
    --rebuild-data) rebuild=yes ;;
    --display)
      [ $# -ge 2 ] || { echo "install.sh: --display needs a digit" >&2; exit 2; }
      display=$2
      shift ;;
    -h|--help)
      sed -n '2,/^set -eu/p' "$0" | sed '$d; s/^# \{0,1\}//'
      exit 0 ;;
    -*) echo "install.sh: unknown option $1" >&2; exit 2 ;;
    *) root=$1 ;;
  esac
  shift
done

if [ -z "$root" ]; then
  root=${TIDECHARTER_DRIVE_C:-${XDG_DATA_HOME:-$HOME/.local/share}/tidecharter/drive_c}
fi
case "$display" in
  ''|[0-9]) ;;
  *) echo "install.sh: --display takes one digit, 0 to 9" >&2; exit 2 ;;
esac
# Ferret's search paths are blank-separated lists.
case "$root" in
  *[[:space:]]*) echo "install.sh: the drive root must not contain blanks: $root" >&2; exit 2 ;;
esac
mkdir -p "$root"
root=$(cd "$root" && pwd)
home="$root/tidecharter"

changed=0
kept=0

# install_file SOURCE TARGET MODE: copies when the content differs.
install_file() {
  if [ -f "$2" ] && cmp -s "$1" "$2"; then
    kept=$((kept + 1))
  else
    cp "$1" "$2.new"
    chmod "$3" "$2.new"
    mv -f "$2.new" "$2"
    echo "  installed ${2#"$root"/}"
    changed=$((changed + 1))
  fi
}

echo "Installing Tidecharter's outside programs into $root"
for dir in bin bin/pacific ferret/TMAP/go data Help tmp; do
  mkdir -p "$home/$dir"
done

# One install.sh at a time per drive root: a second waits, then finds
# everything in place.
exec 9> "$home/install.lock"
if ! flock -n 9; then
  echo "Waiting for another install.sh in $root"
  flock 9
fi
: > "$home/install.unfinished"

staging=$(mktemp -d)
trap 'rm -rf "$staging"' EXIT

# What an earlier run recorded: the checksum of the location table it left.
record="$home/installation.txt"
installed_sum() {
  [ -f "$record" ] && sed -n "s|^installed $1 ||p" "$record" | head -n 1
  return 0
}
checksum() { cksum < "$1" | cut -d ' ' -f 1,2; }

# install_user_file SOURCE TARGET NAME: a file the user may edit is
# replaced only while it is as an earlier run left it.
install_user_file() {
  if [ -f "$2" ] && ! cmp -s "$1" "$2" && [ "$(checksum "$2")" != "$(installed_sum "$3")" ]; then
    if ! { [ -f "$2.new" ] && cmp -s "$1" "$2.new"; }; then
      cp "$1" "$2.new"
      echo "  kept your edited ${3##*/}; the new one is beside it (.new)"
    fi
    kept=$((kept + 1))
  else
    install_file "$1" "$2" 644
  fi
}

# The data package first, and its link beside the programs in bin/, which
# import it by name.
mkdir -p "$home/tidecharter_data" "$home/bin"
for module in "$here"/tidecharter_data/*.py; do
  install_file "$module" "$home/tidecharter_data/$(basename "$module")" 644
done
[ -L "$home/bin/tidecharter_data" ] || ln -s ../tidecharter_data "$home/bin/tidecharter_data"

# The shared path file and the help text learn the drive root here (the
# help text also where this installation is, for its example request).
sed "s|@TC_DRIVE@|$root|" "$here/bin/tc_paths.sh" > "$staging/tc_paths.sh"
install_file "$staging/tc_paths.sh" "$home/bin/tc_paths.sh" 644
for script in tcferret.bat tcMeta2PS.bat tcPS2jpg.bat tcBatchPlot.bat tcBatchAnimate.bat tcLookForX.bat \
              tcKillCygwinX.bat tcJnlrm.bat notepad \
              tc_derived.py tc_ferret_warm.py tc_plot_data.py; do
  install_file "$here/bin/$script" "$home/bin/$script" 755
done
install_file "$here/import/tidecharter-import" "$home/bin/tidecharter-import" 755
install_file "$here/bin/pacific/versioninfo.txt" "$home/bin/pacific/versioninfo.txt" 644
install_user_file "$here/bin/pacific/TDC_city_locations.csv" "$home/bin/pacific/TDC_city_locations.csv" \
  bin/pacific/TDC_city_locations.csv

if [ -n "$display" ] || [ ! -f "$home/bin/xwininfo.txt" ]; then
  if [ -z "$display" ]; then
    display=$(printf '%s' "${DISPLAY:-}" | sed -n 's/^[^:]*:\([0-9]\)\(\.[0-9]*\)\{0,1\}$/\1/p')
    [ -n "$display" ] || display=0
  fi
  printf '%s\nX display number of the plot windows (first character only)\n' "$display" \
    > "$staging/xwininfo.txt"
  install_file "$staging/xwininfo.txt" "$home/bin/xwininfo.txt" 644
fi

for script in "$here"/ferret/go/*.jnl; do
  install_file "$script" "$home/ferret/TMAP/go/$(basename "$script")" 644
done
sed "s|@TC_DRIVE@|$root|; s|@TC_INSTALLATION@|$here|" "$here/Help/README_tdc.txt" > "$staging/README_tdc.txt"
install_file "$staging/README_tdc.txt" "$home/Help/README_tdc.txt" 644

if [ "$rebuild" = yes ]; then
  /usr/bin/python3 "$here/sampledata/make_sample_data.py" --force "$home/data"
else
  /usr/bin/python3 "$here/sampledata/make_sample_data.py" "$home/data"
fi

# The monthly update's scripts; the sample source's packages are built
# when an Update first asks for one.
echo "Setting up the monthly update"
# (Without the lock: gpg's agent must not keep it.)
if [ "$rebuild" = yes ]; then
  sh "$here/update/install_update.sh" --rebuild-packages "$root" 9>&-
else
  sh "$here/update/install_update.sh" "$root" 9>&-
fi

# The main menu's data line follows the data files, imported ones too.
/usr/bin/python3 "$home/bin/tc_update_check.py" dataline "$home" > /dev/null || true

# Written last: the program lays the drive root out again when the version
# differs, or when the unfinished mark is still there.
version=$(sed -n '1s/^Version \([0-9][0-9.]*\).*/\1/p' "$here/bin/pacific/versioninfo.txt")
{
  echo "# Laid out by install.sh; the program runs it again for another version."
  echo "version ${version:-unknown}"
  echo "source $here"
  echo "installed bin/pacific/TDC_city_locations.csv $(checksum "$here/bin/pacific/TDC_city_locations.csv")"
} > "$record.new"
mv -f "$record.new" "$record"
rm -f "$home/install.unfinished"

echo "Done: $changed file(s) installed, $kept already up to date."
