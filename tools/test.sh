#!/usr/bin/env bash
# Installs what is missing, builds and runs the tests: the native unit tests (with
# AddressSanitizer and UBSan) and console-program cases, the Debian packages (built and checked
# in the background at low priority while the other phases run: lintian, installed with dpkg,
# run on the simulated board), every Windows test built for x86_64 under Wine (the i686 build
# running beside them), then, built for i686, the Windows tests where the width matters (the
# mingw32 presets choose them by the ctest label width; docs/building.md). On a machine that cannot run 32-bit programs the i686 programs
# are built but their tests, and the installer's (NSIS makes a 32-bit installer), are counted as
# skipped.
set -uo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

logdir="$root/build/test-logs"
mkdir -p "$logdir"
passed=0
failed=0
skipped=0
status=0
parts=""

# Adds the counts of ctest's closing line in log $1 to the totals, under the run's name $2. ctest
# counts a skipped test (exit code 77) among the passed ones; here it is counted as skipped.
tally() {
    local line
    line=$(grep -E 'tests passed, [0-9]+ tests? failed out of [0-9]+' "$1" | tail -n 1)
    if [ -z "$line" ]; then
        echo "No test summary in $1" >&2
        status=1
        return
    fi
    local f t k
    f=$(sed -E 's/.* ([0-9]+) tests? failed out of ([0-9]+).*/\1/' <<<"$line")
    t=$(sed -E 's/.* ([0-9]+) tests? failed out of ([0-9]+).*/\2/' <<<"$line")
    k=$(grep -cE '^[[:space:]]*[0-9]+ - .*\(Skipped\)[[:space:]]*$' "$1")
    passed=$((passed + t - f - k))
    failed=$((failed + f))
    skipped=$((skipped + k))
    parts="${parts}${parts:+, }$2 $((t - f - k))/$t"
    [ "$k" -eq 0 ] || parts="$parts ($k skipped)"
}

# Each phase's wall time, for the closing summary: where a slow run spent it.
phase=""
phase_start=$SECONDS
phases=""
end_phase() {
    [ -n "$phase" ] && phases="${phases}${phases:+, }${phase} $((SECONDS - phase_start)) s"
    phase=""
}
step() {
    end_phase
    phase=$2
    phase_start=$SECONDS
    echo
    echo "=== $1"
}

step "Debian packages" "install"
tools/install-deps.sh || exit 1

step "Native build (clang, AddressSanitizer, UBSan)" "native build"
cmake --preset native >"$logdir/native-configure.log" 2>&1 || { cat "$logdir/native-configure.log"; exit 1; }
cmake --build --preset native || exit 1
# The Debian packages are built and checked from the next phase on, at the lowest priority:
# mostly in the time the native and Wine tests spend waiting on the real clock.
debs="$root/build/test-packages"
rm -rf "$debs" "$logdir"/deb-*
(nice -n 19 tools/package-deb.sh "$debs" >"$logdir/deb-build.log" 2>&1
 echo $? >"$logdir/deb-build.status"
 if [ "$(cat "$logdir/deb-build.status")" = 0 ]; then
     nice -n 19 bash tests/packaging/check_debian_packages.sh "$debs"/kalendo-cli_*.deb \
         "$debs"/kalendo-simulated-board_*.deb >"$logdir/deb-check.log" 2>&1
 fi) &
deb_job=$!

step "Native tests" "native tests"
# The console program's cases that mostly wait on the real clock (label realclock) run beside the
# CPU-bound tests rather than in their two slots.
ctest --preset native -j2 -L '^realclock$' >"$logdir/native-realclock-ctest.log" 2>&1 &
realclock=$!
ctest --preset native -j2 -LE '^realclock$' 2>&1 | tee "$logdir/native-ctest.log"
[ "${PIPESTATUS[0]}" -eq 0 ] || status=1
wait "$realclock" || status=1
cat "$logdir/native-realclock-ctest.log"
tally "$logdir/native-ctest.log" native
tally "$logdir/native-realclock-ctest.log" "native real-clock"

