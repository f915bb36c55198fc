#!/usr/bin/env bash
# Checks the shipped executable: it imports only system DLLs and functions
# that Windows 2000 has (listed in scripts/win2000-imports.txt), carries the
# PE flags and subsystem version the supported Windows need, and has the
# resources as the loader reads them: one manifest, id 1, that is well-formed
# XML, and a version resource whose file version is the one in res/version.h.
set -euo pipefail
exe=$1
allow=$(dirname "$0")/win2000-imports.txt
dump=$(i686-w64-mingw32-objdump -p "$exe")
status=0

imports=$(awk '
    /DLL Name:/ { dll = tolower($3); next }
    dll != "" && /^\t[0-9a-f]+\t +[0-9]+  [A-Za-z_]/ { print dll "!" $3; next }
    /^$/ { dll = "" }
' <<<"$dump" | sort -u)
[ -n "$imports" ] || { echo "no imports found in $exe" >&2; exit 1; }
# Delay imports (cmake/delayimp/*.def) are loaded on first use and do not show
# in the import table: their lists are checked the same way.
for def in "$(dirname "$0")"/../cmake/delayimp/*.def; do
    dll=$(awk '/^LIBRARY/ { gsub(/"/, "", $2); print tolower($2) }' "$def")
    grep -q -i "$dll" <(strings "$exe") || { echo "delay import $dll not found in $exe" >&2; status=1; }
    imports+=$'\n'$(awk -v dll="$dll" '/^[A-Za-z_]/ && !/^(LIBRARY|EXPORTS)/ { sub(/@.*/, ""); print dll "!" $1 }' "$def")
done
while read -r imp; do
    [ -n "$imp" ] || continue
    grep -qxiF "$imp" "$allow" || { echo "import not known to exist on Windows 2000: $imp" >&2; status=1; }
done <<<"$imports"

for flag in DYNAMIC_BASE NX_COMPAT TERMINAL_SERVICE_AWARE; do
    grep -q "$flag" <<<"$dump" || { echo "missing PE flag $flag" >&2; status=1; }
done
sub=$(awk '/MajorSubsystemVersion/ { print $2 }' <<<"$dump")
[ "$sub" -le 5 ] || { echo "subsystem version $sub.x does not start on Windows 2000" >&2; status=1; }
grep -q 'i386' <<<"$(i686-w64-mingw32-objdump -f "$exe")" || { echo "$exe is not 32-bit" >&2; status=1; }

# The loader takes the manifest with id 1 only; a manifest that is not
# well-formed XML stops the program from starting at all.
res=$(dirname "$0")/pe-resources.py
manifests=$("$res" "$exe" list | awk '$1 == 24 { print $2 }' | sort -u | tr '\n' ' ')
[ "$manifests" = "1 " ] || { echo "manifest resources with ids '$manifests', want exactly '1'" >&2; status=1; }
"$res" "$exe" data 24 1 | python3 -c '
import sys, xml.dom.minidom, xml.parsers.expat
try:
    xml.dom.minidom.parse(sys.stdin.buffer)
except xml.parsers.expat.ExpatError as e:
    sys.exit("the manifest is not well-formed XML: %s" % e)' || status=1
want=$(sed -n 's/^#define QBX_VERSION_NUMBERS *//p' "$(dirname "$0")/../res/version.h" | tr -d ' ' | tr , .)
have=$("$res" "$exe" file-version) || status=1
[ "$have" = "$want" ] || { echo "file version $have, res/version.h says $want" >&2; status=1; }

[ $status -eq 0 ] && echo "== $exe: $(wc -l <<<"$imports") imports, all on Windows 2000; $(stat -c %s "$exe") bytes"
exit $status
