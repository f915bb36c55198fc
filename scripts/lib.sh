# Shared by the project's scripts: the Debian packages the build needs, what
# 32-bit Windows programs need, and private Wine prefixes with their own
# wineserver and, without a display, Xvfb. Every process started here is
# stopped again by its id in qbx_stop_wine.

QBX_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
QBX_PACKAGES=(
    cmake ninja-build
    g++-mingw-w64-i686-win32 g++-mingw-w64-x86-64-posix
    binutils-mingw-w64-i686 binutils-mingw-w64-x86-64
    googletest wine64 xvfb xauth
    fonts-wine fonts-liberation
    clang python3
)
WINE64=/usr/lib/wine/wine64
WINESERVER64=/usr/lib/wine/wineserver64
QBX_WINE_FONTS=/usr/share/wine/fonts

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
    # Another run on this machine may hold dpkg's lock: wait for it.
    $sudo env DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=900 update -qq
    $sudo env DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=900 install -y -qq \
        --no-install-recommends "${missing[@]}"
}

# --- 32-bit Windows programs --------------------------------------------
# 64-bit Wine runs them in an ordinary (WoW64) prefix when 32-bit Wine is
# installed and the machine runs i386 Linux programs: natively, or, where the
# kernel refuses them, through qemu-user registered with binfmt_misc.
QBX_I386_PACKAGES=(wine32:i386 qemu-user)
WINE32=/usr/lib/wine/wine
QBX_BINFMT=/proc/sys/fs/binfmt_misc
# The usual entry for i386 ELF programs. F: the kernel opens the emulator
# now, so it works in any mount namespace; O and C: the emulated program is
# started as the kernel would start it, set-uid bits included.
QBX_QEMU_I386_ENTRY=':qemu-i386:M::\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00:\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff:/usr/bin/qemu-i386:OCF'

# Whether 32-bit Wine starts on this machine.
qbx_i386_runs() {
    [ -x "$WINE32" ] && "$WINE32" --version >/dev/null 2>&1
}

# qbx_setup_i386: makes 32-bit Wine start here, installing and registering
# what is missing (as root, or through sudo). When it cannot, it says why in
# one line and returns non-zero.
qbx_setup_i386() {
    qbx_i386_runs && return 0
    local sudo=
    if [ "$(id -u)" -ne 0 ]; then
        sudo -n true 2>/dev/null || { qbx_log "cannot set up 32-bit Wine: not root and no sudo"; return 1; }
        sudo=sudo
    fi
    if ! dpkg --print-foreign-architectures | grep -qx i386; then
        qbx_log "adding the i386 architecture to dpkg"
        $sudo dpkg --add-architecture i386 || { qbx_log "cannot set up 32-bit Wine: dpkg --add-architecture i386 failed"; return 1; }
    fi
    qbx_install_packages "${QBX_I386_PACKAGES[@]}" || { qbx_log "cannot set up 32-bit Wine: the packages did not install"; return 1; }
    qbx_i386_runs && return 0
    if [ ! -e "$QBX_BINFMT/register" ]; then
        $sudo mount -t binfmt_misc binfmt_misc "$QBX_BINFMT" 2>/dev/null ||
            { qbx_log "cannot set up 32-bit Wine: i386 programs do not run and binfmt_misc cannot be mounted"; return 1; }
    fi
    if [ ! -e "$QBX_BINFMT/qemu-i386" ]; then
        qbx_log "registering qemu-i386 for i386 programs with binfmt_misc"
        printf '%s' "$QBX_QEMU_I386_ENTRY" | $sudo tee "$QBX_BINFMT/register" >/dev/null ||
            { qbx_log "cannot set up 32-bit Wine: binfmt_misc refused the qemu-i386 entry"; return 1; }
    fi
    qbx_i386_runs || { qbx_log "cannot set up 32-bit Wine: $WINE32 does not start ($(head -1 "$QBX_BINFMT/qemu-i386" 2>/dev/null) in binfmt_misc)"; return 1; }
}

# --- Wine prefixes -----------------------------------------------------
# Every prefix is a copy of one template, made once: with 32-bit Wine present
# wineboot also sets up the 32-bit half under emulation, which takes minutes
# instead of seconds. The template's .qbx-wow64 says that half is there.
QBX_TEMPLATE=$QBX_ROOT/build/wine-template

# Whether PREFIX (the template when none is named) can run 32-bit programs.
qbx_prefix_has_wow64() {
    [ -e "${1:-$QBX_TEMPLATE}/.qbx-wow64" ]
}

