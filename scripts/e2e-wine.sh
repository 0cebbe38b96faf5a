#!/usr/bin/env bash
# Runs the Windows side of the tests under Wine on a virtual display:
#   1. win32_backend_tests and win32_contract_tests (the Win32 backends and
#      the shared contract suites against Wine's real services);
#      both also where the ANSI code page is 1252 (C.UTF-8), not 936;
#   2. the end-to-end scenarios: e2e_driver starts the installer from the
#      release folder and drives it like a person, one scenario per fresh
#      prefix, and checks what Wine's spooler, registry and files hold;
#      network-dialog runs tests/e2e/network_dialog_view.exe instead (the
#      network port dialog over Wine's ports plus two TCP/IP ports, which
#      Wine's spooler cannot create) and takes its screenshot.
# Every prefix is a copy of a booted template kept under the build folder:
# 32-bit (the program sees 32-bit Windows) and, for the WOW64 suites and one
# scenario, 64-bit.
# Serial ports are pseudo-terminals served by the printer simulator, mapped
# as COM ports through HKLM\Software\Wine\Ports, with tools/pty_shim in
# LD_PRELOAD so that waiting for comm events works on a pty.
#
# Where Wine cannot run 32-bit programs (its 32-bit loader is an i386 Linux
# program, which some kernels and sandboxes refuse), the script says so and
# runs the 64-bit build of everything (preset mingw64: the program, its test
# programs and the scenario driver) under the 64-bit loader in 64-bit
# prefixes; what only a 32-bit program under WOW64 shows cannot run there.
#
# Usage: scripts/e2e-wine.sh [--update-docs] [BUILD_DIR]   (default build/mingw)
#   --update-docs  copy the screenshots into docs/ (they always go to
#                  BUILD_DIR/wine/shots)
#   E2E_ONLY="name ..." in the environment runs only those steps.
#   E2E_BUILD64=DIR      the 64-bit build (default: BUILD_DIR followed by 64).
#   E2E_REQUIRE_WIN32=1  fails the run when 32-bit programs cannot run.
# Ends with the line "N passed, M failed" (counting what ran) and exits
# non-zero on a failure.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)

update_docs=0
case "${1:-}" in
  --scenario|--binary) build=$E2E_BUILD ;;  # this script again, inside the display
  *)
    if [ "${1:-}" = --update-docs ]; then update_docs=1; shift; fi
    build=$(cd "${1:-$root/build/mingw}" && pwd)
    export E2E_BUILD=$build ;;
esac
release=$build/release
tests=$build/tests/e2e
work=$build/wine
shots=$work/shots
results=$work/results.txt

# Wine's ANSI code page follows the locale: zh_CN gives 936. A crash ends the
# process instead of waiting in the debugger.
export LANG=zh_CN.UTF-8 LC_ALL=zh_CN.UTF-8 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=;winedbg.exe=d"
# Wine's loader: the usual one, or the 64-bit one where 32-bit programs
# cannot run (chosen below, and handed on to the runs inside the display).
wine=${E2E_WINE:-wine}

