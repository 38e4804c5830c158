#!/usr/bin/env bash
# `make bench`: measures the figures the project is judged by and prints one line each: the
# measured value, its reference and their ratio. Timed figures are medians of BENCH_RUNS runs
# (default 3), the figure and its reference taken in the same run. Not a test: nothing here
# passes or fails; a run that cannot be measured prints "not measured" with the reason.
#
#   scripts/bench.sh [BUILD [DIST]]     (defaults: build, dist; `make bench` builds them first)
#
# Large files (up to 2 GiB each, about 6 GiB at once) go to BUILD/bench and are deleted when
# the run ends.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
dist=$(cd "${2:-$root/dist}" && pwd)
runs=${BENCH_RUNS:-3}
work=$build/bench
wine_prefix=$build/x64/wine
wine_run="$root/scripts/wine-run.sh --prefix $wine_prefix"
install_bench=$build/x64/bench/install_bench.exe
open_bench=$build/tools/bench/open_bench
scrpack=$dist/scrpack
host32=$dist/scrsetup.exe
host64=$dist/x64/scrsetup.exe
MiB=$((1024 * 1024))
# The whole installer must stay below 2 GiB (positions are signed 32-bit).
format_limit=2147483647

cleanup() {
    $wine_run --stop >/dev/null 2>&1 || true
    rm -rf "$work"
}
trap cleanup EXIT
rm -rf "$work"
mkdir -p "$work"

line() {  # figure, value, unit, reference, unit
    awk -v f="$1" -v v="$2" -v u="$3" -v r="$4" -v ru="$5" 'BEGIN {
        printf "%-48s %14s %-5s reference %14s %-5s ratio %.3f\n", f, v, u, r, ru, v / r }'
}

not_measured() {
    printf "%-48s not measured: %s\n" "$1" "$2"
}

median() {
    sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}

now_ms() {
    date +%s%N | awk '{ printf "%.1f", $1 / 1e6 }'
}

field() {  # name, "k=v k=v" line (from a Windows program, so possibly ending in CR)
    tr ' ' '\n' <<<"$2" | tr -d '\r' | sed -n "s/^$1=//p"
}

time_ms() {  # command...: its run time, starting from a clean cache of written data
    sync
    local start
    start=$(now_ms)
    "$@"
    awk -v a="$start" -v b="$(now_ms)" 'BEGIN { print b - a }'
}

# The payloads are random bytes, no program: --any lets the packer take them as entry 0.
pack() { "$scrpack" build --any "$host32" "$work/payload.scr" -o "$work/packed.exe" >/dev/null; }
concatenate() { cat "$host32" "$work/payload.scr" >"$work/catted.exe"; }

payload() {  # size, file
    head -c "$1" /dev/urandom >"$2"
}

echo "machine: $(nproc) cores, $(sed -n 's/^model name[[:space:]]*: //p' /proc/cpuinfo | head -1)"

# 1. Our download: the host as users get it, stripped.
i686-w64-mingw32-strip -o "$work/host.exe" "$host32" 2>/dev/null ||
    x86_64-w64-mingw32-strip -o "$work/host.exe" "$host32"
line "1. host size, stripped (dist/scrsetup.exe)" "$(stat -c %s "$work/host.exe")" bytes 102400 bytes

$wine_run --start >/dev/null 2>&1
# With no window manager on the virtual display, Wine waits 2 s for one to answer when the
# installer's windows close, and that wait would be timed as part of every installation. The
# benchmark's installer (by its name alone) gets windows that need no window manager.
$wine_run reg add 'HKCU\Software\Wine\AppDefaults\benchsetup.exe\X11 Driver' \
    /v Managed /d N /f >/dev/null 2>&1

