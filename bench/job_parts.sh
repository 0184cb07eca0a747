#!/usr/bin/env bash
# Where the time of a warm job goes, on the slip of bench/escpos_bench.sh,
# for the ESC/POS and the PDF folder printer and for `kalvenor --version`
# (the start alone):
#   - perf stat over the runs: CPU time, page faults and context switches
#     (means; the wall times are bench/escpos_bench.sh's);
#   - perf record (cpu-clock with call chains) of the same runs: the CPU
#     split into the kernel's parts (page faults, file calls, mapping,
#     exit) and each library's user time (bench/parts.py), in ms a job;
#   - perf trace of the same runs: the wall time a job spends in the calls
#     that wait for the disk (fsync, rename), in ms a job.
#   bench/job_parts.sh [runs]   (default 100; root, for the kernel's samples)
# KALVENOR_BUILD names the build folder (default build-bench, built here).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${KALVENOR_BUILD:-$root/build-bench}
runs=${1:-100}
command -v perf >/dev/null || { echo "job_parts: perf missing (scripts/setup.sh)" >&2; exit 1; }
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j2 --target kalvenor >/dev/null
source "$root/bench/sample_box.sh"
trap 'rm -rf "$box"' EXIT

# The jobs must print what the figures claim: two receipts with their symbols.
"$box/prepare"
KALVENOR_TRACE="$box/trace.jsonl" KALVENOR_PRINTER_DIR="$box/escpos" "${job[@]}"
python3 "$root/bench/check_symbols.py" "$box/trace.jsonl" job_parts
rm -f "$box/trace.jsonl"

echo "Warm jobs, $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | xargs), $runs runs each," \
  "load average $(cut -d' ' -f1-3 /proc/loadavg) before:"
for kind in escpos pdf version; do
  command=("${job[@]}")
  [ "$kind" = version ] && command=("$build/kalvenor" --version)
  printer=$box/$([ "$kind" = pdf ] && echo pdf || echo escpos)
  "$box/prepare"
  KALVENOR_PRINTER_DIR=$printer "${command[@]}" >/dev/null  # the cache is warm
  KALVENOR_PRINTER_DIR=$printer perf stat -x, -r "$runs" --pre "$box/prepare" \
    -e task-clock,page-faults,context-switches -o "$box/stat" -- "${command[@]}" >/dev/null
  # Lines of value,unit,event,...; task-clock is in ms.
  cpu=$(awk -F, '$3=="task-clock"{print $1}' "$box/stat")
  faults=$(awk -F, '$3=="page-faults"{print $1}' "$box/stat")
  waits=$(awk -F, '$3=="context-switches"{print $1}' "$box/stat")
  {
    printf 'for i in $(seq %d); do "%s/prepare"; ' "$runs" "$box"
    printf '%q ' "${command[@]}"
    printf '>/dev/null; done\n'
  } >"$box/loop.sh"
  KALVENOR_PRINTER_DIR=$printer perf record -q -F 10000 -e cpu-clock -g -o "$box/perf.data" -- sh "$box/loop.sh"
  echo
  echo "== $([ "$kind" = version ] && echo "kalvenor --version" || echo "$kind job"):" \
    "CPU $cpu ms, $faults page faults, $waits context switches a run (means)"
  perf script -i "$box/perf.data" -F comm,ip,sym,dso 2>/dev/null | python3 "$root/bench/parts.py" "$runs" "$cpu"
  [ "$kind" = version ] && continue
  # Per process, lines of: call, calls, errors, total ms, ...
  KALVENOR_PRINTER_DIR=$printer perf trace -s -o "$box/trace.txt" -- sh "$box/loop.sh"
  awk -v runs="$runs" '/^ [^ ].*\([0-9]+\)/ { mine = ($1 == "kalvenor") }
    mine && $1 ~ /^(fsync|fdatasync|rename|renameat2)$/ { ms[$1] += $4; n[$1] += $2 }
    END { for (c in ms) printf "  waiting in %-10s %4.1f calls %35.2f\n", c, n[c] / runs, ms[c] / runs }' \
    "$box/trace.txt" | sort
done
echo
echo "load average after: $(cut -d' ' -f1-3 /proc/loadavg)"
