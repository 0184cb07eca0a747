#!/usr/bin/env bash
# The kalvenor back end under a real cupsd: a job on a printer that is ready
# completes and prints once; a job on a printer out of paper is cancelled with
# the reason as its job-printer-state-message while the queue keeps accepting
# and printing; an unconfirmed job is cancelled and the printer's buffer
# cleared; a bad URI cancels the job.
# Then the program itself on a COMANDERA queue of the back end: ESC/POS by
# default, the job followed to its end, the back end's reason in its log, and
# PDF on such a queue an error before anything is sent.
#   scripts/cups-backend-test.sh [back-end [kalvenor]]   (default: build/backend/kalvenor, build/kalvenor)
# Starts a cupsd of its own on 127.0.0.1 at a free port, whose ServerBin is a
# copy of /usr/lib/cups with the back end added (the system cupsd and its
# queues are left alone); the printers are testing/fake_status_printer.py.
# Needs root (cupsd); skipped with a message otherwise.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/scripts/cupsd-conf.sh"
backend=$(realpath -m "${1:-$root/build/backend/kalvenor}")
kalvenor=$(realpath -m "${2:-$root/build/kalvenor}")

test_name=cups-backend-test
. "$root/scripts/cups-test-common.sh"
need_root_and cupsd lpadmin lp lpstat ipptool python3
[ -x "$backend" ] || die "no back end at $backend"
[ -x "$kalvenor" ] || die "no program at $kalvenor"
start_scratch cups-backend
cp -a /usr/lib/cups "$dir/serverbin"
install -m 0755 "$backend" "$dir/serverbin/backend/kalvenor"
server="127.0.0.1:$(free_port)"

# fake NAME FLAGS...: a printer whose port is then in $port; it ends with the test.
fake() {
  local name=$1
  shift
  mkfifo "$dir/$name.in"
  python3 "$root/testing/fake_status_printer.py" "$dir/$name.json" "$@" <"$dir/$name.in" >"$dir/$name.out" &
  pids+=($!)
  exec {keep}>"$dir/$name.in"  # its standard input stays open
  for _ in $(seq 1 100); do
    grep -q '^port ' "$dir/$name.out" && break
    sleep 0.1
  done
  port=$(sed -n 's/^port //p' "$dir/$name.out")
  [ -n "$port" ] || die "the fake printer $name did not start"
}
field() { python3 -c 'import json, sys; print(json.load(open(sys.argv[1]))[sys.argv[2]])' "$dir/$1.json" "$2"; }

start_cupsd "$server" "$dir/serverbin"

cat >"$dir/job-state.test" <<'EOF'
{
  OPERATION Get-Job-Attributes
  GROUP operation-attributes-tag
  ATTR charset attributes-charset utf-8
  ATTR naturalLanguage attributes-natural-language en
  ATTR uri printer-uri $uri
  ATTR integer job-id $job
  ATTR keyword requested-attributes job-state,job-printer-state-message
  DISPLAY job-state
  DISPLAY job-printer-state-message
}
EOF
printf '\033@receipt\n\035VB\000' >"$dir/receipt.prn"

# queue NAME URI: a raw queue on the back end.
queue() {
  lpadmin -h "$server" -p "$1" -E -v "$2" -m raw 2>"$dir/lpadmin.err" || die "lpadmin $1: $(cat "$dir/lpadmin.err")"
}
# print QUEUE: the job's end, "STATE MESSAGE" (job-state 9 completed, 7 cancelled).
print() {
  local id state=""
  id=$(lp -h "$server" -d "$1" "$dir/receipt.prn" | sed -n 's/^request id is [^ ]*-\([0-9]*\) .*/\1/p')
  [ -n "$id" ] || die "lp on $1"
  for _ in $(seq 1 300); do
    ipptool -c "ipp://$server/printers/$1" -d job="$id" "$dir/job-state.test" >"$dir/state.txt" 2>&1 || true
    state=$(sed -n '2s/,.*//p' "$dir/state.txt")
    case "$state" in completed|canceled|aborted) break ;; esac
    sleep 0.1
  done
  echo "$state $(sed -n '2s/^[^,]*,//p' "$dir/state.txt")"
}
expect() {  # what got want
  [[ "$2" == $3 ]] || die "$1: got '$2', expected '$3'"
}

