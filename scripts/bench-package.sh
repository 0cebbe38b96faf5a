#!/usr/bin/env bash
# The installer on a driver package of a real one's size, next to the
# reference unpackers on the same package, in one run (not part of CI):
#   1. makes the package under the build folder (bench/make_package.py grows
#      the sample package's stage; driver-package builds and checks it: one
#      MSZIP cabinet, as the sample);
#   2. the simulated machine: start to Install enabled (real time) and peak
#      memory, each run its own process (bench/real_package_prepare), next to
#      bsdtar -xf into a fresh folder;
#   3. silent installations with the terminal front end (--time-scale 0):
#      wall time, the run's own time from its log, spooler restarts;
#   4. under Wine (64-bit loader, booted 64-bit prefix, Xvfb): DriverSetup.exe
#      of the mingw64 build, start to Install enabled with the package beside
#      it, next to Wine's own cabinet tool unpacking the same cabinet:
#      extrac32.exe /E /L (Wine's expand.exe takes its second argument as one
#      output file, and fails on a cabinet of many files in folders).
# Prints one table of medians (and writes it to BENCH_DIR/results.md).
#
# Usage: scripts/bench-package.sh [--runs N] [--no-wine] [--scale S]
#   Builds the native targets it needs (preset native, configured first);
#   the Wine part needs build/mingw64 built (cmake --preset mingw64 &&
#   cmake --build --preset mingw64) and is left out with a note otherwise.
#   BENCH_NATIVE, BENCH_MINGW64: other build folders.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
native=${BENCH_NATIVE:-$root/build/native}
win64=${BENCH_MINGW64:-$root/build/mingw64}
work=$native/bench-package
wine=$(command -v wine64 || echo /usr/lib/wine/wine64)
models=("Sample R80-01" "Sample LB-40")

# --- Inside the virtual display: the Wine runs --------------------------------
if [ "${1:-}" = --wine-inside ]; then
  runs=$2 prefix=$3 out=$4
  export WINEPREFIX=$prefix WINEARCH=win64
  driver=$win64/tests/e2e/e2e_driver.exe
  # One wineserver for every run, so that neither side pays its start.
  wineserver -p30
  "$wine" cmd /c exit >/dev/null 2>&1 || true
  for i in $(seq "$runs"); do
    "$wine" "$driver" bench-prepare 'C:\bench\DriverSetup.exe' 'C:\bench' 2>/dev/null | tr -d '\r' |
      sed -n 's/^\(start_to_install_ms\|peak_working_set_kib\) /wine_prepare_\1 /p' >>"$out"
    "$wine" "$driver" bench-prepare 'C:\sample\DriverSetup.exe' 'C:\sample' 2>/dev/null | tr -d '\r' |
      sed -n 's/^\(start_to_install_ms\|peak_working_set_kib\) /wine_sample_\1 /p' >>"$out"
    rm -rf "$prefix/drive_c/extract-in" "$prefix/drive_c/extract-host"
    mkdir -p "$prefix/drive_c/extract-in" "$prefix/drive_c/extract-host"
    "$wine" "$driver" bench-run 'C:\windows\system32\extrac32.exe' 'C:\bench' \
      /Y /E /L 'C:\extract-in' 'C:\bench\DriverData.Drv' 2>/dev/null | tr -d '\r' |
      sed -n 's/^\(run_ms\|peak_working_set_kib\|exit_code\) /wine_extrac32_\1 /p' >>"$out"
    # The same from the host: wine64's own start and the process start in it.
    t0=$(date +%s%N)
    "$wine" extrac32 /Y /E /L 'C:\extract-host' 'C:\bench\DriverData.Drv' >/dev/null 2>&1
    t1=$(date +%s%N)
    echo "wine_extrac32_host_ms $(( (t1 - t0) / 1000000 ))" >>"$out"
  done
  n_in=$(find "$prefix/drive_c/extract-in" -type f | wc -l)
  n_host=$(find "$prefix/drive_c/extract-host" -type f | wc -l)
  echo "wine_extrac32_files_in $n_in" >>"$out"
  echo "wine_extrac32_files_host $n_host" >>"$out"
  wineserver -k
  exit 0
