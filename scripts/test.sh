#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test: once in a normal
# build and once under AddressSanitizer and UndefinedBehaviorSanitizer.
# The CUPS tests need root: they run on a cupsd of the suite's own
# (scripts/cups-test-queue.sh --private, a scratch folder and a free
# 127.0.0.1 port, named to every test by CUPS_SERVER), which is stopped and
# removed however the run ends, so this machine's queues and /etc/cups stay
# as they were. Elsewhere those tests are skipped with a message.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
scripts/setup.sh

cups_dir=
stop_cups() {
  [ -z "$cups_dir" ] || scripts/cups-test-queue.sh --stop "$cups_dir"
  cups_dir=
}
trap stop_cups EXIT
trap 'exit 130' INT
trap 'exit 143' TERM
# No test may reach this machine's CUPS server: without a server of the
# suite's own, CUPS_SERVER names one that is not there.
export CUPS_SERVER=/nonexistent/kalvenor-test-cups.sock
unset KALVENOR_CUPS_PDF_OUT
if [ "$(id -u)" -eq 0 ]; then
  cups_dir=$(mktemp -d /tmp/kalvenor-cups-test.XXXXXX)
  if settings=$(scripts/cups-test-queue.sh --private "$cups_dir"); then
    while read -r setting; do export "${setting?}"; done <<<"$settings"
  else
    echo "test: CUPS test server could not be set up; the CUPS tests will be skipped"
  fi
fi

# Every receipt the test queue printed is as wide as its 80 mm roll
# (226.8 pt, within half a millimetre), read from cups-pdf's files once the
# queue has no job left.
check_roll_width() {
  [ -n "${KALVENOR_CUPS_PDF_OUT:-}" ] || return 0
  local pdf width count=0
  for _ in $(seq 1 300); do
    [ -z "$(lpstat -o KALVENOR-COMANDERA 2>/dev/null)" ] && break
    sleep 0.1
  done
  for pdf in "$KALVENOR_CUPS_PDF_OUT"/*.pdf; do
    [ -f "$pdf" ] || continue
    width=$(pdfinfo "$pdf" 2>/dev/null | awk '/^Page size:/ { print $3 }')
    awk -v w="${width:-0}" 'BEGIN { exit !(w >= 225.4 && w <= 228.2) }' \
      || { echo "test: FAILED: $(basename "$pdf") is ${width:-?} pt wide, not 80 mm"; exit 1; }
    count=$((count + 1))
  done
  [ "$count" -gt 0 ] || { echo "test: FAILED: the test queue printed nothing"; exit 1; }
  rm -f "$KALVENOR_CUPS_PDF_OUT"/*.pdf
  echo "test: $count receipts from the test queue, each 80 mm wide"
}

jobs=$(nproc)
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKALVENOR_WERROR=ON >/dev/null
cmake --build build -j"$jobs"
(cd build && ctest --output-on-failure)
check_roll_width

cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DKALVENOR_SANITIZE=ON -DKALVENOR_WERROR=ON >/dev/null
cmake --build build-asan -j"$jobs"
export LSAN_OPTIONS="suppressions=$root/scripts/lsan.supp:print_suppressions=0"
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
(cd build-asan && ctest --output-on-failure)
check_roll_width
scripts/package-test.sh "$root/build"

# Fuzz smoke: every fuzz target for a short time (30 s, or
# KALVENOR_FUZZ_SECONDS) from its seed corpus, so that a regression in what
# reads outside input shows here.
cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKALVENOR_FUZZ=ON \
  -DCMAKE_CXX_COMPILER=clang++-14 >/dev/null
cmake --build build-fuzz -j"$jobs" --target kalvenor_fuzzers
fuzz/run.sh "${KALVENOR_FUZZ_SECONDS:-30}" build-fuzz
echo "test: all tests passed"
