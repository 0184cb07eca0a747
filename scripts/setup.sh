#!/usr/bin/env bash
# Installs everything Kalvenor needs to build, test and print on Debian 12.
# Safe to run again: only missing packages are installed.
set -euo pipefail
export DEBIAN_FRONTEND=noninteractive
SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO="sudo"
packages=(
  build-essential cmake pkg-config git
  libgtest-dev libgmock-dev
  libcairo2-dev libpango1.0-dev libfontconfig-dev
  libcups2-dev cups cups-client cups-bsd printer-driver-cups-pdf
  libcurl4-openssl-dev libqrencode-dev libzxing-dev
  fonts-dejavu-core fonts-liberation fontconfig
  poppler-utils python3 zint xclip
  dpkg-dev file man-db lintian optipng
  hyperfine qrencode paps cups-filters libbenchmark-dev time valgrind linux-perf
  libgtk-3-dev xvfb xdotool x11-apps
  clang-14 libclang-rt-14-dev
  wine64 wine gcc-mingw-w64-x86-64 gcc-mingw-w64-i686
  locales
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  $SUDO apt-get update -qq
  $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
# The counter's locale (decimal comma), for the tests that run under it.
if ! locale -a 2>/dev/null | grep -qix 'es_AR.utf8'; then
  grep -qx 'es_AR.UTF-8 UTF-8' /etc/locale.gen 2>/dev/null ||
    echo 'es_AR.UTF-8 UTF-8' | $SUDO tee -a /etc/locale.gen >/dev/null
  $SUDO locale-gen >/dev/null
fi
# Keep the system font cache current, so that jobs never scan fonts; when
# nothing changed this only checks the folders' times.
$SUDO fc-cache -s >/dev/null 2>&1 || true
echo "setup: dependencies present"
