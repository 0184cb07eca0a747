#!/usr/bin/env bash
# Builds the Debian packages, checks them with lintian (any error or warning
# fails), unpacks them into a throwaway root in a scratch folder, prints the
# example slip and label file with the unpacked usr/bin/kalvenor on a folder
# printer, checks the logs, the PDFs and their fonts, the manual pages and
# --version, and last prints through a CUPS server of the test's own
# (scripts/cups-server-test.sh, root only).
#   scripts/package-test.sh [build-folder]     (default: ./build-pkg)
# An existing build folder is reused (cpack builds what is out of date).
# Nothing is installed on this machine: apt only simulates the installation
# (to see that the dependencies resolve), and a kalvenor package installed
# before the test is checked to be there unchanged after it.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(realpath -m "${1:-$root/build-pkg}")
started=$SECONDS
export DEBIAN_FRONTEND=noninteractive

log() { echo "package-test: $*" >&2; }
die() { log "FAILED: $*"; exit 1; }

for tool in cmake cpack apt-get dpkg dpkg-deb dpkg-shlibdeps file lintian man; do
  command -v "$tool" >/dev/null 2>&1 || die "$tool not found (run scripts/setup.sh)"
done

# What is installed now, to compare at the end: package states and versions,
# and the installed files' checksums.
installed_state() {
  local p
  for p in kalvenor kalvenor-barcodes; do
    dpkg-query -W -f='${Package} ${Version} ${Status}\n' "$p" 2>/dev/null || echo "$p absent"
    dpkg-query -L "$p" 2>/dev/null | while read -r f; do
      [ -f "$f" ] && [ ! -L "$f" ] && sha256sum "$f"
    done || true
  done
}
before=$(installed_state)

# --- build the packages and check them ------------------------------------------
if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
fi
cmake --build "$build" -j2 >/dev/null
rm -f "$build"/kalvenor_*.deb "$build"/kalvenor-barcodes_*.deb
cpack_out=$(cd "$build" && cpack -G DEB 2>&1) || die "cpack -G DEB: $cpack_out"
debs=("$build"/kalvenor_*.deb)
[ -f "${debs[0]}" ] || die "no kalvenor_*.deb in $build"
deb=${debs[0]}
window_debs=()
for window_deb in "$build"/kalvenor-barcodes_*.deb; do
  [ -f "$window_deb" ] && window_debs+=("$window_deb")
done
log "built $(basename "$deb") ($(du -k "$deb" | cut -f1) KiB) ${window_debs[*]:+and $(basename "${window_debs[0]}")}"
dpkg-deb -f "$deb" Depends | grep -q 'libcups2' || die "Depends has no shlibdeps entries: $(dpkg-deb -f "$deb" Depends)"
dpkg-deb -f "$deb" Depends | grep -q 'libgtk' && die "the main package depends on GTK"

# Errors and warnings fail. Informational tags (lintian -I: the hardening
# flags, the .comment section that strip leaves) are not checked.
lintian_out=$(lintian --tag-display-limit 0 "$deb" "${window_debs[@]}" 2>&1 \
  | grep -v '^running with root privileges' || true)
if grep -q '^[EW]: ' <<<"$lintian_out"; then
  die "lintian: $(grep '^[EW]: ' <<<"$lintian_out")"
fi
log "lintian: no errors or warnings${lintian_out:+; $lintian_out}"

