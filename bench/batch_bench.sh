#!/bin/sh
# usage: bench/batch_bench.sh [--rounds N] [--build DIR] [--work DIR]
#
# Measures tidecharter --batch on installation/examples/bulletin.ini by hand
# (not part of CI) and prints one table; each round measures, in turn:
#   bulletin     the whole run, program start to exit, with the end dates
#                asked of Ferret (no program end-date files) and with the
#                program's own fresh end-date files
#   singles      tcBatchPlot.bat alone on each picture's command file, one
#                after the other: the single render times, summed
#   xargs        the same renders run by xargs, one per processor at a time,
#                each in a session of its own as the program runs them: what
#                the machine allows at the moment, without the program
#   memory       the program's peak resident memory (VmHWM, read every
#                50 ms) and the largest Ferret or Ghostscript child's
# The target is a bulletin within 1.2 times the singles' sum divided by
# the number of processors.  The load average is printed with each round:
# on a busy machine the figures say more side by side than alone.
#   --rounds N   rounds (default 3); the table gives the medians
#   --build DIR  the build directory holding the program (default: build)
#   --work DIR   drive root and outputs (default: /tmp/tidecharter-batch-bench);
#                the drive root is laid out there with install.sh
set -eu

here=$(cd "$(dirname "$0")/.." && pwd)
rounds=3
build=$here/build
work=/tmp/tidecharter-batch-bench

while [ $# -gt 0 ]; do
  case "$1" in
    --rounds) rounds=$2; shift ;;
    --build) build=$2; shift ;;
    --work) work=$2; shift ;;
    -h|--help) sed -n '2,/^set -eu/p' "$0" | sed '$d; s/^# \{0,1\}//'; exit 0 ;;
    *) echo "batch_bench.sh: unknown argument $1" >&2; exit 2 ;;
  esac
  shift
done

program=$(cd "$build" && pwd)/tidecharter
[ -x "$program" ] || { echo "batch_bench.sh: no program at $program (build it first)" >&2; exit 1; }
root=$work/drive_c
mkdir -p "$work"
sh "$here/installation/install.sh" "$root" > "$work/install.log"
TIDECHARTER_DRIVE_C=$root
export TIDECHARTER_DRIVE_C
bin=$root/tidecharter/bin
tmp=$root/tidecharter/tmp
bulletin=$here/installation/examples/bulletin.ini
cpus=$(nproc)

now_ms() { echo $(($(date +%s%N) / 1000000)); }
median() { sort -n | awk '{ v[NR] = $1 } END { print (NR % 2 ? v[(NR + 1) / 2] : int((v[NR / 2] + v[NR / 2 + 1]) / 2)) }'; }
load() { cut -d' ' -f1 /proc/loadavg; }

# Runs the bulletin into $1; prints "milliseconds peak-kB children-peak-kB".
bulletin_run() {
  rm -rf "$1"
  start=$(now_ms)
  /usr/bin/time -f %M -o "$work/children.txt" "$program" --batch "$bulletin" --out "$1" \
    > "$work/run.log" 2>&1 &
  timer=$!
  pid=
  peak=0
  while kill -0 "$timer" 2>/dev/null; do
    [ -n "$pid" ] || pid=$(pgrep -P "$timer" -x tidecharter || true)
    hwm=$(sed -n 's/^VmHWM:[[:space:]]*\([0-9]*\).*/\1/p' "/proc/${pid:-0}/status" 2>/dev/null || true)
    [ -n "$hwm" ] && peak=$hwm
    sleep 0.05
  done
  wait "$timer" || { echo "batch_bench.sh: the bulletin failed, see $work/run.log" >&2; exit 1; }
  echo "$(($(now_ms) - start)) $peak $(cat "$work/children.txt")"
}

printf 'round  load  bulletin(Ferret dates)  bulletin(program dates)  singles-sum  singles/%s  ratios  xargs  peak-kB  child-peak-kB\n' "$cpus"
: > "$work/rounds.txt"
for round in $(seq "$rounds"); do
  before=$(load)
  rm -f "$tmp"/*EndDate.txt
  set -- $(bulletin_run "$work/out")
  asked=$1 peak=$2 child=$3
  # The program's own end dates, as its start-up leaves them.
  sh "$bin/tcferret.bat" /cygdrive/c/tidecharter/ferret/TMAP/go/GetDates.jnl
  set -- $(bulletin_run "$work/out2")
  fresh=$1
  sum=0
  for journal in "$work"/out/*/*.jnl; do
    picture=$(ls "${journal%.jnl}".* | grep -v '\.jnl$')
    start=$(now_ms)
    sh "$bin/tcBatchPlot.bat" "$journal" "$work/single.${picture##*.}" 2> /dev/null
    sum=$((sum + $(now_ms) - start))
  done
  share=$((sum / cpus))
  for journal in "$work"/out/*/*.jnl; do
    picture=$(ls "${journal%.jnl}".* | grep -v '\.jnl$')
    printf '%s\n%s\n' "$journal" "$work/xargs/$(basename "$picture")"
  done > "$work/jobs.txt"
  mkdir -p "$work/xargs"
  start=$(now_ms)
  xargs -d '\n' -n 2 -P "$cpus" setsid -w sh "$bin/tcBatchPlot.bat" < "$work/jobs.txt"
  parallel=$(($(now_ms) - start))
  ratio=$(awk -v a="$asked" -v f="$fresh" -v s="$share" 'BEGIN { printf "%.2f/%.2f", a / s, f / s }')
  load_text="$before-$(load)"
  printf '%5s  %s  %s ms  %s ms  %s ms  %s ms  %s  %s ms  %s  %s\n' \
    "$round" "$load_text" "$asked" "$fresh" "$sum" "$share" "$ratio" "$parallel" "$peak" "$child"
  echo "$asked $fresh $sum $share $peak $child $parallel" >> "$work/rounds.txt"
done
m() { cut -d' ' -f"$1" "$work/rounds.txt" | median; }
printf 'median  -  %s ms  %s ms  %s ms  %s ms  %s  %s ms  %s  %s\n' "$(m 1)" "$(m 2)" "$(m 3)" "$(m 4)" \
  "$(awk -v a="$(m 1)" -v f="$(m 2)" -v s="$(m 4)" 'BEGIN { printf "%.2f/%.2f", a / s, f / s }')" "$(m 7)" "$(m 5)" "$(m 6)"
