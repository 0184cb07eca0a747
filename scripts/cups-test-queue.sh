#!/usr/bin/env bash
# Makes a local CUPS server with the test queue KALVENOR-COMANDERA, whose jobs
# become PDF files in one folder, and prints that folder on stdout (the only
# line on stdout; progress goes to stderr).
#
# Starts cupsd when none answers, adds the queue with the cups-pdf back end
# and gives the queue its own cups-pdf configuration (the device URI
# cups-pdf:/KALVENOR makes the back end read /etc/cups/cups-pdf-KALVENOR.conf),
# so the system-wide cups-pdf settings stay untouched. Safe to run again.
# Needs root (cupsd, lpadmin and /etc/cups). Exit status 0 when the queue is
# ready and accepting jobs.
set -euo pipefail

QUEUE="${KALVENOR_CUPS_QUEUE:-KALVENOR-COMANDERA}"
OUT_DIR="${KALVENOR_CUPS_PDF_OUT:-/var/spool/cups-pdf/KALVENOR}"
CONF_NAME="KALVENOR"
CONF_FILE="/etc/cups/cups-pdf-${CONF_NAME}.conf"

log() { echo "cups-test-queue: $*" >&2; }
die() { log "$*"; exit 1; }

[ "$(id -u)" -eq 0 ] || die "must run as root"
for tool in cupsd lpstat lpadmin cupsenable cupsaccept; do
  command -v "$tool" >/dev/null 2>&1 \
    || die "$tool not found (run scripts/setup.sh: cups, cups-client, cups-bsd)"
done
[ -x /usr/lib/cups/backend/cups-pdf ] \
  || die "cups-pdf back end not found (run scripts/setup.sh: printer-driver-cups-pdf)"

scheduler_running() { lpstat -r 2>/dev/null | grep -q 'is running'; }

# --- the server ---------------------------------------------------------------
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

# --- where cups-pdf writes --------------------------------------------------------
# cups-pdf runs as the job's user, or as nobody for a user unknown here, so the
# folder is world-writable with the sticky bit, like /tmp, and the files are
# made readable by everyone.
mkdir -p "$OUT_DIR"
chmod 1777 "$OUT_DIR"
new_conf="$(mktemp "${CONF_FILE}.XXXXXX")"
cat >"$new_conf" <<EOF
# cups-pdf settings of the queue $QUEUE (written by cups-test-queue.sh).
Out $OUT_DIR
AnonDirName $OUT_DIR
AnonUMask 0022
UserUMask 0022
Grp lpadmin
EOF
chmod 0644 "$new_conf"
mv -f "$new_conf" "$CONF_FILE"

# --- the queue ------------------------------------------------------------------
ppd_model="$(lpinfo -m 2>/dev/null | awk '/CUPS-PDF_opt\.ppd/ { print $1; exit }')"
[ -n "$ppd_model" ] \
  || ppd_model="$(lpinfo -m 2>/dev/null | awk '/CUPS-PDF/ { print $1; exit }')"
[ -n "$ppd_model" ] || die "no cups-pdf driver in 'lpinfo -m'"

if ! lpstat -v "$QUEUE" >/dev/null 2>&1; then
  log "adding queue $QUEUE ($ppd_model)"
  lpadmin -p "$QUEUE" -v "cups-pdf:/$CONF_NAME" -m "$ppd_model" \
    -D "Kalvenor test comandera (PDF)" -o printer-error-policy=abort-job
else
  lpadmin -p "$QUEUE" -v "cups-pdf:/$CONF_NAME"
fi
# Every file is named "<title>...-job_<job id>.pdf", so documents with one
# title never replace each other and a test finds the file of its job id.
lpadmin -p "$QUEUE" -o Label=2
# cups-pdf turns PostScript into its PDF in about half the time it needs for
# a PDF (which it first converts to PostScript), so this queue gets PostScript.
lpadmin -p "$QUEUE" -o kalvenor-output-default=postscript
cupsenable "$QUEUE"
cupsaccept "$QUEUE"

lpstat -p "$QUEUE" 2>/dev/null | grep -q 'enabled' || die "queue $QUEUE is not enabled"
lpstat -a "$QUEUE" 2>/dev/null | grep -q 'accepting' || die "queue $QUEUE is not accepting jobs"
log "queue $QUEUE ready; PDFs appear in $OUT_DIR"
echo "$OUT_DIR"