# --- unpack into a throwaway root ---------------------------------------------------
sandbox=$(mktemp -d /tmp/kalvenor-package-test.XXXXXX)
cleanup() {
  "$root/scripts/cups-test-queue.sh" --stop "$sandbox/cups"
  rm -rf "$sandbox"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM
# The dependencies resolve on this machine (apt only simulates).
chmod 755 "$sandbox"
cp "$deb" "${window_debs[@]}" "$sandbox/"
local_debs=()
for d in "$deb" "${window_debs[@]}"; do local_debs+=("./$(basename "$d")"); done
apt_out=$(cd "$sandbox" && apt-get install -s -y -qq "${local_debs[@]}" 2>&1) \
  || die "apt-get install --simulate: $apt_out"
pkgroot="$sandbox/root"
for d in "$deb" "${window_debs[@]}"; do
  dpkg-deb -x "$d" "$pkgroot"
done
kalvenor="$pkgroot/usr/bin/kalvenor"
[ -x "$kalvenor" ] || die "usr/bin/kalvenor not in the package"
[ -f "$pkgroot/usr/share/kalvenor/kalvenor-fonts.conf" ] || die "font aliases not in the package"
backend="$pkgroot/usr/lib/cups/backend/kalvenor"
[ "$(stat -c %a "$backend" 2>/dev/null)" = 755 ] || die "usr/lib/cups/backend/kalvenor missing or not mode 0755"
"$backend" | grep -q '^network kalvenor ' || die "the back end does not list its device"
for d in "${window_debs[@]}"; do
  [ -x "$pkgroot/usr/bin/kalvenor-barcodes" ] || die "usr/bin/kalvenor-barcodes not in $(basename "$d")"
done
[ -x "$pkgroot/usr/bin/kalvenor-escpos-preview" ] || die "usr/bin/kalvenor-escpos-preview not in the package"
examples="$pkgroot/usr/share/doc/kalvenor/examples"
[ -f "$examples/kalvenor.env" ] || die "examples not in the package"

# --- the version, from the project version ---------------------------------------
mkdir "$sandbox/version"
version_out=$(cd "$sandbox/version" && env -i PATH=/usr/bin:/bin "$kalvenor" --version) \
  || die "kalvenor --version: exit $?"
[ "$version_out" = "kalvenor $(dpkg-deb -f "$deb" Version)" ] \
  || die "kalvenor --version says '$version_out', the package is $(dpkg-deb -f "$deb" Version)"
[ -z "$(ls -A "$sandbox/version")" ] || die "kalvenor --version left files: $(ls -A "$sandbox/version")"
log "$version_out"

# --- a job with the unpacked program, set up by its kalvenor-setup -----------------
# As root the folders the jobs write go to a dedicated account (nobody), which
# then runs the jobs; otherwise to this one.
setup="$pkgroot/usr/sbin/kalvenor-setup"
[ -x "$setup" ] || die "usr/sbin/kalvenor-setup not in the package"
job_user=$(id -un)
[ "$(id -u)" -ne 0 ] || job_user=nobody
setup_out=$("$setup" --root "$pkgroot" --user "$job_user" --folder-printer 2>&1) || die "kalvenor-setup: $setup_out"
work="$pkgroot/srv/kalvenor"
env_file="$pkgroot/etc/kalvenor.env"
wrapper="$pkgroot/usr/local/bin/kalvenor-job"
[ "$(stat -c %a "$wrapper" 2>/dev/null)" = 755 ] || die "kalvenor-setup made no wrapper of mode 755"
for d in C/VENTAS C/CAJA H/COMANDAS printers/COMANDERA cache; do
  [ "$(stat -c %U "$work/$d")" = "$job_user" ] || die "$d is not $job_user's"
done
# Run again, it keeps what is there (an edited INI stays).
echo "edited" >>"$work/C/CAJA/KALVENOR.INI"
again=$("$setup" --root "$pkgroot" --user "$job_user" 2>&1) || die "kalvenor-setup again: $again"
grep -q '^made' <<<"$again" && die "kalvenor-setup made files again: $again"
sed -i '$d' "$work/C/CAJA/KALVENOR.INI"
cp "$examples/C0001234.TXT" "$examples/ETIQUE01.TXT" "$work/C/VENTAS/"
cp "$examples/R-001234.csv" "$work/C/CAE/RTA/"
chown "$job_user:" "$work/C/VENTAS"/*
# The trace, where the jobs may write.
sed -i "s#^\#KALVENOR_TRACE=.*#KALVENOR_TRACE=$work/printers/trace.jsonl#" "$env_file"
chmod 777 "$work/printers"
run_job() {  # run_job SLIP LOG: one job through the wrapper, as the job's account, with no other
  # variables (but the caller's CUPS server: scripts/test.sh names the suite's own)
  local as=()
  [ "$(id -u)" -ne 0 ] || as=(runuser -u "$job_user" --)
  "${as[@]}" env -i PATH="/usr/bin:/bin" HOME=/nonexistent ${CUPS_SERVER:+CUPS_SERVER="$CUPS_SERVER"} \
    "$wrapper" "$1" "$2" N S
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
# The account has no home folder: the font cache is where the environment file says.
[ -s "$work/cache/kalvenor/fonts" ] || die "the jobs kept no font cache in $work/cache"

pdfs=("$work"/printers/COMANDERA/*.pdf)
[ -f "${pdfs[0]}" ] || die "no PDF in printers/COMANDERA"
for pdf in "${pdfs[@]}"; do
  [ "$(head -c 5 "$pdf")" = "%PDF-" ] || die "$(basename "$pdf") is not a PDF"
done
[ -z "$(ls -A "$work/printers/OFICINA")" ] || die "a document went to the default printer"
enddocs=$(grep -c '"op":"enddoc"' "$work/printers/trace.jsonl" || true)
[ "$enddocs" -eq "${#pdfs[@]}" ] || die "$enddocs documents in the trace, ${#pdfs[@]} PDFs"
# The packaged font aliases are found from usr/bin: Consolas is DejaVu Sans Mono.
if command -v pdffonts >/dev/null 2>&1; then
  pdffonts "${pdfs[0]}" | grep -q 'DejaVuSansMono' \
    || die "the receipt is not set in DejaVu Sans Mono: $(pdffonts "${pdfs[0]}" | tail -n +3)"
fi
log "packaged kalvenor printed ${#pdfs[@]} documents; both logs say 'Finalizo correctamente.'"

# --- an ESC/POS receipt printer on the folder printer, previewed ---------------------
mkdir -p "$work/escpos/COMANDERA" && chown "$job_user:" "$work/escpos/COMANDERA"
echo kalvenor-output=escpos >"$work/escpos/COMANDERA/kalvenor-options"
sed -i "s#^KALVENOR_PRINTER_DIR=.*#KALVENOR_PRINTER_DIR=$work/escpos#" "$env_file"
cp "$examples/ETIQUE01.TXT" "$work/C/VENTAS/"
run_job '\VENTAS\ETIQUE01.TXT' '\VENTAS\LOGETQ.TXT' || die "ESC/POS label job: exit $?"
check_log "$work/C/VENTAS/LOGETQ.TXT"
"$pkgroot/usr/bin/kalvenor-escpos-preview" "$work/escpos/COMANDERA/000001.prn" "$sandbox/000001.png" >/dev/null \
  || die "kalvenor-escpos-preview of 000001.prn: exit $?"
[ "$(head -c 4 "$sandbox/000001.png" | tail -c 3)" = PNG ] || die "kalvenor-escpos-preview made no PNG"
sed -i "s#^KALVENOR_PRINTER_DIR=.*#KALVENOR_PRINTER_DIR=$work/printers#" "$env_file"
log "kalvenor-escpos-preview drew the packaged program's ESC/POS label"

# --- the same slip through CUPS, when a COMANDERA queue is there --------------------
# (scripts/test.sh, as root, names its own CUPS server with KALVENOR-COMANDERA
# in CUPS_SERVER; without one, root starts a private one here). This
# machine's own CUPS server never gets a job. The log says the print
# system took every document; the trace names their CUPS jobs.
if [ -z "${CUPS_SERVER:-}" ]; then
  if [ "$(id -u)" -eq 0 ] && settings=$("$root/scripts/cups-test-queue.sh" --private "$sandbox/cups"); then
    while read -r setting; do export "${setting?}"; done <<<"$settings"
  else
    export CUPS_SERVER=/nonexistent/kalvenor-test-cups.sock
  fi
fi
queue=$(lpstat -p 2>/dev/null | awk '$1 == "printer" && toupper($2) ~ /COMANDERA/ { print $2 }' | tail -n 1 || true)
if [ -n "$queue" ]; then
  sed -i -e '/^KALVENOR_PRINTER_DIR=/d' -e '/^KALVENOR_DEFAULT_PRINTER=/d' "$env_file"
  cp "$examples/C0001234.TXT" "$work/C/VENTAS/"
  : >"$work/printers/trace.jsonl"
  run_job '\VENTAS\C0001234.TXT' '\VENTAS\LOG.TXT' || die "CUPS job: exit $?"
  check_log "$work/C/VENTAS/LOG.TXT"
  jobs=$(grep '"op":"enddoc"' "$work/printers/trace.jsonl" | grep -ci '"printer":"[^"]*COMANDERA' || true)
  [ "$jobs" -ge 1 ] || die "no document ended on a COMANDERA queue: $(grep enddoc "$work/printers/trace.jsonl")"
  log "packaged kalvenor sent $jobs documents to CUPS (COMANDERA queue: $queue)"
else
  log "no CUPS queue with COMANDERA in its name: the CUPS job is skipped"
fi

# --- kalvenor-setup --wine on a prefix (made here as wineboot would: drive_c) ---------
prefix="$sandbox/wine"
mkdir -p "$prefix/drive_c"
"$setup" --root "$pkgroot" --wine "$prefix/none" >/dev/null 2>&1 && die "kalvenor-setup --wine took a missing prefix"
wine_out=$("$setup" --root "$pkgroot" --user "$job_user" --wine "$prefix" 2>&1) || die "kalvenor-setup --wine: $wine_out"
[ "$(readlink "$prefix/drive_c/KALVENOR/KALVENOR.EXE")" = "$pkgroot/usr/lib/kalvenor/windows/kalvenor.exe" ] \
  || die "C:\KALVENOR\KALVENOR.EXE is no link to the launcher"
[ "$(readlink "$prefix/dosdevices/h:")" = "$work/H" ] || die "drive H: is not $work/H"
[ -f "$prefix/drive_c/KALVENOR/KALVENOR.INI" ] && [ -f "$prefix/drive_c/ZOV/COMANRNG.ZOV" ] \
  || die "KALVENOR.INI or COMANRNG.ZOV not in the prefix"
grep -q '^#KALVENOR_DRIVE_C=' "$env_file" && grep -q '^KALVENOR_DRIVE_H=' "$env_file" \
  || die "kalvenor-setup --wine left drive C: on: $(grep DRIVE "$env_file")"
log "kalvenor-setup made the drives, the wrapper, the folder printer and a Wine prefix's files"

# --- the manual pages ----------------------------------------------------------
manpath="$pkgroot/usr/share/man"
page=$(man -M "$manpath" -w kalvenor 2>/dev/null) || die "man finds no kalvenor page in the package"
[ "$page" = "$manpath/man1/kalvenor.1.gz" ] || die "man -w kalvenor gives $page"
MANWIDTH=80 man -M "$manpath" -P cat kalvenor 2>/dev/null | grep -q 'KALVENOR_DRIVE_C' \
  || die "man kalvenor does not render the environment"
if [ ${#window_debs[@]} -gt 0 ]; then
  MANWIDTH=80 man -M "$manpath" -P cat kalvenor-barcodes 2>/dev/null | grep -q 'Code 39' \
    || die "man kalvenor-barcodes does not render"
fi
MANWIDTH=80 man -M "$manpath" -P cat 8 kalvenor-setup 2>/dev/null | grep -q 'folder-printer' \
  || die "man kalvenor-setup does not render"
log "manual pages: $(cd "$manpath" && echo man1/* man8/*)"

# --- printing through another CUPS server (CUPS_SERVER) -------------------------------
"$root/scripts/cups-server-test.sh" "$kalvenor" || die "scripts/cups-server-test.sh"

after=$(installed_state)
[ "$before" = "$after" ] || die "the installed kalvenor packages changed: $(diff <(echo "$before") <(echo "$after"))"
log "passed in $((SECONDS - started)) s"
