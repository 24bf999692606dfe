#!/usr/bin/env bash
# Photographs the Registers tab with the list read from the simulated board into
# docs/screenshots/page-registers.png. KALENDO_BUILD_DIR: the mingw64 build folder to use.
set -euo pipefail
cd "$(dirname "$0")/../.."
root=$(pwd)
build=${KALENDO_BUILD_DIR:-$root/build/mingw64}
out="$root/docs/screenshots"
mkdir -p "$out"
cmake --build "$build" --target Kalendo kalendo_ftd2xx kalendo_remote -j2
run="$build/registers-screenshot-run"
mkdir -p "$run"
cp "$build/app/Kalendo.exe" "$build/sim/ftd2xx.dll" "$build/app/kalendo_remote.exe" "$run/"
cp resources/rtc_model_info.txt resources/KalendoQuickHelp.htm resources/LICENSE-EULA.htm "$run/"
unset DISPLAY
# shellcheck source=tools/wine-env.sh
source tools/wine-env.sh
kalendo_wine_up
trap kalendo_wine_down EXIT
cd "$run"
remote() { "$KALENDO_WINE" kalendo_remote.exe "$@" | tr -d '\r'; }
KALENDO_SIM_STATE=fresh "$KALENDO_WINE" Kalendo.exe &
program=$!
remote wait >/dev/null
remote connect
remote tab 4 >/dev/null
sleep 1.2  # the page's refresh on showing
window=$(xwininfo -root -tree | awk '/"Novar Kalendo Tool"/ {print $1; exit}')
import -window "$window" "$out/page-registers.png"
echo "docs/screenshots/page-registers.png"
remote close >/dev/null
wait "$program" || true