fi

runs=5 scale=1.15 with_wine=1
while [ $# -gt 0 ]; do
  case "$1" in
    --runs) runs=$2; shift 2 ;;
    --scale) scale=$2; shift 2 ;;
    --no-wine) with_wine=0; shift ;;
    *) echo "usage: $0 [--runs N] [--no-wine] [--scale S]" >&2; exit 2 ;;
  esac
done

# --- 1. The package -------------------------------------------------------------
[ -f "$native/build.ninja" ] || cmake --preset native -S "$root" >/dev/null
cmake --build "$native" --target driver_package driver-package installer_tui real_package_prepare >/dev/null
mkdir -p "$work"
rm -rf "$work/tmp"
mkdir -p "$work/tmp"
results=$work/raw.txt
: >"$results"
python3 "$root/bench/make_package.py" "$native/driver/stage" "$work/stage" --scale "$scale" >"$work/stage.txt"
package=$work/DriverData.Drv
"$native/tools/driver_package/driver-package" build "$work/stage" -o "$package" >"$work/build.txt"
check=0
"$native/tools/driver_package/driver-package" check "$package" >"$work/check.txt" || check=$?
[ $check = 0 ] || { echo "bench-package: driver-package check failed ($check), see $work/check.txt" >&2; exit 1; }
package_bytes=$(stat -c %s "$package")
echo "package: $(cat "$work/stage.txt"), cabinet $package_bytes bytes; check: $(tail -n 1 "$work/check.txt")"

# --- 2. Preparation on the simulated machine, and bsdtar --------------------------
# Both write to the same file system (the harness's sandbox goes to TMPDIR).
for i in $(seq "$runs"); do
  TMPDIR=$work/tmp "$native/bench/real_package_prepare" "$package" |
    sed -n 's/^\(start_to_install_ms\|peak_rss_kib\|rss_before_start_kib\) /sim_\1 /p' >>"$results"
  out=$work/tmp/bsdtar-$i
  mkdir "$out"
  t0=$(date +%s%N)
  /usr/bin/time -f %M -o "$work/tmp/bsdtar-rss" bsdtar -xf "$package" -C "$out"
  t1=$(date +%s%N)
  echo "bsdtar_ms $(( (t1 - t0) / 1000000 ))" >>"$results"
  echo "bsdtar_rss_kib $(cat "$work/tmp/bsdtar-rss")" >>"$results"
  rm -rf "$out"
  # What the preparation costs besides unpacking: the same with the sample package.
  TMPDIR=$work/tmp "$native/bench/real_package_prepare" "$native/DriverData.Drv" |
    sed -n 's/^\(start_to_install_ms\|peak_rss_kib\) /sim_sample_\1 /p' >>"$results"
done

