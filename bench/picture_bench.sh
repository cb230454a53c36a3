#!/bin/sh
# usage: bench/picture_bench.sh [--rounds N] [--months N] DRIVE_ROOT
#
# Times one PostScript picture per default request, by hand (not part of
# CI), on the data of DRIVE_ROOT (laid out with installation/install.sh;
# for real-size data first run bench/make_real_size_data.py into its
# tidecharter/data).  For each request, in turn, each round measures
#   warm    tcBatchPlot.bat on the command file as a batch run writes it,
#           drawn by the Ferret kept running for this script (its
#           processor time counted in, its peak memory for the request)
#   cold    the same with a Ferret started for the picture
#   floor   the same go line run by PyFerret -nodisplay -script, with
#           nothing around it
# and once per round "start", a PyFerret that only exits.  Prints wall
# time, processor time (user + system) and peak resident memory, medians
# over the rounds; with the load average, since wall times on a busy
# machine say more side by side than alone.
#   --rounds N   rounds (default 3)
#   --months N   the data's last month index (default: 180, 2004-2018)
set -eu
unset TC_FERRET_OWNER

here=$(cd "$(dirname "$0")/.." && pwd)
rounds=3
months=180
while [ $# -gt 1 ]; do
  case "$1" in
    --rounds) rounds=$2; shift ;;
    --months) months=$2; shift ;;
    *) echo "picture_bench.sh: unknown argument $1" >&2; exit 2 ;;
  esac
  shift
done
[ $# -eq 1 ] || { sed -n '2,/^set -eu/p' "$0" | sed '$d; s/^# \{0,1\}//'; exit 2; }
root=$(cd "$1" && pwd)
bin=$root/tidecharter/bin
work=$(mktemp -d /tmp/picture_bench.XXXXXX)
trap 'rm -rf "$work"' EXIT
m=$months
mean_end=$((m < 120 ? m : 120))

# name|go line
cat > "$work/requests.txt" <<EOF
temperature map, 0 dbar|go fer_temp_map $m $m 0 0 -60 65 120 290 1 0
section along 140W|go fer_temp_section N -60 65 $m $m 0 2000 220 220
time series at one point|go fer_temp_time_series 1 $m 0 2000 0 0 220 220
D20 and its anomaly|go fer_depth20 $m $m -25 25 120 290 1 0
Nino 3.4|go fer_nino_ind 2 1 $m
WWV|go fer_wwv 1 $m
TCHP and its anomaly|go fer_tchp $m $m -25 25 120 290 1 0
dynamic height 0/1000|go fer_dyn_ht_map $m $m 0 1000 -60 65 120 290 1 0 0
geostrophic velocity|go fer_geo_vel_map $m $m 0 1000 -60 65 120 290 1 2 2
10-year mean|go fer_temp_map 1 $mean_end 0 0 -60 65 120 290 1 0
EOF

# Runs "$@", appending "wall-ms cpu-ms peak-kB" to $work/t.txt; the peak
# is the largest process of the tree (getrusage of the children).
timed() {
  /usr/bin/time -f '%e %U %S %M' -o "$work/time.txt" "$@" > /dev/null 2>&1 || echo "  (failed: $*)" >&2
  awk '{ printf "%d %d %d\n", $1 * 1000, ($2 + $3) * 1000, $4 }' "$work/time.txt"
}

. "$bin/tc_paths.sh"
tc_ferret_env
. "$here/bench/warm_ferret_cpu.sh"
warm() {
  cpu_before=$(warm_cpu)
  rm -f "$work/peak.txt"
  set -- $(TC_FERRET_OWNER=$$ TC_FERRET_STATS="$work/peak.txt" timed "$@")
  echo "$1 $(($2 + $(warm_cpu) - cpu_before)) $(tail -n 1 "$work/peak.txt" 2> /dev/null || echo 0)"
}
printf 'quit\n' > "$work/start.jnl"
n=0
while IFS='|' read -r name line; do
  n=$((n + 1))
  printf ' cancel mode journal\n%s\n ppl clsplt\n' "$line" > "$work/request$n.txt"
  printf '%s\nframe/file="%s/floor%s.ps"\nquit\n' "$line" "$work" "$n" > "$work/floor$n.jnl"
done < "$work/requests.txt"

# The warm Ferret starts before the first round.
warm sh "$bin/tcBatchPlot.bat" "$work/request1.txt" "$work/picture1.ps" > /dev/null
for round in $(seq "$rounds"); do
  echo "round $round, load $(cut -d' ' -f1-3 /proc/loadavg)" >&2
  echo "start $(timed /usr/bin/python3 -c 'import sys, pyferret; pyferret.init(sys.argv[1:], True)' \
    -nodisplay -nojnl -quiet -script "$work/start.jnl")" >> "$work/t.txt"
  for i in $(seq "$n"); do
    echo "warm$i $(warm sh "$bin/tcBatchPlot.bat" "$work/request$i.txt" "$work/picture$i.ps")" >> "$work/t.txt"
    [ -s "$work/picture$i.ps" ] || echo "  request $i drew no picture" >&2
    echo "batch$i $(timed sh "$bin/tcBatchPlot.bat" "$work/request$i.txt" "$work/picture$i.ps")" >> "$work/t.txt"
    (cd "$work" && echo "floor$i $(timed /usr/bin/python3 -c 'import sys, pyferret; pyferret.init(sys.argv[1:], True)' \
      -nodisplay -nojnl -quiet -script "$work/floor$i.jnl")") >> "$work/t.txt"
  done
done

median() { sort -n | awk '{ v[NR] = $1 } END { print (NR % 2 ? v[(NR + 1) / 2] : int((v[NR / 2] + v[NR / 2 + 1]) / 2)) }'; }
col() { awk -v k="$1" -v c="$2" '$1 == k { print $c }' "$work/t.txt" | median; }
printf '| request | warm wall | warm CPU | warm peak | cold wall | cold CPU | cold peak | floor wall | floor CPU |\n'
printf '|---|---|---|---|---|---|---|---|---|\n'
seconds() { col "$1" "$2" | awk '{ printf "%.2f s", $1 / 1000 }'; }
megabytes() { col "$1" 4 | awk '{ printf "%d MB", $1 / 1024 }'; }
i=0
while IFS='|' read -r name line; do
  i=$((i + 1))
  printf '| %s | %s | %s | %s | %s | %s | %s | %s | %s |\n' "$name" \
    "$(seconds warm$i 2)" "$(seconds warm$i 3)" "$(megabytes warm$i)" \
    "$(seconds batch$i 2)" "$(seconds batch$i 3)" "$(megabytes batch$i)" \
    "$(seconds floor$i 2)" "$(seconds floor$i 3)"
done < "$work/requests.txt"
printf '| PyFerret start only | | | | | | %s | %s | %s |\n' "$(megabytes start)" "$(seconds start 2)" \
  "$(seconds start 3)"
# The targets: every warm request within 1.5 times the warm map, the warm
# map within twice a start that only exits (processor times).
map=$(col warm1 3)
start=$(col start 3)
i=0
while IFS='|' read -r name line; do
  i=$((i + 1))
  awk -v n="$name" -v r="$(col warm$i 3)" -v m="$map" 'BEGIN { printf "%s: %.2f x the map\n", n, r / m }'
done < "$work/requests.txt"
awk -v m="$map" -v s="$start" 'BEGIN { printf "map: %.2f x a start that only exits\n", m / s }'
echo "load after: $(cut -d' ' -f1-3 /proc/loadavg)"
