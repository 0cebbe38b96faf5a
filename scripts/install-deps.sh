#!/usr/bin/env bash
# Installs everything the project builds and tests with, on Debian 12 as root.
# Safe to run again: apt skips what is already there.
set -euo pipefail
export DEBIAN_FRONTEND=noninteractive
SUDO=""
[ "$(id -u)" = 0 ] || SUDO=sudo

native=(build-essential cmake ninja-build pkg-config libgtest-dev libgmock-dev
        libbenchmark-dev libarchive-dev libarchive-tools gcab libgcab-dev libncurses-dev tmux
        python3 time)  # python3 and time: scripts/mutation.py and scripts/bench-package.sh
cross=(g++-mingw-w64-i686 binutils-mingw-w64-i686 gcc-mingw-w64-x86-64-posix g++-mingw-w64-x86-64-posix
       binutils-mingw-w64-x86-64)
# The fuzz targets: clang with libFuzzer and the sanitizer runtimes.
fuzz=(clang libclang-rt-14-dev)
wine=(wine wine32:i386 wine64 xvfb imagemagick socat fonts-wqy-microhei gcc-multilib locales)
# The deployment page's playbook is checked with Ansible and its
# ansible.windows collection (Debian's ansible package has both).
docs=(ansible)


want=("${native[@]}" "${cross[@]}" "${fuzz[@]}" "${docs[@]}")
[ "${SKIP_WINE:-0}" = 1 ] || want+=("${wine[@]}")

missing=()
for p in "${want[@]}"; do
  [ -n "$p" ] || continue
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done

if [ ${#missing[@]} -gt 0 ]; then
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    $SUDO dpkg --add-architecture i386
  fi
  $SUDO apt-get update -qq
  $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# Wine's ANSI code page follows the locale: zh_CN gives code page 936.
if [ "${SKIP_WINE:-0}" != 1 ] && ! locale -a 2>/dev/null | grep -qi '^zh_CN.utf8$'; then
  for l in "zh_CN.UTF-8 UTF-8" "zh_CN.GBK GBK"; do
    grep -qx "$l" /etc/locale.gen || echo "$l" | $SUDO tee -a /etc/locale.gen >/dev/null
  done
  $SUDO locale-gen >/dev/null
fi
