# Shared by the project's scripts: the Debian packages the build needs, and a
# private Wine prefix with its own wineserver and, without a display, Xvfb.
# Every process started here is stopped again by its id in qbx_stop_wine.

QBX_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
QBX_PACKAGES=(
    cmake ninja-build
    g++-mingw-w64-i686-win32 g++-mingw-w64-x86-64-posix
    binutils-mingw-w64-i686 binutils-mingw-w64-x86-64
    googletest wine64 xvfb xauth
    fonts-wine fonts-liberation
)
WINE64=/usr/lib/wine/wine64
WINESERVER64=/usr/lib/wine/wineserver64

qbx_log() { printf '== %s\n' "$*" >&2; }

# Installs what is missing, and only that.
qbx_install_packages() {
    local missing=() pkg
    for pkg in "$@"; do
        dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed' || missing+=("$pkg")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    qbx_log "installing ${missing[*]}"
    local sudo=
    [ "$(id -u)" -eq 0 ] || sudo=sudo
    $sudo env DEBIAN_FRONTEND=noninteractive apt-get update -qq
    $sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

QBX_XVFB_PID=
QBX_WINESERVER_PIDS=()

# qbx_start_display: exports the Wine settings and, when there is no display,
# starts an Xvfb of our own.
qbx_start_display() {
    export WINELOADER=$WINE64 WINESERVER=$WINESERVER64 WINEDEBUG=-all
    export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
    [ -n "${DISPLAY:-}" ] && return 0
    local n=99 i
    while [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ]; do n=$((n + 1)); done
    Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
    QBX_XVFB_PID=$!
    export DISPLAY=":$n"
    for i in $(seq 100); do
        [ -e "/tmp/.X11-unix/X$n" ] && break
        kill -0 "$QBX_XVFB_PID" 2>/dev/null || { qbx_log "Xvfb did not start"; return 1; }
        sleep 0.1
    done
    qbx_log "Xvfb on $DISPLAY (pid $QBX_XVFB_PID)"
}

# qbx_start_prefix PREFIX: creates the prefix once and starts one persistent
# wineserver for it. WINEPREFIX is left pointing at it.
qbx_start_prefix() {
    export WINEPREFIX=$1
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
        qbx_log "creating the Wine prefix $WINEPREFIX"
        mkdir -p "$WINEPREFIX"
        "$WINE64" wineboot -i >/dev/null 2>&1
        # Crashes print a backtrace instead of waiting for a click.
        "$WINE64" reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1
        "$WINESERVER64" -w
    fi
    # Wine's own fonts, which this Wine does not find by itself: without
    # Marlett a caption's close button shows a letter.
    cp -u /usr/share/wine/fonts/*.ttf "$WINEPREFIX/drive_c/windows/Fonts/" 2>/dev/null || true
    "$WINESERVER64" -f -p >/dev/null 2>&1 &
    QBX_WINESERVER_PIDS+=("$!:$WINEPREFIX")
    # The first process makes sure the server answers before tests start.
    "$WINE64" cmd /c exit >/dev/null 2>&1 || true
    qbx_log "wineserver for $WINEPREFIX (pid $!)"
}

# qbx_use_virtual_desktop: windows of the current prefix open inside one
# Wine-drawn desktop rather than as X windows of their own. Dialogs then get
# their captions and close at once, without waiting for a window manager
# that Xvfb does not have.
qbx_use_virtual_desktop() {
    "$WINE64" reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f >/dev/null 2>&1
    "$WINE64" reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d 1280x1024 /f >/dev/null 2>&1
}

# qbx_start_dpi_prefix BASE DPI: BASE-<DPI>dpi, a copy of the prefix BASE
# whose screen has DPI dots per inch (Wine reads LogPixels at every process
# start), made once, with a wineserver and a virtual desktop of its own. The
# copy shares the files of the system folders, which nothing writes, with
# BASE by hard links: seconds and no disk space instead of a wineboot.
qbx_start_dpi_prefix() {
    local base=$1 dpi=$2 prefix=$1-$2dpi
    if [ ! -f "$prefix/system.reg" ]; then
        qbx_log "copying $base for $dpi DPI"
        rm -rf "$prefix.tmp"
        cp -al "$base" "$prefix.tmp"
        find "$prefix.tmp" -type f -links +1 -not -path '*/windows/system32/*' \
            -not -path '*/windows/syswow64/*' -not -path '*/windows/winsxs/*' -print0 |
            while IFS= read -r -d '' f; do cp -p "$f" "$f.copy" && mv -f "$f.copy" "$f"; done
        mv "$prefix.tmp" "$prefix"
    fi
    qbx_start_prefix "$prefix"
    "$WINE64" reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$dpi" /f >/dev/null 2>&1
    qbx_use_virtual_desktop
}

# qbx_start_wine PREFIX: display and one prefix, as most scripts need.
qbx_start_wine() {
    qbx_start_display
    qbx_start_prefix "$1"
}

# Stops every wineserver and Xvfb started above, by their ids.
qbx_stop_wine() {
    local entry pid prefix
    for entry in "${QBX_WINESERVER_PIDS[@]}"; do
        pid=${entry%%:*}
        prefix=${entry#*:}
        WINEPREFIX=$prefix "$WINESERVER64" -k >/dev/null 2>&1 || true
        kill "$pid" 2>/dev/null || true
        wait "$pid" 2>/dev/null || true
    done
    QBX_WINESERVER_PIDS=()
    if [ -n "$QBX_XVFB_PID" ]; then
        kill "$QBX_XVFB_PID" 2>/dev/null || true
        wait "$QBX_XVFB_PID" 2>/dev/null || true
        QBX_XVFB_PID=
    fi
}
