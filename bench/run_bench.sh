#!/bin/sh
# usage: bench/run_bench.sh [--runs N] [--jpg-runs N] [--build DIR] [--work DIR] [--realtime]
#
# Measures the built program by hand (not part of CI) on a private Xvfb
# display and prints one table; every figure is the median of several runs.
#   start-up      program start to the X map event of the main menu
#                 (bench/map_watch.c), with the real installation (end dates
#                 on record, and the first start after a data change) and
#                 with stand-in batch files that return at once, in the same
#                 runs as Qt alone (bench/qt_window_probe.cpp) and ncview on
#                 the sample temperature file
#   memory        resident memory idle, and after 100 Plot requests
#   Plot          Plot pressed (xdotool click) to the Ferret window mapped
#   Create JPG    Create JPG pressed to the export's "ierror=" log line, for
#                 the default request of each plot kind, against the three
#                 steps' own time (tcferret.bat, tcMeta2PS.bat, tcPS2jpg.bat)
#   render        tcferret.bat on each kind's command file as the program
#                 wrote it: until the plot window has drawn, and headless
#                 into a metafile (the first step of Create JPG)
#   --runs N      runs per figure (default 5)
#   --jpg-runs N  runs of each Create JPG figure (default 3)
#   --build DIR   the build directory holding the program (default: build)
#   --work DIR    drive roots and logs (default: /tmp/tidecharter-bench);
#                 the real installation is made there with install.sh
#   --realtime    the display server and the start-ups run at real-time
#                 priority (chrt, as root), so that the start-up figures of
#                 a shared, busy machine come close to an idle one's
# Needs xvfb, x11-utils (xwininfo), xdotool, gcc, g++, libx11-dev,
# qt6-base-dev and ncview.
set -eu

here=$(cd "$(dirname "$0")/.." && pwd)
runs=5
jpgruns=3
build=$here/build
work=/tmp/tidecharter-bench
realtime=no

while [ $# -gt 0 ]; do
  case "$1" in
    --runs) runs=$2; shift ;;
    --jpg-runs) jpgruns=$2; shift ;;
    --build) build=$2; shift ;;
    --work) work=$2; shift ;;
    --realtime) realtime=yes ;;
    -h|--help) sed -n '2,/^set -eu/p' "$0" | sed '$d; s/^# \{0,1\}//'; exit 0 ;;
    *) echo "run_bench.sh: unknown argument $1" >&2; exit 2 ;;
  esac
  shift
done

program=$(cd "$build" && pwd)/tidecharter
[ -x "$program" ] || { echo "run_bench.sh: no program at $program (build it first)" >&2; exit 1; }
for tool in Xvfb xwininfo xdotool gcc g++ pkg-config ncview; do
  command -v "$tool" > /dev/null || { echo "run_bench.sh: $tool is missing" >&2; exit 1; }
done

mkdir -p "$work"
real=$work/real
stub=$work/stub
log=$work/bench.log
: > "$log"

# ------------------------------------------------------------- helpers
now_ms() { echo $(($(date +%s%N) / 1000000)); }

