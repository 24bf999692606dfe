#!/usr/bin/env bash
# The Debian packages as a user gets them: what each holds (and that kalendo-cli's never holds a
# libftd2xx.so), lintian without errors, and, as root, installed with dpkg, run on the simulated
# board from a folder of their own, and removed again.
#   check_debian_packages.sh KALENDO_CLI_DEB KALENDO_SIMULATED_BOARD_DEB
# Ends with "N passed, N failed, N skipped" (one per check).
set -uo pipefail
cli_deb=$1 sim_deb=$2
passed=0 failed=0 skipped=0
pass() { echo "PASS: $*"; passed=$((passed + 1)); }
fail() { echo "FAIL: $*"; failed=$((failed + 1)); }
skip() { echo "SKIP: $*"; skipped=$((skipped + 1)); }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# What each package holds.
cli_files=$(dpkg-deb -c "$cli_deb" | awk '{print $NF}')
missing=""
for f in ./usr/bin/kalendo-cli ./usr/share/kalendo/rtc_model_info.txt \
         ./usr/share/man/man1/kalendo-cli.1.gz ./usr/share/bash-completion/completions/kalendo-cli \
         ./usr/lib/udev/rules.d/60-kalendo-um232h.rules ./usr/share/doc/kalendo-cli/copyright; do
    grep -qx "$f" <<<"$cli_files" || missing="$missing $f"
done
if [ -n "$missing" ]; then
    fail "kalendo-cli lacks$missing"
elif grep -q 'ftd2xx' <<<"$cli_files"; then
    fail "kalendo-cli holds a bridge library: $(grep ftd2xx <<<"$cli_files")"
else
    pass "kalendo-cli holds the program, model file, manual, completion and udev rule, no library"
fi
sim_libraries=$(dpkg-deb -c "$sim_deb" | awk '{print $NF}' | grep '\.so')
if [ "$sim_libraries" = "./usr/lib/kalendo/simulated-board/libftd2xx.so" ]; then
    pass "kalendo-simulated-board holds its libftd2xx.so in a folder of its own"
else
    fail "kalendo-simulated-board's libraries: $sim_libraries"
fi

# lintian: errors fail, warnings are reported.
lintian "$cli_deb" "$sim_deb" >"$work/lintian.txt" 2>&1
errors=$(grep -c '^E: ' "$work/lintian.txt")
warnings=$(grep -c '^W: ' "$work/lintian.txt")
cat "$work/lintian.txt"
if [ "$errors" -eq 0 ]; then
    pass "lintian: no errors ($warnings warnings)"
else
    fail "lintian: $errors errors"
fi

if [ "$(id -u)" -ne 0 ]; then
    skip "installing with dpkg needs root"
else
    before=$(dpkg-query -W -f='${Package} ${Status}\n' kalendo-cli kalendo-simulated-board 2>/dev/null |
             grep -c 'ok installed')
    # Another dpkg (apt) may hold the lock for a moment on a shared machine.
    for _ in $(seq 30); do
        dpkg -i "$cli_deb" "$sim_deb" >"$work/dpkg.txt" 2>&1 && break
        grep -q 'lock' "$work/dpkg.txt" || break
        sleep 2
    done
    if ! dpkg-query -W -f='${Status}\n' kalendo-cli 2>/dev/null | grep -q 'ok installed'; then
        cat "$work/dpkg.txt"
        fail "dpkg -i"
    else
        pass "installed with dpkg -i"
        cd "$work" || exit 1
        export KALENDO_SIM_STATE=fresh KALENDO_LOCK_DIR="$work"
        unset KALENDO_SIM_DEVICES KALENDO_SIM_IN_USE
        sim=/usr/lib/kalendo/simulated-board
        out=$(LD_LIBRARY_PATH=$sim kalendo-cli boards 2>&1)
        if [ "$out" = "boards: 1
simulated: yes
board 0: UM232H channel 0, answering: ISL28023@0x40 RTC@0x32" ]; then
            pass "kalendo-cli boards on the simulated board"
        else
            fail "kalendo-cli boards: $out"
        fi
        out=$(LD_LIBRARY_PATH=$sim kalendo-cli time set 12:34:56 2>&1 && LD_LIBRARY_PATH=$sim kalendo-cli --json time 2>&1)
        case "$out" in
            *'{"time": "'*) pass "kalendo-cli time on the simulated board" ;;
            *) fail "kalendo-cli time: $out" ;;
        esac
        # From a folder without a model file, the installed one is found: check reads it
        # before it looks for the board.
        out=$(KALENDO_SIM_DEVICES=none LD_LIBRARY_PATH=$sim kalendo-cli check 2>&1)
        if [ "$out" = "ERROR: Unable to locate ISL28023 device" ]; then
            pass "the installed model file is found"
        else
            fail "check without a board: $out"
        fi
        if ldconfig -p | grep -q 'libftd2xx\.so '; then
            skip "the vendor's libftd2xx.so is installed here: no missing-library message to see"
        else
            out=$(kalendo-cli time 2>&1)
            status=$?
            if [ "$status" -eq 1 ] && [ "$out" = "ERROR: libftd2xx.so not found or incomplete" ]; then
                pass "without the vendor's library: a clear message, exit 1"
            else
                fail "without the library: exit $status, $out"
            fi
        fi
        cd / || exit 1
        if [ "$before" -eq 0 ]; then
            if dpkg -r kalendo-simulated-board kalendo-cli >"$work/dpkg.txt" 2>&1 &&
                [ ! -e /usr/bin/kalendo-cli ]; then
                pass "removed with dpkg -r"
            else
                cat "$work/dpkg.txt"
                fail "dpkg -r"
            fi
        fi
    fi
fi
echo "$passed passed, $failed failed, $skipped skipped"
[ "$failed" -eq 0 ]
