# tc_paths.sh: paths and small functions shared by the batch scripts in
# this directory.  Sourced, never run:  . "$(dirname "$0")/tc_paths.sh"
#
# Sets TC_DRIVE (the drive root that c:\ and /cygdrive/c/ stand for),
# TC_HOME, TC_BIN, TC_TMP, TC_GO and TC_DATA, and defines
#   tc_host_path PATH    print PATH with c:\... or /cygdrive/c/... mapped
#   tc_map_path PATH     the same into tc_path, without a fork
#   tc_die TEXT          print "script: TEXT" on stderr and exit 1
#   tc_usage TEXT        print "usage: TEXT" on stderr and exit 2
#   tc_publish TMP FILE  rename a finished temporary file into place
#   tc_display           print the X display for Ferret's windows
#   tc_ferret_env        export Ferret's environment with our go and data
#                        directories searched first
#   tc_derived_fresh LOG bring the derived Argo fields up to date
#   tc_headless_ferret ARGS...   PyFerret without a display
#   tc_ferret_picture FILE PICTURE LOG [AFTER]   draw a command file headless
#   tc_ferret_session FILE LOG   run a command file as it is, headless
#   tc_ferret_commands FILE PICTURE LAST [AFTER] the commands that draw it
#   tc_ferret_data FILE DIR LOG  save the values a command file would draw
#   tc_ferret_problem LOG        Ferret's last error, on one line
#   tc_ps_raster PS OUT DEVICE [PIXELS]   PostScript to an upright raster picture
#   tc_ps_screen PS OUT PIXELS   the same as PNG for a plot window, quicker

# install.sh writes the drive root here; an uninstalled copy finds it
# from its own place, <root>/tidecharter/bin.
TC_DRIVE='@TC_DRIVE@'
case "$TC_DRIVE" in
  @*) TC_DRIVE=$(cd "$(dirname "$0")/../.." && pwd) ;;
esac
TC_HOME="$TC_DRIVE/tidecharter"
TC_BIN="$TC_HOME/bin"
TC_TMP="$TC_HOME/tmp"
TC_GO="$TC_HOME/ferret/TMAP/go"
TC_DATA="$TC_HOME/data"

