#!/bin/sh
# usage: tcBatchPlot.bat COMMANDFILE PICTURE
#        tcBatchPlot.bat -levels COMMANDFILE
#        tcBatchPlot.bat -save COMMANDFILE DIR
#        tcBatchPlot.bat -stack DATAFILE COMMANDFILE DIR...
#        tcBatchPlot.bat -dates DIR
#
# The Ferret side of a batch run (tidecharter --batch): no display, and
# nothing written to c:\tidecharter\tmp, so the program may run meanwhile.
#  - COMMANDFILE PICTURE: draws the command file (as Create JPG writes it)
#    with headless Ferret into PICTURE, a host path whose extension picks
#    the format: .ps or .pdf as Ferret draws it, .jpg or .png turned by
#    Ghostscript as tcPS2jpg.bat does.  The command file goes beside the
#    picture, under its name with .jnl.  Both appear complete or not at
#    all; when Ferret reports an error or draws nothing, neither appears,
#    the last line on stderr says why and the exit status is 1.  A picture
#    that is an empty frame (no data in the request's region or months)
#    appears, but its last line on stderr is "no data: " and the go
#    scripts' reason, and the exit status is 1 too.  A PICTURE ending .csv
#    or .nc is the data of the picture instead, the same way: the go
#    scripts' data mode (tc_save.jnl) saves what they would draw and
#    tc_plot_data.py writes it as CSV or NetCDF; a request without data
#    leaves nothing, and says "no data: " and the reason.
#  - -save COMMANDFILE DIR: the data mode alone, into DIR, for one month
#    of a data file with a time axis; "no data: " leaves DIR empty.
#  - -stack DATAFILE COMMANDFILE DIR...: that file, the months' DIRs along
#    its time axis (an empty one all missing), COMMANDFILE's heading in
#    its header; it appears complete or not at all.
#  - -levels COMMANDFILE: runs the go lines of COMMANDFILE, the months of
#    one animation or request with months, in one Ferret as a range pass
#    (the symbol tcrange defined, see tc_map.jnl): nothing is drawn, and
#    the "TCRANGE KIND MIN MAX" lines of the go scripts go to stdout.
#  - -dates DIR: runs GetDates.jnl in DIR, which receives the three
#    end-date files.
# Ferret works in a temporary directory of its own, removed at the end.
set -eu
. "$(dirname "$0")/tc_paths.sh"

