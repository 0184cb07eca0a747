#!/usr/bin/env bash
# Renders the pictures the README shows from a fresh sample run, so that they
# show what the program prints now:
#   docs/sample-receipt.png   the first printed copy of examples/C0001234.TXT
#   docs/sample-label.png     the first label of examples/ETIQUE01.TXT
# Runs scripts/run-sample.sh in a scratch folder, then turns the PDFs into
# black-and-white PNGs at 150 dpi (a thermal printer prints black dots only),
# made smaller with optipng when it is installed.
#   scripts/readme-pictures.sh
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
die() { echo "readme-pictures: $*" >&2; exit 1; }
command -v pdftoppm >/dev/null 2>&1 || die "pdftoppm not found (run scripts/setup.sh)"
sandbox=$(mktemp -d /tmp/kalvenor-readme-pictures.XXXXXX)
trap 'rm -rf "$sandbox"' EXIT
"$root/scripts/run-sample.sh" "$sandbox/run" >/dev/null

# The trace names every document's file in print order: the comanda job's
# copies first, then the label job's labels, each job counting from doc 1.
trace="$sandbox/run/trace.jsonl"
outputs=$(grep '"op":"enddoc"' "$trace" | sed -n 's/.*"doc":\([0-9]*\),.*"output":"\([^"]*\)".*/\1 \2/p')
receipt=$(awk 'NR == 1 { print $2 }' <<<"$outputs")
label=$(awk '$1 == 1 { last = $2 } END { print last }' <<<"$outputs")
if [ -z "$receipt" ] || [ -z "$label" ] || [ "$receipt" = "$label" ]; then
  die "no receipt and label in $trace"
fi

mkdir -p "$root/docs"
render() {  # render PDF NAME
  pdftoppm -r 150 -mono -png -singlefile "$1" "$sandbox/$2"
  if command -v optipng >/dev/null 2>&1; then optipng -quiet -o5 -strip all "$sandbox/$2.png"; fi
  mv "$sandbox/$2.png" "$root/docs/$2.png"
  echo "docs/$2.png ($(stat -c %s "$root/docs/$2.png") bytes) from $(basename "$1")"
}
render "$receipt" sample-receipt
render "$label" sample-label