# --- 3. Silent installations ------------------------------------------------------
# A fresh machine each time; the second run on it installs over the first.
log_ms() {  # the run's own time: its log's first line to its last
  python3 - "$1" <<'EOF'
import sys, datetime
lines = [l for l in open(sys.argv[1], encoding="utf-8-sig") if l[:4].isdigit()]
t = [datetime.datetime.strptime(l[:23], "%Y-%m-%d %H:%M:%S.%f") for l in (lines[0], lines[-1])]
print(round((t[1] - t[0]).total_seconds() * 1000))
EOF
}
for m in "${!models[@]}"; do
  for i in $(seq "$runs"); do
    machine=$work/tmp/machine-$m-$i
    for pass in first again; do
      log=$work/tmp/silent-$m-$i-$pass.log
      t0=$(date +%s%N)
      code=0
      "$native/tools/terminal/installer_tui" --machine "$machine" --package "$package" --time-scale 0 \
        /S "/MODEL=${models[$m]}" /PORT=LPT "/LOG=$log" >/dev/null 2>&1 || code=$?
      t1=$(date +%s%N)
      [ $code = 0 ] || { echo "bench-package: silent run failed ($code), see $log" >&2; exit 1; }
      {
        echo "silent_${m}_${pass}_wall_ms $(( (t1 - t0) / 1000000 ))"
        echo "silent_${m}_${pass}_log_ms $(log_ms "$log")"
        echo "silent_${m}_${pass}_stops $(grep -c 'ControlService(service="Spooler", control=1)' "$log" || true)"
        echo "silent_${m}_${pass}_starts $(grep -c 'StartServiceA(service="Spooler") -> 1' "$log" || true)"
      } >>"$results"
    done
    rm -rf "$machine"
  done
done

# --- 4. Under Wine ----------------------------------------------------------------
wine_note=""
if [ $with_wine = 1 ] && [ -f "$win64/release/DriverSetup.exe" ] && [ -f "$win64/tests/e2e/e2e_driver.exe" ] &&
   [ -x "$wine" ]; then
  export LANG=zh_CN.UTF-8 LC_ALL=zh_CN.UTF-8 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=;winedbg.exe=d"
  export WINELOADER=$wine
  wdir=$win64/bench-wine
  template=$wdir/template
  mkdir -p "$wdir"
  if [ ! -f "$template/.bench-settings" ]; then
    # As the end-to-end prefixes are made: Wine manages the windows itself,
    # and the key Windows always has for the default printer.
    rm -rf "$template.tmp"
    WINEARCH=win64 WINEPREFIX="$template.tmp" "$wine" wineboot -i >/dev/null 2>&1
    printf '%s\n' 'REGEDIT4' '' '[HKEY_CURRENT_USER\Software\Wine\X11 Driver]' '"Managed"="N"' '' \
      '[HKEY_CURRENT_USER\Software\Microsoft\Windows NT\CurrentVersion\Windows]' >"$wdir/settings.reg"
    WINEARCH=win64 WINEPREFIX="$template.tmp" "$wine" regedit /S \
      "$(WINEPREFIX="$template.tmp" "$wine" winepath -w "$wdir/settings.reg")" >/dev/null 2>&1
    WINEPREFIX="$template.tmp" wineserver -w
    touch "$template.tmp/.bench-settings"
    mv "$template.tmp" "$template"
  fi
  prefix=$wdir/prefix
  rm -rf "$prefix"
  cp -a "$template" "$prefix"
  mkdir -p "$prefix/drive_c/bench"
  cp "$win64/release/DriverSetup.exe" "$package" "$prefix/drive_c/bench/"
  mkdir -p "$prefix/drive_c/sample"
  cp "$win64/release/DriverSetup.exe" "$win64/release/DriverData.Drv" "$prefix/drive_c/sample/"
  xvfb-run -a -s "-screen 0 1024x768x24" "$0" --wine-inside "$runs" "$prefix" "$results"
  rm -rf "$prefix"
else
  wine_note="Wine part not run (needs $wine and the mingw64 build: $win64/release/DriverSetup.exe, tests/e2e/e2e_driver.exe)"
fi

# --- The table -------------------------------------------------------------------
python3 - "$results" "$runs" "$package_bytes" "$(stat -c %s "$native/DriverData.Drv")" "$(cat "$work/stage.txt")" \
  "${models[@]}" <<'EOF' | tee "$work/results.md"
import statistics, sys
raw, runs, size, sample_size, stage = sys.argv[1], sys.argv[2], int(sys.argv[3]), int(sys.argv[4]), sys.argv[5]
models = sys.argv[6:]
values = {}
for line in open(raw):
    parts = line.split()
    if len(parts) >= 2:
        values.setdefault(parts[0], []).append(float(parts[1]))
