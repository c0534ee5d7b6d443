#!/usr/bin/env bash
# Installs what building, running and testing need on Debian 12. Idempotent:
# when everything is there it only checks and returns.
set -euo pipefail
source "$(dirname "$0")/common.sh"

packages=(
  g++-mingw-w64-i686 g++-mingw-w64-x86-64 cmake make googletest
  wine wine32:i386 wine64 xvfb x11-apps x11-utils xauth imagemagick
  libjpeg-turbo-progs poppler-utils libimage-exiftool-perl gcc libx11-dev
  cups cups-bsd printer-driver-cups-pdf libcups2:i386
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  as_root dpkg --add-architecture i386
fi
as_root apt-get update -qq
as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
