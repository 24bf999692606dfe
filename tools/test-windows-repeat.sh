#!/usr/bin/env bash
# Runs the Windows test suite (the mingw64 build's tests under Wine) N times in a row (default
# 20), to show that it passes every time. Stops at the first failing run and keeps its log; the
# logs of runs that passed are removed. Prints a line per run and a summary.
#
#   tools/test-windows-repeat.sh [N]
#
# KALENDO_BUILD_DIR tests another build folder than the mingw64 preset's (it is configured like
# it); the test settings are those of the mingw64 test preset.
set -uo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
runs=${1:-20}
if ! [[ $runs =~ ^[1-9][0-9]*$ ]]; then
    echo "usage: tools/test-windows-repeat.sh [number of runs, default 20]" >&2
    exit 2
fi
tools/install-deps.sh || exit 1

build=${KALENDO_BUILD_DIR:-$root/build/mingw64}
if [ -z "${KALENDO_BUILD_DIR:-}" ]; then
    cmake --preset mingw64 >/dev/null || exit 1
else
    cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" >/dev/null || exit 1
fi
cmake --build "$build" || exit 1

logdir="$root/build/test-logs"
mkdir -p "$logdir"
# shellcheck source=tools/wine-env.sh
source tools/wine-env.sh
kalendo_wine_up || exit 1
trap kalendo_wine_down EXIT

export KALENDO_SIM_STATE=fresh
passed_runs=0
slowest=0
for i in $(seq "$runs"); do
    log="$logdir/windows-repeat-$i.log"
    start=$(date +%s)
    ctest --test-dir "$build" -j2 --output-on-failure --timeout 180 >"$log" 2>&1
    code=$?
    seconds=$(($(date +%s) - start))
    ((seconds > slowest)) && slowest=$seconds
    summary=$(grep -E 'tests passed, [0-9]+ tests? failed out of [0-9]+' "$log" | tail -n 1)
    echo "run $i/$runs: ${summary:-no test summary} (${seconds} s)"
    if [ "$code" -ne 0 ] || [ -z "$summary" ]; then
        echo "run $i failed; its log is kept in $log:"
        sed -n '/The following tests FAILED/,$p' "$log"
        grep -h 'wine-run:' "$log" || true
        echo "summary: $passed_runs of $runs runs passed before run $i failed"
        exit 1
    fi
    rm -f "$log"
    passed_runs=$((passed_runs + 1))
done
echo "summary: $passed_runs of $runs runs passed, no failure (slowest run ${slowest} s)"
