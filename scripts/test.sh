#!/usr/bin/env bash
# The project's whole test run, from a clean clone, with no input:
#   1. installs what the builds and tests need (Debian 12, root or sudo);
#  1b. the deployment page's playbook (ansible-playbook --syntax-check and
#      ansible-doc of each module's options);
#   2. the native suite under AddressSanitizer and UndefinedBehaviorSanitizer
#      (unit, scenario and contract tests on the simulated machine);
#  2b. every fuzz target for 20 s from its seeds (scripts/fuzz.sh);
#   3. the same suite under ThreadSanitizer, where threads meet;
#   4. the Windows program's cross build, its format check, the 64-bit build
#      of the same sources, and the Wine layer (Win32 backend and contract
#      tests and the end-to-end scenarios; with the 64-bit build where Wine
#      cannot run 32-bit programs).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
jobs=$(nproc 2>/dev/null || echo 2)

step() { printf '\n==== %s\n' "$*"; }

step "dependencies"
bash scripts/install-deps.sh

step "the deployment page's Ansible playbook"
bash tests/deploying_docs_test.sh

step "native build with AddressSanitizer and UndefinedBehaviorSanitizer"
cmake --preset asan >/dev/null
cmake --build --preset asan -j "$jobs"
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
ctest --test-dir build/asan --output-on-failure -j "$jobs"

step "fuzzing: every libFuzzer target for 20 s from its seeds (clang, AddressSanitizer, UndefinedBehaviorSanitizer)"
bash scripts/fuzz.sh

step "the same suite under ThreadSanitizer (the preparation thread, the serial worker, cross-thread sends)"
cmake --preset tsan >/dev/null
cmake --build --preset tsan -j "$jobs" --target installer_tests
TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1" build/tsan/tests/installer_tests --gtest_brief=1

step "Windows program (mingw-w64 i686)"
cmake --preset mingw >/dev/null
cmake --build --preset mingw -j "$jobs"
bash scripts/check-pe.sh build/mingw/release/DriverSetup.exe
bash tests/check_pe_test.sh

# Built everywhere, so that the sources keep compiling for 64 bits; run
# only where Wine cannot run 32-bit programs.
step "the program and its Windows tests as 64-bit programs (mingw-w64 x86-64)"
cmake --preset mingw64 >/dev/null
cmake --build --preset mingw64 -j "$jobs"

step "Wine: Win32 backends and end-to-end scenarios"
bash scripts/e2e-wine.sh build/mingw
