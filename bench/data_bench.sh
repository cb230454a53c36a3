#!/bin/sh
# usage: bench/data_bench.sh [--rounds N] [--program PATH] DRIVE_ROOT
#
# Times Save Data by hand (not part of CI), on the data of DRIVE_ROOT
# (laid out with installation/install.sh; for real-size data first run
# bench/make_real_size_data.py into its tidecharter/data).  The default
# request of each kind (map, section, time series, line drawing,
# product) is written by `tidecharter --batch` as a batch run writes it;
# then, in turn in each round, tcBatchPlot.bat runs its command file
# into PostScript (the picture), CSV and NetCDF, with the Ferret kept
# running for this script ("warm", as under the program and a batch run)
# and with one started for each ("cold").  Prints the medians of wall and
# processor time (user + system, the warm Ferret's counted in) over the
# rounds, and the files' sizes, with the load average.
#   --rounds N      rounds (default 3)
#   --program PATH  the tidecharter to ask for the command files (default
#                   build/tidecharter of this tree)
set -eu
unset TC_FERRET_OWNER

here=$(cd "$(dirname "$0")/.." && pwd)
rounds=3
program=$here/build/tidecharter
while [ $# -gt 1 ]; do
  case "$1" in
    --rounds) rounds=$2; shift ;;
    --program) program=$2; shift ;;
    *) echo "data_bench.sh: unknown argument $1" >&2; exit 2 ;;
  esac
  shift
done
[ $# -eq 1 ] || { sed -n '2,/^set -eu/p' "$0" | sed '$d; s/^# \{0,1\}//'; exit 2; }
root=$(cd "$1" && pwd)
bin=$root/tidecharter/bin
work=$(mktemp -d "${TMPDIR:-/tmp}/data_bench.XXXXXX")
trap 'rm -rf "$work"' EXIT

kinds="map section time_series line product"
for kind in $kinds; do
  printf '[%s]\nkind = %s\noutput = %s.ps\n' "$kind" "$(echo "$kind" | tr _ ' ')" "$kind"
done > "$work/defaults.ini"
TIDECHARTER_DRIVE_C=$root "$program" --batch "$work/defaults.ini" --out "$work/requests" > "$work/batch.log" 2>&1 ||
  { cat "$work/batch.log" >&2; exit 1; }

timed() {
  /usr/bin/time -f '%e %U %S' -o "$work/time.txt" "$@" > /dev/null 2>&1 || echo "  (failed: $*)" >&2
  awk '{ printf "%d %d\n", $1 * 1000, ($2 + $3) * 1000 }' "$work/time.txt"
}
. "$bin/tc_paths.sh"
. "$here/bench/warm_ferret_cpu.sh"
warm() {
  before=$(warm_cpu)
  set -- $(TC_FERRET_OWNER=$$ timed "$@")
  echo "$1 $(($2 + $(warm_cpu) - before))"
}

mkdir "$work/out"
warm sh "$bin/tcBatchPlot.bat" "$work/requests/map.jnl" "$work/out/start.ps" > /dev/null
for round in $(seq "$rounds"); do
  echo "round $round, load $(cut -d' ' -f1-3 /proc/loadavg)" >&2
  for kind in $kinds; do
    for format in ps csv nc; do
      rm -f "$work/out/$kind.$format"
      echo "warm-$kind-$format $(warm sh "$bin/tcBatchPlot.bat" "$work/requests/$kind.jnl" "$work/out/$kind.$format")" \
        >> "$work/t.txt"
      [ -s "$work/out/$kind.$format" ] || echo "  $kind: no $format written" >&2
      echo "cold-$kind-$format $(timed sh "$bin/tcBatchPlot.bat" "$work/requests/$kind.jnl" "$work/out/$kind.$format")" \
        >> "$work/t.txt"
    done
  done
done

median() { sort -n | awk '{ v[NR] = $1 } END { print (NR % 2 ? v[(NR + 1) / 2] : int((v[NR / 2] + v[NR / 2 + 1]) / 2)) }'; }
col() { awk -v k="$1" -v c="$2" '$1 == k { print $c }' "$work/t.txt" | median | awk '{ printf "%.2f", $1 / 1000 }'; }
size() { wc -c < "$work/out/$1" | awk '{ printf ($1 < 10240 ? "%d B" : "%d kB"), ($1 < 10240 ? $1 : $1 / 1024) }'; }
printf '| request | go line | picture (.ps) warm / cold | CSV warm / cold | NetCDF warm / cold | sizes .ps / .csv / .nc |\n'
printf '|---|---|---|---|---|---|\n'
for kind in $kinds; do
  cell() { echo "$(col "warm-$kind-$1" 2) / $(col "cold-$kind-$1" 2) s ($(col "warm-$kind-$1" 3) / $(col "cold-$kind-$1" 3) s CPU)"; }
  printf '| %s | `%s` | %s | %s | %s | %s / %s / %s |\n' "$kind" \
    "$(grep -i -m 1 '^ *go ' "$work/requests/$kind.jnl" | sed 's/^ *//; s/ *$//; s/  */ /g')" \
    "$(cell ps)" "$(cell csv)" "$(cell nc)" "$(size "$kind.ps")" "$(size "$kind.csv")" "$(size "$kind.nc")"
done
echo "load after: $(cut -d' ' -f1-3 /proc/loadavg)"
