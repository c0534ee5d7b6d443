#!/usr/bin/env bash
# Makes sure the print server runs and offers the PDF printer as the default,
# so that 32-bit Wine sees a printer. Idempotent: when all is in place it only
# checks. Runs cupsd directly (no service manager in containers and chroots).
set -euo pipefail
source "$(dirname "$0")/common.sh"

printer=PDF
ppd=lsb/usr/cups-pdf/CUPS-PDF_opt.ppd

for tool in cupsd lpadmin lpstat; do
  command -v "$tool" >/dev/null || [ -x "/usr/sbin/$tool" ] ||
    { echo "print-server.sh: $tool is missing (scripts/setup.sh installs it)" >&2; exit 1; }
done
export PATH="$PATH:/usr/sbin"

# True once the scheduler answers.
scheduler_up() { lpstat -r 2>/dev/null | grep -q 'is running'; }

if ! scheduler_up; then
  # It forks into the background itself; with its output closed it cannot
  # hold the caller's pipes open.
  as_root cupsd </dev/null >/dev/null 2>&1
  for _ in $(seq 100); do
    scheduler_up && break
    sleep 0.1
  done
  scheduler_up || { echo "print-server.sh: cupsd did not start" >&2; exit 1; }
fi

if ! lpstat -p "$printer" >/dev/null 2>&1; then
  as_root lpadmin -p "$printer" -v cups-pdf:/ -E -m "$ppd"
elif lpstat -p "$printer" 2>/dev/null | grep -q disabled ||
     ! lpstat -a "$printer" 2>/dev/null | grep -q 'accepting requests'; then
  as_root lpadmin -p "$printer" -E # left disabled or rejecting by an earlier run
fi
if [ "$(lpstat -d 2>/dev/null | sed -n 's/^system default destination: //p')" != "$printer" ]; then
  as_root lpadmin -d "$printer"
fi

for _ in $(seq 100); do
  if lpstat -p "$printer" 2>/dev/null | grep -q "^printer $printer "; then
    exit 0
  fi
  sleep 0.1
done
echo "print-server.sh: printer $printer did not appear" >&2
exit 1
