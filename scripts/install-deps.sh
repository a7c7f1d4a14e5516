#!/usr/bin/env bash
# Installs every Debian package that building, testing and running Quillmark
# needs, skipping those already present. Safe to run again and again.
set -euo pipefail

PACKAGES=(
  build-essential cmake pkg-config
  libpoppler-private-dev libpoppler-dev
  libfontconfig-dev libfreetype-dev
  ghostscript
  qt6-base-dev qt6-base-dev-tools
  libgtest-dev googletest
  fonts-liberation fonts-urw-base35 fonts-crosextra-carlito fonts-crosextra-caladea fonts-dejavu-core
  libreoffice-writer-nogui poppler-utils
  python3 time xvfb parallel
  desktop-file-utils man-db file
  clang libclang-rt-14-dev
)

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
echo "Installing: ${missing[*]}" >&2
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
