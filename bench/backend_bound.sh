#!/usr/bin/env bash
# How long the kalvenor back end runs against every state of the stand-in
# printer (testing/fake_status_printer.py), run directly as CUPS would run it,
# with the sample receipt's ESC/POS stream as its job. No state may keep it
# past the URI's wait plus 7 s; the report gives each run's time, exit status
# and reason, and fails when one runs over.
#   bench/backend_bound.sh [wait]        (default 5 s, the URI's wait)
# KALVENOR_BUILD names the build folder (default build-bench, built here).
set -euo pipefail
export LC_ALL=C  # numbers with a decimal point
root=$(cd "$(dirname "$0")/.." && pwd)
build=${KALVENOR_BUILD:-$root/build-bench}
wait_s=${1:-5}
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j2 --target kalvenor kalvenor-backend >/dev/null
backend="$build/backend/kalvenor"

# The first receipt of the benchmarks' sample slip as an 80 mm printer gets it.
source "$root/bench/sample_box.sh"
trap 'rm -rf "$box"' EXIT
"$box/prepare"
KALVENOR_PRINTER_DIR="$box/escpos" "${job[@]}"
stream="$box/escpos/COMANDERA/000001.prn"
[ -s "$stream" ] || { echo "backend_bound: the sample job made no stream" >&2; exit 1; }

echo "back end against each printer state: wait=$wait_s s, limit $((wait_s + 7)) s;" \
  "job $(stat -c %s "$stream") bytes; load $(cut -d' ' -f1-3 /proc/loadavg)"
printf '%-34s %8s %6s  %s\n' state seconds status reason
over=0
for state in "" --empty "--empty --reload-after 2" "--paper-after 2000" "--paper-after 2000 --reload-after 2" \
  --cover-open --offline --silent --no-ids --refuse "--stop-reading 0" "--stop-reading 2000" "--pty --silent" \
  "--pty --no-ids"; do
  # The stand-in says where it listens, and ends when its input closes.
  # shellcheck disable=SC2086  # the state is a list of flags
  coproc printer { exec python3 "$root/testing/fake_status_printer.py" "$box/record.json" $state; }
  read -r kind where <&"${printer[0]}"
  case $kind in
    port) uri="kalvenor://127.0.0.1:$where/?wait=$wait_s" ;;
    pty) uri="kalvenor:$where?wait=$wait_s" ;;
    *) echo "backend_bound: the stand-in printer did not start ($kind $where)" >&2; exit 1 ;;
  esac
  start=$(date +%s.%N)
  status=0
  DEVICE_URI=$uri "$backend" 1 bench receipt 1 "" "$stream" 2>"$box/stderr" || status=$?
  seconds=$(awk -v from="$start" -v to="$(date +%s.%N)" 'BEGIN { printf "%.2f", to - from }')
  eval "exec ${printer[1]}>&-"
  # shellcheck disable=SC2154  # set by coproc
  wait "$printer_PID" 2>/dev/null || true
  reason=$(grep -E '^(ERROR|INFO):' "$box/stderr" | tail -n 1 | cut -c1-60)
  printf '%-34s %8.2f %6d  %s\n' "${state:-ready}" "$seconds" "$status" "$reason"
  awk -v s="$seconds" -v limit=$((wait_s + 7)) 'BEGIN { exit !(s > limit) }' && over=1
done
[ "$over" -eq 0 ] || { echo "backend_bound: a run went past wait + 7 s" >&2; exit 1; }
echo "every run ended within wait + 7 s"