# Sets tc_path to PATH mapped, in the shell itself: the end-date query
# runs at every start of the program, and each fork costs milliseconds.
tc_map_path() {
  case "$1" in
    /cygdrive/[cC]/*)
      tc_path="$TC_DRIVE/${1#/cygdrive/?/}" ;;
    [cC]:[\\/]*)
      set -- "${1#??}" ""
      while :; do
        case "$1" in
          *\\*) set -- "${1#*\\}" "$2${1%%\\*}/" ;;
          *) set -- "" "$2$1"; break ;;
        esac
      done
      while :; do case "$2" in /*) set -- "" "${2#/}" ;; *) break ;; esac; done
      tc_path="$TC_DRIVE/$2" ;;
    *)
      tc_path=$1 ;;
  esac
}

tc_host_path() {
  tc_map_path "$1"
  printf '%s\n' "$tc_path"
}

tc_die() {
  printf '%s: %s\n' "$(basename "$0")" "$*" >&2
  exit 1
}

tc_usage() {
  printf 'usage: %s\n' "$*" >&2
  exit 2
}

# The program watches output files by size, so a file must never be seen
# half written: write it under another name, then rename.
tc_publish() {
  mv -f "$1" "$2"
}

tc_display() {
  if [ -n "${DISPLAY:-}" ]; then
    printf '%s\n' "$DISPLAY"
  else
    printf ':%s\n' "$(head -c 1 "$TC_BIN/xwininfo.txt" 2>/dev/null | tr -cd '0-9' || true)" |
      sed 's/^:$/:0/'
  fi
}

tc_ferret_env() {
  if [ -r /usr/share/ferret-vis/bin/ferret_paths ]; then
    . /usr/share/ferret-vis/bin/ferret_paths
  fi
  FER_GO="$TC_GO ${FER_GO:-}"
  FER_DATA="$TC_DATA ${FER_DATA:-}"
  export FER_GO FER_DATA TC_TMP TC_DATA
  # Ferret's Fortran output reaches the log line by line.
  GFORTRAN_UNBUFFERED_PRECONNECTED=y
  export GFORTRAN_UNBUFFERED_PRECONNECTED
}

# The product scripts read fields derived from the temperature file, the
# dynamic height scripts the specific volume anomaly from it and the
# salinity file (tc_derived.py), never trusted: their stamps must still
# match the files and the definitions (tidecharter_data/derived.py), else
# they are computed again before Ferret runs.  A few forks when nothing
# changed; the script itself takes a lock.  What it did goes to LOG.
tc_stamp_holds() {
  tc_stamp_was=""
  if [ -f "$1" ]; then
    while IFS= read -r tc_line || [ -n "$tc_line" ]; do
      tc_stamp_was="$tc_stamp_was${tc_stamp_was:+
}$tc_line"
    done < "$1"
  fi
  [ "$tc_stamp_now" = "$tc_stamp_was" ]
}

tc_derived_fresh() {
  tc_md5=$(md5sum < "$TC_HOME/tidecharter_data/derived.py" | cut -c 1-32)
  tc_stamp_now=$(stat -L -c '%s %.9Y %i' "$TC_DATA/RG_ArgoClim_Temperature.nc" \
    "$TC_DATA/RG_ArgoClim_Derived.nc" 2> /dev/null; echo "$tc_md5")
  if tc_stamp_holds "$TC_DATA/RG_ArgoClim_Derived.stamp"; then
    [ -f "$TC_DATA/RG_ArgoClim_Salinity.nc" ] || return 0
    tc_stamp_now=$(stat -L -c '%s %.9Y %i' "$TC_DATA/RG_ArgoClim_Temperature.nc" \
      "$TC_DATA/RG_ArgoClim_Salinity.nc" "$TC_DATA/RG_ArgoClim_SVAN.nc" 2> /dev/null; echo "$tc_md5")
    tc_stamp_holds "$TC_DATA/RG_ArgoClim_SVAN.stamp" && return 0
  fi
  /usr/bin/python3 "$TC_BIN/tc_derived.py" "$TC_DATA" >> "$1" 2>&1 || true
}

# TC_PYTHON is the Python that runs PyFerret (default /usr/bin/python3).
tc_headless_ferret() {
  "${TC_PYTHON:-/usr/bin/python3}" -c 'import sys, pyferret; pyferret.init(sys.argv[1:], True)' \
    -nodisplay -nojnl -quiet "$@"
}

# Draws command FILE (as the program writes it) into PICTURE, whose
# extension picks the format (.ps, .pdf, .png), with Ferret's output in
# LOG.  A "set mode metafile" line is dropped and the frame is saved where
# the plot would close ("ppl clsplt"), after the commands of file AFTER
# when one is given.  Commands go in as on standard input, so a failing go
# line still leaves the label lines running.  Under a program or batch run
# (TC_FERRET_OWNER, its pid) a Ferret kept running for it draws
# (tc_ferret_warm.py); else one started for this picture.  False when
# nothing was drawn.
tc_ferret_picture() {
  rm -f "$2"
  tc_warm=3
  if [ -n "${TC_FERRET_OWNER:-}" ]; then
    : > "$3"
    tc_ferret_commands "$1" "$2" "" "${4:-}" |
      "${TC_PYTHON:-/usr/bin/python3}" "$TC_BIN/tc_ferret_warm.py" draw "$3" 2>> "$3" &&
      tc_warm=0 || tc_warm=$?
  fi
  if [ "$tc_warm" = 3 ]; then
    # Also over what a warm Ferret left of a request that failed there:
    # Ferret would keep that as a numbered backup.
    rm -f "$2"
    tc_ferret_commands "$1" "$2" quit "${4:-}" | tc_headless_ferret > "$3" 2>&1 || true
  fi
  [ -s "$2" ]
}

# Runs the commands of FILE as they are, with Ferret's output in LOG: in the
# Ferret kept running for TC_FERRET_OWNER when there is one, as
# tc_ferret_picture, else in one started for them.
tc_ferret_session() {
  tc_warm=3
  if [ -n "${TC_FERRET_OWNER:-}" ]; then
    : > "$2"
    "${TC_PYTHON:-/usr/bin/python3}" "$TC_BIN/tc_ferret_warm.py" draw "$2" < "$1" 2>> "$2" &&
      tc_warm=0 || tc_warm=$?
  fi
  if [ "$tc_warm" = 3 ]; then
    { cat "$1"; echo quit; } | tc_headless_ferret > "$2" 2>&1 || true
  fi
}

tc_ferret_commands() {
  awk -v frame="frame/file=\"$2\"" -v last="$3" -v after="${4:-}" '
    function save() {
      if (after != "") while ((getline line < after) > 0) print line
      print frame; saved = 1
    }
    tolower($1) == "set" && tolower($2) == "mode" && tolower($3) ~ /^metafile/ { next }
    tolower($1) == "ppl" && tolower($2) == "clsplt" { save(); next }
    { print }
    END { if (!saved) save(); if (last != "") print last }' "$1"
}

# Runs command FILE in the go scripts' data mode: the plot helpers save
# into directory DIR what they would draw (tc_save.jnl) and draw nothing.
# Only the lines up to the last go line run: the labels after it need a
# picture.  Warm or cold as tc_ferret_picture, Ferret's output in LOG.
# False when nothing was saved; DIR goes into a Ferret command, so a name
# with a line break in it is refused.
tc_ferret_data() {
  case "$2" in *[[:cntrl:]]*) echo "**ERROR: a control character in $2" > "$3"; return 1 ;; esac
  tc_warm=3
  if [ -n "${TC_FERRET_OWNER:-}" ]; then
    : > "$3"
    tc_data_commands "$1" "$2" "" |
      "${TC_PYTHON:-/usr/bin/python3}" "$TC_BIN/tc_ferret_warm.py" draw "$3" 2>> "$3" &&
      tc_warm=0 || tc_warm=$?
  fi
  if [ "$tc_warm" = 3 ]; then
    tc_data_commands "$1" "$2" quit | tc_headless_ferret > "$3" 2>&1 || true
  fi
  [ -n "$(ls -A "$2")" ]
}

tc_data_commands() {
  tc_dir=$2 awk -v last="$3" '
    BEGIN { print "define symbol tcdata_dir = " ENVIRON["tc_dir"] }
    tolower($1) == "set" && tolower($2) == "mode" && tolower($3) ~ /^metafile/ { next }
    { line[++n] = $0; if (tolower($1) == "go") lastgo = n }
    END { for (i = 1; i <= lastgo; i++) print line[i]; if (last != "") print last }' "$1"
}

tc_ferret_problem() {
  awk '/\*\*ERROR|\*\*TMAP ERR/ { line = $0; getline next_line; line = line " " next_line }
       END { print line }' "$1" |
    sed 's/^.*\*\*//; s/["`$]//g; s/[[:space:]][[:space:]]*/ /g; s/ $//' | cut -c 1-100
}

# PostScript PS to OUT with Ghostscript's DEVICE (jpeg, png16m): upright,
# about PIXELS (default 1500) on the long side whatever the page size.
tc_ps_raster() {
  long=$(sed -n '/^%%BoundingBox: *[-0-9.]/{s/^%%BoundingBox: *[-0-9.]* *[-0-9.]* *\([0-9.]*\) *\([0-9.]*\).*/\1 \2/p;q;}' "$1" |
    awk '{ print ($1 > $2 ? $1 : $2) }')
  case "$long" in
    ''|0) resolution=150 ;;
    *) resolution=$(awk -v l="$long" -v p="${4:-1500}" 'BEGIN { r = int(p * 72 / l + 0.5); print (r < 72 ? 72 : r) }') ;;
  esac
  # A landscape plot is drawn turned on a portrait page; the picture is
  # turned back upright.
  if grep -q '^%%PageOrientation: *Landscape' "$1"; then
    orientation=3
  else
    orientation=0
  fi
  # Ghostscript's anti-aliasing of fills lets the background show through
  # the seams between adjacent polygons, a lattice of light lines over
  # every colour fill.  The picture is drawn without it at a multiple of
  # the resolution instead and each block of pixels averaged into one:
  # the edges come out as smooth.  Three times up to 2000 pixels, twice
  # above, where three would cost a third more time than anti-aliasing.
  factor=${tc_raster_factor:-3}
  [ "${4:-1500}" -gt 2000 ] 2> /dev/null && factor=2
  # The pictures' one font is Ghostscript's own: no search of the
  # system's fonts at every start.
  gs -q -dSAFER -dNOPLATFONTS -dBATCH -dNOPAUSE \
    -sDEVICE="$3" -dJPEGQ=90 -r"$((resolution * factor))" -dDownScaleFactor="$factor" \
    -dTextAlphaBits=4 -dGraphicsAlphaBits=1 ${tc_raster_threads:+-dNumRenderingThreads=$tc_raster_threads -dBandHeight=100} \
    -sOutputFile="$2" \
    -c "<</Orientation $orientation>> setpagedevice" -f "$1" > /dev/null 2>&1 && [ -s "$2" ]
}

# A plot window's picture, waited for: twice the resolution averaged is as
# smooth at a screen's size, and Ghostscript's bands are drawn side by side.
tc_ps_screen() {
  tc_raster_factor=2 tc_raster_threads=2 tc_ps_raster "$1" "$2" png16m "$3"
}
