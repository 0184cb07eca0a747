#!/usr/bin/env bash
# A counter that prints through the store's print server: with CUPS_SERVER
# set, the job's documents reach that server's COMANDERA queue and the local
# server gets none of them.
#   scripts/cups-server-test.sh [kalvenor-binary]    (default: build/kalvenor)
# Starts a cupsd of its own on 127.0.0.1 at a free port (configuration,
# spool, cache and logs in a scratch folder; the system cupsd is left alone),
# adds TIENDA-COMANDERA there as the README adds a driver queue (a PostScript
# driver, the 80 mm roll as its PageSize) whose printer is a small listener on
# 127.0.0.1 that keeps every job it receives as a file,
# prints the example slip with CUPS_SERVER=127.0.0.1:PORT and checks the
# trace, the second server's jobs, that every page the printer got is 80 mm
# wide, and that the local server has no job of the test's user. The local
# server is the one CUPS_SERVER names when the caller set it (scripts/test.sh:
# the suite's own, with KALVENOR-COMANDERA), else a private one with the test
# queue (scripts/cups-test-queue.sh --private). Needs root (cupsd); skipped
# with a message otherwise.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/scripts/cupsd-conf.sh"
kalvenor=$(realpath -m "${1:-$root/build/kalvenor}")
QUEUE=TIENDA-COMANDERA

test_name=cups-server-test
. "$root/scripts/cups-test-common.sh"
need_root_and cupsd lpadmin lpstat python3 ps2pdf pdfinfo
[ -x "$kalvenor" ] || die "no program at $kalvenor"
start_scratch cups-server
stop_servers() { "$root/scripts/cups-test-queue.sh" --stop "$dir/local"; }
mkdir -p "$dir/out"

# The local server with a COMANDERA queue, which a job that ignored
# CUPS_SERVER would find.
if [ -z "${CUPS_SERVER:-}" ]; then
  settings=$("$root/scripts/cups-test-queue.sh" --private "$dir/local") || die "no local CUPS server"
  while read -r setting; do export "${setting?}"; done <<<"$settings"
fi
server="127.0.0.1:$(free_port)"

# The printer: every connection's bytes become out/job-N.
printer_port=$(free_port)
python3 -c '
import socket, sys
listener = socket.create_server(("127.0.0.1", int(sys.argv[1])))
count = 0
while True:
    connection, _ = listener.accept()
    count += 1
    with connection, open(f"{sys.argv[2]}/job-{count}", "wb") as out:
        while data := connection.recv(65536):
            out.write(data)
' "$printer_port" "$dir/out" &
pids+=($!)

start_cupsd "$server"
lpadmin -h "$server" -p "$QUEUE" -E -v "socket://127.0.0.1:$printer_port" \
  -m lsb/usr/cups-pdf/CUPS-PDF_opt.ppd -o PageSize=Custom.80x297mm -o media-default=Custom.80x297mm 2>/dev/null \
  || die "lpadmin on $server"
log "second server on $server, driver queue $QUEUE"

# --- the job ----------------------------------------------------------------------
work="$dir/srv"
mkdir -p "$work"/{C/CAJA,C/VENTAS,C/ZOV,C/CAE/RTA,H/COMANDAS}
ex="$root/examples"
cp "$ex/C0001234.TXT" "$work/C/VENTAS/"
cp "$ex/KALVENOR.INI" "$work/C/CAJA/"
cp "$ex/COMANRNG.ZOV" "$work/C/ZOV/"
cp "$ex/R-001234.csv" "$work/C/CAE/RTA/"
user="kalvenor-store-$$"
(cd "$work/C/CAJA" && env -i PATH=/usr/bin:/bin HOME="$dir" \
   KALVENOR_DRIVE_C="$work/C" KALVENOR_DRIVE_H="$work/H" KALVENOR_TRACE="$work/trace.jsonl" \
   KALVENOR_CUPS_WAIT=30 CUPS_SERVER="$server" CUPS_USER="$user" \
   "$kalvenor" '\VENTAS\C0001234.TXT' '\VENTAS\LOG.TXT' N S) || die "the job ended with $?"
second=$(sed -n 2p "$work/C/VENTAS/LOG.TXT" | tr -d '\r')
[ "$second" = "Finalizo correctamente." ] || die "the log says: $(tr -d '\r' <"$work/C/VENTAS/LOG.TXT")"

# Every document is a job of the second server's queue.
docs=$(grep -c '"op":"enddoc"' "$work/trace.jsonl" || true)
[ "$docs" -ge 1 ] || die "no document in the trace"
store_docs=$(grep '"op":"enddoc"' "$work/trace.jsonl" | grep -c "\"printer\":\"$QUEUE\"" || true)
[ "$store_docs" -eq "$docs" ] || die "$store_docs of $docs documents went to $QUEUE: $(grep enddoc "$work/trace.jsonl")"
store_jobs=$(lpstat -h "$server" -W completed -o "$QUEUE" | grep -c " $user " || true)
[ "$store_jobs" -eq "$docs" ] || die "$store_jobs completed jobs of $user on $server, $docs documents"
printed=0
for job in "$dir"/out/job-*; do
  [ -f "$job" ] || continue
  head -c 5 "$job" | grep -Eq '^(%PDF-|%!PS)' || die "the printer got $(basename "$job"), not a document"
  # As wide as the roll: 80 mm = 226.8 pt, within half a millimetre.
  ps2pdf "$job" "$job.pdf" 2>/dev/null || die "$(basename "$job") does not convert to PDF"
  width=$(pdfinfo "$job.pdf" | awk '/^Page size:/ { print $3 }')
  awk -v w="${width:-0}" 'BEGIN { exit !(w >= 225.4 && w <= 228.2) }' \
    || die "the printer got $(basename "$job") ${width:-?} pt wide, not 80 mm"
  printed=$((printed + 1))
done
[ "$printed" -eq "$docs" ] || die "the printer behind $QUEUE got $printed documents, not $docs"
# The local server has no job of this user.
if lpstat -W all -o 2>/dev/null | grep -q " $user "; then
  die "the local CUPS server got a job of $user"
fi
log "passed: $docs documents on $server ($QUEUE), each 80 mm wide, none on the local server"
