#!/usr/bin/env bash
# The demo: QbxMender.exe on a Windows XP machine (a Wine prefix of its own)
# whose Corvana Quellbox has both of its USB problems, with a screen of 96
# DPI or the one --dpi names. With a display it opens the wizard there and
# waits until you close it; without one it walks the wizard by itself and
# writes a screenshot of every page into build/demo/screenshots (at another
# DPI, build/demo/screenshots-<DPI>dpi). Every run starts again from the
# broken machine.
#
#   scripts/demo.sh [--dpi DPI]      (DPI from 96 to 288; 96 when not given)
set -euo pipefail
source "$(dirname "$0")/lib.sh"
cd "$QBX_ROOT"

dpi=96
if [ $# -gt 0 ]; then
    [ $# -eq 2 ] && [ "$1" = --dpi ] && [[ $2 =~ ^[0-9]+$ ]] && [ "$2" -ge 96 ] && [ "$2" -le 288 ] ||
        { echo "usage: scripts/demo.sh [--dpi DPI]   (DPI from 96 to 288; 96 when not given)" >&2; exit 2; }
    dpi=$2
fi
# The desktop grows with the DPI, as the dialogs do: 800x600 at 96 DPI holds
# every dialog of the program, and so does that size scaled to the DPI.
desktop_width=$((800 * dpi / 96))
desktop_height=$((600 * dpi / 96))
# An Xvfb of our own must hold the desktop.
QBX_XVFB_SIZE=$((desktop_width > 1280 ? desktop_width : 1280))x$((desktop_height > 1024 ? desktop_height : 1024))

headless=
[ -n "${DISPLAY:-}" ] || headless=1
packages=("${QBX_PACKAGES[@]}")
[ -z "$headless" ] || packages+=(imagemagick)
qbx_install_packages "${packages[@]}"

qbx_log "building the program and the demo's stand-ins"
cmake --preset test >/dev/null
cmake --build --preset test --target QbxMender netapi32_stub_demo vtinst32_demo qbx_demo_machine qbx_demo_walk

demo=$QBX_ROOT/build/demo
prefix=$demo/prefix
trap qbx_stop_wine EXIT
qbx_start_display
qbx_start_prefix "$prefix"

# The program where a user would have put it, with the stand-in for the
# maker's installer library beside it; the account database's stand-in goes
# where the real library lives, the system folder.
app=$prefix/drive_c/QbxMender
mkdir -p "$app"
cp build/test/app/QbxMender.exe build/test/demo/VtInst32.dll "$app/"
cp build/test/demo/netapi32.dll "$prefix/drive_c/windows/system32/"
export QBX_STUB_USER_PRIV=2 # the account library's answer: an administrator

qbx_log "resetting the demo machine, with a screen of $dpi DPI"
"$WINE64" build/test/demo/qbx_demo_machine.exe
"$WINE64" reg import "$("$WINE64" winepath -w "$QBX_ROOT/demo/machine.reg")" >/dev/null
qbx_set_dpi "$dpi"
qbx_use_virtual_desktop "${desktop_width}x$desktop_height"
program='C:\QbxMender\QbxMender.exe'

if [ -z "$headless" ]; then
    qbx_log "the wizard is open on $DISPLAY, at $dpi DPI; the demo ends when you close it"
    "$WINE64" "$program"
    exit 0
fi

# Headless: the walk stops at every page and prints "shot NAME X Y W H" (in
# desktop coordinates); the page is taken from the virtual desktop's window,
# then the walk goes on.
shots=$demo/screenshots
[ "$dpi" -eq 96 ] || shots=$shots-${dpi}dpi
rm -rf "$shots"
mkdir -p "$shots"
qbx_log "walking the wizard on $DISPLAY"
coproc WALK { "$WINE64" build/test/demo/qbx_demo_walk.exe "$program"; }
walk_pid=$WALK_PID
exec {from_walk}<&"${WALK[0]}" {to_walk}>&"${WALK[1]}"
while read -r -u "$from_walk" word name x y w h; do
    if [ "$word" != shot ]; then
        printf '%s\n' "$word $name $x $y $w $h"
        continue
    fi
    import -window "Default - Wine desktop" -crop "${w}x${h}+${x}+${y}" +repage "$shots/$name.png"
    qbx_log "page: $name"
    echo next >&"$to_walk"
done
status=0
wait "$walk_pid" || status=$?
exec {from_walk}<&- {to_walk}>&-
if [ "$status" -ne 0 ]; then
    qbx_log "the walk through the wizard failed"
    exit "$status"
fi
echo "Screenshots of every page: $shots"
ls "$shots"
