#!/usr/bin/env bash
# The test queue KALVENOR-COMANDERA, whose jobs become PDF files in one folder
# (cups-pdf back end, an 80 mm roll as its paper). Needs root.
#
#   cups-test-queue.sh --private DIR   a cupsd of its own, configuration, spool,
#                                      cache, logs and PDFs in DIR (made if
#                                      missing), listening on a free 127.0.0.1
#                                      port. Prints two lines for the caller's
#                                      environment:
#                                        CUPS_SERVER=127.0.0.1:PORT
#                                        KALVENOR_CUPS_PDF_OUT=DIR/pdf
#   cups-test-queue.sh --stop DIR      stops that cupsd and removes everything it
#                                      made, DIR included (also after a start that
#                                      failed half-way; safe to run twice).
#   cups-test-queue.sh                 the queue on this machine's own CUPS server
#                                      (a trial queue while setting up a counter;
#                                      remove it with lpadmin -x once the real
#                                      printer is in). Prints the PDF folder.
#
# Tests use --private only: a queue whose name contains COMANDERA on the
# machine's server would take every receipt of the counter's own queue.
#
# cups-pdf reads its settings only from /etc/cups/cups-pdf-NAME.conf, NAME
# taken from the device URI cups-pdf:/NAME. A private server's queue gets a
# NAME of its own (kalvenor-test-<random>, recorded in DIR), so no file that
# another queue reads is ever written, and --stop removes that one file.
# Exit status 0 when the queue is ready and accepting jobs.
set -euo pipefail
. "$(dirname "$0")/cupsd-conf.sh"

QUEUE="${KALVENOR_CUPS_QUEUE:-KALVENOR-COMANDERA}"
MEDIA=Custom.80x297mm  # 80 mm roll; each page is as long as its receipt

log() { echo "cups-test-queue: $*" >&2; }
die() {
  log "$*"
  [ -n "${dir:-}" ] && [ -f "$dir/log/error_log" ] && tail -n 20 "$dir/log/error_log" >&2
  exit 1
}

stop_private() {  # stop_private DIR
  local dir=$1 pid conf
  [ -d "$dir" ] || return 0
  if [ -f "$dir/cupsd.pid" ]; then
    pid=$(cat "$dir/cupsd.pid")
    # Only the cupsd this script started: its command line names DIR.
    if [ -n "$pid" ] && grep -qF "$dir/conf/cupsd.conf" "/proc/$pid/cmdline" 2>/dev/null; then
      kill "$pid" 2>/dev/null || true
      for _ in $(seq 1 100); do
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.05
      done
      kill -0 "$pid" 2>/dev/null && kill -KILL "$pid" 2>/dev/null
    fi
  fi
  if [ -f "$dir/cups-pdf-conf" ]; then
    conf=$(cat "$dir/cups-pdf-conf")
    case "$conf" in
      /etc/cups/cups-pdf-kalvenor-test-*.conf) rm -f "$conf" ;;
    esac
  fi
  rm -rf "$dir"
}

mode=system
case "${1:-}" in
  --private) mode=private ;;
  --stop) mode=stop ;;
  "") ;;
  *) die "usage: $0 [--private DIR | --stop DIR]" ;;
esac
if [ "$mode" != system ]; then
  [ -n "${2:-}" ] || die "usage: $0 $1 DIR"
  dir=$(realpath -m "$2")
fi
if [ "$mode" = stop ]; then
  stop_private "$dir"
  exit 0
fi

[ "$(id -u)" -eq 0 ] || die "must run as root"
for tool in cupsd lpstat lpadmin lpinfo cupsenable cupsaccept; do
  command -v "$tool" >/dev/null 2>&1 \
    || die "$tool not found (run scripts/setup.sh: cups, cups-client, cups-bsd)"
done
[ -x /usr/lib/cups/backend/cups-pdf ] \
  || die "cups-pdf back end not found (run scripts/setup.sh: printer-driver-cups-pdf)"

scheduler_running() { lpstat -r 2>/dev/null | grep -q 'is running'; }