fake ready
queue READY "kalvenor://127.0.0.1:$port/?wait=2"
expect "ready printer" "$(print READY)" "completed*"
expect "ready printer, receipts" "$(field ready receipts)" 1

# Out of paper: the job is cancelled; the queue keeps running and prints once paper is in.
fake empty --empty
queue EMPTY "kalvenor://127.0.0.1:$port/?wait=2"
expect "out of paper" "$(print EMPTY)" "canceled *paper out*"
lpstat -h "$server" -p EMPTY | grep -q enabled || die "the queue stopped after a cancelled job"
lpstat -h "$server" -a EMPTY | grep -q 'accepting requests' || die "the queue no longer accepts jobs"
echo reload >"$dir/empty.in"
expect "paper reloaded" "$(print EMPTY)" "completed*"
expect "paper reloaded, receipts" "$(field empty receipts)" 1

fake noids --no-ids
queue NOIDS "kalvenor://127.0.0.1:$port/?wait=1"
expect "no process IDs" "$(print NOIDS)" "canceled *not confirmed*"
expect "no process IDs, cleared" "$(field noids cleared)" 1

queue BADURI "kalvenor://127.0.0.1:$port/?colour=red"
expect "bad URI" "$(print BADURI)" "canceled *bad device URI*"

# --- the program on a queue of the back end ----------------------------------------
work="$dir/counter"
mkdir -p "$work"/{C/CAJA,C/VENTAS,C/ZOV,C/CAE/RTA,H/COMANDAS}
cp "$root/examples/C0001234.TXT" "$work/C/VENTAS/"
cp "$root/examples/KALVENOR.INI" "$work/C/CAJA/"
cp "$root/examples/COMANRNG.ZOV" "$work/C/ZOV/"
cp "$root/examples/R-001234.csv" "$work/C/CAE/RTA/"
# slip USER: prints the example slip on the COMANDERA queue as USER; its log in $log.
slip() {
  rm -f "$work/C/VENTAS/LOG.TXT" "$work/trace.jsonl"
  # The sanitizers' settings pass through (their leak suppressions).
  (cd "$work/C/CAJA" && env -i PATH=/usr/bin:/bin HOME="$dir" \
     ${LSAN_OPTIONS:+LSAN_OPTIONS="$LSAN_OPTIONS"} ${ASAN_OPTIONS:+ASAN_OPTIONS="$ASAN_OPTIONS"} \
     ${UBSAN_OPTIONS:+UBSAN_OPTIONS="$UBSAN_OPTIONS"} \
     KALVENOR_DRIVE_C="$work/C" KALVENOR_DRIVE_H="$work/H" KALVENOR_TRACE="$work/trace.jsonl" \
     CUPS_SERVER="$server" CUPS_USER="$1" \
     "$kalvenor" '\VENTAS\C0001234.TXT' '\VENTAS\LOG.TXT' N S) || die "the job ended with $?"
  log=$(tr -d '\r' <"$work/C/VENTAS/LOG.TXT")
}
jobs_of() { lpstat -h "$server" -W all -o KV-COMANDERA | grep -c " $1 " || true; }

fake counter
queue KV-COMANDERA "kalvenor://127.0.0.1:$port/?wait=3"
slip counter-ready
docs=$(grep -c '"op":"enddoc"' "$work/trace.jsonl" || true)
[[ "$log" == *"Finalizo correctamente."* ]] || die "ready printer, the log says: $log"
expect "documents printed" "$(field counter receipts)" "$docs"
expect "ESC/POS by default" "$(field counter printed)" "1b40*"

# Followed without KALVENOR_CUPS_WAIT: the back end's reason ends the run, no later document is sent.
fake counterempty --empty
queue KV-COMANDERA "kalvenor://127.0.0.1:$port/?wait=1"
slip counter-empty
expect "out of paper, the log" "$log" "*ERROR: Printer error: KV-COMANDERA: job * was cancelled*: paper out*"
expect "out of paper, jobs sent" "$(jobs_of counter-empty)" 1

lpadmin -h "$server" -p KV-COMANDERA -o kalvenor-output-default=pdf
slip counter-pdf
expect "PDF on the queue, the log" "$log" "*ERROR: Printer error: KV-COMANDERA: *kalvenor-output=pdf*"
expect "PDF on the queue, jobs sent" "$(jobs_of counter-pdf)" 0
log "passed: completed, cancelled with the back end's reason, the queue kept printing; the program follows it"
