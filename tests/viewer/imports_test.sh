#!/usr/bin/env bash
# The program calls the wide (W) entry point of every platform function that
# carries a name or a text: through an ANSI (A) one, a name outside the
# user's code page turns into question marks. Fails on any ANSI entry point
# that the program imports or looks up by name at run time, except those
# that the C run-time and the threads library bring in, which carry no name
# or text of the program's: the linker's cross-reference map tells which
# object file asks for each import.
# Usage: imports_test.sh OBJDUMP OBJCOPY PROGRAM.exe PROGRAM.map
set -euo pipefail
objdump=$1 objcopy=$2 exe=$3 map=$4

# The allowed ones: who may ask for them, and why.
declare -A allowedFrom=(
  [GetStartupInfoA]='crt2\.o' [GetModuleHandleA]='crtbegin\.o' [LoadLibraryA]='crtbegin\.o'
  [CreateEventA]='libpthread\.a' [CreateSemaphoreA]='libpthread\.a'
  [OutputDebugStringA]='libpthread\.a'
)
declare -A reason=(
  [GetStartupInfoA]="C run-time start-up: reads how the window is to be shown"
  [GetModuleHandleA]="C run-time start-up: looks for its unwinding library by a fixed name"
  [LoadLibraryA]="C run-time start-up: loads that library by the same fixed name"
  [CreateEventA]="threads library: events without a name"
  [CreateSemaphoreA]="threads library: semaphores without a name"
  [OutputDebugStringA]="threads library: its own debugging messages"
)
status=0
fail() { echo "$*" >&2; status=1; }

imports=$("$objdump" -p "$exe" |
  awk '/DLL Name:/ { dll = 1; next } dll && /^\t[0-9a-f]+\t +[0-9]+ +[A-Za-z_]/ { print $3 }')
[ "$(wc -l <<<"$imports")" -gt 100 ] || { echo "no import table read from $exe" >&2; exit 1; }
for name in $(grep 'A$' <<<"$imports" || true); do
  if [ -n "${reason[$name]:-}" ]; then
    echo "allowed: $name (${reason[$name]})"
  else
    fail "imports an ANSI entry point: $name"
  fi
done

# Who asks for each ANSI import: in the cross-reference table each symbol
# is followed by the file that defines it (the import library) and then by
# those that refer to it.
refs=$(awk '
  /^Cross Reference Table/ { table = 1; next }
  !table { next }
  /^[^ \t]/ {
    symbol = ""; seen = 0
    if ($1 ~ /^_?_imp__?[A-Za-z0-9]+A(@[0-9]+)?$/) { symbol = $1; if (NF > 1) seen = 1 }
    next
  }
  symbol != "" && NF == 1 { if (seen++) print symbol, $1 }' "$map" |
  sed -E 's/^_?_imp__?([A-Za-z0-9]+A)(@[0-9]+)? /\1 /')
grep -q . <<<"$refs" || fail "no ANSI imports found in $map (they are there for the run-time)"
while read -r name file; do
  [ -n "$name" ] || continue
  if [ -z "${allowedFrom[$name]:-}" ] || ! grep -Eq "(^|/)${allowedFrom[$name]}" <<<"$file"; then
    fail "$file asks for the ANSI entry point $name"
  fi
done <<<"$refs"

# Functions looked up by name at run time (the common dialogs, loaded at
# first use) are named by plain strings in the read-only data.
rdata=$(mktemp)
trap 'rm -f "$rdata"' EXIT
"$objcopy" -O binary --only-section=.rdata "$exe" "$rdata"
words=$(tr -c 'A-Za-z0-9_' '\n' <"$rdata" | grep -x '[A-Za-z0-9_]\{4,\}' | sort -u)
grep -qx GetOpenFileNameW <<<"$words" || fail "no looked-up names read from $exe"
for name in $(grep -x '[A-Z][A-Za-z0-9]*[a-z][A-Za-z0-9]*A' <<<"$words" || true); do
  fail "looks up an ANSI entry point: $name"
done
exit $status
