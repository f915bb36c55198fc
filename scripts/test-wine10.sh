#!/usr/bin/env bash
# The x86_64 test suite again, the same build, under a second Win32
# implementation: Wine 10 from a Debian 13 root (scripts/lib.sh), where the
# fast suite ran under Debian 12's Wine 8. Needs the test build:
# scripts/test.sh makes it and runs this stage after the Wine 8 run.
#
# The root is made once per machine with debootstrap (a few minutes and
# about 210 MB of downloads) and kept outside the clone. The stage runs in a
# mount and PID namespace of its own: whatever mounts it makes and whatever
# it starts there vanish with it, however it ends. Its prefixes are copies of
# a Wine 10 template (build/wine10), put in place of build/test's prefixes
# inside the namespace only, with one wineserver each. Its Xvfb runs on this
# machine, not in the root, so that it takes a display number no other run
# holds (the X sockets are shared with the root, the lock files are not).
#
#   scripts/test-wine10.sh [CTEST ARGUMENTS]    (e.g. -R Wizard to run some)
#
# QBX_SKIP_WINE10=1 skips it, except under CI. Where it cannot run (not
# root, no network for the first set-up) it says so in one line and is
# skipped, and fails when CI is set.
set -euo pipefail
source "$(dirname "$0")/lib.sh"
cd "$QBX_ROOT"

# The prefixes of build/test that the test build names.
PREFIXES=(wineprefix wineprefix-120dpi wineprefix-144dpi wineprefix-192dpi e2e-prefix)
stage=$QBX_ROOT/build/wine10
# The namespace's first process says so with this status when the root
# cannot be set up.
CANNOT_RUN=77

# qbx_wine10_not_run REASON: says the stage did not run, and fails under CI.
qbx_wine10_not_run() {
    qbx_log "WINE 10 NOT RUN: $1"
    [ -z "${CI:-}" ] || exit 1
    exit 0
}

# --- Inside the namespace ----------------------------------------------
if [ "${1:-}" = --in-namespace ]; then
    qbx_setup_wine10_root "$stage/root.log" || exit $CANNOT_RUN
    qbx_use_wine10
    qbx_wine_settings
    trap qbx_stop_wine EXIT
    # As the Wine 8 run has them (scripts/test.sh).
    qbx_start_prefix "$stage/e2e-prefix"
    qbx_use_virtual_desktop
    qbx_start_prefix "$stage/wineprefix"
    qbx_use_virtual_desktop
    for dpi in 120 144 192; do
        qbx_start_dpi_prefix "$stage/wineprefix" "$dpi"
    done
    # The test build's prefixes are these, here and in the root.
    for name in "${PREFIXES[@]}"; do
        mkdir -p "build/test/$name"
        mount --bind "$stage/$name" "build/test/$name"
        mount --bind "$stage/$name" "$QBX_WINE10_ROOT$QBX_ROOT/build/test/$name"
    done
    qbx_log "tests (x86_64 under Wine $("$WINE64" --version | sed 's/^wine-//'))"
    shift
    QBX_WINE=$QBX_ROOT/scripts/wine10.sh ctest --preset test "$@"
    exit
fi

# --- On this machine ---------------------------------------------------
if [ -n "${QBX_SKIP_WINE10:-}" ]; then
    [ -z "${CI:-}" ] || { qbx_log "QBX_SKIP_WINE10 is set, but CI runs every stage"; exit 1; }
    qbx_log "Wine 10 skipped: QBX_SKIP_WINE10 is set"
    exit 0
fi
[ "$(id -u)" -eq 0 ] || qbx_wine10_not_run "making and entering its Debian 13 root needs root"
[ -f build/test/CTestTestfile.cmake ] || { qbx_log "missing the test build: run scripts/test.sh"; exit 1; }
qbx_install_packages debootstrap
mkdir -p "$stage"
: >"$stage/root.log"

# The namespace's first process and everything in it are killed when
# unshare ends, and unshare is killed when this script ends, even by
# SIGKILL; Ctrl-C and SIGTERM end it at once (unshare itself ignores them).
ns_pid=
# qbx_wine10_end: the namespace and the Xvfb, stopped.
qbx_wine10_end() {
    [ -z "$ns_pid" ] || kill -KILL "$ns_pid" 2>/dev/null || true
    qbx_stop_wine
}
trap qbx_wine10_end EXIT
trap 'exit 130' INT
trap 'exit 143' TERM
qbx_start_xvfb
export DISPLAY=$QBX_XVFB_DISPLAY
setpriv --pdeathsig KILL unshare --mount --pid --fork --kill-child --mount-proc "$0" --in-namespace "$@" &
ns_pid=$!
status=0
wait "$ns_pid" || status=$?
ns_pid=
[ $status -ne $CANNOT_RUN ] || qbx_wine10_not_run "the Debian 13 root could not be set up (above; log $stage/root.log)"
exit $status
