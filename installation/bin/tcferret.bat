#!/bin/sh
# usage: tcferret.bat FILE [DIR]
#        tcferret.bat -warm
#
# Runs Ferret on FILE, a /cygdrive/c/... (or c:\...) path.
#  - A script ending in .jnl (GetDates.jnl) runs without a display and this
#    returns when it has finished.  GetDates.jnl, the end-date query, is
#    answered without Ferret when its three end-date files are there and
#    nothing it reads has changed since Ferret wrote them (EndDates.stamp
#    in c:\tidecharter\tmp records what that was).
#  - A command file with a "set mode metafile meta<name>" line is drawn
#    without a display; the picture (PostScript) appears complete as
#    c:\tidecharter\tmp\meta<name>.  When Ferret plots nothing, the
#    picture shows its error message instead.
#  - Any other command file is drawn without a display too, and shown in a
#    plot window (tidecharter-view, or the program TIDECHARTER_VIEW names).
#    This returns as soon as the window is on the screen; the window stays
#    until the user closes it or tcKillCygwinX.bat does.  The dialog's
#    request kept beside FILE (its name with .ini) goes with it, for the
#    window's months.
#  - With DIR, the command file is drawn for a plot window that shows it
#    already: into DIR as picture.ps with axes.txt, Ferret's output in
#    DIR/ferret.log.
#  - -warm starts, ahead of the first picture, the Ferret kept running for
#    the program (TC_FERRET_OWNER) and the plot windows' process, and
#    returns at once.
# Ferret's output goes to c:\tidecharter\tmp\tcferret.log (the window's to
# tcferret_<pid>.log).
# Environment: TC_PYTHON, the Python that runs PyFerret (default
# /usr/bin/python3).
set -eu
# Run at every start of the program: no process to find our own directory.
case "$0" in */*) . "${0%/*}/tc_paths.sh" ;; *) . ./tc_paths.sh ;; esac

[ $# -ge 1 ] || tc_usage "tcferret.bat FILE [DIR] | -warm"
if [ "$1" = -warm ]; then
  tc_ferret_env
  if [ -n "${TC_FERRET_OWNER:-}" ]; then
    : | "${TC_PYTHON:-/usr/bin/python3}" "$TC_BIN/tc_ferret_warm.py" draw /dev/null > /dev/null 2>&1 &
  fi
  viewer=${TIDECHARTER_VIEW:-$(command -v tidecharter-view || true)}
  if [ -n "$viewer" ] && [ -x "$viewer" ]; then
    DISPLAY=$(tc_display) TIDECHARTER_DRIVE_C=$TC_DRIVE "$viewer" --ready > /dev/null 2>&1 &
  fi
  exit 0
fi
tc_map_path "$1"
file=$tc_path
[ -f "$file" ] || tc_die "no such command file: $1"
[ -d "$TC_TMP" ] || mkdir -p "$TC_TMP"
tc_ferret_env
cd "$TC_TMP"
log="$TC_TMP/tcferret.log"

# The end-date query's answer changes only with what it reads: the data
# files and its scripts. Each is recorded by name, size, modification time
# and file number, so a touched, grown or replaced file (even by an older
# copy) does not match; so does the drive root the record was made for.
end_date_files="ArgoEndDate.txt AvisoEndDate.txt ReynoldsEndDate.txt"
stamp="$TC_TMP/EndDates.stamp"
# One stat for all, as the query runs at every start: a missing file
# simply has no line, and the end-date files come last.
end_date_record() {
  printf 'drive %s\n' "$TC_DRIVE"
  set -- "$file" "$TC_GO/tc_end_date.jnl" "$TC_DATA"/*
  for name in $end_date_files; do set -- "$@" "$TC_TMP/$name"; done
  stat -L -c '%n %s %.9Y %i' "$@" 2> /dev/null || true
}
end_dates_there() {
  for name in $end_date_files; do [ -f "$TC_TMP/$name" ] || return 1; done
}
# The stamp's lines joined as $(end_date_record) gives them, read by the
# shell itself rather than by cat.
read_stamp() {
  stamp_text="" separator=""
  [ -f "$stamp" ] || return 0
  while IFS= read -r line || [ -n "$line" ]; do
    stamp_text="$stamp_text$separator$line"
    separator='
'
  done < "$stamp"
}

case "$file" in
  */GetDates.jnl)
    if end_dates_there && read_stamp && [ "$(end_date_record)" = "$stamp_text" ]; then
      printf 'end dates unchanged since EndDates.stamp was written: Ferret not run\n' > "$log"
      exit 0
    fi
    # What the query reads is recorded before it runs: a data file that
    # changes meanwhile no longer matches the record.
    record=$(end_date_record)
    rm -f "$stamp"
    tc_headless_ferret -script "$file" > "$log" 2>&1 ||
      tc_die "Ferret failed on $1, see $log"
    if end_dates_there; then
      printf '%s\n' "$record" | sed '/EndDate\.txt /d' > "$stamp.partial"
      end_date_record | grep 'EndDate\.txt ' >> "$stamp.partial" || true
      tc_publish "$stamp.partial" "$stamp"
    fi
    exit 0 ;;
esac

tc_derived_fresh "$TC_TMP/derived.log"

