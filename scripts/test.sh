#!/usr/bin/env bash
# The one test command: installs what is missing, builds the shipped 32-bit
# program and checks its imports, builds the 64-bit tests and runs them all
# under Wine. Exits non-zero on any failure.
set -euo pipefail
source "$(dirname "$0")/lib.sh"
cd "$QBX_ROOT"

qbx_install_packages "${QBX_PACKAGES[@]}"

qbx_log "release build (i686)"
cmake --workflow --preset release
scripts/check-release.sh build/release/app/QbxMender.exe

trap qbx_stop_wine EXIT
qbx_start_display
# The end-to-end tests run the real program against the HKLM of a prefix of
# their own; every other test redirects HKLM into a private hive.
qbx_start_prefix "$QBX_ROOT/build/test/e2e-prefix"
qbx_use_virtual_desktop
qbx_start_prefix "$QBX_ROOT/build/test/wineprefix"
qbx_use_virtual_desktop
# The DPI matrix of the window tests (QBX_DPI_MATRIX in tests/CMakeLists.txt).
for dpi in 120 144 192; do
    qbx_start_dpi_prefix "$QBX_ROOT/build/test/wineprefix" "$dpi"
done
qbx_log "test build (x86_64) and tests"
cmake --workflow --preset test
