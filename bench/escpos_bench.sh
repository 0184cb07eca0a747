#!/usr/bin/env bash
# Times the whole Kalvenor job on the slip of bench/job_bench.sh (three-copy
# PAMI slip, 30 item lines, EAN, Code 128 and the built-in QR; two receipts):
#   1. alternations (hyperfine, every command once a round), each command
#      after its own preparation:
#        kalvenor, ESC/POS, warm cache   two .prn streams (576 dots, 203 dpi)
#        kalvenor, PDF, warm cache       two PDFs
#        kalvenor, ESC/POS, cold cache   the same with the font cache emptied
#        kalvenor, PDF, cold cache         before every run
#        kalvenor --version              the start alone: its libraries loaded
#        [the same jobs with the program of REV, built here: the baseline]
#        cupsfilter                      CUPS's text-to-PDF of the slip's text alone
#        paps                            pango's text to PostScript of the text alone
#                                          (CP437, DejaVu Sans Mono 9)
#      with each median's ratio to cupsfilter and to paps, the peak memory
#      of the jobs, the libraries each warm job loads, and their
#      instructions (bench/instructions.sh). The trace must show the
#      barcodes drawn, and the streams must read as good ESC/POS.
#   2. through CUPS (root): from start until the stand-in ESC/POS printer
#      (testing/fake_status_printer.py behind a raw queue) has received the last
#      byte of the last receipt, against `lp` of the slip's text on the
#      cups-pdf queue KALVENOR-COMANDERA until its PDF is complete
#      (bench/cups_wait.sh). Both queues live on cupsds of their own on
#      127.0.0.1, so this machine's queues and /etc/cups stay as they are.
#   bench/escpos_bench.sh [runs] [cups-runs] [REV]   (default 30 alternations and 10 CUPS runs,
#                                                      after warm-up runs)
# KALVENOR_BUILD names the build folder (default build-bench, built here).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/scripts/cupsd-conf.sh"
build=${KALVENOR_BUILD:-$root/build-bench}
runs=${1:-30}
cups_runs=${2:-10}
baseline=${3:-}
for tool in hyperfine cupsfilter paps python3; do
  command -v "$tool" >/dev/null || { echo "escpos_bench: $tool missing (scripts/setup.sh)" >&2; exit 1; }
done
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j2 --target kalvenor kalvenor_floor >/dev/null
if [ -n "$baseline" ]; then
  # The program of REV, from a worktree of its own, built once per revision.
  rev=$(git -C "$root" rev-parse --short "$baseline")
  base_src="$root/build-baseline-$rev/src" base_build="$root/build-baseline-$rev/build"
  [ -d "$base_src" ] || git -C "$root" worktree add --detach "$base_src" "$rev" >/dev/null 2>&1
  cmake -S "$base_src" -B "$base_build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
  cmake --build "$base_build" -j2 --target kalvenor >/dev/null
fi

source "$root/bench/sample_box.sh"
mkdir -p "$box/printer"
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; wait "$pid" 2>/dev/null || true; done
  "$root/scripts/cups-test-queue.sh" --stop "$box/pdf-cups"
  rm -rf "$box"
}
trap cleanup EXIT
args="'\\VENTAS\\C0001234.TXT' '\\VENTAS\\LOG.TXT' N S"
kalvenor="$build/kalvenor $args"

# The job must print what the benchmark claims: two receipts with their
# symbols, each stream read strictly.
"$box/prepare"
KALVENOR_TRACE="$box/trace.jsonl" KALVENOR_PRINTER_DIR="$box/escpos" "${job[@]}"
python3 "$root/bench/check_symbols.py" "$box/trace.jsonl" escpos_bench
for prn in "$box"/escpos/COMANDERA/000001.prn "$box"/escpos/COMANDERA/000002.prn; do
  python3 "$root/scripts/escpos_page.py" "$prn" >/dev/null \
    || { echo "escpos_bench: $prn is not a good ESC/POS stream" >&2; exit 1; }
done
rm -f "$box/trace.jsonl"

# What each job loads with a warm cache: its libraries, as the dynamic
# loader names them. No pango, curl or GTK; on the dot printer no cairo or
# fontconfig either.
loaded() { "$box/prepare"; LD_DEBUG=files "$@" 2>&1 >/dev/null | sed -n 's/^[[:space:]]*[0-9]*:[[:space:]]*file=\([^ ;]*\).*/\1/p' | sort -u; }
echo "== libraries of each job with a warm cache" >&2
for kind in escpos pdf; do
  libs=$(KALVENOR_PRINTER_DIR="$box/$kind" loaded "${job[@]}")
  echo "  $kind: $(wc -l <<<"$libs") libraries: $(tr '\n' ' ' <<<"$libs")" >&2
  unwanted='pango|curl|gtk|kalvenor-text|kalvenor-net'
  [ "$kind" = escpos ] && unwanted+='|cairo|fontconfig|pixman'
  if grep -E "$unwanted" <<<"$libs" >&2; then
    echo "escpos_bench: the warm $kind job loads the above" >&2
    exit 1
  fi
done

