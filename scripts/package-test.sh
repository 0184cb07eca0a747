#!/usr/bin/env bash
# Builds the Debian package, installs it with apt on this machine, prints the
# example slip and label file with the installed /usr/bin/kalvenor on a folder
# printer in a scratch folder, checks the logs, the PDFs and their fonts and
# that "man kalvenor" finds the page, then removes the package again.
#   scripts/package-test.sh [build-folder]     (default: ./build-pkg)
# An existing build folder is reused (cpack builds what is out of date).
# Needs root or sudo (apt-get); without either it is skipped with a message.
# A kalvenor package installed before the test is replaced and then removed.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(realpath -m "${1:-$root/build-pkg}")
started=$SECONDS
export DEBIAN_FRONTEND=noninteractive

log() { echo "package-test: $*" >&2; }
die() { log "FAILED: $*"; exit 1; }

SUDO=""
if [ "$(id -u)" -ne 0 ]; then
  if sudo -n true 2>/dev/null; then SUDO="sudo"; else
    log "skipped: needs root or password-less sudo to install the package"
    exit 0
  fi
fi
for tool in cmake cpack apt-get dpkg dpkg-shlibdeps file; do
  command -v "$tool" >/dev/null 2>&1 || die "$tool not found (run scripts/setup.sh)"
done

# --- build the package --------------------------------------------------------
if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
fi
cmake --build "$build" -j2 >/dev/null
rm -f "$build"/kalvenor_*.deb "$build"/kalvenor-barcodes_*.deb
cpack_out=$(cd "$build" && cpack -G DEB 2>&1) || die "cpack -G DEB: $cpack_out"
debs=("$build"/kalvenor_*.deb)
[ -f "${debs[0]}" ] || die "no kalvenor_*.deb in $build"
deb=${debs[0]}
log "built $(basename "$deb") ($(du -k "$deb" | cut -f1) KiB)"
dpkg-deb -f "$deb" Depends | grep -q 'libcups2' || die "Depends has no shlibdeps entries: $(dpkg-deb -f "$deb" Depends)"

# --- install it ---------------------------------------------------------------
sandbox=$(mktemp -d /tmp/kalvenor-package-test.XXXXXX)
cleanup() {
  $SUDO apt-get purge -y -qq kalvenor-barcodes kalvenor >/dev/null 2>&1 || log "could not remove the package"
  rm -rf "$sandbox"
}
trap cleanup EXIT
# apt reads a local package as the unprivileged _apt user when it can; a copy
# in the world-readable scratch folder spares the "unsandboxed" notice.
chmod 755 "$sandbox"
cp "$deb" "$sandbox/"
apt_out=$(cd "$sandbox" && $SUDO apt-get install -y -qq "./$(basename "$deb")" 2>&1) \
  || die "apt-get install ./$(basename "$deb"): $apt_out"
[ -x /usr/bin/kalvenor ] || die "/usr/bin/kalvenor not installed"
[ -f /usr/share/kalvenor/kalvenor-fonts.conf ] || die "font aliases not installed"
# The barcode window comes in a package of its own, on top of the main one.
for window_deb in "$build"/kalvenor-barcodes_*.deb; do
  [ -f "$window_deb" ] || continue
  cp "$window_deb" "$sandbox/"
  apt_out=$(cd "$sandbox" && $SUDO apt-get install -y -qq "./$(basename "$window_deb")" 2>&1) \
    || die "apt-get install ./$(basename "$window_deb"): $apt_out"
  [ -x /usr/bin/kalvenor-barcodes ] || die "/usr/bin/kalvenor-barcodes not installed"
  dpkg-deb -f "$deb" Depends | grep -q 'libgtk' && die "the main package depends on GTK"
  log "installed $(basename "$window_deb")"
done
examples=/usr/share/doc/kalvenor/examples
[ -f "$examples/kalvenor.env" ] || die "examples not installed in $examples"

# --- a job from the installed path, set up as the README tells --------------------
work="$sandbox/srv"
mkdir -p "$work"/{C/CAJA,C/VENTAS,C/ZOV,C/CAE/RTA,H/COMANDAS,printers/COMANDERA,printers/OFICINA}
cp "$examples/C0001234.TXT" "$examples/ETIQUE01.TXT" "$work/C/VENTAS/"
cp "$examples/KALVENOR.INI" "$work/C/CAJA/"
cp "$examples/COMANRNG.ZOV" "$work/C/ZOV/"
cp "$examples/R-001234.csv" "$work/C/CAE/RTA/"
# The shipped environment file, pointed at the scratch folder, with the
# folder printer and the trace turned on.
sed -e "s#/srv/kalvenor#$work#g" \
    -e 's/^#\(KALVENOR_PRINTER_DIR=\)/\1/' -e 's/^#\(KALVENOR_DEFAULT_PRINTER=\)/\1/' \
    -e "s#^\#KALVENOR_TRACE=.*#KALVENOR_TRACE=$work/trace.jsonl#" \
    "$examples/kalvenor.env" >"$sandbox/kalvenor.env"