# The median of the numbers on standard input.
median() {
  sort -n | awk '{ v[NR] = $1 } END { if (NR == 0) print "-"; else if (NR % 2) print v[(NR + 1) / 2];
                  else printf "%.0f\n", (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}

say() { printf '%s\n' "$*" >&2; printf '%s\n' "$*" >> "$log"; }

# Waits until `test` succeeds, polling every 10 ms, at most `ms`.
wait_for() {
  ms=$1; shift
  deadline=$(($(now_ms) + ms))
  until "$@"; do
    [ "$(now_ms)" -lt "$deadline" ] || return 1
    sleep 0.01
  done
}

mapped() { xwininfo -name "$1" 2> /dev/null | grep -q 'IsViewable'; }
ferret_window() { xwininfo -root -tree 2> /dev/null | grep -q '"FERRET_'; }
no_ferret_window() { ! ferret_window; }
log_has() { grep -q "$2" "$1/tidecharter/tmp/tidecharter.log" 2> /dev/null; }
log_count() { grep -c "$2" "$1/tidecharter/tmp/tidecharter.log" 2> /dev/null || true; }
lines_of() { if [ -f "$1" ]; then wc -l < "$1"; else echo 0; fi; }
at_least_lines() { [ "$(lines_of "$1")" -ge "$2" ]; }
count_at_least() { [ "$(log_count "$1" "$2")" -ge "$3" ]; }
resident_kb() { awk '/^VmRSS:/ { print $2 }' "/proc/$1/status"; }

# title and size of dialog N, and the place of its control C, from the
# dialog definitions: "title|width|height|x|y|w|h".
control() {
  awk -v c="$2" '
    /^DIALOG / { w = $3; h = $4 }
    /^TITLE / { t = $0; sub(/^TITLE "/, "", t); sub(/"$/, "", t) }
    /^CONTROL / && $2 == c { x = $5; y = $6; cw = $7; ch = $8 }
    END { print t "|" w "|" h "|" x "|" y "|" cw "|" ch }' "$here/resources/dialog_$1.dlg"
}

title_of() { control "$1" 0 | cut -d'|' -f1; }

# Clicks control C of dialog N: dialog units are scaled by the window's
# size, which the toolkit derives from them linearly.
click() {
  spec=$(control "$1" "$2")
  title=$(echo "$spec" | cut -d'|' -f1)
  geometry=$(xwininfo -name "$title" | awk '
    /Absolute upper-left X/ { x = $NF } /Absolute upper-left Y/ { y = $NF }
    /Width:/ { w = $NF } /Height:/ { h = $NF } END { print x, y, w, h }')
  # shellcheck disable=SC2086
  set -- $geometry "$(echo "$spec" | cut -d'|' -f2-)"
  point=$(echo "$1 $2 $3 $4 $5" | awk '{ split($5, d, "|");
    printf "%d %d\n", $1 + (d[3] + d[5] / 2) * $3 / d[1], $2 + (d[4] + d[6] / 2) * $4 / d[2] }')
  xdotool search --name "^$title\$" windowraise > /dev/null 2>&1 || true
  # shellcheck disable=SC2086
  xdotool mousemove $point click 1
}

start_program() {
  rm -f "$1/tidecharter/tmp/tidecharter.log"
  TIDECHARTER_DRIVE_C=$1 QT_QPA_PLATFORM=xcb "$program" >> "$log" 2>&1 &
  pid=$!
}

stop_program() {
  kill "$pid" 2> /dev/null || true
  wait "$pid" 2> /dev/null || true
  TIDECHARTER_DRIVE_C=$1 sh "$1/tidecharter/bin/tcKillCygwinX.bat" 2> /dev/null || true
}

started() {
  wait_for 60000 mapped "$(title_of 101)" && wait_for 60000 log_has "$1" '^ end dates'
}

# Milliseconds a command takes, its output going to the log.
time_of() {
  t0=$(now_ms)
  "$@" >> "$log" 2>&1 || say "failed: $*"
  echo $(($(now_ms) - t0))
}

cleanup() {
  [ -z "${pid:-}" ] || kill "$pid" 2> /dev/null || true
  for root in "$real" "$stub"; do
    if [ -d "$root/tidecharter/bin" ]; then untime_batch_files "$root"; fi
    if [ -f "$root/tidecharter/bin/tcKillCygwinX.bat" ]; then
      sh "$root/tidecharter/bin/tcKillCygwinX.bat" 2> /dev/null || true
    fi
  done
  [ -z "${xvfb:-}" ] || kill "$xvfb" 2> /dev/null || true
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# ------------------------------------------------------ display, roots
digit=
for d in 9 8 7 6 5 4 3 2 1; do
  if [ ! -e "/tmp/.X11-unix/X$d" ] && [ ! -e "/tmp/.X$d-lock" ]; then digit=$d; break; fi
done
[ -n "$digit" ] || { echo "run_bench.sh: no free display :1 to :9" >&2; exit 1; }
if [ "$realtime" = yes ]; then rt_server="chrt -f 20" rt_start="chrt -f 10"; else rt_server= rt_start=; fi
$rt_server Xvfb ":$digit" -screen 0 1280x1024x24 -nolisten tcp -noreset >> "$log" 2>&1 &
xvfb=$!
DISPLAY=:$digit
export DISPLAY
display_up() { xwininfo -root > /dev/null 2>&1; }
wait_for 10000 display_up || { echo "run_bench.sh: Xvfb did not start" >&2; exit 1; }

# The display must live through the whole run.
alive() {
  kill -0 "$xvfb" 2> /dev/null || { echo "run_bench.sh: Xvfb :$digit has gone" >&2; exit 1; }
}

# Qt alone, to tell its own start-up from the program's, and the watcher
# of map events that times every start-up.
probe=$work/qt_window_probe
# shellcheck disable=SC2046
g++ -std=c++17 -O2 -fPIC -o "$probe" "$here/bench/qt_window_probe.cpp" $(pkg-config --cflags --libs Qt6Widgets)
watch=$work/map_watch
gcc -O2 -o "$watch" "$here/bench/map_watch.c" -lX11

say "installing the real drive root in $real"
sh "$here/installation/install.sh" --display "$digit" "$real" >> "$log" 2>&1

# Stand-ins that return at once; tcferret.bat notes each run and writes a
# metafile for Create JPG, the converters their outputs.
rm -rf "$stub"
mkdir -p "$stub/tidecharter/tmp" "$stub/tidecharter/bin/pacific"
cp "$here/installation/bin/pacific/"* "$stub/tidecharter/bin/pacific/"
cat > "$stub/tidecharter/bin/tcferret.bat" << 'EOF'
T="$TIDECHARTER_DRIVE_C/tidecharter/tmp"
printf '%s\n' "$1" >> "$T/calls.txt"
case "$1" in *.jnl) exit 0 ;; esac
while IFS= read -r line; do
  case "$line" in "set mode metafile meta"*)
    head -c 5000 /dev/zero > "$T/${line#set mode metafile }"; break ;;
  esac
done < "$TIDECHARTER_DRIVE_C${1#/cygdrive/c}"
EOF
printf '%s\n' 'head -c 5000 /dev/zero > "$TIDECHARTER_DRIVE_C/tidecharter/tmp/$1.ps"' \
  > "$stub/tidecharter/bin/tcMeta2PS.bat"
printf '%s\n' 'head -c 5000 /dev/zero > "$TIDECHARTER_DRIVE_C/tidecharter/tmp/$1.jpg"' \
  > "$stub/tidecharter/bin/tcPS2jpg.bat"
printf '%s\n' 'echo "FOUND stand-in" > "$TIDECHARTER_DRIVE_C/tidecharter/tmp/batch.log"' \
  > "$stub/tidecharter/bin/tcLookForX.bat"
for f in tcKillCygwinX.bat tcJnlrm.bat; do echo 'exit 0' > "$stub/tidecharter/bin/$f"; done

results=$work/results
rm -rf "$results"
mkdir -p "$results"
# record NAME VALUE: one run's figure.
record() { echo "$2" >> "$results/$1"; }
figure() { if [ -f "$results/$1" ]; then median < "$results/$1"; else echo "-"; fi; }

# -------------------------------------------------------------- start-up
# start_watched NAME TITLE COMMAND...: one start of COMMAND, timed to the
# map event of its window named TITLE and recorded as NAME; sets $pid.
start_watched() {
  name=$1 title=$2
  shift 2
  if $rt_start "$watch" "$title" "$work/mapped" "$@" >> "$log" 2>&1; then
    read -r took pid < "$work/mapped"
    record "$name" "$took"
  else
    say "no window $title"
    pid=
  fi
}
gone() { ! kill -0 "$1" 2> /dev/null; }
end_watched() {
  [ -n "$pid" ] || return 0
  kill "$pid" 2> /dev/null || true
  wait_for 10000 gone "$pid" || kill -9 "$pid" 2> /dev/null || true
}

# The peers and the program take turns, so that each run sees the same
# machine. The real installation's first start after a data change runs
# Ferret for the end dates; later starts find them on record.
for _ in $(seq "$runs"); do
  alive
  start_watched startup_qt "Qt window probe" env QT_QPA_PLATFORM=xcb "$probe"
  end_watched
  start_watched startup_ncview Ncview ncview "$real/tidecharter/data/RG_ArgoClim_Temperature.nc"
  end_watched
  for kind in stub real first; do
    if [ "$kind" = stub ]; then root=$stub; else root=$real; fi
    if [ "$kind" = first ]; then rm -f "$real/tidecharter/tmp/EndDates.stamp"; fi
    rm -f "$root/tidecharter/tmp/tidecharter.log"
    start_watched "startup_$kind" "$(title_of 101)" \
      env TIDECHARTER_DRIVE_C="$root" QT_QPA_PLATFORM=xcb "$program"
    wait_for 60000 log_has "$root" '^ end dates' || say "start-up did not finish"
    sleep 1
    if [ -n "$pid" ]; then record "idle_$kind" "$(resident_kb "$pid")"; fi
    end_watched
    TIDECHARTER_DRIVE_C=$root sh "$root/tidecharter/bin/tcKillCygwinX.bat" 2> /dev/null || true
  done
done

# Batch files that note their own time in each run, so that the program's
# part is told apart run by run on a busy machine. The wrapper's own shell
# start counts as the program's.
times=$work/batch_times
# time_batch_files ROOT NAME...: wraps ROOT's NAME.bat files.
time_batch_files() {
  root=$1
  shift
  for f in "$@"; do
    mv "$root/tidecharter/bin/$f.bat" "$root/tidecharter/bin/$f.untimed.bat"
    cat > "$root/tidecharter/bin/$f.bat" << EOF
s=\$(date +%s%N)
sh "\$(dirname "\$0")/$f.untimed.bat" "\$@"
rc=\$?
echo "\$s \$(date +%s%N)" >> "$times"
exit \$rc
EOF
  done
}
untime_batch_files() {
  for wrapped in "$1"/tidecharter/bin/*.untimed.bat; do
    if [ -f "$wrapped" ]; then mv -f "$wrapped" "${wrapped%.untimed.bat}.bat"; fi
  done
}
batch_ms() { awk '{ total += ($2 - $1) / 1000000 } END { printf "%d\n", total }' "$times"; }

# measure_jpg ROOT NAME DIALOG: Create JPG in the shown parameter dialog,
# the batch files timing themselves.
measure_jpg() {
  time_batch_files "$1" tcferret tcMeta2PS tcPS2jpg
  for _ in $(seq "$jpgruns"); do
    rm -f "$times"
    done_before=$(log_count "$1" '^ ierror=')
    t0=$(now_ms)
    click "$3" 1076
    wait_for 180000 count_at_least "$1" '^ ierror=' $((done_before + 1)) || say "no JPG"
    took=$(($(now_ms) - t0))
    record "jpg_$2" "$took"
    record "jpgbatch_$2" "$(batch_ms)"
    record "jpgwait_$2" $((took - $(batch_ms)))
  done
  untime_batch_files "$1"
}

# --------------------------------------------------- memory, 100 requests
alive
say "memory after 100 and 200 Plot requests, stand-in batch files"
export TIDECHARTER_DRIVE_C="$stub"
calls=$stub/tidecharter/tmp/calls.txt
for run in $(seq "$runs"); do
  start_program "$stub"
  started "$stub"
  click 101 1
  wait_for 10000 mapped "$(title_of 103)"
  for n in $(seq 200); do
    before=$(lines_of "$calls")
    click 103 1035
    wait_for 10000 at_least_lines "$calls" $((before + 1)) || say "Plot $n did not run"
    if [ "$n" -eq 100 ]; then record rss100 "$(resident_kb "$pid")"; fi
  done
  record rss200 "$(resident_kb "$pid")"

  # Create JPG with stand-ins: the program's own part alone.
  if [ "$run" -eq 1 ]; then measure_jpg "$stub" stub 103; fi
  stop_program "$stub"
done

# ------------------------------------------------- Plot, JPG and render
alive
say "Plot and Create JPG, real installation"
export TIDECHARTER_DRIVE_C="$real"
tmp=$real/tidecharter/tmp
start_program "$real"
started "$real"
click 101 1
wait_for 10000 mapped "$(title_of 103)"

# Each kind: Create JPG of the dialog's default request, Plot pressed to its
# Ferret window mapped, and the command file the program wrote, for the
# render times below.
for entry in map:1006:103 ver:1007:105 tim:1008:104 lin:1053:109 pro:1087:110; do
  kind=${entry%%:*}
  rest=${entry#*:}
  radio=${rest%%:*}
  dialog=${rest#*:}
  sh "$real/tidecharter/bin/tcKillCygwinX.bat"
  wait_for 5000 no_ferret_window || true
  click 101 "$radio"
  click 101 1
  wait_for 10000 mapped "$(title_of "$dialog")" || say "no dialog $dialog"
  measure_jpg "$real" "$kind" "$dialog"
  for _ in $(seq "$runs"); do
    sh "$real/tidecharter/bin/tcKillCygwinX.bat"
    wait_for 5000 no_ferret_window || say "Ferret windows stay"
    t0=$(now_ms)
    click "$dialog" 1035
    wait_for 30000 ferret_window || say "no Ferret window for $kind"
    record "press_$kind" $(($(now_ms) - t0))
  done
  file=$(ls -t "$tmp"/tcferretin"$kind"*.txt | head -n 1)
  cp "$file" "$work/$kind.txt"
done
stop_program "$real"

alive
say "render times of the go-script families"
for kind in map ver tim lin pro; do
  cp "$work/$kind.txt" "$tmp/tcbench$kind.txt"
  awk 'NR == 1 { print; print "set mode metafile metabench"; next } { print }' "$work/$kind.txt" \
    > "$tmp/tcbenchmeta$kind.txt"
  for _ in $(seq "$runs"); do
    record "window_$kind" "$(time_of sh "$real/tidecharter/bin/tcferret.bat" "/cygdrive/c/tidecharter/tmp/tcbench$kind.txt")"
    sh "$real/tidecharter/bin/tcKillCygwinX.bat"
    record "meta_$kind" "$(time_of sh "$real/tidecharter/bin/tcferret.bat" "/cygdrive/c/tidecharter/tmp/tcbenchmeta$kind.txt")"
  done
  script=$(awk 'tolower($1) == "go" { print $2; exit }' "$work/$kind.txt")
  echo "$script" > "$results/script_$kind"
done

# ----------------------------------------------------------------- table
sq=$(figure startup_qt)
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (a == "-" || b == "-" || b == 0) print "-"; else printf "%.2fx", a / b }'; }
js=$(figure jpg_stub); jsb=$(figure jpgbatch_stub); jsw=$(figure jpgwait_stub)

echo "Machine: $(nproc) processors, $(awk -F': ' '/^model name/ { print $2; exit }' /proc/cpuinfo)," \
     "$(awk '/^MemTotal/ { printf "%.1f GB", $2 / 1048576 }' /proc/meminfo) memory;" \
     "load average $(cut -d' ' -f1-3 /proc/loadavg) at the end;" \
     "medians of $runs runs ($jpgruns for Create JPG); start-ups at real-time priority: $realtime."
echo
echo "| measurement | figure | reference | target |"
echo "|---|---|---|---|"
echo "| start-up to a mapped window: a bare Qt 6 dialog | $sq ms | | |"
echo "| start-up to a mapped window: ncview on RG_ArgoClim_Temperature.nc | $(figure startup_ncview) ms | | |"
echo "| start-up to main menu mapped, stand-in batch files | $(figure startup_stub) ms | $(ratio "$(figure startup_stub)" "$sq") the bare Qt dialog | |"
echo "| start-up to main menu mapped, real installation | $(figure startup_real) ms | $(ratio "$(figure startup_real)" "$sq") the bare Qt dialog | within 2x |"
echo "| start-up to main menu mapped, real installation, first start after a data change | $(figure startup_first) ms | $(ratio "$(figure startup_first)" "$sq") the bare Qt dialog; runs Ferret for the end dates | |"
echo "| resident memory idle, stand-ins / real | $(figure idle_stub) kB / $(figure idle_real) kB | | < 60 MB |"
echo "| resident memory after 100 Plot requests (stand-ins) | $(figure rss100) kB | idle $(figure idle_stub) kB, after 200 $(figure rss200) kB | |"
echo "| Plot press to Ferret window mapped, map view (other kinds below) | $(figure press_map) ms | | < 1500 ms |"
echo "| Create JPG, stand-in batch files, map view | $js ms | batch files $jsb ms; the rest $jsw ms | |"
for kind in map ver tim lin pro; do
  echo "| Create JPG, real installation, $(cat "$results/script_$kind") | $(figure "jpg_$kind") ms | the three steps $(figure "jpgbatch_$kind") ms; the rest $(figure "jpgwait_$kind") ms | the rest < 500 ms |"
done
for kind in map ver tim lin pro; do
  echo "| $(cat "$results/script_$kind"): Plot press to window / drawn in window / metafile | $(figure "press_$kind") ms / $(figure "window_$kind") ms / $(figure "meta_$kind") ms | | |"
done
