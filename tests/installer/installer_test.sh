#!/usr/bin/env bash
# The Windows installer under Wine, as a user meets it:
#   installer_test.sh <build dir> <cpack> <wine-run.sh> <wine loader>
# Makes the installer with cpack, installs it silently into a temporary folder, checks the files,
# the Start-menu shortcut and the entry under installed programs, starts the installed program
# with the simulated ftd2xx.dll placed beside it (for this test only: the installer never brings
# it) and connects, then uninstalls silently and checks that no program file, shortcut or
# uninstall entry is left. Exit 77 (skipped) when makensis is not installed, or when this machine
# cannot run 32-bit programs (the NSIS installer and uninstaller are 32-bit programs).
set -uo pipefail
build=$1
cpack=$2
wine_run=$3
loader=$4

if ! command -v makensis >/dev/null; then
    echo "SKIPPED: makensis is not installed (Debian package nsis), so there is no installer to try"
    exit 77
fi

# Tried, not assumed from what is installed (tools/wine-env.sh exports what it found).
if [ -z "${KALENDO_RUNS_32BIT:-}" ]; then
    KALENDO_RUNS_32BIT=0
    "${KALENDO_WINE32:-/usr/lib/wine/wine}" --version >/dev/null 2>&1 && KALENDO_RUNS_32BIT=1
fi
if [ "$KALENDO_RUNS_32BIT" != 1 ]; then
    echo "SKIPPED: this machine cannot run 32-bit programs, and the NSIS installer is one"
    exit 77
fi

failures=0
fail() {
    echo "FAILED: $*"
    failures=$((failures + 1))
}
# Runs a Windows program through the test runner's wrapper; CRs dropped from its output.
wine_program() { "$wine_run" "$loader" "$@" 2>&1 | tr -d '\r'; return "${PIPESTATUS[0]}"; }
windows_path() { echo "Z:${1//\//\\}"; }
# No menu entries on the Linux desktop for the shortcuts the installer makes.
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:+$WINEDLLOVERRIDES;}winemenubuilder.exe="

work=$(mktemp -d "${TMPDIR:-/tmp}/kalendo-installer-test.XXXXXX")
program_pid=""
# A program left running would hold the test's output open and the test would never end.
stop_program() {
    [ -n "$program_pid" ] || return 0
    pkill -P "$program_pid" 2>/dev/null
    kill "$program_pid" 2>/dev/null
    program_pid=""
}
cleanup() {
    stop_program
    rm -rf "$work"
}
trap cleanup EXIT

echo "--- making the installer"
if ! (cd "$build" && "$cpack" -G NSIS -B "$work/cpack" >"$work/cpack.log" 2>&1); then
    cat "$work/cpack.log"
    echo "FAILED: cpack could not make the installer"
    exit 1
fi
setup=$(ls "$work"/cpack/Kalendo-*-setup.exe 2>/dev/null | head -n 1)
[ -n "$setup" ] || { cat "$work/cpack.log"; echo "FAILED: no Kalendo-*-setup.exe made"; exit 1; }
echo "installer: $(basename "$setup")"
version=$(basename "$setup" | sed -E 's/^Kalendo-(.*)-win(32|64)-setup\.exe$/\1/')

# NSIS takes /D= only unquoted, and Wine quotes an argument that holds a space: no spaces here.
target="$work/Kalendo"
echo "--- silent install into $target"
# /D= must come last and unquoted, as NSIS wants it.
wine_program "$setup" /S "/D=$(windows_path "$target")" || fail "the installer ended with status $?"

for f in Kalendo.exe kalendo-cli.exe KalendoQuickHelp.htm LICENSE-EULA.htm rtc_model_info.txt Uninstall.exe; do
    [ -f "$target/$f" ] || fail "$f is not installed"
done
[ -e "$target/ftd2xx.dll" ] && fail "the installer brought an ftd2xx.dll"

shortcut=$(find "$WINEPREFIX/drive_c" -path '*Start Menu/Programs/Kalendo/Kalendo.lnk' 2>/dev/null | head -n 1)
[ -n "$shortcut" ] || fail "no Start-menu shortcut Kalendo\\Kalendo.lnk"

# The 32-bit installer writes the machine-wide entry into the 32-bit registry view, a user's own
# entry into HKCU; Windows lists all of them under installed programs.
uninstall_keys=(
    'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Kalendo'
    'HKLM\Software\Wow6432Node\Microsoft\Windows\CurrentVersion\Uninstall\Kalendo'
    'HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\Kalendo'
)
uninstall_entry() {
    local key
    for key in "${uninstall_keys[@]}"; do
        "$loader" reg query "$key" 2>/dev/null | tr -d '\r' | grep -q REG_SZ && {
            "$loader" reg query "$key" 2>/dev/null | tr -d '\r'
            return 0
        }
    done
    return 1
}
entry=$(uninstall_entry) || fail "no uninstall entry under installed programs"
echo "$entry"
[ -n "$entry" ] && for value in "DisplayName +REG_SZ +Kalendo$" "DisplayVersion +REG_SZ +$version$" \
             "Publisher +REG_SZ +Novar$" "UninstallString +REG_SZ +.*Uninstall.exe"; do
    grep -Eq "^ +$value" <<<"$entry" || fail "the uninstall entry lacks: $value"
done

echo "--- the installed program on the simulated board"
cp "$build/sim/ftd2xx.dll" "$target/"
(cd "$target" && KALENDO_SIM_STATE=fresh exec "$wine_run" "$loader" Kalendo.exe) &
program_pid=$!
remote=$build/app/kalendo_remote.exe
wine_program "$remote" wait >/dev/null || fail "the installed program's window did not appear"
line=$(wine_program "$remote" connect) || fail "the installed program did not connect: $line"
echo "information line after Connect: $line"
wine_program "$remote" close >/dev/null
for _ in $(seq 100); do
    kill -0 "$program_pid" 2>/dev/null || break
    sleep 0.1
done
if kill -0 "$program_pid" 2>/dev/null; then
    fail "the installed program did not end after its window was closed"
    stop_program
else
    wait "$program_pid" || fail "the installed program ended with status $?"
    program_pid=""
fi
# The test's own library goes before the uninstaller runs, as it came after the installer.
rm -f "$target/ftd2xx.dll"

echo "--- silent uninstall"
# The uninstaller copies itself away and returns at once; the copy does the work.
wine_program "$target/Uninstall.exe" /S || fail "the uninstaller ended with status $?"
for _ in $(seq 300); do
    [ -e "$target" ] || break
    sleep 0.1
done
if [ -e "$target" ]; then
    fail "files left after uninstalling: $(cd "$target" && find . -mindepth 1 | tr '\n' ' ')"
fi
left=$(uninstall_entry) && fail "the uninstall entry is still there: $left"
shortcut=$(find "$WINEPREFIX/drive_c" -path '*Start Menu/Programs/Kalendo*' 2>/dev/null | head -n 1)
[ -z "$shortcut" ] || fail "the Start-menu shortcut is still there: $shortcut"

if [ "$failures" -gt 0 ]; then
    echo "$failures check(s) failed"
    exit 1
fi
echo "PASSED: installed, started, connected and uninstalled"
