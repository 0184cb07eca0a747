#!/usr/bin/env bash
# Runs fuzz targets one after another, each for SECONDS from its seed corpus
# (fuzz/corpus/<target>), and prints one summary line per target.
#   fuzz/run.sh SECONDS [BUILD_DIR] [TARGET ...]
# The seeds are copied into BUILD_DIR/corpus/<target>, where new inputs
# collect; a finding lands in BUILD_DIR/findings/<target>/ and fails the run
# (after the remaining targets have run).
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:?usage: fuzz/run.sh SECONDS [BUILD_DIR] [TARGET ...]}
build=${2:-$root/build-fuzz}
shift $(( $# >= 2 ? 2 : $# ))
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  targets=(comanda label barcode png_picture cae_reply config command_line url_utf8)
fi
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1"
export LSAN_OPTIONS="suppressions=$root/scripts/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
failed=0
for t in "${targets[@]}"; do
  corpus=$build/corpus/$t
  findings=$build/findings/$t
  mkdir -p "$corpus" "$findings"
  cp -n "$root/fuzz/corpus/$t"/* "$corpus/" 2>/dev/null || true
  log=$build/findings/$t.log
  "$build/${t}_fuzzer" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
    -print_final_stats=1 -artifact_prefix="$findings/" "$corpus" >"$log" 2>&1
  status=$?
  runs=$(grep -o 'stat::number_of_executed_units: [0-9]*' "$log" | tail -1 | grep -o '[0-9]*$')
  cov=$(grep -o 'cov: [0-9]* ft: [0-9]*' "$log" | tail -1)
  if [ $status -eq 0 ]; then
    echo "fuzz: $t: ${runs:-?} executions in ${seconds} s, $cov, no finding"
  else
    failed=1
    echo "fuzz: $t: FINDING after ${runs:-?} executions (exit $status), see $log and $findings/"
    grep -m3 -E 'ERROR|fuzz check failed|runtime error' "$log" | sed 's/^/fuzz:   /'
  fi
done
exit $failed
