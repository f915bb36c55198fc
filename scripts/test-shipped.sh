#!/usr/bin/env bash
# The shipped program's own stage: build/release/app/QbxMender.exe, the i686
# release exe as it is, walked through the end-to-end scenarios below under
# 32-bit Wine by the 64-bit end-to-end test programs. Where the machine cannot
# run i386 code, only the wizard's process is emulated; the driver runs
# natively. Needs the release and test builds: scripts/test.sh makes them and
# runs this stage last. Two scenarios run at a time, each worker in a prefix,
# wineserver and Xvfb of its own (build/shipped), kept for the next run.
#
# Without a way to run 32-bit Wine here it says so in one line and fails when
# CI is set, so that CI never passes without running the shipped exe.
set -euo pipefail
source "$(dirname "$0")/lib.sh"
cd "$QBX_ROOT"

# One scenario a line: a test program of build/test/tests/e2e, the
# GoogleTest filter of its tests to run against the shipped exe, and
# VAR=value settings for them, if any.
SCENARIOS=(
    "test_e2e E2E.WindowsXpRepairsBothProblems"
    # The installer library's entry point built __cdecl, not __stdcall as
    # declared: the same pages, repair and second diagnosis.
    "test_e2e E2E.WindowsXpRepairsBothProblems QBX_E2E_INSTALLER=VtInst32_cdecl.dll"
    # Messages only the system gives a dialog, from another program.
    "test_e2e E2E.ForeignMessagesChangeNothing"
    "test_single_instance SingleInstance.SecondCopyRestoresTheRunningWizardAndEnds"
    "test_e2e E2E.Windows2000RepairsThePortOnly"
    # The driver repair fails: the library is missing, or it reports failure
    # and the installer call must hand that on.
    "test_e2e E2EDriverRepairFails.*"
    # Planted libraries (i686 builds: a 64-bit one would never load into the
    # 32-bit program, planted or not): the current directory searched before
    # the system folder, as Windows 2000 and XP before SP2 do, and beside the
    # program; and a system library that cannot be loaded at all.
    "test_dll_planting DllPlanting.NoneIsLoaded/AccountsInCurrentDirectoryUnsafeSearch"
    "test_dll_planting DllPlanting.NoneIsLoaded/SpoolerInCurrentDirectoryUnsafeSearch"
    "test_dll_planting DllPlanting.NoneIsLoaded/AccountsBesideProgram"
    "test_dll_planting SystemLibraryMissing.ItsCallsFail/Accounts"
)
WORKERS=2
# The wizard runs under emulation: the driver waits this many times longer.
export QBX_E2E_WAIT_SCALE=6

stage=$QBX_ROOT/build/shipped
exe=$QBX_ROOT/build/release/app/QbxMender.exe
e2e=$QBX_ROOT/build/test/tests/e2e
started=$(date +%s)

if ! qbx_setup_i386; then
    qbx_log "SHIPPED EXE NOT RUN: this machine cannot run 32-bit Wine (above); the 32-bit stage was skipped"
    [ -n "${CI:-}" ] && exit 1
    exit 0
fi
for file in "$exe" "$e2e/test_e2e.exe"; do
    [ -f "$file" ] || { qbx_log "missing $file: run scripts/test.sh"; exit 1; }
done

# The 32-bit stand-ins the shipped exe loads: the account library and the
# demo's installer library, built for i686 in a folder of their own.
qbx_log "32-bit stand-in libraries"
log=$stage/build.log
mkdir -p "$stage"
{ cmake --preset standins-i686 && cmake --build --preset standins-i686; } >"$log" 2>&1 ||
    { cat "$log" >&2; qbx_log "the stand-ins did not build"; exit 1; }
standins=$QBX_ROOT/build/standins-i686/demo

