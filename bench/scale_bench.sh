#!/usr/bin/env bash
# Time and memory of the Kalvenor job per slip line: slips of 10, 100, 1000
# and 10000 lines in sections of about 20 items (every section one receipt,
# one PDF on the folder printer). Prints the median time, the peak memory,
# the time per line and the cost of each added line between two sizes, which
# stays flat when nothing grows faster than the slip.
#   bench/scale_bench.sh [runs [lines...]]   (default 5 runs per size; sizes
#                                             10 100 1000 10000; 352000 lines
#                                             make 16,000 receipts)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${KALVENOR_BUILD:-$root/build-bench}
runs=${1:-5}
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j2 --target kalvenor >/dev/null

box=$(mktemp -d "${TMPDIR:-/tmp}/kalvenor-scale.XXXXXX")
trap 'rm -rf "$box"' EXIT
mkdir -p "$box"/{C/CAJA,C/VENTAS,C/ZOV,C/CAE/RTA,H/COMANDAS,printers/COMANDERA}
cp "$root/examples/KALVENOR.INI" "$box/C/CAJA/"
cp "$root/examples/COMANRNG.ZOV" "$box/C/ZOV/"
export KALVENOR_DRIVE_C="$box/C" KALVENOR_DRIVE_H="$box/H" KALVENOR_PRINTER_DIR="$box/printers"
unset KALVENOR_QR_SERVICE KALVENOR_TRACE
cd "$box/C/CAJA"
sizes=("${@:2}")
[ ${#sizes[@]} -gt 0 ] || sizes=(10 100 1000 10000)
for n in "${sizes[@]}"; do
  python3 "$root/bench/make_slip.py" lines "$n" "$box/slip-$n.txt"
  printf '#!/bin/sh\ncp "%s/slip-%s.txt" "%s/C/VENTAS/C0001234.TXT"\nrm -f "%s"/printers/COMANDERA/*\n' \
    "$box" "$n" "$box" "$box" >"$box/prepare"
  chmod +x "$box/prepare"
  prepare="$box/prepare"
  hyperfine -N --warmup 1 --runs "$runs" --prepare "$prepare" --export-json "$box/t-$n.json" \
    "$build/kalvenor '\\VENTAS\\C0001234.TXT' '\\VENTAS\\LOG.TXT' N S" >/dev/null
  grep -q 'Finalizo correctamente' "$box/C/VENTAS/LOG.TXT" || { echo "scale_bench: job of $n lines failed" >&2; exit 1; }
  "$prepare"
  /usr/bin/time -f %M -o "$box/m-$n" "$build/kalvenor" '\VENTAS\C0001234.TXT' '\VENTAS\LOG.TXT' N S
  echo "$n $(ls "$box/printers/COMANDERA" | wc -l)" >"$box/docs-$n"
done
python3 - "$box" "${sizes[@]}" <<'PY'
import json, sys
box, sizes = sys.argv[1], [int(s) for s in sys.argv[2:]]
print(f"{'lines':>6} {'receipts':>8} {'median ms':>10} {'peak MB':>8} {'ms/line':>8} {'added ms/line':>14}")
prev = None
for n in sizes:
    t = json.load(open(f"{box}/t-{n}.json"))["results"][0]["median"] * 1000
    kb = int(open(f"{box}/m-{n}").read().split()[-1])
    docs = open(f"{box}/docs-{n}").read().split()[1]
    added = "" if prev is None else f"{(t - prev[1]) / (n - prev[0]):.3f}"
    print(f"{n:>6} {docs:>8} {t:>10.1f} {kb / 1024:>8.1f} {t / n:>8.3f} {added:>14}")
    prev = (n, t)
PY