# --- Inside the virtual display: one scenario ------------------------------
if [ "${1:-}" = --scenario ]; then
  name=$2 arch=$3 prefix=$4
  export WINEPREFIX=$prefix WINEARCH=$arch
  # ansi-*: a system whose ANSI code page is not 936 (C.UTF-8 gives 1252),
  # where the program must still show and name things in Chinese.
  case $name in ansi-*) export LANG=C.UTF-8 LC_ALL=C.UTF-8 ;; esac
  # $LIB is expanded by the dynamic loader: 32- or 64-bit shim as fits.
  export LD_PRELOAD="$work/shim/\$LIB/pty_shim.so"
  c=$prefix/drive_c
  pids=()
  cleanup() {
    for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
    wineserver -k >/dev/null 2>&1 || true
  }
  trap cleanup EXIT

  # A screenshot whenever the driver asks for one (file e2e-shot.req:
  # name x y width height); the pause lets the window paint.
  ( while :; do
      if [ -f "$c/e2e-shot.req" ]; then
        read -r shot x y w h <"$c/e2e-shot.req" || true
        sleep 0.5
        import -window root -crop "${w}x${h}+${x}+${y}" +repage "$shots/$shot.png" 2>/dev/null || true
        rm -f "$c/e2e-shot.req"
      fi
      sleep 0.1
    done ) &
  pids+=($!)

  folder=$release
  program=$release/DriverSetup.exe
  ports=()
  case $name in
    network-dialog) program=$tests/network_dialog_view.exe ;;
    # No package in the working folder nor beside the program, which looks
    # there as well.
    missing-package)
      folder=$work/no-package; mkdir -p "$folder"; rm -f "$folder/DriverData.Drv"
      cp "$release/DriverSetup.exe" "$folder/"; program=$folder/DriverSetup.exe ;;
    corrupt-package)
      # Looks like a cabinet by its signature, the rest is junk.
      folder=$work/corrupt-package; mkdir -p "$folder"
      { printf 'MSCF'; for _ in $(seq 1 600); do printf 'not a cabinet\n'; done; } >"$folder/DriverData.Drv" ;;
    serial-*|silent-serial)
      # COM1: silent, COM2: the printer at 9600 baud; a host serial device
      # that Wine finds moves to the next free number.
      # serial-flood: the printer answers with a stream that outlasts the
      # probe by far.
      kind=--receipt; [ "$name" = serial-label ] && kind=--label
      flood=(); [ "$name" = serial-flood ] && flood=(--flood 200000)
      "$work/printer_sim" --silent --link "$prefix/com-silent" >/dev/null 2>&1 & pids+=($!)
      "$work/printer_sim" $kind --baud 9600 "${flood[@]}" --link "$prefix/com-printer" >/dev/null 2>&1 & pids+=($!)
      for _ in $(seq 1 50); do [ -e "$prefix/com-silent" ] && [ -e "$prefix/com-printer" ] && break; sleep 0.1; done
      # The wineserver is not running yet: the values go straight into the
      # registry file it loads.
      printf '\n[Software\\\\Wine\\\\Ports]\n"COM1"="%s"\n"COM2"="%s"\n' \
        "$prefix/com-silent" "$prefix/com-printer" >>"$prefix/system.reg"
      ports=(COM1: COM2:) ;;
  esac

  rc=0
  "$wine" "$tests/e2e_driver.exe" "$name" "$("$wine" winepath -w "$program")" "$("$wine" winepath -w "$folder")" \
    "${ports[@]}" || rc=$?
  exit $rc
fi

if [ "${1:-}" = --binary ]; then
  exe=$2 prefix=$3 arch=${4:-win32} filter=${5:-*} locale=${6:-}
  export WINEPREFIX=$prefix WINEARCH=$arch LD_PRELOAD="$work/shim/\$LIB/pty_shim.so"
  [ -z "$locale" ] || export LANG=$locale LC_ALL=$locale
  pid=""
  # The server stops before the printer simulator: a pty that hangs up under
  # it sends it SIGHUP, on which it prints every object it holds.
  trap 'wineserver -k >/dev/null 2>&1 || true; [ -z "$pid" ] || kill "$pid" 2>/dev/null || true' EXIT
  if [ "$(basename "$exe")" = win32_contract_tests.exe ]; then
    # The serial contract needs a COM port that exists.
    "$work/printer_sim" --silent --link "$prefix/com-contract" >/dev/null 2>&1 & pid=$!
    for _ in $(seq 1 50); do [ -e "$prefix/com-contract" ] && break; sleep 0.1; done
    printf '\n[Software\\\\Wine\\\\Ports]\n"COM7"="%s"\n' "$prefix/com-contract" >>"$prefix/system.reg"
    export INSTALLER_CONTRACT_COM=COM7
    # Wine cannot make a link itself (CreateSymbolicLinkA reports success and
    # makes nothing): the unpacker's contract gets a host symbolic link in
    # the prefix: the output folder C:\contract-link holds "Ticket", a link
    # to an empty folder outside drive_c.
    mkdir -p "$prefix/link-target" "$prefix/drive_c/contract-link"
    ln -sfn "$prefix/link-target" "$prefix/drive_c/contract-link/Ticket"
    export INSTALLER_CONTRACT_LINK='C:\contract-link'
  fi
  rc=0
  "$wine" "$exe" --gtest_color=no --gtest_brief=1 "--gtest_filter=$filter" || rc=$?
  exit $rc
fi