# 2 and 3. Installation against the command interpreter's copy, under wine64 (the 64-bit
# build: the 32-bit one runs under emulation, which would time the emulator).
for size in 1269014 $((256 * MiB)); do
    label=$([ "$size" -eq 1269014 ] && echo "1.27 MB" || echo "256 MiB")
    # The small copy takes a few milliseconds beside a start-up of over a hundred: more runs.
    copy_runs=$([ "$size" -eq 1269014 ] && echo $((runs * 5)) || echo "$runs")
    payload "$size" "$work/payload.scr"
    "$scrpack" build --any "$host64" "$work/payload.scr" -o "$work/benchsetup.exe" >/dev/null
    result=$(WINE_RUN_TIMEOUT=1800 $wine_run "$install_bench" "$work/benchsetup.exe" \
        "$work/payload.scr" "$work/out" "$runs" "$copy_runs" 300 || true)
    if [ "$(field exact "$result")" != 1 ]; then
        not_measured "2. installation of $label" "the installation failed ($result)"
        continue
    fi
    line "2. installation of $label (ms), against copy" "$(field install_ms "$result")" ms \
        "$(field copy_ms "$result")" ms
    echo "   (copy: $(field copies_per_process "$result") copies by one cmd /c, less the" \
        "$(field startup_ms "$result") ms of cmd /c rem, per copy)"
    if [ "$size" -gt 1269014 ]; then
        line "3. peak working set, $label payload" "$(field peak_working_set "$result")" bytes \
            "$size" bytes
        line "3. peak pagefile usage, $label payload" "$(field peak_pagefile "$result")" bytes \
            "$size" bytes
    fi
    rm -rf "$work/out" "$work/benchsetup.exe" "$work/payload.scr"
done

# 4. The reader's Open of 100,000 entries against one plain read of the same file (native).
result=$("$open_bench" "$work/index.pkg" 100000 "$((runs < 5 ? 5 : runs))")
line "4. Open of 100,000 entries (us), against read" "$(field open_us "$result")" us \
    "$(field read_us "$result")" us
rm -f "$work/index.pkg"

# 5. The packer against cat of the same files.
payload $((1024 * MiB)) "$work/payload.scr"
pack_times=() cat_times=()
# Taking turns at going first, so that neither always meets the other's leftovers.
for run in $(seq "$runs"); do
    if [ $((run % 2)) = 1 ]; then
        pack_times+=("$(time_ms pack)")
        cat_times+=("$(time_ms concatenate)")
    else
        cat_times+=("$(time_ms concatenate)")
        pack_times+=("$(time_ms pack)")
    fi
    rm -f "$work/packed.exe" "$work/catted.exe"
done
line "5. scrpack build of 1 GiB (ms), against cat" \
    "$(printf '%s\n' "${pack_times[@]}" | median)" ms \
    "$(printf '%s\n' "${cat_times[@]}" | median)" ms
rm -f "$work/payload.scr"

# 6. The real 32-bit installer under 32-bit Wine (emulated, about a minute a process): the
# largest payload the format allows first, then smaller ones until one installs exactly.
host_size=$(stat -c %s "$host32")
# Index: count, name length, "payload.scr" and its NUL, offset, size; then the trailer.
largest=$((format_limit - host_size - (4 + 4 + 12 + 4 + 4) - 12))
installed=0
for size in "$largest" $((1024 * MiB)) $((600 * MiB)); do
    payload "$size" "$work/payload.scr"
    if ! "$scrpack" build --any "$host32" "$work/payload.scr" -o "$work/benchsetup.exe" >/dev/null; then
        echo "   scrpack refused a payload of $size bytes"
        continue
    fi
    result=$(WINE_RUN_TIMEOUT=3600 $wine_run "$install_bench" "$work/benchsetup.exe" \
        "$work/payload.scr" "$work/out" 1 0 1800 || true)
    rm -rf "$work/out" "$work/benchsetup.exe" "$work/payload.scr"
    echo "   32-bit installer, payload of $size bytes: $result"
    if [ "$(field exact "$result")" = 1 ]; then
        installed=$size
        line "6. peak working set, 32-bit, $size B" "$(field peak_working_set "$result")" \
            bytes "$size" bytes
        break
    fi
done
line "6. largest payload the 32-bit installer installs" "$installed" bytes "$largest" bytes