step "Windows x86_64 build (MinGW-w64)" "mingw64 build"
cmake --preset mingw64 >"$logdir/mingw64-configure.log" 2>&1 || { cat "$logdir/mingw64-configure.log"; exit 1; }
cmake --build --preset mingw64 || exit 1

# The i686 build (the program and the width tests) runs beside the x86_64 tests at a lower
# priority: those mostly wait on Wine and the real clock, and the run is shorter by most of it.
(cmake --preset mingw32 >"$logdir/mingw32-configure.log" 2>&1 &&
 nice -n 10 cmake --build --preset mingw32 >"$logdir/mingw32-build.log" 2>&1
 echo $? >"$logdir/mingw32-build.status") &
mingw32_job=$!
mingw32_start=$SECONDS

# One virtual display and one wineserver for both widths: the i686 programs run in the same
# win64 prefix through Wine's 32-bit loader.
# shellcheck source=tools/wine-env.sh
source tools/wine-env.sh
step "Wine prefix and virtual display" "Wine set-up"
kalendo_wine_up
trap kalendo_wine_down EXIT
kalendo_probe_32bit

run_wine_tests() {
    step "Windows tests under Wine ($1)" "$1 tests"
    ctest --preset "$1" -j2 2>&1 | tee "$logdir/$1-ctest.log"
    [ "${PIPESTATUS[0]}" -eq 0 ] || status=1
    tally "$logdir/$1-ctest.log" "$1"
}
run_wine_tests mingw64

step "Windows i686 build (MinGW-w64): the program and the width tests" "mingw32 build (rest)"
wait "$mingw32_job"
echo "The i686 build took $((SECONDS - mingw32_start)) s beside the x86_64 tests."
if [ "$(cat "$logdir/mingw32-build.status" 2>/dev/null)" != 0 ]; then
    cat "$logdir/mingw32-configure.log" "$logdir/mingw32-build.log"
    echo "The i686 build failed"
    exit 1
fi
[ "$KALENDO_RUNS_32BIT" != 1 ] || run_wine_tests mingw32
if [ "$KALENDO_RUNS_32BIT" != 1 ]; then
    # The i686 selection is the tests labelled width; they are counted in the x86_64 build, where
    # the same tests carry the label: the i686 build cannot list its own without running them.
    n=$(ctest --test-dir "$root/build/mingw64" -N -L '^width$' 2>/dev/null |
        sed -nE 's/^Total Tests: ([0-9]+).*/\1/p')
    n=${n:-0}
    skipped=$((skipped + n))
    parts="${parts}${parts:+, }mingw32 skipped ($n)"
    echo
    echo "Skipped: the $n i686 tests and the installer test, because this machine cannot run" \
         "32-bit programs ($KALENDO_WINE32 does not start)."
fi

step "Debian packages: lintian, dpkg install, the simulated board" "deb packages"
wait "$deb_job"
if [ "$(cat "$logdir/deb-build.status" 2>/dev/null)" != 0 ]; then
    cat "$logdir/deb-build.log"
    echo "The Debian packages were not built"
    failed=$((failed + 1))
    parts="${parts}${parts:+, }deb 0/1"
else
    cat "$logdir/deb-check.log"
    line=$(grep -E '^[0-9]+ passed, [0-9]+ failed, [0-9]+ skipped$' "$logdir/deb-check.log")
    read -r p _ f _ k _ <<<"${line:-0 passed, 1 failed, 0 skipped}"
    passed=$((passed + p))
    failed=$((failed + f))
    skipped=$((skipped + k))
    parts="${parts}${parts:+, }deb $p/$((p + f + k))"
    [ "$k" -eq 0 ] || parts="$parts ($k skipped)"
fi

end_phase
echo
echo "time per phase: ${phases}"
echo "passed per run: ${parts}"
echo "tests: ${passed} passed, ${failed} failed, ${skipped} skipped"
[ "$failed" -eq 0 ] || status=1
exit $status
