#!/usr/bin/env bash
# Runs the Windows side of the tests under Wine on a virtual display:
#   1. win32_backend_tests (the Win32 backends against Wine's real services);
#   2. the end-to-end run: e2e_driver starts the installer from the release
#      folder, checks its window, takes a screenshot into docs/, closes it
#      and checks the clean-up.
# Each run gets a fresh prefix copied from a booted template (kept under the
# build folder), 32-bit so that the program sees 32-bit Windows.
#
# Usage: scripts/e2e-wine.sh [BUILD_DIR]   (default build/mingw)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build/mingw}" && pwd)
release=$build/release
tests=$build/tests/e2e
work=$build/wine
template=$work/template-win32
shot=$root/docs/e2e-main-window.png

for f in "$release/DriverSetup.exe" "$release/DriverData.Drv" "$tests/win32_backend_tests.exe" "$tests/e2e_driver.exe"; do
  [ -f "$f" ] || { echo "e2e-wine: missing $f (build the Windows program first)" >&2; exit 1; }
done

# Wine's ANSI code page follows the locale: zh_CN gives 936.
export LANG=zh_CN.UTF-8 LC_ALL=zh_CN.UTF-8 WINEDEBUG=-all WINEARCH=win32 WINEDLLOVERRIDES="mscoree,mshtml="

make_template() {
  rm -rf "$template.tmp"
  mkdir -p "$work"
  WINEPREFIX="$template.tmp" wineboot -i >/dev/null 2>&1
  # No window manager under Xvfb: let Wine manage the windows itself, or
  # every close stalls and windows have no caption. Pin the dialog font.
  cat >"$work/settings.reg" <<'EOF'
REGEDIT4

[HKEY_CURRENT_USER\Software\Wine\X11 Driver]
"Managed"="N"

[HKEY_CURRENT_USER\Software\Wine\Fonts\Replacements]
"宋体"="WenQuanYi Micro Hei"
"SimSun"="WenQuanYi Micro Hei"
EOF
  iconv -f UTF-8 -t GBK "$work/settings.reg" >"$work/settings-gbk.reg"
  WINEPREFIX="$template.tmp" wine regedit /S "$(WINEPREFIX="$template.tmp" winepath -w "$work/settings-gbk.reg")"
  WINEPREFIX="$template.tmp" wineserver -w
  touch "$template.tmp/.e2e-settings"
  rm -rf "$template"
  mv "$template.tmp" "$template"
}

# A fresh prefix: hard links for speed, real copies of the registry files,
# which wineserver rewrites in place.
fresh_prefix() {
  local prefix=$1
  rm -rf "$prefix"
  cp -al "$template" "$prefix"
  for reg in "$template"/*.reg; do cp --remove-destination "$reg" "$prefix/"; done
  rm -f "$prefix/.e2e-settings"
}

# A template made by an older version of this script lacks the stamp.
[ -f "$template/.e2e-settings" ] || make_template

status=0

# --- 1. The backends against Wine ------------------------------------------
prefix=$work/prefix-backend
fresh_prefix "$prefix"
echo "== win32_backend_tests"
xvfb-run -a -s "-screen 0 1024x768x24" sh -c \
  "WINEPREFIX='$prefix' wine '$tests/win32_backend_tests.exe' --gtest_color=no; rc=\$?; WINEPREFIX='$prefix' wineserver -k; exit \$rc" \
  || status=1

# --- 2. End to end ------------------------------------------------------------
prefix=$work/prefix-e2e
fresh_prefix "$prefix"
echo "== e2e: start, read, close"
mkdir -p "$(dirname "$shot")"
cat >"$work/e2e-run.sh" <<EOF
export WINEPREFIX='$prefix'
c='$prefix/drive_c'
# Screenshot when the driver says the window is ready, then let it go on.
( for i in \$(seq 1 600); do
    if [ -f "\$c/e2e-ready" ]; then
      sleep 0.5; import -window root '$shot' || true
      touch "\$c/e2e-continue"; break
    fi
    sleep 0.1
  done ) &
watcher=\$!
wine '$tests/e2e_driver.exe' "\$(winepath -w '$release/DriverSetup.exe')" "\$(winepath -w '$release')"
rc=\$?
kill \$watcher 2>/dev/null || true
wineserver -k
exit \$rc
EOF
xvfb-run -a -s "-screen 0 1024x768x24" sh "$work/e2e-run.sh" || status=1
[ -f "$shot" ] && echo "screenshot: $shot"

exit $status
