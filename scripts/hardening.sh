#!/bin/sh
# Hardening pass: the test suite under AddressSanitizer and UBSan, then each
# libFuzzer target for a bounded time. Any sanitizer report, failing test,
# crash or broken fuzz property fails the run.
# Usage: scripts/hardening.sh [--all-tests] [seconds per fuzzer (default 45)]
#
# Environment: TIDECHARTER_ASAN_BUILD (default ./build-asan),
#              TIDECHARTER_FUZZ_BUILD (default ./build-fuzz),
#              TIDECHARTER_DRIVE_C (as for scripts/test.sh),
#              HARDENING_JOBS (parallel compile and fuzz jobs, default 2).
#
# By default the tests that run only Python, shell and Ferret (the go
# scripts' and the update scripts' tests) are left out: they execute none
# of the sanitized program code.  The batch scripts' test stays: its plot
# windows are the sanitized viewer's, its months the batch run's.
# --all-tests runs them all.
set -eu
. "$(dirname "$0")/setup.sh"

all_tests=0
if [ "${1:-}" = "--all-tests" ]; then
  all_tests=1
  shift
fi
fuzz_seconds=${1:-45}
jobs=${HARDENING_JOBS:-2}
asan_build=${TIDECHARTER_ASAN_BUILD:-$TOP/build-asan}
fuzz_build=${TIDECHARTER_FUZZ_BUILD:-$TOP/build-fuzz}
fuzz_targets="extended_data dialog_template number_format locations end_dates status_words fill_levels"

# Sanitizer settings for everything below. Leak checking stays on; the
# suppressions name only Qt and system libraries (see the file).  Qt's
# keyboard set-up on X (libxkbcommon-x11) hands strndup names that are not
# terminated within their buffer, which the strndup wrapper, checking
# strictly, reads past: that wrapper alone is off.
ASAN_OPTIONS="detect_leaks=1:abort_on_error=0:strict_string_checks=1:detect_stack_use_after_return=1:check_initialization_order=1:intercept_strndup=0"
LSAN_OPTIONS="suppressions=$TOP/scripts/lsan.supp:print_suppressions=0"
UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
export ASAN_OPTIONS LSAN_OPTIONS UBSAN_OPTIONS

start=$(date +%s)
elapsed() { echo $(($(date +%s) - start)); }

# clang and its runtime libraries (libFuzzer) for the fuzz targets.
PACKAGES="$PACKAGES clang libclang-rt-14-dev"
install_packages

say "sanitizer build in $asan_build"
cmake -S "$TOP" -B "$asan_build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DTIDECHARTER_SANITIZE=ON -DBUILD_TESTING=ON >/dev/null
cmake --build "$asan_build" -j"$jobs"

say "fuzz build in $fuzz_build"
CC=clang CXX=clang++ cmake -S "$TOP" -B "$fuzz_build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DTIDECHARTER_FUZZ=ON -DBUILD_TESTING=OFF >/dev/null
cmake --build "$fuzz_build" -j"$jobs" --target fuzzers
say "builds done after $(elapsed) s"

install_drive_root

say "running the tests under the sanitizers"
cd "$asan_build"
if [ "$all_tests" -eq 1 ]; then
  set --
else
  set -- -E '^(installation_go_scripts|update_scripts_)'
fi
failed=""
xvfb-run -a -s "-screen 0 1280x1024x24" \
  ctest --output-on-failure -j"$jobs" --timeout 900 "$@" || failed=" tests"
say "tests done after $(elapsed) s"

# One fuzzer: its own working corpus (new inputs stay out of the source
# tree), the committed seeds read alongside, findings kept as artifacts.
work="$fuzz_build/fuzz-run"
run_fuzzer() {
  name=$1
  mkdir -p "$work/corpus/$name" "$work/artifacts"
  "$fuzz_build/fuzz/${name}_fuzz" -max_total_time="$fuzz_seconds" -timeout=10 \
    -rss_limit_mb=2048 -print_final_stats=1 \
    -artifact_prefix="$work/artifacts/$name-" \
    "$work/corpus/$name" "$TOP/fuzz/corpus/$name" >"$work/$name.log" 2>&1
}

say "fuzzing each target for $fuzz_seconds s, $jobs at a time"
rm -rf "$work"
mkdir -p "$work"
set -- $fuzz_targets
while [ $# -gt 0 ]; do
  batch=""
  while [ $# -gt 0 ] && [ "$(echo $batch | wc -w)" -lt "$jobs" ]; do
    run_fuzzer "$1" &
    batch="$batch $1:$!"
    shift
  done
  for entry in $batch; do
    name=${entry%%:*}
    if wait "${entry#*:}"; then
      runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$work/$name.log")
      say "fuzz $name: no finding (${runs:-?} runs)"
    else
      say "fuzz $name: FINDING, log follows"
      tail -n 60 "$work/$name.log"
      failed="$failed $name"
    fi
  done
done

say "hardening done after $(elapsed) s"
if [ -n "$failed" ]; then
  say "failed:$failed (fuzz inputs in $work/artifacts; once fixed, add each to fuzz/corpus/<name>/)"
  exit 1
fi