# qbx_make_template: the template, made unless it is there and has the
# 32-bit half whenever this machine can run 32-bit Wine (and QBX_64BIT_ONLY
# is not set).
qbx_make_template() {
    local wow64= new=$QBX_TEMPLATE.new started
    [ -z "${QBX_64BIT_ONLY:-}" ] && qbx_i386_runs && wow64=1
    [ -f "$QBX_TEMPLATE/system.reg" ] && { [ -z "$wow64" ] || qbx_prefix_has_wow64; } && return 0
    started=$(date +%s)
    if [ -n "$wow64" ]; then
        qbx_log "creating the Wine prefix every other is copied from, $QBX_TEMPLATE, once:" \
            "about 5 minutes, as its 32-bit half runs under emulation"
    else
        qbx_log "creating the Wine prefix every other is copied from, $QBX_TEMPLATE, once (up to a few minutes)"
    fi
    rm -rf "$new"
    mkdir -p "$new"
    (
        qbx_wine_settings
        export WINEPREFIX=$new
        "$WINE64" wineboot -i >/dev/null 2>&1
        "$WINESERVER64" -w
    ) || true
    [ -f "$new/system.reg" ] || { qbx_log "wineboot did not create $new"; return 1; }
    if [ -n "$wow64" ]; then
        [ -f "$new/drive_c/windows/syswow64/kernel32.dll" ] || { qbx_log "wineboot made no 32-bit half in $new"; return 1; }
        touch "$new/.qbx-wow64"
    fi
    rm -rf "$QBX_TEMPLATE"
    mv "$new" "$QBX_TEMPLATE"
    qbx_log "template ready after $(( $(date +%s) - started )) s"
}

# qbx_copy_prefix PREFIX: PREFIX as a copy of the template, unless it exists.
# A folder there without a registry is not a prefix and is replaced.
qbx_copy_prefix() {
    [ -f "$1/system.reg" ] && return 0
    qbx_make_template || return 1
    qbx_log "copying the template to $1"
    rm -rf "$1.new"
    mkdir -p "$(dirname "$1")"
    cp -a "$QBX_TEMPLATE" "$1.new" && rm -rf "$1" && mv "$1.new" "$1"
}

QBX_XVFB_PIDS=()
QBX_WINESERVER_PIDS=()

# qbx_start_xvfb: starts an Xvfb of our own on a free display and sets
# QBX_XVFB_DISPLAY to it. Its screen is QBX_XVFB_SIZE (1280x1024 unless set).
qbx_start_xvfb() {
    local n=99 i pid
    for _ in $(seq 20); do
        while [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ]; do n=$((n + 1)); done
        Xvfb ":$n" -screen 0 "${QBX_XVFB_SIZE:-1280x1024}x24" -nolisten tcp >/dev/null 2>&1 &
        pid=$!
        for i in $(seq 100); do
            [ -e "/tmp/.X11-unix/X$n" ] && kill -0 "$pid" 2>/dev/null && break
            kill -0 "$pid" 2>/dev/null || break
            sleep 0.1
        done
        if kill -0 "$pid" 2>/dev/null; then
            QBX_XVFB_PIDS+=("$pid")
            QBX_XVFB_DISPLAY=":$n"
            qbx_log "Xvfb on :$n (pid $pid)"
            return 0
        fi
        # Another program took the display meanwhile: the next one.
        wait "$pid" 2>/dev/null || true
        n=$((n + 1))
    done
    qbx_log "Xvfb did not start"
    return 1
}

# qbx_wine_settings: the settings every Wine process of ours runs with.
qbx_wine_settings() {
    export WINELOADER=$WINE64 WINESERVER=$WINESERVER64 WINEDEBUG=-all
    export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
}

# qbx_start_display: exports the Wine settings and, when there is no display,
# starts an Xvfb of our own.
qbx_start_display() {
    qbx_wine_settings
    [ -n "${DISPLAY:-}" ] && return 0
    qbx_start_xvfb || return 1
    export DISPLAY=$QBX_XVFB_DISPLAY
}

