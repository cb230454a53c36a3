#!/bin/sh
# usage: install.sh [--rebuild-data] [--display DIGIT] [DRIVE_ROOT]
#
# Installs the programs outside Tidecharter into DRIVE_ROOT, the directory
# that the program's c:\ and /cygdrive/c/ stand for (default:
# $TIDECHARTER_DRIVE_C, else ${XDG_DATA_HOME:-$HOME/.local/share}/tidecharter/drive_c):
#   tidecharter/bin               batch scripts, notepad, xwininfo.txt,
#                                 pacific/versioninfo.txt, pacific/TDC_city_locations.csv,
#                                 tidecharter-import (the real products into data/)
#   tidecharter/ferret/TMAP/go    GetDates.jnl and the go scripts
#   tidecharter/data              the data sets (the sample is built when absent)
#   tidecharter/Help/README_tdc.txt
#   tidecharter/tmp
# Run it again at any time: files that are already up to date are left
# alone, and the sample data is built only when missing.
#   --rebuild-data   build the sample data again even when present
#   --display DIGIT  the X display number written to bin/xwininfo.txt
#                    (default: the digit of $DISPLAY, else 0; an existing
#                    xwininfo.txt is kept unless this is given)
set -eu

here=$(cd "$(dirname "$0")" && pwd)
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

staging=$(mktemp -d)
trap 'rm -rf "$staging"' EXIT

# The shared path file learns the drive root here.
sed "s|@TC_DRIVE@|$root|" "$here/bin/tc_paths.sh" > "$staging/tc_paths.sh"
install_file "$staging/tc_paths.sh" "$home/bin/tc_paths.sh" 644
for script in tcferret.bat tcMeta2PS.bat tcPS2jpg.bat tcBatchPlot.bat tcLookForX.bat \
              tcKillCygwinX.bat tcJnlrm.bat notepad tc_plot_window.sh \
              tc_find_window.py; do
  install_file "$here/bin/$script" "$home/bin/$script" 755
done
install_file "$here/import/tidecharter-import" "$home/bin/tidecharter-import" 755
for file in versioninfo.txt TDC_city_locations.csv; do
  install_file "$here/bin/pacific/$file" "$home/bin/pacific/$file" 644
done

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
install_file "$here/Help/README_tdc.txt" "$home/Help/README_tdc.txt" 644

if [ "$rebuild" = yes ]; then
  /usr/bin/python3 "$here/sampledata/make_sample_data.py" --force "$home/data"
else
  /usr/bin/python3 "$here/sampledata/make_sample_data.py" "$home/data"
fi

# The monthly update's scripts and its local sample source.
if [ "$rebuild" = yes ]; then
  sh "$here/update/install_update.sh" --rebuild-packages "$root"
else
  sh "$here/update/install_update.sh" "$root"
fi

echo "Done: $changed file(s) installed, $kept already up to date."