# --- the server ---------------------------------------------------------------
if [ "$mode" = private ]; then
  mkdir -p "$dir"
  # Filters run as lp, cups-pdf as nobody: they must reach their folders.
  chmod 755 "$dir"
  mkdir -p "$dir"/{pdf,cups-pdf-spool}
  port=$(free_port)
  export CUPS_SERVER="127.0.0.1:$port"
  write_cupsd_conf "$dir" "$CUPS_SERVER"
  # Its own session and no terminal: a ctrl-c reaches the caller, whose trap
  # then runs --stop.
  setsid cupsd -f -c "$dir/conf/cupsd.conf" -s "$dir/conf/cups-files.conf" \
    </dev/null >>"$dir/log/cupsd.out" 2>&1 &
  echo $! >"$dir/cupsd.pid"
  for _ in $(seq 1 100); do
    scheduler_running && break
    kill -0 "$(cat "$dir/cupsd.pid")" 2>/dev/null || die "cupsd on $CUPS_SERVER ended"
    sleep 0.1
  done
  scheduler_running || die "cupsd on $CUPS_SERVER does not answer"
  conf_name="kalvenor-test-${port}-$(head -c 4 /dev/urandom | od -An -tx1 | tr -d ' \n')"
  out_dir="$dir/pdf"
  spool_dir="$dir/cups-pdf-spool"
  log_dir="$dir/log"
else
  if ! scheduler_running; then
    log "starting cupsd"
    mkdir -p /run/cups
    cupsd
    for _ in $(seq 1 100); do
      scheduler_running && break
      sleep 0.1
    done
    scheduler_running || die "cupsd did not start (see /var/log/cups/error_log)"
  fi
  conf_name=KALVENOR
  out_dir="${KALVENOR_CUPS_PDF_OUT:-/var/spool/cups-pdf/KALVENOR}"
  spool_dir=/var/spool/cups-pdf/SPOOL
  log_dir=/var/log/cups
fi
conf_file="/etc/cups/cups-pdf-${conf_name}.conf"

# --- where cups-pdf writes --------------------------------------------------------
# cups-pdf runs as the job's user, or as nobody for a user unknown here, so the
# folder is world-writable with the sticky bit, like /tmp, and the files are
# made readable by everyone.
mkdir -p "$out_dir"
chmod 1777 "$out_dir"
[ "$mode" = private ] && echo "$conf_file" >"$dir/cups-pdf-conf"
new_conf="$(mktemp "${conf_file}.XXXXXX")"
cat >"$new_conf" <<EOF
# cups-pdf settings of the queue $QUEUE (written by cups-test-queue.sh).
Out $out_dir
AnonDirName $out_dir
Spool $spool_dir
Log $log_dir
AnonUMask 0022
UserUMask 0022
Grp lpadmin
EOF
chmod 0644 "$new_conf"
mv -f "$new_conf" "$conf_file"

# --- the queue ------------------------------------------------------------------
ppd_model="$(lpinfo -m 2>/dev/null | awk '/CUPS-PDF_opt\.ppd/ { print $1; exit }')"
[ -n "$ppd_model" ] \
  || ppd_model="$(lpinfo -m 2>/dev/null | awk '/CUPS-PDF/ { print $1; exit }')"
[ -n "$ppd_model" ] || die "no cups-pdf driver in 'lpinfo -m'"

if ! lpstat -v "$QUEUE" >/dev/null 2>&1; then
  log "adding queue $QUEUE ($ppd_model) on ${CUPS_SERVER:-the local server}"
  lpadmin -p "$QUEUE" -v "cups-pdf:/$conf_name" -m "$ppd_model" \
    -D "Kalvenor test comandera (PDF)" -o printer-error-policy=abort-job
else
  lpadmin -p "$QUEUE" -v "cups-pdf:/$conf_name"
fi
# Every file is named "<title>...-job_<job id>.pdf", so documents with one
# title never replace each other and a test finds the file of its job id.
lpadmin -p "$QUEUE" -o Label=2
# cups-pdf turns PostScript into its PDF in about half the time it needs for
# a PDF (which it first converts to PostScript), so this queue gets PostScript.
lpadmin -p "$QUEUE" -o kalvenor-output-default=postscript
# The roll twice: PageSize is the paper the driver prints on (its default
# A4 would widen every receipt to 210 mm), media-default the width the queue
# states, which Kalvenor lays its pages out for.
lpadmin -p "$QUEUE" -o PageSize="$MEDIA" -o media-default="$MEDIA"
cupsenable "$QUEUE"
cupsaccept "$QUEUE"

lpstat -p "$QUEUE" 2>/dev/null | grep -q 'enabled' || die "queue $QUEUE is not enabled"
lpstat -a "$QUEUE" 2>/dev/null | grep -q 'accepting' || die "queue $QUEUE is not accepting jobs"
log "queue $QUEUE ready on ${CUPS_SERVER:-the local server}; PDFs appear in $out_dir"
if [ "$mode" = private ]; then
  echo "CUPS_SERVER=$CUPS_SERVER"
  echo "KALVENOR_CUPS_PDF_OUT=$out_dir"
else
  echo "$out_dir"
fi
