#!/usr/bin/env bash
# The benchmark: builds what it needs, then prints each speed and size figure
# of QbxMender next to its goal, with OK or MISSED. It is not a test: it
# fails only when it cannot measure, never because a goal was missed.
#
#   scripts/bench.sh [START_RUNS [DIAGNOSES]]     (defaults 31 and 10)
#
# Timings and memory come from x86_64 builds run under wine64 with one
# persistent wineserver in a prefix of the bench's own (build/bench/prefix);
# the shipped i686 build runs here only under emulation and is only measured
# for size.
set -euo pipefail
source "$(dirname "$0")/lib.sh"
cd "$QBX_ROOT"

runs=${1:-31}
diagnoses=${2:-10}
bench_dir=$QBX_ROOT/build/bench
x64_dir=$bench_dir/x64
mkdir -p "$bench_dir"

qbx_install_packages "${QBX_PACKAGES[@]}"

# Runs a build step quietly; its log is shown only when it fails.
quiet() {
    local log=$bench_dir/build.log
    "$@" >"$log" 2>&1 || { cat "$log" >&2; qbx_log "failed: $*"; exit 1; }
}
qbx_log "release build (i686)"
quiet cmake --preset release
quiet cmake --build --preset release
qbx_log "x86_64 build of the measured programs in $x64_dir"
quiet cmake --preset test -B "$x64_dir" -DQBX_BUILD_TESTS=OFF
quiet cmake --build "$x64_dir" --target QbxMender QbxMinimal QbxStartBench QbxDiagBench

trap qbx_stop_wine EXIT
qbx_start_wine "$bench_dir/prefix"
# As in the test prefixes: windows open in one Wine-drawn desktop, so a
# closed dialog does not wait for a window manager that Xvfb lacks.
qbx_use_virtual_desktop
# Every measured program plays Windows XP, as the diagnosis needs.
for exe in QbxMender.exe QbxMinimal.exe QbxDiagBench.exe; do
    "$WINE64" reg add "HKCU\\Software\\Wine\\AppDefaults\\$exe" /v Version /d winxp /f >/dev/null 2>&1
done

winpath() { local p=$1; printf 'Z:%s' "${p//\//\\}"; }
# The programs write through the C runtime's text mode: drop its carriage returns.
run_wine() { "$WINE64" "$@" | tr -d '\r'; }

out=$bench_dir/figures.txt
{
    echo "QbxMender benchmark, $(date -u '+%Y-%m-%d %H:%M UTC'), $(nproc) cores, load average $(cut -d' ' -f1-3 /proc/loadavg)"
    echo "Figures 1-4: x86_64 builds under wine64, one persistent wineserver, Xvfb and a Wine-drawn desktop"
    echo "(the shipped i686 build runs here only under emulation); start-up and memory against the minimal"
    echo "dialog program of bench/minimal."
    echo
    echo "Start-up and memory, $runs runs of each program in turns (after 2 unmeasured runs each):"
    run_wine "$x64_dir/bench/QbxStartBench.exe" "$runs" "$(winpath "$x64_dir/app/QbxMender.exe")" \
        "$(winpath "$x64_dir/bench/minimal/QbxMinimal.exe")"
    echo
    echo "Diagnosis, in-process against a private HKLM, $diagnoses diagnoses per series:"
    # The account database's stand-in where the program loads it from.
    cp "$x64_dir/bench/diag/netapi32.dll" "$WINEPREFIX/drive_c/windows/system32/"
    WINEDLLOVERRIDES="$WINEDLLOVERRIDES;netapi32=n" run_wine "$x64_dir/bench/diag/QbxDiagBench.exe" "$diagnoses"
    echo
    echo "Size of the shipped i686 release build:"
    exe=build/release/app/QbxMender.exe
    nobitmap=build/release/bench/QbxMender_nobitmap.exe
    minimal=build/release/bench/minimal/QbxMinimal.exe
    size=$(stat -c %s "$exe")
    size_nobitmap=$(stat -c %s "$nobitmap")
    size_minimal=$(stat -c %s "$minimal")
    verdict() { [ "$1" -lt "$2" ] && echo OK || echo MISSED; }
    printf '  %-44s %-30s goal %-12s %s\n' "5a. $exe" "$size bytes ($((size / 1024)) KB)" "< 160 KB" \
        "$(verdict "$size" $((160 * 1024)))"
    printf '  %-44s %-30s goal %-12s %s\n' "5b. the same without bitmap 129" \
        "$size_nobitmap bytes ($((size_nobitmap / 1024)) KB)" "< 64 KB" "$(verdict "$size_nobitmap" $((64 * 1024)))"
    printf '  %-44s %s\n' "    for comparison, QbxMinimal.exe (i686)" "$size_minimal bytes ($((size_minimal / 1024)) KB)"
    echo
    echo "Load average at the end: $(cut -d' ' -f1-3 /proc/loadavg) (timings are wall-clock: other work on the machine shows)"
} | tee "$out"

met=$(grep -c ' OK$' "$out" || true)
missed=$(grep -c ' MISSED$' "$out" || true)
echo
echo "Goals: $met met, $missed missed (figures also in ${out#"$QBX_ROOT"/})"
