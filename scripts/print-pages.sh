#!/usr/bin/env bash
# Checks printed pages: runs the print test program's PrintOut cases, which
# print on the PDF printer and keep each document, turns the documents into
# PNG pages, and runs its PrintedPages cases on them.
# Usage: print-pages.sh TEST_PROGRAM (inside scripts/virtual-display.sh).
set -euo pipefail
source "$(dirname "$0")/common.sh"
here=$root/scripts
exe=$1
out=$(mktemp -d /tmp/vistoro-pages.XXXXXX)
trap 'rm -rf "$out"' EXIT

# cups-pdf writes the documents of the user who prints into ~/PDF.
VISTORO_PDF_DIR=$(winpath "$HOME/PDF")
VISTORO_PRINT_OUT=$(winpath "$out")
export VISTORO_PDF_DIR VISTORO_PRINT_OUT

"$here/wine-run.sh" "$exe" --gtest_filter='PrintOut.*' | tee "$out/printout.log"
if grep -q '^\[  SKIPPED \]' "$out/printout.log"; then
  echo "print-pages.sh: no printer, nothing to check" >&2
  exit 77 # ctest reports the test as skipped
fi
found=0
for pdf in "$out"/*.pdf; do
  [ -e "$pdf" ] || continue
  pdftoppm -r 30 -png "$pdf" "${pdf%.pdf}"
  found=$((found + 1))
done
[ "$found" -gt 0 ] || { echo "print-pages.sh: no printed document was kept" >&2; exit 1; }
"$here/wine-run.sh" "$exe" --gtest_filter='PrintedPages.*'
