#!/usr/bin/env bash
# Prints the example slip and label file in a sandbox three times: on a
# folder printer that makes PDFs and on two that make ESC/POS streams, for an
# 80 mm thermal receipt printer and for a 58 mm one that shrinks the layout,
# whose pages are then drawn as PNG pictures:
#   scripts/run-sample.sh [sandbox-folder]      (default: ./sample-run)
# The PDFs land in <sandbox>/printers/COMANDERA/, the .prn files (the exact
# bytes the receipt printer would get) and their .png pictures in
# <sandbox>/escpos/COMANDERA/ and <sandbox>/escpos-58mm/COMANDERA/.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${KALVENOR_BUILD:-$root/build}
"$root/scripts/setup.sh"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j2 --target kalvenor >/dev/null

sandbox=$(realpath -m "${1:-$root/sample-run}")
rm -rf "$sandbox"
mkdir -p "$sandbox"/{C/CAJA,C/VENTAS,C/ZOV,C/CAE/RTA,H/COMANDAS,printers/COMANDERA,printers/OFICINA}
mkdir -p "$sandbox"/escpos/{COMANDERA,OFICINA} "$sandbox"/escpos-58mm/{COMANDERA,OFICINA}
ex="$root/examples"
cp "$ex/KALVENOR.INI" "$sandbox/C/CAJA/"
cp "$ex/COMANRNG.ZOV" "$sandbox/C/ZOV/"
cp "$ex/R-001234.csv" "$sandbox/C/CAE/RTA/"
# The receipt printer's settings (all but kalvenor-output are the defaults).
printf '%s\n' kalvenor-output=escpos kalvenor-escpos-width=576 kalvenor-escpos-dpi=203 \
  kalvenor-escpos-cut=partial >"$sandbox/escpos/COMANDERA/kalvenor-options"
# A 58 mm roll (384 dots): the 80 mm layout shrunk to fit.
printf '%s\n' kalvenor-output=escpos kalvenor-escpos-width=384 kalvenor-escpos-dpi=203 \
  kalvenor-escpos-cut=partial kalvenor-escpos-fit=scale >"$sandbox/escpos-58mm/COMANDERA/kalvenor-options"

export KALVENOR_DRIVE_C="$sandbox/C" KALVENOR_DRIVE_H="$sandbox/H" KALVENOR_DEFAULT_PRINTER=OFICINA
cd "$sandbox/C/CAJA"
status=0
for printers in printers escpos escpos-58mm; do
  # A job rewrites its slip: each printer starts from the examples.
  cp "$ex/C0001234.TXT" "$ex/ETIQUE01.TXT" "$sandbox/C/VENTAS/"
  export KALVENOR_PRINTER_DIR="$sandbox/$printers" KALVENOR_TRACE="$sandbox/trace.jsonl"
  [ "$printers" = printers ] || KALVENOR_TRACE="$sandbox/trace-$printers.jsonl"
  echo "== $KALVENOR_PRINTER_DIR/COMANDERA"
  "$build/kalvenor" '\VENTAS\C0001234.TXT' '\VENTAS\LOG.TXT' N S || status=$?
  echo "comanda job (exit $status), log:"; sed 's/^/  /' "$sandbox/C/VENTAS/LOG.TXT"
  "$build/kalvenor" '\VENTAS\ETIQUE01.TXT' '\VENTAS\LOGETQ.TXT' N S || status=$?
  echo "label job (exit $status), log:"; sed 's/^/  /' "$sandbox/C/VENTAS/LOGETQ.TXT"
  echo "trace: $KALVENOR_TRACE"
done
# Each stream read strictly, as the printer would, and drawn as a picture:
# the package's kalvenor-escpos-preview command, here from the source tree.
kalvenor-escpos-preview() { python3 "$root/scripts/escpos_page.py" "$@"; }
for prn in "$sandbox"/escpos/COMANDERA/*.prn "$sandbox"/escpos-58mm/COMANDERA/*.prn; do
  echo "$(basename "$prn"): $(kalvenor-escpos-preview "$prn" "${prn%.prn}.png")"
done
echo "PDFs in $sandbox/printers/COMANDERA:"
(cd "$sandbox/printers/COMANDERA" && printf "  %s\n" *)
for printers in escpos escpos-58mm; do
  echo "ESC/POS streams and their pictures in $sandbox/$printers/COMANDERA:"
  (cd "$sandbox/$printers/COMANDERA" && printf "  %s\n" *)
done
exit "$status"
