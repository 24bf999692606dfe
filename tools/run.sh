#!/usr/bin/env bash
# Builds Kalendo for Windows and runs it under Wine on the simulated evaluation board.
#
# One folder (build/mingw64/run/) holds everything the program needs: Kalendo.exe, the simulated
# ftd2xx.dll, rtc_model_info.txt and the two help documents; the program starts in it. With a
# display the program simply runs until it is closed. Without one, a virtual display is used: the
# program is started, connected to the simulated board, photographed (run/kalendo-connected.png)
# and closed again.
#
# KALENDO_BUILD_DIR builds elsewhere than the mingw64 preset's folder.
set -euo pipefail
cd "$(dirname "$0")/.."

tools/install-deps.sh

# shellcheck source=tools/program-folder.sh
source tools/program-folder.sh
kalendo_program_folder run
run=$program_folder

had_display=${DISPLAY:-}
# shellcheck source=tools/wine-env.sh
source tools/wine-env.sh
kalendo_wine_up
trap kalendo_wine_down EXIT
cd "$run"

if [ -n "$had_display" ]; then
    echo "Running Kalendo from $run"
    "$KALENDO_WINE" Kalendo.exe
    exit 0
fi

echo "No display: running Kalendo on a virtual display ($DISPLAY)"
"$KALENDO_WINE" Kalendo.exe &
program=$!
"$KALENDO_WINE" kalendo_remote.exe wait >/dev/null
"$KALENDO_WINE" kalendo_remote.exe connect | tr -d '\r'
sleep 1.5  # one status tick, so the lamps and the RTC's time are current
window=$(xwininfo -root -tree | awk '/"Novar Kalendo Tool"/ {print $1; exit}')
import -window "${window:-root}" "$run/kalendo-connected.png"
echo "Screenshot: $run/kalendo-connected.png"
"$KALENDO_WINE" kalendo_remote.exe close >/dev/null
code=0
wait "$program" || code=$?
echo "Kalendo exited with code $code"
exit "$code"