# --- Outside: can Wine run 32-bit programs here? ----------------------------
# Its 32-bit loader is an i386 Linux program: a kernel or sandbox without
# 32-bit support refuses it ("Exec format error", status 126), and Debian's
# wine falls back to the 64-bit loader when wine32 is missing.
win32=1 not_run=""
if ! probe=$(env -u WINEDEBUG wine --version 2>&1) || [[ $probe == *"wine32 is missing"* ]]; then
  win32=0
  build=$(cd "${E2E_BUILD64:-${build}64}" && pwd)
  export E2E_BUILD=$build
  release=$build/release tests=$build/tests/e2e work=$build/wine
  shots=$work/shots results=$work/results.txt
  E2E_WINE=$(command -v wine64 || echo /usr/lib/wine/wine64)
  export E2E_WINE WINELOADER=$E2E_WINE
  wine=$E2E_WINE
  not_run="the 32-bit build as shipped (DriverSetup.exe, the scenario driver, win32_backend_tests and win32_contract_tests), and with it what only a 32-bit program under WOW64 shows: the wow64 scenario and the WOW64 suites (Wine cannot run 32-bit programs on this machine)"
  cat <<EOF
######################################################################
e2e-wine: WINE CANNOT RUN 32-BIT PROGRAMS ON THIS MACHINE
  'wine --version' answered: $(printf '%s' "$probe" | tail -n 1)
  Not run: $not_run.
  Run instead: the 64-bit build of the same sources ($build): the
  two test programs and every other scenario, under $E2E_WINE in
  64-bit prefixes. A 64-bit installer takes the x64 driver.
######################################################################
EOF
fi

# --- Outside: preparation ----------------------------------------------------
required=("$release/DriverSetup.exe" "$release/DriverData.Drv" "$tests/win32_backend_tests.exe"
          "$tests/win32_contract_tests.exe" "$tests/e2e_driver.exe" "$tests/network_dialog_view.exe")
for f in "${required[@]}"; do
  [ -f "$f" ] || { echo "e2e-wine: missing $f (build the Windows program first; without 32-bit support, the preset mingw64)" >&2; exit 1; }
done
mkdir -p "$work" "$shots"

# Host helpers, built here so that no native build folder is needed.
for bits in 32 64; do
  lib=$work/shim/lib/$([ $bits = 32 ] && echo i386 || echo x86_64)-linux-gnu
  mkdir -p "$lib"
  if [ ! "$lib/pty_shim.so" -nt "$root/tools/pty_shim/pty_shim.c" ]; then
    gcc -m$bits -shared -fPIC -O2 -Wall -Wextra -Werror -o "$lib/pty_shim.so" "$root/tools/pty_shim/pty_shim.c" -ldl
  fi
done
sim_sources=("$root/tools/printer_sim/printer_sim_main.cpp" "$root/tools/printer_sim/printer_emulator.cpp")
for s in "${sim_sources[@]}" "$root/tools/printer_sim/printer_emulator.h"; do
  if [ ! "$work/printer_sim" -nt "$s" ]; then
    g++ -std=c++17 -O1 -Wall -Wextra -I"$root" -o "$work/printer_sim" "${sim_sources[@]}" -pthread
    break
  fi
done

# Booted prefixes, made once: no window manager under Xvfb (Wine manages
# the windows itself, or every close stalls), the dialog font pinned.
make_template() {
  local arch=$1 template=$2
  [ -f "$template/.e2e-settings-2" ] && return 0
  rm -rf "$template.tmp"
  WINEARCH=$arch WINEPREFIX="$template.tmp" "$wine" wineboot -i >/dev/null 2>&1
  cat >"$work/settings.reg" <<'EOF'
REGEDIT4

[HKEY_CURRENT_USER\Software\Wine\X11 Driver]
"Managed"="N"

[HKEY_CURRENT_USER\Software\Wine\Fonts\Replacements]
"宋体"="WenQuanYi Micro Hei"
"SimSun"="WenQuanYi Micro Hei"

; Windows always has this key (it holds the default printer); a fresh Wine
; prefix without printers lacks it, and the installer only opens it.
[HKEY_CURRENT_USER\Software\Microsoft\Windows NT\CurrentVersion\Windows]
EOF
  iconv -f UTF-8 -t GBK "$work/settings.reg" >"$work/settings-gbk.reg"
  WINEARCH=$arch WINEPREFIX="$template.tmp" "$wine" regedit /S \
    "$(WINEPREFIX="$template.tmp" "$wine" winepath -w "$work/settings-gbk.reg")"
  WINEPREFIX="$template.tmp" wineserver -w
  touch "$template.tmp/.e2e-settings-2"
  rm -rf "$template"
  mv "$template.tmp" "$template"
}

