# Sourced by the scripts: one Wine prefix and one virtual display per checkout,
# started once and reused, so each program start under Wine is quick.
# shellcheck shell=bash

TEKSTOR_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
export WINEDLLOVERRIDES="mscoree,mshtml="
# Wine takes its code pages from the locale: this one gives the ANSI code page
# 1252 the program is built for, and file names in UTF-8 on the Linux side (in
# the bare C locale, names with characters outside ASCII cannot be created).
export LC_ALL=C.UTF-8
export WINEDEBUG=${WINEDEBUG:--all}

# The shipped program is 32-bit and is tested as such wherever the kernel runs
# 32-bit programs (which 32-bit Wine is). Some virtual machines switch that off
# ("32-bit emulation disabled"); there the same sources are tested as their
# 64-bit build under 64-bit Wine, and the scripts say so.
if [ -z "${TEKSTOR_ARCH:-}" ]; then
    if /usr/lib/wine/wine --version >/dev/null 2>&1; then
        TEKSTOR_ARCH=i686
    else
        TEKSTOR_ARCH=x86_64
    fi
fi
if [ "$TEKSTOR_ARCH" = i686 ]; then
    export WINELOADER=/usr/lib/wine/wine WINEARCH=win32
else
    export WINELOADER=/usr/lib/wine/wine64 WINEARCH=win64
fi
if [ -x /usr/lib/wine/wineserver64 ]; then
    export WINESERVER=/usr/lib/wine/wineserver64
else
    export WINESERVER=/usr/lib/wine/wineserver32
fi
export TEKSTOR_ARCH
export WINEPREFIX=${WINEPREFIX:-$TEKSTOR_ROOT/build/wineprefix-$TEKSTOR_ARCH}

# Starts Xvfb on a free display number unless $1 says to use $DISPLAY as it is.
start_virtual_display() {
    local n
    for n in $(seq 91 140); do
        if [ ! -e "/tmp/.X11-unix/X$n" ] && [ ! -e "/tmp/.X$n-lock" ]; then
            Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
            TEKSTOR_XVFB_PID=$!
            export DISPLAY=":$n"
            local i
            for i in $(seq 1 100); do
                [ -e "/tmp/.X11-unix/X$n" ] && return 0
                kill -0 "$TEKSTOR_XVFB_PID" 2>/dev/null || break
                sleep 0.05
            done
        fi
    done
    echo "could not start Xvfb" >&2
    return 1
}

stop_virtual_display() {
    if [ -n "${TEKSTOR_XVFB_PID:-}" ]; then
        kill "$TEKSTOR_XVFB_PID" 2>/dev/null || true
        wait "$TEKSTOR_XVFB_PID" 2>/dev/null || true
        TEKSTOR_XVFB_PID=
    fi
}

# Creates the prefix $WINEPREFIX once, set for tests: no waiting for a window
# manager, and no dialog on a crash.
create_wine_prefix() {
    mkdir -p "$(dirname "$WINEPREFIX")"
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
        "$WINELOADER" wineboot --init >/dev/null 2>&1 || true
        # Without a window manager, Wine waits two seconds for one on every
        # hidden or destroyed top-level window unless windows are unmanaged.
        "$WINELOADER" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
        "$WINESERVER" -w
    fi
    # A crash ends the process at once: Wine's debugger prints where instead
    # of showing a dialog that waits for a click nobody gives (without a
    # debugger entry Wine starts it all the same). Also set in older prefixes.
    if ! grep -q '"ShowCrashDialog"=dword:00000000' "$WINEPREFIX/user.reg" 2>/dev/null; then
        "$WINELOADER" reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f \
            >/dev/null 2>&1
    fi
}

# Creates the prefix on first use and keeps a wineserver running for this run.
prepare_wine() {
    create_wine_prefix
    # Wine looks for its own fonts (Fixedsys, Tahoma, Marlett for the caption
    # buttons, ...) in the prefix's font folder, and where the kernel runs no
    # 32-bit code wineboot leaves that folder empty: the pane then gets a
    # proportional font for "Fixedsys" and the caption buttons show as the
    # letters "0 1 r". A full Wine installation has them all there.
    local fonts="$WINEPREFIX/drive_c/windows/Fonts"
    if [ -d /usr/share/wine/fonts ]; then
        mkdir -p "$fonts" && cp -n /usr/share/wine/fonts/* "$fonts/"
    fi
    "$WINESERVER" -p >/dev/null 2>&1 || true
    # Start Wine's own background processes now, with their output going
    # nowhere: started by the first test instead, they would inherit its
    # output pipe and keep ctest waiting for it to close.
    "$WINELOADER" wineboot >/dev/null 2>&1 </dev/null || true
}

stop_wine() {
    "$WINESERVER" -k >/dev/null 2>&1 || true
}