# The timed jobs print on one folder printer, made ESC/POS or PDF by each
# command's preparation (its kalvenor-options), so that every command,
# the peers' too, is started directly: no `env` process before the job.
# The warm jobs of this program, those of the baseline and the cold jobs
# each keep a font cache of their own (the baseline's is of another
# version, a cold job's is emptied): a preparation puts the right one in
# place as box/cache.
mkdir -p "$box/timed/COMANDERA"
cat >"$box/use-cache" <<'USE'
#!/bin/sh
# use-cache BOX OWNER: makes BOX/cache the font cache of OWNER (mine, base or cold).
current=$(cat "$1/cache-owner" 2>/dev/null || echo mine)
[ "$current" = "$2" ] && exit 0
if [ -d "$1/cache" ]; then mv "$1/cache" "$1/cache-$current"; fi
if [ -d "$1/cache-$2" ]; then mv "$1/cache-$2" "$1/cache"; fi
echo "$2" >"$1/cache-owner"
USE
chmod +x "$box/use-cache"
for kind in escpos pdf; do
  options=$([ "$kind" = escpos ] && echo "printf 'kalvenor-output=escpos\\n' >" || echo "rm -f")
  for owner in mine base cold; do
    {
      printf '#!/bin/sh\n"%s/prepare"\n"%s/use-cache" "%s" %s\n' "$box" "$box" "$box" "$owner"
      [ "$owner" = cold ] && printf 'rm -rf "%s/cache"\n' "$box"
      printf 'rm -f "%s"/timed/COMANDERA/0*\n%s "%s/timed/COMANDERA/kalvenor-options"\n' "$box" "$options" "$box"
    } >"$box/prepare-$kind-$owner"
    chmod +x "$box/prepare-$kind-$owner"
  done
done
# Each baseline job right after the same job of this program.
commands=(--command-name "kalvenor, ESC/POS, warm cache" --prepare "$box/prepare-escpos-mine" "$kalvenor")
[ -n "$baseline" ] && commands+=(--command-name "kalvenor $rev, ESC/POS" --prepare "$box/prepare-escpos-base"
  "$base_build/kalvenor $args")
commands+=(--command-name "kalvenor, PDF, warm cache" --prepare "$box/prepare-pdf-mine" "$kalvenor")
[ -n "$baseline" ] && commands+=(--command-name "kalvenor $rev, PDF" --prepare "$box/prepare-pdf-base"
  "$base_build/kalvenor $args")
commands+=(--command-name "kalvenor, ESC/POS, cold cache" --prepare "$box/prepare-escpos-cold" "$kalvenor"
  --command-name "kalvenor, PDF, cold cache" --prepare "$box/prepare-pdf-cold" "$kalvenor"
  --command-name "kalvenor --version: start, libraries loaded" --prepare "$box/prepare" "$build/kalvenor --version")
for kind in escpos pdf; do
  "$box/prepare-$kind-mine"
  KALVENOR_PRINTER_DIR="$box/timed" "${job[@]}"
  ls "$box"/timed/COMANDERA/000002.* | grep -q "\.$([ "$kind" = escpos ] && echo prn || echo pdf)\$" \
    || { echo "escpos_bench: the timed $kind job printed no second receipt of its kind" >&2; exit 1; }
