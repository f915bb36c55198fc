#!/bin/sh
# The test build's emulator: ctest and gtest_discover_tests run every test
# program through it. It is this machine's wine64, or the Wine that QBX_WINE
# names (scripts/test-wine10.sh names Wine 10's), so that one build runs
# under either.
exec "${QBX_WINE:-/usr/lib/wine/wine64}" "$@"
