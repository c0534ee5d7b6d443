#!/usr/bin/env bash
# Installs what building, running and testing need on Debian 12. Idempotent:
# when everything is there it only checks and returns.
set -euo pipefail

packages=(
  g++-mingw-w64-i686 cmake make googletest
  wine wine32:i386 wine64 xvfb x11-apps x11-utils xauth imagemagick
  libjpeg-turbo-progs poppler-utils
  cups cups-bsd printer-driver-cups-pdf libcups2:i386
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
if [ "$(id -u)" -ne 0 ]; then
  command -v sudo >/dev/null || { echo "Run as root, or install sudo: missing ${missing[*]}" >&2; exit 1; }
  sudo="sudo"
fi
echo "Installing: ${missing[*]}"
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  $sudo dpkg --add-architecture i386
fi
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