med = lambda k: statistics.median(values[k]) if k in values else None
def fmt(v, unit=""):
    return "n/a" if v is None else ("%.0f%s" % (v, unit))
def ratio(a, b, goal, ka, kb):
    if a is None or b is None or b == 0: return "n/a"
    r = a / b
    # Each run's pair was taken back to back: their ratios show the spread
    # a loaded machine adds.
    pairs = [x / y for x, y in zip(values[ka], values[kb]) if y]
    return "%.2f (goal <= %s: %s); run by run %.2f, %.2f to %.2f" % (
        r, goal, "met" if r <= goal else "missed by %.0f%%" % ((r / goal - 1) * 100),
        statistics.median(pairs), min(pairs), max(pairs))
print("Package: %s; cabinet %.1f MB (MSZIP). Medians of %s runs." % (stage, size / 1e6, runs))
print()
print("| measure | installer | reference | ratio |")
print("|---|---|---|---|")
a, b = med("sim_start_to_install_ms"), med("bsdtar_ms")
print("| (a) simulated machine: start to Install enabled, ms / `bsdtar -xf` | %s | %s | %s |" % (fmt(a), fmt(b), ratio(a, b, 1.1, "sim_start_to_install_ms", "bsdtar_ms")))
mib = lambda v: "n/a" if not v else "%.1f" % (v / 1024)
print("| (a) the same with the sample package (%.0f KB): what the preparation costs besides unpacking | %s | | |" % (
    sample_size / 1e3, fmt(med("sim_sample_start_to_install_ms"))))
a, b = med("sim_peak_rss_kib"), med("bsdtar_rss_kib")
print("| (b) peak RSS, MiB / bsdtar (the installer's process before the start: %s; with the sample package: %s) | %s | %s | %s |" % (
    mib(med("sim_rss_before_start_kib")), mib(med("sim_sample_peak_rss_kib")), mib(a), mib(b),
    "%.2f" % (a / b) if a and b else "n/a"))
for m, name in enumerate(models):
    for p, label in (("first", "fresh machine"), ("again", "again, over the first")):
        k = "silent_%d_%s_" % (m, p)
        print("| (c) silent `/S /MODEL=\"%s\" /PORT=LPT`, %s: wall ms (own, from its log) | %s (%s) | spooler stops/starts: %s/%s | |" % (
            name, label, fmt(med(k + "wall_ms")), fmt(med(k + "log_ms")), fmt(med(k + "stops")), fmt(med(k + "starts"))))
a, b, h = med("wine_prepare_start_to_install_ms"), med("wine_extrac32_run_ms"), med("wine_extrac32_host_ms")
print("| (d) Wine: DriverSetup.exe start to Install enabled, ms / extrac32.exe (started in Wine; from the host: %s) | %s | %s | %s |" % (
    fmt(h), fmt(a), fmt(b), ratio(a, b, 1.2, "wine_prepare_start_to_install_ms", "wine_extrac32_run_ms")))
print("| (d) Wine: the same with the sample package: what the preparation costs besides unpacking | %s | | |" % (
    fmt(med("wine_sample_start_to_install_ms"))))
a, b = med("wine_prepare_peak_working_set_kib"), med("wine_extrac32_peak_working_set_kib")
print("| (d) Wine: peak working set, MiB (with the sample package: %s) | %s | %s | %s |" % (
    mib(med("wine_sample_peak_working_set_kib")), mib(a), mib(b), "%.2f" % (a / b) if a and b else "n/a"))
if "wine_extrac32_files_in" in values:
    print()
    print("extrac32.exe unpacked %s files (started in Wine) and %s (from the host); the package holds %s." % (
        fmt(values["wine_extrac32_files_in"][-1]), fmt(values["wine_extrac32_files_host"][-1]), stage.split()[0]))
EOF
[ -z "$wine_note" ] || echo "$wine_note"
