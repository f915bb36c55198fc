#!/usr/bin/env bash
# Wine 10 from the Debian 13 root (scripts/lib.sh, QBX_WINE10_ROOT): runs
# its loader with the arguments given, or with --server first its
# wineserver, inside the root, in the current folder and with this
# environment. Only inside scripts/test-wine10.sh's namespace, where the
# root has what it needs mounted and the clone is at its own path; the
# stage names this script as the test build's Wine (QBX_WINE).
set -euo pipefail
program=/usr/lib/wine/wine64
if [ "${1:-}" = --server ]; then
    program=/usr/lib/wine/wineserver64
    shift
fi
[ -e "$QBX_WINE10_ROOT/proc/self" ] ||
    { echo "wine10.sh: $QBX_WINE10_ROOT is not mounted: run it inside scripts/test-wine10.sh" >&2; exit 1; }
exec chroot "$QBX_WINE10_ROOT" /usr/bin/env -C "$PWD" \
    WINELOADER=/usr/lib/wine/wine64 WINESERVER=/usr/lib/wine/wineserver64 "$program" "$@"
