#!/usr/bin/env bash
# A logging run on the simulated board: the log, its plot and a photograph of the Power and FOUT
# tab into docs/. KALENDO_BUILD_DIR: the mingw64 build folder to use.
set -euo pipefail
cd "$(dirname "$0")/../.."
root=$(pwd)
build=${KALENDO_BUILD_DIR:-$root/build/mingw64}
mkdir -p "$root/docs/screenshots"
cmake --build "$build" --target kalendo_power_run kalendo_ftd2xx -j2
run="$build/tests/ui_power"
cp resources/rtc_model_info.txt "$run/"
unset DISPLAY
# shellcheck source=tools/wine-env.sh
source tools/wine-env.sh
kalendo_wine_up
trap kalendo_wine_down EXIT
(cd "$run" && KALENDO_SIM_RTC=TQ5100 KALENDO_SIM_STATE=fresh "$KALENDO_WINE" kalendo_power_run.exe . | tr -d '\r')
convert "$run/power-fout.bmp" "$root/docs/screenshots/page-power-fout-logging.png"
echo "docs/screenshots/page-power-fout-logging.png"
cp "$run/datalog-simulated-run.txt" "$root/docs/datalog-simulated-run.txt"
tools/plot-datalog --period 0.6 docs/datalog-simulated-run.txt docs/datalog-simulated-run.png
