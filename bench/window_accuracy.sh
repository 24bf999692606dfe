#!/usr/bin/env bash
# The accuracy run in the window against kalendo-cli drift, side by side for the same minutes on
# two simulated boards with the same crystal error, under Wine: the window's run (worker thread,
# main window ticking beside it) should state the same precision as the console program's.
# Usage: bench/window_accuracy.sh [MINUTES] [PPM]    (defaults: 10 minutes, +5 ppm)
# Prints each side's offset, its bound and the bound's two parts.
set -euo pipefail
cd "$(dirname "$0")/.."
minutes=${1:-10}
ppm=${2:-5}
build=${KALENDO_BUILD_DIR:-build/mingw64}
cmake --build "$build" --target kalendo_window_accuracy_run kalendo-cli kalendo_ftd2xx >/dev/null
unset DISPLAY
# shellcheck source=tools/wine-env.sh
source tools/wine-env.sh
kalendo_wine_up
trap kalendo_wine_down EXIT
export KALENDO_SIM_STATE=fresh KALENDO_SIM_PPM=$ppm
(cd "$build/tests/ui_check" && "$KALENDO_WINE" kalendo_window_accuracy_run.exe . "$minutes" |
    tr -d '\r' | grep '^window:') &
window=$!
cli=$(tools/kalendo-cli drift --minutes "$minutes" 2>/dev/null | tr -d '\r' |
    grep -E '^(offset_ppm|uncertainty_ppm|fit_uncertainty_ppm|reference_uncertainty_ppm|span_s|transitions|failed_reads):' |
    tr '\n' ' ')
wait "$window"
echo "cli:    $cli"
echo "(true offset: $ppm ppm; the reference's part assumes the system clock within 10 ms)"
