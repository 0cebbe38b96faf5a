#!/usr/bin/env bash
# Builds the libFuzzer targets (preset fuzz: clang, AddressSanitizer and
# UndefinedBehaviorSanitizer) and runs each from its seeds in
# fuzz/corpus/<target>/ for a fixed time. Fails at the first crash, leak,
# sanitizer report or broken check; the input that did it is left in
# build/fuzz/findings/.
#   scripts/fuzz.sh                 every target for 20 s (what CI runs)
#   scripts/fuzz.sh --long SECONDS  every target for SECONDS
#   scripts/fuzz.sh [--long S] NAME...   only these targets (archive_paths ...)
# The seeds are copied to a scratch folder first, so that a run never grows
# the repository's corpus; a long run's new inputs are kept in
# build/fuzz/corpus/<target>/ for the next long run.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

seconds=20
long=0
if [ "${1:-}" = "--long" ]; then
  seconds=${2:?"--long needs a number of seconds"}
  long=1
  shift 2
fi

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j "$(nproc 2>/dev/null || echo 2)"

bin=build/fuzz/fuzz
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  for f in fuzz/*_fuzz.cpp; do t=$(basename "$f" _fuzz.cpp); targets+=("$t"); done
fi

# The targets' simulated machines live in the temporary folder: in memory
# where there is one, as they write a file or two on every run.
scratch=$(mktemp -d "$( [ -d /dev/shm ] && echo /dev/shm || echo "${TMPDIR:-/tmp}" )/installer-fuzz.XXXXXX")
trap 'rm -rf "$scratch"' EXIT
findings=build/fuzz/findings
mkdir -p "$findings"
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1

for t in "${targets[@]}"; do
  corpus="$scratch/corpus-$t"
  mkdir -p "$corpus"
  cp fuzz/corpus/"$t"/* "$corpus"/
  if [ $long = 1 ] && [ -d build/fuzz/corpus/"$t" ]; then cp build/fuzz/corpus/"$t"/* "$corpus"/ 2>/dev/null || true; fi
  printf '==== fuzz %s (%s s)\n' "$t" "$seconds"
  status=0
  TMPDIR="$scratch" "$bin/${t}_fuzz" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
      -print_final_stats=1 -artifact_prefix="$findings/$t-" "$corpus" \
      >"$scratch/$t.log" 2>&1 || status=$?
  grep -E '^(stat::number_of_executed_units|Done )' "$scratch/$t.log" || true
  if [ $status -ne 0 ]; then
    tail -n 60 "$scratch/$t.log"
    echo "fuzz: $t failed; the input is in $findings/" >&2
    exit 1
  fi
  if [ $long = 1 ]; then mkdir -p build/fuzz/corpus/"$t" && cp "$corpus"/* build/fuzz/corpus/"$t"/ 2>/dev/null || true; fi
done