# A fresh prefix: hard links for speed, real copies of the registry files,
# which wineserver rewrites in place.
fresh_prefix() {
  local template=$1 prefix=$2
  rm -rf "$prefix"
  cp -al "$template" "$prefix"
  for reg in "$template"/*.reg; do cp --remove-destination "$reg" "$prefix/"; done
  rm -f "$prefix/.e2e-settings-2"
}

start=$(date +%s)
[ $win32 = 0 ] || make_template win32 "$work/template-win32"
make_template win64 "$work/template-win64"

# --- Runs --------------------------------------------------------------------
: >"$results"
record() {  # name status
  echo "$2 $1" >>"$results"
  echo "== $1: $2"
}

# E2E_ONLY="name ..." runs only those (for working on one scenario).
wanted() { [ -z "${E2E_ONLY:-}" ] || [[ " $E2E_ONLY " == *" $1 "* ]]; }

run_in_display() {  # name, then the arguments of this script inside
  local name=$1; shift
  wanted "$name" || return 0
  echo "== $name"
  if xvfb-run -a -s "-screen 0 1024x768x24" "$0" "$@" 2>&1; then record "$name" PASS; else record "$name" FAIL; fi
}

# The closing lines: how what ran went, and what could not run.
finish() {
  local passed failed
  passed=$(grep -c '^PASS' "$results" || true)
  failed=$(grep -c '^FAIL' "$results" || true)
  echo "Wine layer took $(( $(date +%s) - start )) s"
  grep '^FAIL' "$results" | sed 's/^/  /' || true
  [ -z "$not_run" ] || echo "e2e-wine: NOT RUN: $not_run."
  if [ $((passed + failed)) = 0 ]; then
    echo "e2e-wine: no test program or scenario ran, so there is no result."
  else
    echo "$passed passed, $failed failed"
  fi
  [ "$failed" = 0 ] || exit 1
  if [ -n "$not_run" ] && [ "${E2E_REQUIRE_WIN32:-0}" = 1 ]; then
    echo "e2e-wine: E2E_REQUIRE_WIN32=1, and the 32-bit part could not run." >&2
    exit 1
  fi
  exit 0
}

# The prefixes of the program's own width: 32-bit, or 64-bit where only
# 64-bit programs run.
arch=win32; [ $win32 = 1 ] || arch=win64
for exe in win32_backend_tests win32_contract_tests; do
  prefix=$work/prefix-$exe
  fresh_prefix "$work/template-$arch" "$prefix"
  run_in_display "$exe" --binary "$tests/$exe.exe" "$prefix" $arch
done
# The same binaries where the ANSI code page is 1252: the toolkit and the
# backends hand the program's 936 texts to the system converted.
for exe in win32_backend_tests win32_contract_tests; do
  prefix=$work/prefix-$exe-1252
  fresh_prefix "$work/template-$arch" "$prefix"
  run_in_display "$exe-1252" --binary "$tests/$exe.exe" "$prefix" $arch '*' C.UTF-8
done
# The same binaries in the 64-bit prefix, for what only WOW64 shows: the
# file-system and registry redirection suites, and IsWow64Process2.
if [ $win32 = 1 ]; then
  for step in "wow64-contracts win32_contract_tests *Wow64*" "wow64-backend win32_backend_tests Win32SystemInfoTest.*"; do
    read -r name exe filter <<<"$step"
    prefix=$work/prefix-$name
    fresh_prefix "$work/template-win64" "$prefix"
    run_in_display "$name" --binary "$tests/$exe.exe" "$prefix" win64 "$filter"
  done
fi

scenarios=(start-close close-during-preparation missing-package corrupt-package parallel-receipt parallel-label
           reinstall default-off usb-cancel usb-retry-cancel network-no-port network-dialog serial-receipt serial-declined
           serial-label serial-flood silent-parallel-receipt silent-label silent-serial silent-usb-no-port
           silent-bad-command-line usage-box silent-record silent-remove silent-tcp-address
           silent-package-beside-program ansi-1252
           protected-print-policy)
for s in "${scenarios[@]}"; do
  prefix=$work/prefix-$s
  fresh_prefix "$work/template-$arch" "$prefix"
  run_in_display "$s" --scenario "$s" $arch "$prefix"
  rm -rf "$prefix"
done
if [ $win32 = 1 ]; then
  prefix=$work/prefix-wow64
  fresh_prefix "$work/template-win64" "$prefix"
  run_in_display wow64 --scenario wow64 win64 "$prefix"
  rm -rf "$prefix"
fi

if [ $update_docs = 1 ]; then
  for f in "$shots"/screen-*.png; do [ -f "$f" ] && cp "$f" "$root/docs/"; done
  echo "screenshots copied into $root/docs"
fi

finish
