#!/usr/bin/env bash
# Time until a job is complete through the CUPS queue KALVENOR-COMANDERA
# (cups-pdf back end, on a cupsd of its own: scripts/cups-test-queue.sh
# --private; needs root): the
# Kalvenor job of bench/job_bench.sh's slip (two receipts, two CUPS jobs)
# against `lp` of the slip's text. A job is complete when cups-pdf has
# written its whole file (bench/cups_wait.sh).
#   bench/cups_bench.sh [runs]        (default 10 runs after 1 warm-up run)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${KALVENOR_BUILD:-$root/build-bench}
runs=${1:-10}
queue=KALVENOR-COMANDERA
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j2 --target kalvenor >/dev/null

box=$(mktemp -d "${TMPDIR:-/tmp}/kalvenor-cups.XXXXXX")
trap '"$root/scripts/cups-test-queue.sh" --stop "$box/cups"; rm -rf "$box"' EXIT
trap 'exit 130' INT
trap 'exit 143' TERM
chmod 755 "$box"
settings=$("$root/scripts/cups-test-queue.sh" --private "$box/cups")
while read -r setting; do export "${setting?}"; done <<<"$settings"
out=$KALVENOR_CUPS_PDF_OUT
mkdir -p "$box"/{C/CAJA,C/VENTAS,C/ZOV,C/CAE/RTA,H/COMANDAS}
cp "$root/examples/KALVENOR.INI" "$box/C/CAJA/"
cp "$root/examples/COMANRNG.ZOV" "$box/C/ZOV/"
cp "$root/examples/R-001234.csv" "$box/C/CAE/RTA/"
python3 "$root/bench/make_slip.py" sample "$box/slip.txt"
python3 "$root/bench/make_slip.py" text "$box/slip.txt" "$box/slip-text.txt"
chmod 644 "$box/slip-text.txt"
export KALVENOR_DRIVE_C="$box/C" KALVENOR_DRIVE_H="$box/H"
unset KALVENOR_PRINTER_DIR KALVENOR_QR_SERVICE KALVENOR_TRACE KALVENOR_CUPS_WAIT
cd "$box/C/CAJA"
wait_for="$root/bench/cups_wait.sh $out"
hyperfine -N --warmup 1 --runs "$runs" --prepare "cp $box/slip.txt $box/C/VENTAS/C0001234.TXT" \
  --export-json "$box/results.json" \
  --command-name "kalvenor through CUPS" \
  "$wait_for $build/kalvenor '\\VENTAS\\C0001234.TXT' '\\VENTAS\\LOG.TXT' N S" \
  --command-name "lp of the text" "$wait_for lp -d $queue $box/slip-text.txt" >&2
grep -q 'Finalizo correctamente' "$box/C/VENTAS/LOG.TXT" || { echo "cups_bench: the job failed" >&2; exit 1; }
echo
echo "Through CUPS ($queue, cups-pdf), $runs runs:"
python3 "$root/bench/report.py" "$box/results.json"
