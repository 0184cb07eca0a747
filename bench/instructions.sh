#!/usr/bin/env bash
# Instructions (callgrind) of the sample job of bench/job_bench.sh on an
# ESC/POS and on a PDF folder printer, and of the floor that draws the
# slip's text into two PDFs (bench/floor.cc), with the programs of BUILD.
# Unlike wall time they do not move with the machine's load, so the cost of
# a change shows by itself: build the commits before and after it into two
# folders and run this on each.
#   bench/instructions.sh [BUILD]     (default build-bench, built here)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build-bench}
command -v valgrind >/dev/null || { echo "instructions: valgrind missing (scripts/setup.sh)" >&2; exit 1; }
if [ $# -eq 0 ]; then
  cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
  cmake --build "$build" -j2 --target kalvenor kalvenor_floor >/dev/null
fi
source "$root/bench/sample_box.sh"
trap 'rm -rf "$box"' EXIT

# Instructions of one run of "$@" after `prepare`.
instructions() {
  "$box/prepare"
  valgrind --tool=callgrind --callgrind-out-file=/dev/null "$@" 2>&1 >/dev/null | sed -n 's/.*refs: *//p'
}

# The jobs must print what is claimed: both barcodes on every copy and the
# QR code once, two good streams and two PDFs.
"$box/prepare"
KALVENOR_TRACE="$box/trace.jsonl" KALVENOR_PRINTER_DIR="$box/escpos" "${job[@]}"
python3 "$root/bench/check_symbols.py" "$box/trace.jsonl" instructions
for prn in "$box"/escpos/COMANDERA/00000{1,2}.prn; do
  python3 "$root/scripts/escpos_page.py" "$prn" >/dev/null || { echo "instructions: bad stream $prn" >&2; exit 1; }
done
escpos=$(KALVENOR_PRINTER_DIR="$box/escpos" instructions "${job[@]}")
pdf=$(KALVENOR_PRINTER_DIR="$box/pdf" instructions "${job[@]}")
[ -s "$box/pdf/COMANDERA/000002.pdf" ] || { echo "instructions: the PDF job printed no second receipt" >&2; exit 1; }
echo "Instructions (callgrind) of the sample job with $build/kalvenor:"
echo "  ESC/POS folder printer   $escpos"
echo "  PDF folder printer       $pdf"
if [ -x "$build/kalvenor_floor" ]; then
  echo "  floor: text in two PDFs  $(instructions "$build/kalvenor_floor" pdf "$box/slip-text.txt" "$build/kalvenor-fonts.conf")"
fi
