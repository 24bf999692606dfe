# Sourced by the run and test scripts: a Wine prefix of the project's own, a display (a virtual
# one when none is given) and one wineserver kept running, so each program starts in ~0.2 s.
# Call kalendo_wine_down when done.

export WINEPREFIX="${KALENDO_WINEPREFIX:-$HOME/.cache/kalendo/wineprefix}"
export WINEARCH=win64
export WINEDEBUG="${WINEDEBUG:--all}"
# No Mono or Gecko download prompts: the program needs neither.
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"

# The x86_64 programs start through Wine's 64-bit loader itself: once wine32:i386 is installed,
# Debian's `wine` script picks the 32-bit loader for every program, which fails outright on a
# machine whose kernel cannot run 32-bit programs.
KALENDO_WINE=/usr/lib/wine/wine64
[ -x "$KALENDO_WINE" ] || KALENDO_WINE=$(command -v wine64 || command -v wine || echo /usr/lib/wine/wine64)
KALENDO_WINESERVER=/usr/lib/wine/wineserver
[ -x "$KALENDO_WINESERVER" ] || KALENDO_WINESERVER=$(command -v wineserver || echo /usr/lib/wine/wineserver)
# Wine's 32-bit loader (package wine32:i386), which the i686 programs and the NSIS installer need.
# Setting KALENDO_WINE32 to a loader that cannot run (say /bin/false) makes this machine behave
# as one whose kernel runs no 32-bit programs.
KALENDO_WINE32="${KALENDO_WINE32:-/usr/lib/wine/wine}"
export KALENDO_WINE KALENDO_WINE32 KALENDO_WINESERVER

# Whether 32-bit programs run here is found out by starting the 32-bit loader once, never from
# what is installed: machines of this kind differ, and wine32:i386 installs on both.
# KALENDO_RUNS_32BIT is 1 or 0 afterwards (exported, so the tests' scripts see the same answer).
kalendo_probe_32bit() {
    if [ -z "${KALENDO_RUNS_32BIT:-}" ]; then
        if "$KALENDO_WINE32" --version >/dev/null 2>&1; then
            KALENDO_RUNS_32BIT=1
        else
            KALENDO_RUNS_32BIT=0
        fi
    fi
    export KALENDO_RUNS_32BIT
}

kalendo_xvfb_pid=""

kalendo_wine_up() {
    if [ -z "${DISPLAY:-}" ]; then
        # Xvfb picks a free display itself and writes its number once it accepts clients: no race
        # with another run choosing the same number at the same moment.
        local numberfile
        numberfile=$(mktemp)
        Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$numberfile" >/dev/null 2>&1 &
        kalendo_xvfb_pid=$!
        local n=""
        for _ in $(seq 100); do
            n=$(tr -dc '0-9' <"$numberfile")
            [ -n "$n" ] && break
            sleep 0.1
        done
        rm -f "$numberfile"
        if [ -z "$n" ]; then
            echo "Xvfb did not start: no virtual display for Wine" >&2
            return 1
        fi
        export DISPLAY=":${n}"
    fi
    mkdir -p "$WINEPREFIX"
    # A prefix made before Wine's 32-bit half was installed has an empty syswow64 that wineboot
    # never fills; the 32-bit programs then fail with "could not load kernel32.dll".
    # Only where 32-bit programs run: elsewhere the 32-bit half can never fill it, and the prefix
    # would be made anew at every start.
    kalendo_probe_32bit
    if [ -f "$WINEPREFIX/system.reg" ] && [ "$KALENDO_RUNS_32BIT" = 1 ] &&
        [ ! -f "$WINEPREFIX/drive_c/windows/syswow64/kernel32.dll" ]; then
        echo "The Wine prefix in $WINEPREFIX has no 32-bit support: making it anew"
        "$KALENDO_WINESERVER" -k >/dev/null 2>&1 || true
        rm -rf "$WINEPREFIX"
        mkdir -p "$WINEPREFIX"
    fi
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
        echo "Creating the Wine prefix in $WINEPREFIX (once, about 20 s)"
        "$KALENDO_WINE" wineboot -u >/dev/null 2>&1 || true
        "$KALENDO_WINESERVER" -w || true
    fi
    kalendo_wine_fonts
    "$KALENDO_WINESERVER" -p >/dev/null 2>&1 || true
    # Without a window manager, hiding a managed top-level window stalls about 2 s; and a
    # crashing program must exit instead of waiting in the crash dialog.
    "$KALENDO_WINE" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null 2>&1 || true
    "$KALENDO_WINE" reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1 || true
}

# Wine draws the caption buttons and the default dialog font from its own fonts (Debian's
# fonts-wine); a prefix made before they were installed lacks them, so they are copied in.
kalendo_wine_fonts() {
    local fonts=/usr/share/wine/fonts target="$WINEPREFIX/drive_c/windows/Fonts" f
    [ -d "$fonts" ] || { echo "Wine's fonts are missing (Debian package fonts-wine)" >&2; return 0; }
    mkdir -p "$target"
    for f in "$fonts"/*; do
        [ -e "$target/$(basename "$f")" ] || cp "$f" "$target/"
    done
}

kalendo_wine_down() {
    "$KALENDO_WINESERVER" -k >/dev/null 2>&1 || true
    if [ -n "$kalendo_xvfb_pid" ]; then
        kill "$kalendo_xvfb_pid" 2>/dev/null || true
        wait "$kalendo_xvfb_pid" 2>/dev/null || true
    fi
}
