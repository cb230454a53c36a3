# tc_paths.sh: paths and small functions shared by the batch scripts in
# this directory.  Sourced, never run:  . "$(dirname "$0")/tc_paths.sh"
#
# Sets TC_DRIVE (the drive root that c:\ and /cygdrive/c/ stand for),
# TC_HOME, TC_BIN, TC_TMP, TC_GO and TC_DATA, and defines
#   tc_host_path PATH    print PATH with c:\... or /cygdrive/c/... mapped
#   tc_die TEXT          print "script: TEXT" on stderr and exit 1
#   tc_usage TEXT        print "usage: TEXT" on stderr and exit 2
#   tc_publish TMP FILE  rename a finished temporary file into place
#   tc_display           print the X display for Ferret's windows
#   tc_ferret_env        export Ferret's environment with our go and data
#                        directories searched first

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

tc_host_path() {
  case "$1" in
    /cygdrive/[cC]/*)
      printf '%s/%s\n' "$TC_DRIVE" "${1#/cygdrive/?/}" ;;
    [cC]:[\\/]*)
      printf '%s/%s\n' "$TC_DRIVE" "$(printf '%s' "${1#??}" | tr '\\' '/' | sed 's|^/*||')" ;;
    *)
      printf '%s\n' "$1" ;;
  esac
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
