#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test: once in a normal
# build and once under AddressSanitizer and UndefinedBehaviorSanitizer.
# The CUPS end-to-end test needs root (to start cupsd and add the PDF queue);
# elsewhere it is skipped with a message.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
scripts/setup.sh
if [ "$(id -u)" -eq 0 ]; then
  scripts/cups-test-queue.sh >/dev/null || echo "test: CUPS queue could not be set up; the CUPS test will be skipped"
fi

jobs=$(nproc)
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKALVENOR_WERROR=ON >/dev/null
cmake --build build -j"$jobs"
(cd build && ctest --output-on-failure)

cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DKALVENOR_SANITIZE=ON -DKALVENOR_WERROR=ON >/dev/null
cmake --build build-asan -j"$jobs"
export LSAN_OPTIONS="suppressions=$root/scripts/lsan.supp:print_suppressions=0"
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
(cd build-asan && ctest --output-on-failure)
scripts/package-test.sh "$root/build"

# Fuzz smoke: every fuzz target for a short time (30 s, or
# KALVENOR_FUZZ_SECONDS) from its seed corpus, so that a regression in what
# reads outside input shows here.
cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKALVENOR_FUZZ=ON \
  -DCMAKE_CXX_COMPILER=clang++-14 >/dev/null
cmake --build build-fuzz -j"$jobs" --target kalvenor_fuzzers
fuzz/run.sh "${KALVENOR_FUZZ_SECONDS:-30}" build-fuzz
echo "test: all tests passed"