# The metafile line names the output; the words are matched as Ferret
# would, in any case.  A .jnl may carry one too (a batch run's picture
# drawn again).
meta=$(awk 'tolower($1) == "set" && tolower($2) == "mode" &&
            tolower($3) ~ /^metafile/ { print ($4 == "" ? "metafile.plt" : $4); exit }' "$file")

case "$meta:$file" in
  :*.jnl|:*.JNL)
    tc_headless_ferret -script "$file" > "$log" 2>&1 ||
      tc_die "Ferret failed on $1, see $log"
    exit 0 ;;
esac

# Nothing was plotted (a failing go line): PICTURE (PostScript) shows
# Ferret's error instead, so that whoever waits for the picture still
# gets one.
draw_problem() {
  problem=$(tc_ferret_problem "$log")
  cat >> "$log" <<EOF_FALLBACK
--- no plot from $1: drawing the error instead
EOF_FALLBACK
  tc_headless_ferret >> "$log" 2>&1 <<EOF_FALLBACK || true
define axis/x=0:1/npoints=2 tc_err_x
define axis/y=0:1/npoints=2 tc_err_y
shade/nolabels/nokey/noaxes/palette=white/levels=(-1,1,2) 0*x[gx=tc_err_x]+0*y[gy=tc_err_y]
annotate/norm/xpos=0.5/ypos=0.6/halign=0/size=0.18 "Ferret could not draw this plot:"
annotate/norm/xpos=0.5/ypos=0.45/halign=0/size=0.14 "${problem:-no plot was made}"
frame/file="$2"
quit
EOF_FALLBACK
}

if [ -n "$meta" ]; then
  partial="$TC_TMP/.$meta.partial.ps"
  tc_ferret_picture "$file" "$partial" "$log" || draw_problem "$1" "$partial"
  [ -s "$partial" ] || tc_die "Ferret drew nothing for $1, see $log"
  tc_publish "$partial" "$TC_TMP/$meta"
  exit 0
fi

# A picture for a plot window, drawn headless into directory $1 with
# where its axes lie on the page, for the cursor's readout: the last plot's
# (axes.txt), and each map panel's (panels.txt).
draw_for_window() {
  rm -f "$1/panels.txt"
  { printf 'define symbol tcpanels = %s/panels.txt\n' "$1"; cat "$file"; } > "$1/draw.jnl"
  cat > "$1/after.jnl" <<EOF_AFTER
say/outfile="$1/axes.txt"/clobber page (\$PPL\$WIDTH) (\$PPL\$HEIGHT) (\$PPL\$XORG) (\$PPL\$YORG) (\$PPL\$XLEN) (\$PPL\$YLEN)
say/outfile="$1/axes.txt"/append x (\$XAXIS_MIN) (\$XAXIS_MAX)
say/outfile="$1/axes.txt"/append y (\$YAXIS_MIN) (\$YAXIS_MAX)
say/outfile="$1/axes.txt"/append reversed (\$XAXIS_REVERSED"0") (\$YAXIS_REVERSED"0")
say/outfile="$1/axes.txt"/append viewport (\$VP_XLO"0") (\$VP_YLO"0") (\$VP_SCALE"1")
EOF_AFTER
  if ! tc_ferret_picture "$1/draw.jnl" "$1/picture.ps" "$log" "$1/after.jnl"; then
    rm -f "$1/axes.txt" "$1/panels.txt"
    draw_problem "$2" "$1/picture.ps"
  fi
  rm -f "$1/after.jnl" "$1/draw.jnl"
}

if [ $# -ge 2 ]; then
  tc_map_path "$2"
  dir=$tc_path
  [ -d "$dir" ] || tc_die "no such directory: $2"
  log="$dir/ferret.log"
  [ "$file" -ef "$dir/commands.txt" ] || cp "$file" "$dir/commands.txt"
  draw_for_window "$dir" "$1"
  [ -s "$dir/picture.ps" ] || tc_die "Ferret drew nothing for $1, see $log"
  exit 0
fi

# A plot window: Ferret draws the picture headless, and the plot windows'
# process (tidecharter-view) renders it at the window's size and shows it;
# it answers once the window is on the screen.  It lists itself in
# tcferret_windows.pid for tcKillCygwinX.bat and removes the window's
# directory when the window closes.
viewer=${TIDECHARTER_VIEW:-$(command -v tidecharter-view || true)}
[ -n "$viewer" ] && [ -x "$viewer" ] ||
  tc_die "no plot viewer: tidecharter-view is not installed (TIDECHARTER_VIEW names another)"
DISPLAY=$(tc_display)
export DISPLAY
view=$(mktemp -d "$TC_TMP/view.XXXXXX")
# The viewer removes only a directory that carries this mark, and takes its
# drive root from here, never from where a directory lies.
: > "$view/made_by_tcferret"
TIDECHARTER_DRIVE_C=$TC_DRIVE
export TIDECHARTER_DRIVE_C
cp "$file" "$view/commands.txt"
request="${file%.*}.ini"
if [ -f "$request" ] && ! [ "$request" -ot "$file" ]; then
  cp "$request" "$view/request.ini"
fi
draw_for_window "$view" "$1"
# What Ferret said, for the window: whether the picture holds any data.
cp "$log" "$view/ferret.log" 2> /dev/null || true
window_log="$TC_TMP/tcferret_$$.log"
if ! "$viewer" "$view" < /dev/null > "$window_log" 2>&1; then
  rm -rf "$view"
  tc_die "the plot window did not open on $DISPLAY: $(tail -n 1 "$window_log")"
fi
rm -f "$window_log"
exit 0