run_job() {  # run_job SLIP LOG: one job with only the environment file's variables
  # shellcheck disable=SC2016  # expanded by the inner shell
  (cd "$work/C/CAJA" && env -i PATH=/usr/bin:/bin HOME="$sandbox" \
     bash -c 'set -a; . "$1"; set +a; shift; exec kalvenor "$@"' run "$sandbox/kalvenor.env" "$1" "$2" N S)
}
check_log() {  # check_log FILE
  [ -f "$1" ] || die "no log $1"
  second=$(sed -n 2p "$1" | tr -d '\r')
  [ "$second" = "Finalizo correctamente." ] || die "$(basename "$1") says: $(tr -d '\r' <"$1")"
}
run_job '\VENTAS\C0001234.TXT' '\VENTAS\LOG.TXT' || die "comanda job: exit $?"
check_log "$work/C/VENTAS/LOG.TXT"
run_job '\VENTAS\ETIQUE01.TXT' '\VENTAS\LOGETQ.TXT' || die "label job: exit $?"
check_log "$work/C/VENTAS/LOGETQ.TXT"
[ -f "$work/H/COMANDAS/90001234.TXT" ] || die "the slip was not copied to H:\\COMANDAS"

pdfs=("$work"/printers/COMANDERA/*.pdf)
[ -f "${pdfs[0]}" ] || die "no PDF in printers/COMANDERA"
for pdf in "${pdfs[@]}"; do
  [ "$(head -c 5 "$pdf")" = "%PDF-" ] || die "$(basename "$pdf") is not a PDF"
done
[ -z "$(ls -A "$work/printers/OFICINA")" ] || die "a document went to the default printer"
enddocs=$(grep -c '"op":"enddoc"' "$work/trace.jsonl" || true)
[ "$enddocs" -eq "${#pdfs[@]}" ] || die "$enddocs documents in the trace, ${#pdfs[@]} PDFs"
# The installed font aliases are found from /usr/bin: Consolas is DejaVu Sans Mono.
if command -v pdffonts >/dev/null 2>&1; then
  pdffonts "${pdfs[0]}" | grep -q 'DejaVuSansMono' \
    || die "the receipt is not set in DejaVu Sans Mono: $(pdffonts "${pdfs[0]}" | tail -n +3)"
fi
log "installed kalvenor printed ${#pdfs[@]} documents; both logs say 'Finalizo correctamente.'"

# --- the same slip through CUPS, when a COMANDERA queue is there --------------------
# (scripts/test.sh adds KALVENOR-COMANDERA as root). The log says the print
# system took every document; the trace names their CUPS jobs.
queue=$(lpstat -p 2>/dev/null | awk '$1 == "printer" && toupper($2) ~ /COMANDERA/ { print $2 }' | tail -n 1 || true)
if [ -n "$queue" ]; then
  sed -i -e '/^KALVENOR_PRINTER_DIR=/d' -e '/^KALVENOR_DEFAULT_PRINTER=/d' "$sandbox/kalvenor.env"
  cp "$examples/C0001234.TXT" "$work/C/VENTAS/"
  : >"$work/trace.jsonl"
  run_job '\VENTAS\C0001234.TXT' '\VENTAS\LOG.TXT' || die "CUPS job: exit $?"
  check_log "$work/C/VENTAS/LOG.TXT"
  jobs=$(grep '"op":"enddoc"' "$work/trace.jsonl" | grep -ci '"printer":"[^"]*COMANDERA' || true)
  [ "$jobs" -ge 1 ] || die "no document ended on a COMANDERA queue: $(grep enddoc "$work/trace.jsonl")"
  log "installed kalvenor sent $jobs documents to CUPS (COMANDERA queue: $queue)"
else
  log "no CUPS queue with COMANDERA in its name: the CUPS job is skipped"
fi

# --- the manual page ----------------------------------------------------------
# Minimal images may keep dpkg from unpacking manual pages (path-exclude).
if grep -qs '^path-exclude=/usr/share/man' /etc/dpkg/dpkg.cfg.d/*; then
  dpkg -c "$deb" | grep -q '\./usr/share/man/man1/kalvenor\.1' || die "kalvenor.1 is not in the package"
  log "warning: dpkg excludes /usr/share/man here (/etc/dpkg/dpkg.cfg.d); the page is in the package but not installed"
else
  command -v man >/dev/null 2>&1 || $SUDO apt-get install -y -qq man-db >/dev/null || die "man-db"
  page=$(man -w kalvenor 2>/dev/null) || die "man -w kalvenor finds no page"
  [ "$page" = /usr/share/man/man1/kalvenor.1 ] || die "man -w kalvenor gives $page"
  MANWIDTH=80 man -P cat kalvenor 2>/dev/null | grep -q 'KALVENOR_DRIVE_C' \
    || die "man kalvenor does not render the environment"
  log "man kalvenor: $page"
fi

log "passed in $((SECONDS - started)) s"