# The test programs with a payload of the shipped exe and the 32-bit
# stand-ins: they copy what they run from the payload beside them.
bin=$stage/bin
rm -rf "$bin"
mkdir -p "$bin/payload"
for scenario in "${SCENARIOS[@]}"; do
    cp "$e2e/${scenario%% *}.exe" "$bin/"
done
cp "$exe" "$standins/netapi32.dll" "$standins/VtInst32.dll" "$QBX_ROOT/build/standins-i686/planted.dll" "$bin/payload/"
cp "$standins/cdecl/VtInst32.dll" "$bin/payload/VtInst32_cdecl.dll"
qbx_log "the shipped exe: $exe, sha256 $(sha256sum "$exe" | cut -d' ' -f1)"

# Each worker: a WoW64 prefix (the account stand-in in its 32-bit system
# folder, where the program loads it from under its netapi32=native
# override), a wineserver and an Xvfb. Windows of two prefixes on one display
# would take the focus from each other.
trap qbx_stop_wine EXIT
qbx_wine_settings
qbx_make_template
qbx_prefix_has_wow64 || { qbx_log "the template has no 32-bit half"; exit 1; }
displays=()
for w in $(seq "$WORKERS"); do
    prefix=$stage/prefix-$w
    qbx_prefix_has_wow64 "$prefix" || rm -rf "$prefix"
    qbx_start_xvfb
    displays+=("$QBX_XVFB_DISPLAY")
    export DISPLAY=$QBX_XVFB_DISPLAY
    qbx_start_prefix "$prefix"
    qbx_use_virtual_desktop
    cp "$standins/netapi32.dll" "$prefix/drive_c/windows/syswow64/netapi32.dll"
done
qbx_log "setting up took $(($(date +%s) - started)) s"

# run_scenario WORKER INDEX: one scenario in the worker's prefix; prints one
# line with its result and time, and the log when it failed.
run_scenario() {
    local w=$1 program filter settings from rc=0
    read -r program filter settings <<<"${SCENARIOS[$2]}"
    local log=$stage/logs/${program}.${filter//[^A-Za-z0-9_.-]/_}${settings:+.${settings//[^A-Za-z0-9_.-]/_}}.log
    from=$(date +%s)
    # shellcheck disable=SC2086 # the settings are words of their own
    (cd "$bin" && env WINEPREFIX="$stage/prefix-$w" DISPLAY="${displays[$((w - 1))]}" $settings \
        timeout 900 "$WINE64" "$program.exe" --gtest_filter="$filter") >"$log" 2>&1 || rc=$?
    # A filter that names no test runs none and passes: that is a failure here.
    grep -q '^\[  PASSED  \] [1-9]' "$log" || [ "$rc" -ne 0 ] || rc=1
    if [ "$rc" -eq 0 ]; then
        qbx_log "PASS $program $filter${settings:+ $settings} ($(($(date +%s) - from)) s, shipped exe)"
    else
        qbx_log "FAIL $program $filter${settings:+ $settings} ($(($(date +%s) - from)) s, exit $rc); log $log:"
        tr -d '\r' <"$log" >&2
    fi
    return "$rc"
}

rm -rf "$stage/logs"
mkdir -p "$stage/logs"
qbx_log "${#SCENARIOS[@]} scenarios against the shipped exe, $WORKERS at a time"
pids=()
for w in $(seq "$WORKERS"); do
    (
        status=0
        for ((i = w - 1; i < ${#SCENARIOS[@]}; i += WORKERS)); do
            run_scenario "$w" "$i" || status=1
        done
        exit $status
    ) &
    pids+=("$!")
done
status=0
for pid in "${pids[@]}"; do
    wait "$pid" || status=1
done
if [ $status -eq 0 ]; then
    qbx_log "32-bit stage: all ${#SCENARIOS[@]} scenarios passed on the shipped exe in $(($(date +%s) - started)) s"
else
    qbx_log "32-bit stage FAILED after $(($(date +%s) - started)) s"
fi
exit $status
