#!/usr/bin/env bash
# Times the whole Kalvenor job against the peers, in one hyperfine run and
# on the same slip (a three-copy PAMI slip with header, 30 item lines, the
# EAN, the Code 128 and the fiscal QR code drawn by the built-in renderer):
#   kalvenor             the job to the folder printer (two receipts, two PDFs)
#   cupsfilter           CUPS's text-to-PDF on the slip's text alone
#   paps                 text to PostScript with pango on the slip's text alone
#   zint + qrencode      the three symbols alone (EAN-13, Code 128, QR)
# Prints each median, peak memory and Kalvenor's ratio to each peer.
#   bench/job_bench.sh [runs]          (default 30 runs after 3 warm-up runs)
# KALVENOR_BUILD names the build folder (default build-bench, built here).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${KALVENOR_BUILD:-$root/build-bench}
runs=${1:-30}
for tool in hyperfine cupsfilter paps zint qrencode python3 /usr/bin/time; do
  command -v "$tool" >/dev/null || { echo "job_bench: $tool missing (scripts/setup.sh)" >&2; exit 1; }
done
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j2 --target kalvenor >/dev/null

# --- the sandbox: drives C: and H:, the PDF folder printer -------------------
source "$root/bench/sample_box.sh"
trap 'rm -rf "$box"' EXIT
mkdir -p "$box/out"
export KALVENOR_PRINTER_DIR="$box/pdf"
prepare="$box/prepare"
qr=$(tail -n 1 "$root/examples/R-001234.csv" | tr -d '\r' | awk -F';' '{print $NF}')
kalvenor="$build/kalvenor '\\VENTAS\\C0001234.TXT' '\\VENTAS\\LOG.TXT' N S"
cupsfilter_cmd="cupsfilter -m application/pdf $box/slip-text.txt"
paps_cmd="paps $box/slip-text.txt"
symbols="sh -c 'zint -b 13 -d 000000000123 -o $box/out/ean.png && zint -b 20 -d 12345678901234567890 -o $box/out/c128.png && qrencode -o $box/out/qr.png \"$qr\"'"

# The job must draw what the benchmark claims: both barcodes on every
# printed copy and the QR code once.
"$prepare"
KALVENOR_TRACE="$box/trace.jsonl" "$build/kalvenor" '\VENTAS\C0001234.TXT' '\VENTAS\LOG.TXT' N S
python3 "$root/bench/check_symbols.py" "$box/trace.jsonl" job_bench

load_before=$(cut -d' ' -f1-3 /proc/loadavg)
hyperfine -N --warmup 3 --runs "$runs" --prepare "$prepare" --export-json "$box/results.json" \
  --command-name kalvenor "$kalvenor" \
  --command-name "cupsfilter (text only)" "$cupsfilter_cmd" \
  --command-name "paps (text only)" "$paps_cmd" \
  --command-name "zint + qrencode (3 symbols)" "$symbols" >&2
grep -q 'Finalizo correctamente' "$box/C/VENTAS/LOG.TXT" || { echo "job_bench: the job failed" >&2; exit 1; }

# Peak memory: resident set of one run of each (the largest process for the
# three symbols).
peak() { "$prepare"; /usr/bin/time -f %M -o "$box/mem" "$@" >/dev/null 2>&1; cat "$box/mem"; }
m1=$(peak "$build/kalvenor" '\VENTAS\C0001234.TXT' '\VENTAS\LOG.TXT' N S)
m2=$(peak cupsfilter -m application/pdf "$box/slip-text.txt")
m3=$(peak paps "$box/slip-text.txt")
m4=$(peak qrencode -o "$box/out/qr.png" "$qr")
echo
echo "Whole job, $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | xargs), $runs runs," \
  "load average $load_before before and $(cut -d' ' -f1-3 /proc/loadavg) after:"
python3 "$root/bench/report.py" "$box/results.json" 1="$m1" 2="$m2" 3="$m3" 4="$m4"
