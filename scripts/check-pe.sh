#!/usr/bin/env bash
# Checks that the Windows program is what we ship: a 32-bit (PE32, i386)
# GUI executable whose resources hold the manifest, the four dialogs, the
# serial prompt's dialog-init data, the version and the title string, and
# that imports no DLL but the system's known DLLs (and comctl32, through the
# manifest). tests/check_pe_test.sh shows that a stray import fails it.
# Usage: scripts/check-pe.sh path/to/DriverSetup.exe
set -euo pipefail
exe=${1:?usage: check-pe.sh EXE}
objdump=${OBJDUMP:-i686-w64-mingw32-objdump}
failures=0
fail() { echo "check-pe: $*" >&2; failures=$((failures + 1)); }

[ -f "$exe" ] || { echo "check-pe: no such file: $exe" >&2; exit 1; }
headers=$("$objdump" -p "$exe")

grep -q 'file format pei-i386' <<<"$headers" || fail "not a pei-i386 image"
grep -Eq '^Magic[[:space:]]+010b[[:space:]]+\(PE32\)' <<<"$headers" || fail "not PE32 (32-bit)"
grep -Eq '^Subsystem[[:space:]]+00000002[[:space:]]+\(Windows GUI\)' <<<"$headers" || fail "subsystem is not Windows GUI"
# What is shipped carries no debugging sections.
if "$objdump" -h "$exe" | grep -Eq '[[:space:]]\.(debug|zdebug)'; then fail "carries debugging sections: link with -s"; fi

# Resources as type/name pairs, from objdump's tree of the .rsrc section
# (type entries are indented by 3 spaces, name entries by 5).
resources=$(awk '
  function hex(s,    i, n) {
    n = 0
    for (i = 1; i <= length(s); i++) n = n * 16 + index("0123456789abcdef", substr(tolower(s), i, 1)) - 1
    return n
  }
  /Entry: ID:/ {
    match($0, /^[0-9a-f]+ +/); depth = RLENGTH
    id = $0; sub(/.*ID: 0x/, "", id); sub(/,.*/, "", id); id = hex(id)
    if (depth == 6) type = id
    else if (depth == 8) print type "/" id
  }' <<<"$headers")
for want in 5/103 5/129 5/136 5/137 24/1 16/1 240/136; do
  grep -qx "$want" <<<"$resources" || fail "resource type/name $want missing"
done
grep -q '^6/' <<<"$resources" || fail "no string table"

# The manifest is stored as its UTF-8 text.
# An installer asks for an administrator: a standard user is prompted for
# one instead of running into "access denied" at the driver.
grep -aq 'requestedExecutionLevel level="requireAdministrator"' "$exe" || fail "manifest does not require an administrator"
grep -aq 'Microsoft.Windows.Common-Controls' "$exe" || fail "manifest lacks the Common Controls dependency"
grep -aq 'supportedOS Id="{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"' "$exe" || fail "manifest lacks Windows 10 in supportedOS"

# Imports: only DLLs the loader never takes from the program's folder,
# which may be the folder of a download a standard user can write. The
# system's known DLLs (HKLM\SYSTEM\CurrentControlSet\Control\Session
# Manager\KnownDLLs) are mapped from the system's own copies; comctl32 comes
# from the side-by-side store the manifest names. Anything else (winspool.drv,
# cabinet.dll, setupapi.dll, the compiler's runtime DLLs) must be loaded at
# run time by full path.
allowed='kernel32 user32 gdi32 advapi32 shell32 ole32 oleaut32 comdlg32 msvcrt shlwapi ws2_32 imm32 comctl32'
while read -r dll; do
  [ -n "$dll" ] || continue
  base=$(tr '[:upper:]' '[:lower:]' <<<"${dll%.*}")
  ext=$(tr '[:upper:]' '[:lower:]' <<<"${dll##*.}")
  if [ "$ext" != dll ] || ! grep -qw -- "$base" <<<"$allowed"; then
    fail "imports $dll, which is not one of the system's known DLLs: load it by full path"
  fi
done < <(sed -n 's/^[[:space:]]*DLL Name:[[:space:]]*//p' <<<"$headers" | tr -d '\r')

if [ "$failures" -ne 0 ]; then
  echo "check-pe: $exe: $failures problem(s)" >&2
  exit 1
fi
echo "check-pe: $exe: PE32 i386 GUI, manifest, dialogs 103 129 136 137, dialog-init 136, version, title, known-DLL imports: ok"