done
peers=$((${#commands[@]} / 5 + 1))  # five words a command
commands+=(--command-name "cupsfilter -m application/pdf (text)" --prepare "$box/prepare"
  "cupsfilter -m application/pdf $box/slip-text.txt"
  --command-name "paps, CP437, DejaVu Sans Mono 9 (text)" --prepare "$box/prepare"
  "paps --encoding=CP437 --font=\"DejaVu Sans Mono 9\" $box/slip-text-437.txt")
load_before=$(cut -d' ' -f1-3 /proc/loadavg)
# Alternations: a round runs every command once, in the order above, so
# that what the machine does meanwhile falls on all of them alike; three
# rounds first, not counted, fill the caches.
echo "== whole job on folder printers, $runs alternations" >&2
rounds=()
for round in $(seq -2 "$runs"); do
  KALVENOR_PRINTER_DIR="$box/timed" hyperfine -N --runs 1 --export-json "$box/round-$round.json" \
    "${commands[@]}" >/dev/null 2>"$box/round.err" || { cat "$box/round.err" >&2; exit 1; }
  [ "$round" -ge 1 ] && rounds+=("$box/round-$round.json")
done
python3 "$root/bench/rounds.py" "${rounds[@]}" >"$box/folder.json"
grep -q 'Finalizo correctamente' "$box/C/VENTAS/LOG.TXT" || { echo "escpos_bench: the job failed" >&2; exit 1; }
"$box/use-cache" "$box" mine
echo
echo "Whole job, $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | xargs), medians of $runs" \
  "alternations, load average $load_before before and $(cut -d' ' -f1-3 /proc/loadavg) after:"
# Peak memory (resident set) of one run of each job, after a run that makes
# the cache this program's (the baseline's jobs keep theirs in the same
# folder); a cold preparation empties it again.
peak() {
  "$1"
  "${@:2}" >/dev/null 2>&1
  "$1"
  /usr/bin/time -f %M -o "$box/mem" "${@:2}" >/dev/null 2>&1
  cat "$box/mem"
}
# The table's positions of this program's warm ESC/POS and PDF jobs, then
# its cold ones (a baseline's jobs come between).
positions=(1 2 3 4)
[ -n "$baseline" ] && positions=(1 3 5 6)
memory=()
i=0
for prepare in prepare prepare prepare-cold prepare-cold; do
  kind=$([ $((i % 2)) -eq 0 ] && echo escpos || echo pdf)
  memory+=("${positions[$i]}=$(KALVENOR_PRINTER_DIR="$box/$kind" peak "$box/$prepare" "${job[@]}")")
  i=$((i + 1))
done
python3 "$root/bench/report.py" "$box/folder.json" vs=$peers,$((peers + 1)) "${memory[@]}"

# Instructions (callgrind) of each job.
echo
"$root/bench/instructions.sh" "$build"

# --- through CUPS ---------------------------------------------------------------
[ "$cups_runs" -gt 0 ] || exit 0
if [ "$(id -u)" -ne 0 ]; then
  echo "escpos_bench: through CUPS skipped (needs root)" >&2
  exit 0
fi
# The cups-pdf queue on a cupsd of its own too (its CUPS_SERVER is exported
# for lp; the Kalvenor job names the raw queue's server itself).
queue=KALVENOR-COMANDERA
settings=$("$root/scripts/cups-test-queue.sh" --private "$box/pdf-cups")
while read -r setting; do export "${setting?}"; done <<<"$settings"
out=$KALVENOR_CUPS_PDF_OUT
server="127.0.0.1:$(free_port)"
write_cupsd_conf "$box/cups" "$server"
cupsd -f -c "$box/cups/conf/cupsd.conf" -s "$box/cups/conf/cups-files.conf" &
pids+=($!)
# The stand-in printer runs until its standard input ends: a FIFO held open
# for reading and writing by this script, so it ends with the script.
mkdir -p "$box/printer"
mkfifo "$box/printer-input"
exec 3<>"$box/printer-input"
python3 "$root/testing/fake_status_printer.py" "$box/record.json" --streams "$box/printer" <&3 >"$box/printer-said" &
pids+=($!)
for _ in $(seq 1 100); do
  lpstat -h "$server" -r 2>/dev/null | grep -q 'is running' && grep -q '^port ' "$box/printer-said" && break
  sleep 0.1
done
port=$(sed -n 's/^port //p' "$box/printer-said")
lpadmin -h "$server" -p BENCH-COMANDERA -E -m raw -v "socket://127.0.0.1:$port/?snmp=false" \
  -o kalvenor-output-default=escpos 2>/dev/null || { echo "escpos_bench: no raw queue on $server" >&2; exit 1; }

# Runs the job, then waits until the stand-in printer has every document
# the trace names (a job-N.prn appears once its connection has ended).
cat >"$box/escpos-wait" <<WAIT
#!/bin/sh
KALVENOR_TRACE="$box/trace.jsonl" CUPS_SERVER=$server $kalvenor || exit 1
docs=\$(grep -c '"op":"enddoc"' "$box/trace.jsonl")
for _ in \$(seq 1 6000); do
  [ "\$(find "$box/printer" -name 'job-*.prn' | wc -l)" -ge "\$docs" ] && exit 0
  sleep 0.005
done
echo "escpos-wait: the printer did not get \$docs documents in 30 s" >&2
exit 1
WAIT
chmod +x "$box/escpos-wait"
printf '#!/bin/sh\n"%s/prepare"\nrm -f "%s/trace.jsonl" "%s"/printer/job-*\n' "$box" "$box" "$box" >"$box/prepare-cups"
chmod +x "$box/prepare-cups"

echo "== through CUPS, $cups_runs runs" >&2
hyperfine -N --warmup 1 --runs "$cups_runs" --prepare "$box/prepare-cups" --prepare "$box/prepare" \
  --export-json "$box/cups.json" \
  --command-name "kalvenor, raw queue to the ESC/POS printer" "$box/escpos-wait" \
  --command-name "lp of the text, cups-pdf queue" "$root/bench/cups_wait.sh $out lp -d $queue $box/slip-text.txt" >&2
# Every stream, read strictly by the stand-in printer, which says "job-N ok"
# (or why not) just after it keeps job-N.prn.
last=$(find "$box/printer" -name 'job-*.prn' | sed 's/.*job-\([0-9]*\)\.prn/\1/' | sort -n | tail -n 1)
for _ in $(seq 1 100); do grep -q "^job-$last " "$box/printer-said" && break; sleep 0.05; done
if grep -q '^job-[0-9]* error' "$box/printer-said" || ! grep -q "^job-$last ok" "$box/printer-said"; then
  echo "escpos_bench: the printer rejected a stream: $(grep -v ' ok$' "$box/printer-said")" >&2
  exit 1
fi
echo
echo "Through CUPS, $cups_runs runs:"
python3 "$root/bench/report.py" "$box/cups.json"
echo "load: $(uptime)"
