#!/usr/bin/env bash
# Photographs the Timer tab idle and with a single run going on the simulated board into
# docs/screenshots/. KALENDO_BUILD_DIR: the mingw64 build folder to use.
set -euo pipefail
cd "$(dirname "$0")/../.."
root=$(pwd)
build=${KALENDO_BUILD_DIR:-$root/build/mingw64}
out="$root/docs/screenshots"
mkdir -p "$out"
cmake --build "$build" --target kalendo_timer_screenshots kalendo_ftd2xx -j2
run="$build/tests/ui_timer"
cp resources/rtc_model_info.txt "$run/"
unset DISPLAY
# shellcheck source=tools/wine-env.sh
source tools/wine-env.sh
kalendo_wine_up
trap kalendo_wine_down EXIT
cd "$run"
KALENDO_SIM_STATE=fresh "$KALENDO_WINE" kalendo_timer_screenshots.exe . | tr -d '\r'
for shot in timer-idle timer-running; do
    convert "$shot.bmp" "$out/page-$shot.png"
    echo "docs/screenshots/page-$shot.png"
done
