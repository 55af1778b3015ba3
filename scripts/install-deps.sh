#!/usr/bin/env bash
# Installs every Debian package that the build, the program and the tests need.
# Safe to run again: apt-get skips what is already there.
set -euo pipefail
PKGS=(
  build-essential g++ cmake ninja-build pkg-config git
  qt6-base-dev qt6-base-dev-tools libqt6printsupport6 libgl-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  clang-14 libclang-rt-14-dev libfuzzer-14-dev
  python3 python3-dbfread python3-dbf python3-stdnum libdbd-xbase-perl libxml2-utils
  xvfb xauth xdg-utils fonts-dejavu-core fonts-liberation2
  zip unzip tar jlha-utils lhasa qt6-translations-l10n
  zbar-tools poppler-utils qpdf tidy
  libofx-dev ofx
  libreoffice-calc-nogui
)
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
missing=()
for p in "${PKGS[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -qq
  $SUDO apt-get install -y --no-install-recommends "${PKGS[@]}"
fi
