#!/usr/bin/env bash
# Starts a Windows program under Wine for the tests (the build's cross-compiling emulator):
#
#   tools/wine-run.sh <wine loader> <program.exe> [arguments...]
#
# The loader runs without address-space randomisation: with it, the Linux heap of Wine's
# preloader now and then lands on 0x7ffe0000, the page Wine must reserve for Windows' shared
# user data, and the process dies before the program runs, with no output. Whatever else keeps a
# program from starting is named in the log with Wine's exit status and message, instead of a
# test that ends in 0.00 s without a word.
set -u
if [ $# -lt 2 ]; then
    echo "usage: tools/wine-run.sh <wine loader> <program.exe> [arguments...]" >&2
    exit 2
fi
loader=$1
program=$2
shift

# Wine's own complaint about its address space is kept even when its debug output is off.
export WINEDEBUG="${WINEDEBUG:+$WINEDEBUG,}err+virtual"

norandom=()
if setarch "$(uname -m)" -R true 2>/dev/null; then
    norandom=(setarch "$(uname -m)" -R)
fi

if [[ $program == */* ]] && [ ! -f "$program" ]; then
    echo "wine-run: cannot start $program: no such file" >&2
    exit 127
fi

# Standard output passes through as it comes (a test that times out still shows how far it got);
# Wine's standard error follows it when the program ends. The copies tell a program that ran and
# failed (it printed something of its own) from one that never started (no output, or only
# Wine's own "wine: ..." and "err:" lines).
copies=$(mktemp -d "${TMPDIR:-/tmp}/wine-run.XXXXXX")
trap 'rm -rf "$copies"' EXIT
"${norandom[@]}" "$loader" "$@" 2>"$copies/err" | tee "$copies/out"
status=${PIPESTATUS[0]}
cat "$copies/err" >&2

if [ "$status" -ne 0 ] && [ ! -s "$copies/out" ] &&
    { [ ! -s "$copies/err" ] || grep -qE '^wine:|^[0-9a-f]+:err:|^err:' "$copies/err"; }; then
    message=$(grep -v '^[[:space:]]*$' "$copies/err" | head -n 3 | tr -d '\r' | paste -sd ' ' -)
    if [ "$status" -gt 128 ]; then
        how="the Wine loader was killed by signal $((status - 128)) (exit status $status)"
    else
        how="Wine exit status $status"
    fi
    echo "wine-run: $(basename "$program") did not start or ended without output:" \
         "$how; Wine's message: ${message:-none}" >&2
fi
exit "$status"