# qbx_start_prefix PREFIX: creates the prefix once (a copy of the template)
# and starts one persistent wineserver for it. WINEPREFIX is left pointing at
# it.
qbx_start_prefix() {
    export WINEPREFIX=$1
    qbx_copy_prefix "$WINEPREFIX" || return 1
    # Wine's own fonts, which this Wine does not find by itself: without
    # Marlett a caption's close button shows a letter.
    cp -u "$QBX_WINE_FONTS"/*.ttf "$WINEPREFIX/drive_c/windows/Fonts/" 2>/dev/null || true
    "$WINESERVER64" -f -p >/dev/null 2>&1 &
    QBX_WINESERVER_PIDS+=("$!:$WINEPREFIX")
    qbx_log "wineserver for $WINEPREFIX (pid $!)"
    # A program that crashes ends at once, with one line on its stderr
    # ("wine: Unhandled ... at address ..."), instead of waiting for a
    # debugger that may never attach: the one named cannot start. For 64-
    # and 32-bit programs alike. The first process also makes sure the
    # server answers before tests start.
    local view
    for view in 64 32; do
        "$WINE64" reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug' /v Debugger /d '' /f \
            "/reg:$view" >/dev/null 2>&1 || true
    done
}

# qbx_use_virtual_desktop [SIZE]: windows of the current prefix open inside
# one Wine-drawn desktop of SIZE (1280x1024 unless given) rather than as X
# windows of their own. Dialogs then get their captions and close at once,
# without waiting for a window manager that Xvfb does not have.
qbx_use_virtual_desktop() {
    "$WINE64" reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f >/dev/null 2>&1
    "$WINE64" reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d "${1:-1280x1024}" /f >/dev/null 2>&1
}

# qbx_set_dpi DPI: the current prefix's screen has DPI dots per inch (Wine
# reads LogPixels at every process start).
qbx_set_dpi() {
    "$WINE64" reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$1" /f >/dev/null 2>&1
}

# qbx_start_dpi_prefix BASE DPI: BASE-<DPI>dpi, a copy of the prefix BASE
# whose screen has DPI dots per inch, made once, with a wineserver and a
# virtual desktop of its own. The copy shares the files of the system
# folders, which nothing writes, with BASE by hard links: seconds and no disk
# space instead of a wineboot.
qbx_start_dpi_prefix() {
    local base=$1 dpi=$2 prefix=$1-$2dpi
    if [ ! -f "$prefix/system.reg" ]; then
        qbx_log "copying $base for $dpi DPI"
        rm -rf "$prefix.tmp"
        cp -al "$base" "$prefix.tmp"
        find "$prefix.tmp" -type f -links +1 -not -path '*/windows/system32/*' \
            -not -path '*/windows/syswow64/*' -not -path '*/windows/winsxs/*' -print0 |
            while IFS= read -r -d '' f; do cp -p "$f" "$f.copy" && mv -f "$f.copy" "$f"; done
        rm -rf "$prefix"
        mv "$prefix.tmp" "$prefix"
    fi
    qbx_start_prefix "$prefix"
    qbx_set_dpi "$dpi"
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
    for pid in "${QBX_XVFB_PIDS[@]}"; do
        kill "$pid" 2>/dev/null || true
        wait "$pid" 2>/dev/null || true
    done
    QBX_XVFB_PIDS=()
}

# --- Wine 10 from a Debian 13 root ---------------------------------------
# A second Win32 implementation for the same x86_64 test build: Debian 13's
# Wine 10, in a root made once per machine with debootstrap, outside any
# clone, so that every clone and every run shares it. scripts/test-wine10.sh
# uses it from a mount and PID namespace of its own; scripts/wine10.sh runs
# its programs there. The root has no 32-bit Wine.
QBX_WINE10_ROOT=${QBX_WINE10_ROOT:-/var/cache/qbxmender/debian13}
QBX_WINE10_SUITE=trixie
QBX_WINE10_PACKAGES=(wine64 fonts-wine fonts-liberation)
QBX_DEBIAN_MIRROR=http://deb.debian.org/debian

# Whether the root's base system is whole: debootstrap finished.
qbx_wine10_base_ready() {
    [ -f "$QBX_WINE10_ROOT/.qbx-base" ]
}

# Whether the root is complete: its marker, written last, names the
# packages it was set up with.
qbx_wine10_root_ready() {
    [ "$(cat "$QBX_WINE10_ROOT/.qbx-ready" 2>/dev/null)" = "${QBX_WINE10_PACKAGES[*]}" ] &&
        [ -x "$QBX_WINE10_ROOT/usr/lib/wine/wine64" ]
}

# qbx_mount_wine10_root: what programs in the root need, mounted there
# unless it is: /proc, /sys, /dev with /dev/pts, a /dev/shm and a /tmp of
# its own (Wine 10's server sockets stay in it), and the clone at its own
# path, so that the build's absolute paths hold. Only inside a private mount
# namespace: the mounts vanish with it.
qbx_mount_wine10_root() {
    local root=$QBX_WINE10_ROOT
    mountpoint -q "$root/proc" && return 0
    mount -t proc proc "$root/proc" &&
        mount -t sysfs sysfs "$root/sys" &&
        mount --rbind /dev "$root/dev" &&
        mount -t tmpfs -o mode=1777 shm "$root/dev/shm" &&
        mount -t tmpfs -o mode=1777 tmp "$root/tmp" &&
        mkdir -p "$root$QBX_ROOT" &&
        mount --bind "$QBX_ROOT" "$root$QBX_ROOT"
}

# qbx_wine10_in_root COMMAND...: COMMAND run in the root as its own system.
qbx_wine10_in_root() {
    chroot "$QBX_WINE10_ROOT" /usr/bin/env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin DEBIAN_FRONTEND=noninteractive "$@"
}

# qbx_make_wine10_root LOG: the root made, or completed, and mounted; the
# output of debootstrap and apt-get goes to LOG. A base that debootstrap did
# not finish is made again; a complete base is given what is missing.
qbx_make_wine10_root() {
    local root=$QBX_WINE10_ROOT log=$1 started
    started=$(date +%s)
    if ! qbx_wine10_base_ready; then
        if [ -e "$root" ]; then
            # Never remove a root with something mounted in it.
            if findmnt -rn -o TARGET | grep -q "^$root/"; then
                qbx_log "the Debian 13 root $root is incomplete, and something is mounted in it"
                return 1
            fi
            qbx_log "the Debian 13 root $root is incomplete: making it again"
            rm -rf --one-file-system "$root"
        fi
        qbx_log "making the Debian 13 root for Wine 10, $root, once (a few minutes)"
        debootstrap --variant=minbase "$QBX_WINE10_SUITE" "$root" "$QBX_DEBIAN_MIRROR" >>"$log" 2>&1 ||
            { qbx_log "debootstrap failed (log $log)"; return 1; }
        touch "$root/.qbx-base"
    fi
    qbx_mount_wine10_root || { qbx_log "cannot mount what the root $root needs"; return 1; }
    qbx_log "installing ${QBX_WINE10_PACKAGES[*]} in the Debian 13 root"
    rm -f "$root/.qbx-ready"
    cp /etc/resolv.conf "$root/etc/resolv.conf"
    {
        qbx_wine10_in_root dpkg --configure -a &&
            qbx_wine10_in_root apt-get update -qq &&
            qbx_wine10_in_root apt-get install -y -q --no-install-recommends "${QBX_WINE10_PACKAGES[@]}" &&
            qbx_wine10_in_root apt-get clean
    } >>"$log" 2>&1 || { qbx_log "the packages did not install in the root (log $log)"; return 1; }
    printf '%s\n' "${QBX_WINE10_PACKAGES[*]}" >"$root/.qbx-ready"
    qbx_log "the Debian 13 root is ready after $(($(date +%s) - started)) s"
}

# qbx_setup_wine10_root LOG: the root, made or completed where it is not
# (qbx_make_wine10_root, output to LOG), and mounted. Holds a shared lock on
# it for as long as the caller runs, and an exclusive one while it makes it,
# so that no run makes it again under another. Returns non-zero, saying
# why, when it cannot.
qbx_setup_wine10_root() {
    mkdir -p "$(dirname "$QBX_WINE10_ROOT")" || return 1
    exec {QBX_WINE10_LOCK}>"$QBX_WINE10_ROOT.lock"
    flock -s "$QBX_WINE10_LOCK"
    if ! qbx_wine10_root_ready; then
        flock "$QBX_WINE10_LOCK"
        qbx_wine10_root_ready || qbx_make_wine10_root "$1" || return 1
        flock -s "$QBX_WINE10_LOCK"
    fi
    qbx_mount_wine10_root || { qbx_log "cannot mount what the root $QBX_WINE10_ROOT needs"; return 1; }
}

# qbx_wine10_server ARGS...: Wine 10's wineserver (WINESERVER64 under
# qbx_use_wine10).
qbx_wine10_server() {
    "$QBX_ROOT/scripts/wine10.sh" --server "$@"
}

# qbx_use_wine10: the prefix functions above use Wine 10 from the root from
# here on, with a template of its own (a Wine 8 prefix is not a Wine 10
# one) in build/wine10, 64-bit only, and Wine 10's own fonts.
qbx_use_wine10() {
    export QBX_WINE10_ROOT
    WINE64=$QBX_ROOT/scripts/wine10.sh
    WINESERVER64=qbx_wine10_server
    QBX_TEMPLATE=$QBX_ROOT/build/wine10/template
    QBX_WINE_FONTS=$QBX_WINE10_ROOT/usr/share/wine/fonts
    QBX_64BIT_ONLY=1
}