usage="tcBatchPlot.bat COMMANDFILE PICTURE | -levels COMMANDFILE | -save COMMANDFILE DIR |"
usage="$usage -stack DATAFILE COMMANDFILE DIR... | -dates DIR"
case "$1" in
  -save) [ $# -eq 3 ] || tc_usage "$usage" ;;
  -stack) [ $# -ge 4 ] || tc_usage "$usage" ;;
  *) [ $# -eq 2 ] || tc_usage "$usage" ;;
esac
tc_ferret_env

# The reason the go scripts gave for an empty frame, from Ferret's LOG.
empty_frame() {
  sed -n 's/^ *Empty frame: *//p' "$1" | head -n 1 | sed 's/[[:space:]]*$//'
}

if [ "$1" = -save ]; then
  file=$(tc_host_path "$2")
  [ -f "$file" ] || tc_die "no such command file: $2"
  case "$file" in /*) ;; *) file="$(pwd)/$file" ;; esac
  mkdir -p "$3" || tc_die "cannot make $3"
  saved=$(cd "$3" && pwd)
  work=$(mktemp -d "${TMPDIR:-/tmp}/tcbatchplot.XXXXXX")
  trap 'rm -rf "$work"' EXIT
  trap 'exit 1' INT TERM HUP
  cd "$work"
  tc_derived_fresh "$work/derived.log"
  tc_ferret_data "$file" "$saved" "$work/ferret.log" || true
  if grep -q -E '\*\*ERROR|\*\*TMAP ERR' "$work/ferret.log"; then
    rm -rf "${saved:?}/"*
    tc_die "Ferret failed: $(tc_ferret_problem "$work/ferret.log")"
  fi
  nodata=$(empty_frame "$work/ferret.log")
  [ -z "$nodata" ] || tc_die "no data: $nodata"
  [ -n "$(ls -A "$saved")" ] || tc_die "Ferret saved nothing"
  exit 0
fi

if [ "$1" = -stack ]; then
  target=$2
  journal=$(tc_host_path "$3")
  shift 3
  dir=$(dirname "$target")
  dir=$(cd "$dir" 2>/dev/null && pwd) || tc_die "no directory $(dirname "$target")"
  base=$(basename "$target")
  case "$base" in
    *.[cC][sS][vV]|*.[nN][cC]) ;;
    *) tc_die "not a data file name (.csv, .nc): $target" ;;
  esac
  # tc_plot_data.py writes under a temporary name beside the file and
  # renames it; stopped, it removes its part.
  log=$(mktemp "${TMPDIR:-/tmp}/tcbatchplot.XXXXXX")
  trap 'rm -f "$log"' EXIT
  /usr/bin/python3 "$TC_BIN/tc_plot_data.py" --journal "$journal" "$dir/$base" "$@" 2> "$log" ||
    tc_die "$(sed 's/^tc_plot_data.py: //' "$log" | tail -n 1)"
  exit 0
fi

if [ "$1" = -dates ]; then
  cd "$2" || tc_die "no directory $2"
  tc_headless_ferret -script "$TC_GO/GetDates.jnl" > getdates.log 2>&1 ||
    tc_die "Ferret failed on GetDates.jnl: $(tc_ferret_problem getdates.log)"
  exit 0
fi

if [ "$1" = -levels ]; then
  file=$(tc_host_path "$2")
  [ -f "$file" ] || tc_die "no such command file: $2"
  case "$file" in /*) ;; *) file="$(pwd)/$file" ;; esac
  work=$(mktemp -d "${TMPDIR:-/tmp}/tcbatchplot.XXXXXX")
  trap 'rm -rf "$work"' EXIT
  trap 'exit 1' INT TERM HUP
  cd "$work"
  tc_derived_fresh "$work/derived.log"
  # Each month may take as long as a picture.
  months=$(grep -c -i '^ *go ' "$file" || true)
  TC_FERRET_LIMIT=$(( ${TC_FERRET_LIMIT:-30} * (months + 1) ))
  export TC_FERRET_LIMIT
  tc_ferret_session "$file" "$work/ferret.log"
  grep '^TCRANGE ' "$work/ferret.log" ||
    tc_die "Ferret gave no values: $(tc_ferret_problem "$work/ferret.log")"
  exit 0
fi

file=$(tc_host_path "$1")
[ -f "$file" ] || tc_die "no such command file: $1"
dir=$(dirname "$2")
dir=$(cd "$dir" 2>/dev/null && pwd) || tc_die "no directory $(dirname "$2")"
base=$(basename "$2")
picture="$dir/$base"
case "$file" in /*) ;; *) file="$(pwd)/$file" ;; esac
case "$picture" in
  *.[jJ][pP][gG]) format=jpg ;;
  *.[pP][nN][gG]) format=png ;;
  *.[pP][dD][fF]) format=pdf ;;
  *.[pP][sS]) format=ps ;;
  *.[cC][sS][vV]) format=csv ;;
  *.[nN][cC]) format=nc ;;
  *) tc_die "not a picture name (.jpg, .png, .pdf, .ps) nor a data file name (.csv, .nc): $picture" ;;
esac

part_picture=
part_journal=
work=$(mktemp -d "${TMPDIR:-/tmp}/tcbatchplot.XXXXXX")
# Stopped half way (the batch run interrupted), nothing is left behind.
trap 'rm -rf "$work"; rm -f ${part_picture:+"$part_picture"} ${part_journal:+"$part_journal"}' EXIT
trap 'exit 1' INT TERM HUP
cd "$work"
tc_derived_fresh "$work/derived.log"

case "$format" in
  csv|nc)
    # The data the picture would show: nothing to keep when there is none.
    mkdir "$work/saved"
    if ! tc_ferret_data "$file" "$work/saved" "$work/ferret.log"; then
      nodata=$(empty_frame "$work/ferret.log")
      [ -z "$nodata" ] || tc_die "no data: $nodata"
      problem=$(tc_ferret_problem "$work/ferret.log")
      tc_die "Ferret saved nothing: ${problem:-no plot was made}"
    fi ;;
  *)
    drawn="$work/picture.ps"
    [ "$format" = pdf ] && drawn="$work/picture.pdf"
    if ! tc_ferret_picture "$file" "$drawn" "$work/ferret.log"; then
      problem=$(tc_ferret_problem "$work/ferret.log")
      tc_die "Ferret drew nothing: ${problem:-no plot was made}"
    fi ;;
esac
# A go line that failed still leaves the labels drawn: not a picture to
# publish.  The scripts' own "no data here" frames say so without an error.
if grep -q -E '\*\*ERROR|\*\*TMAP ERR' "$work/ferret.log"; then
  tc_die "Ferret failed: $(tc_ferret_problem "$work/ferret.log")"
fi
case "$format" in
  jpg) tc_ps_raster "$drawn" "$work/picture.jpg" jpeg || tc_die "Ghostscript failed" ;;
  png) tc_ps_raster "$drawn" "$work/picture.png" png16m || tc_die "Ghostscript failed" ;;
  csv|nc)
    # Its message names the file the user asked for, not the one in $work.
    /usr/bin/python3 "$TC_BIN/tc_plot_data.py" --journal "$file" "$work/picture.$format" "$work/saved" \
      2> "$work/data.log" ||
      tc_die "$(tail -n 1 "$work/data.log" | tc_was="$work/picture.$format" tc_is="$picture" awk '
        { sub(/^tc_plot_data.py: /, ""); at = index($0, ENVIRON["tc_was"])
          if (at) $0 = substr($0, 1, at - 1) ENVIRON["tc_is"] substr($0, at + length(ENVIRON["tc_was"]))
          print }')" ;;
esac

# Both files under temporary names beside their places first, then renamed.
journal="$dir/${base%.*}.jnl"
part_picture="$dir/.$base.$$.partial"
part_journal="$dir/.$base.$$.jnl.partial"
if ! cp "$work/picture.$format" "$part_picture" 2>/dev/null ||
   ! cp "$file" "$part_journal" 2>/dev/null; then
  rm -f "$part_picture" "$part_journal"
  tc_die "cannot write in $dir"
fi
# Another run publishing into the same directory waits on the directory's
# lock, so two runs of one picture name never leave one's picture beside
# the other's .jnl.  The wait is in short rounds: an interrupt ends it
# between two, however long another process holds the lock.
exec 9<"$dir"
while ! flock -w 0.2 9; do :; done
# The pair is renamed whole: an interrupt, sent to mv as well, waits the
# moment the two renames take, or the .jnl would stay without its picture.
trap '' INT TERM HUP
tc_publish "$part_journal" "$journal"
if ! tc_publish "$part_picture" "$picture"; then
  rm -f "$journal"
  tc_die "cannot write $picture"
fi
part_picture=
part_journal=
trap 'exit 1' INT TERM HUP
exec 9<&-

nodata=$(empty_frame "$work/ferret.log")
[ -z "$nodata" ] || tc_die "no data: $nodata"
