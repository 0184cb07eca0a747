#!/usr/bin/env bash
# Installs everything Kalvenor needs to build, test and print on Debian 12.
set -euo pipefail
export DEBIAN_FRONTEND=noninteractive
SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO="sudo"
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends \
  build-essential cmake pkg-config git \
  libgtest-dev libgmock-dev \
  libcairo2-dev libpango1.0-dev libfontconfig-dev \
  libcups2-dev cups cups-client cups-bsd printer-driver-cups-pdf \
  libcurl4-openssl-dev libqrencode-dev libzxing-dev \
  fonts-dejavu-core fonts-liberation fontconfig \
  poppler-utils python3 >/dev/null
# Build the font cache now, so that jobs never rescan fonts.
$SUDO fc-cache -s >/dev/null 2>&1 || true
echo "setup: dependencies installed"
