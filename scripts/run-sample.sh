#!/usr/bin/env bash
# Prints the example slip and label file on a folder printer in a sandbox:
#   scripts/run-sample.sh [sandbox-folder]      (default: ./sample-run)
# The PDFs land in <sandbox>/printers/COMANDERA/.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${KALVENOR_BUILD:-$root/build}
"$root/scripts/setup.sh"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j2 --target kalvenor >/dev/null

sandbox=$(realpath -m "${1:-$root/sample-run}")
rm -rf "$sandbox"
mkdir -p "$sandbox"/{C/CAJA,C/VENTAS,C/ZOV,C/CAE/RTA,H/COMANDAS,printers/COMANDERA,printers/OFICINA}
ex="$root/examples"
cp "$ex/C0001234.TXT" "$ex/ETIQUE01.TXT" "$sandbox/C/VENTAS/"
cp "$ex/KALVENOR.INI" "$sandbox/C/CAJA/"
cp "$ex/COMANRNG.ZOV" "$sandbox/C/ZOV/"
cp "$ex/R-001234.csv" "$sandbox/C/CAE/RTA/"

export KALVENOR_DRIVE_C="$sandbox/C" KALVENOR_DRIVE_H="$sandbox/H"
export KALVENOR_PRINTER_DIR="$sandbox/printers" KALVENOR_DEFAULT_PRINTER=OFICINA
export KALVENOR_TRACE="$sandbox/trace.jsonl"
cd "$sandbox/C/CAJA"
status=0
"$build/kalvenor" '\VENTAS\C0001234.TXT' '\VENTAS\LOG.TXT' N S || status=$?
echo "comanda job (exit $status), log:"; sed 's/^/  /' "$sandbox/C/VENTAS/LOG.TXT"
"$build/kalvenor" '\VENTAS\ETIQUE01.TXT' '\VENTAS\LOGETQ.TXT' N S || status=$?
echo "label job (exit $status), log:"; sed 's/^/  /' "$sandbox/C/VENTAS/LOGETQ.TXT"
echo "PDFs in $sandbox/printers/COMANDERA:"
ls -1 "$sandbox/printers/COMANDERA" | sed 's/^/  /'
echo "trace: $KALVENOR_TRACE"
