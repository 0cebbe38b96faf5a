#!/usr/bin/env bash
# scripts/check-pe.sh refuses an executable that imports a DLL outside the
# system's known ones (here winspool.drv, which the loader would take from
# the program's folder first), and names it, and one that carries debugging
# sections; a stripped one that imports only known DLLs draws neither
# complaint. Two tiny i686 programs, built here.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cc=${CC_I686:-i686-w64-mingw32-gcc}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

cat >"$work/spool.c" <<'C'
#include <windows.h>
#include <winspool.h>
int main(void) { DWORD n = 0; return EnumPrintersA(PRINTER_ENUM_LOCAL, NULL, 1, NULL, 0, &n, &n); }
C
cat >"$work/known.c" <<'C'
#include <windows.h>
int main(void) { return (int)GetTickCount(); }
C
"$cc" -O1 -g -o "$work/spool.exe" "$work/spool.c" -lwinspool
"$cc" -O1 -s -o "$work/known.exe" "$work/known.c"

status=0
if bash "$root/scripts/check-pe.sh" "$work/spool.exe" 2>"$work/spool.err" >/dev/null; then
  echo "check_pe_test: an executable importing winspool.drv passed" >&2; status=1
elif ! grep -qi 'imports WINSPOOL.DRV' "$work/spool.err"; then
  echo "check_pe_test: the failure does not name winspool.drv:" >&2; cat "$work/spool.err" >&2; status=1
fi
if ! grep -q 'debugging sections' "$work/spool.err"; then
  echo "check_pe_test: debugging sections went unnoticed" >&2; status=1
fi
# It fails the other checks (no manifest, no dialogs), but not the imports.
bash "$root/scripts/check-pe.sh" "$work/known.exe" 2>"$work/known.err" >/dev/null || true
if grep -Eq 'imports |debugging sections' "$work/known.err"; then
  echo "check_pe_test: a stripped program of known DLLs was refused:" >&2; cat "$work/known.err" >&2; status=1
fi
[ $status = 0 ] && echo "check_pe_test: a winspool import and debugging sections fail check-pe; a stripped program of known DLLs does not: ok"
exit $status
