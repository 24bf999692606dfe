#!/usr/bin/env bash
# Regenerates the screenshots in docs/screenshots/: builds the program, runs it on the simulated
# board on a virtual display, connects, and photographs the main window on each tab (tab-*.png);
# then the photograph programs put the Time and Date, Alarm and Timer pages through their main
# states and show tabs with the RTC not answering (page-*.png). KALENDO_BUILD_DIR builds elsewhere than the mingw64 preset's folder.
# tests/ui_power/run_and_plot.sh makes the logging run's photograph and plot.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
out="$root/docs/screenshots"
mkdir -p "$out"

# shellcheck source=tools/program-folder.sh
source tools/program-folder.sh
kalendo_program_folder screenshots-run kalendo_time_alarm_screenshots kalendo_timer_screenshots \
    kalendo_failed_read_screenshots kalendo_check_screenshots
shots=$program_folder

unset DISPLAY  # always the virtual display: same size and look every time
# shellcheck source=tools/wine-env.sh
source tools/wine-env.sh
kalendo_wine_up
trap kalendo_wine_down EXIT
cd "$shots"
remote() { "$KALENDO_WINE" kalendo_remote.exe "$@" | tr -d '\r'; }

KALENDO_SIM_STATE=fresh "$KALENDO_WINE" Kalendo.exe &  # the same board every time
program=$!
remote wait >/dev/null
remote connect
names=(information time-and-date alarm timer registers power-and-fout)
for i in "${!names[@]}"; do
    remote tab "$i" >/dev/null
    sleep 1.2  # a status tick and the page's own first refresh
    window=$(xwininfo -root -tree | awk '/"Novar Kalendo Tool"/ {print $1; exit}')
    import -window "$window" "$out/tab-$i-${names[$i]}.png"
    echo "docs/screenshots/tab-$i-${names[$i]}.png"
done
remote close >/dev/null
wait "$program" || true

# Each photograph program runs beside its model file in its own build folder, on a fresh board.
photograph() {
    local folder=$1 program=$2
    shift 2
    (cd "$build/tests/$folder" && KALENDO_SIM_STATE=fresh "$KALENDO_WINE" "$program.exe" . | tr -d '\r')
    for shot in "$@"; do
        convert "$build/tests/$folder/$shot.bmp" "$out/page-$shot.png"
        echo "docs/screenshots/page-$shot.png"
    done
}
photograph ui_time_alarm kalendo_time_alarm_screenshots \
    time-and-date alarm-disabled alarm-armed alarm-triggered
photograph ui_timer kalendo_timer_screenshots timer-idle timer-running
photograph ui_failed_reads kalendo_failed_read_screenshots \
    alarm-rtc-not-answering registers-rtc-not-answering
photograph ui_check kalendo_check_screenshots check-running check-finished check-marks
