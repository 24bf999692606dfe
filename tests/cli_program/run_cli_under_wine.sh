#!/usr/bin/env bash
# One case of kalendo-cli.exe run under Wine on the simulated board; exits non-zero with the
# reason when the program's output or exit status is not what the case expects.
#   run_cli_under_wine.sh CASE WINE PROGRAM SIM_DIR SIM_MISSING_ENTRY_DIR BUS_HOLDER
# WINE is the test emulator as CMake holds it: a command and its arguments joined by ';'.
set -uo pipefail
case_name=$1 program=$3 sim_dir=$4 missing_entry_dir=$5 bus_holder=$6
IFS=';' read -ra wine <<<"$2"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work" || exit 1
export KALENDO_SIM_STATE=fresh
export KALENDO_SIM_CONTROL="$work/control.txt"
unset KALENDO_SIM_DEVICES KALENDO_SIM_PPM KALENDO_SIM_TEMPCO KALENDO_SIM_IN_USE

windows_path() { echo "Z:$(echo "$1" | tr '/' '\\')"; }
failures=0
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}

# Runs the program with the given library folder; sets status, out and err (CR removed).
run_with() {
    local library=$1
    shift
    WINEPATH="$(windows_path "$library")" "${wine[@]}" "$program" "$@" >"$work/out" 2>"$work/err"
    status=$?
    out=$(tr -d '\r' <"$work/out")
    err=$(tr -d '\r' <"$work/err")
}
run() { run_with "$sim_dir" "$@"; }

expect_status() {
    [ "$status" -eq "$1" ] || fail "$2: exit status $status, expected $1; stderr: $err"
}
expect_out() {
    [ "$out" = "$1" ] || fail "$2: stdout \"$out\", expected \"$1\""
}
expect_err() {
    [ "$err" = "$1" ] || fail "$2: stderr \"$err\", expected \"$1\""
}
expect_in() {
    case "$1" in *"$2"*) ;; *) fail "$3: \"$2\" not in \"$1\"" ;; esac
}

case "$case_name" in
help_and_usage_errors)
    run --help
    expect_status 0 "--help"
    expect_in "$out" "drift --minutes N [--reference-error-ms E] [--csv FILE]" "--help"
    run supply --help
    expect_status 0 "supply --help"
    expect_in "$out" "0.1 to 4.0 V" "supply --help"
    for args in "" "frobnicate" "time set 24:00:00" "reg write 07 1FF" "supply 9" \
                "drift --minutes 0" "--model TQ9999 time"; do
        # shellcheck disable=SC2086
        run $args
        expect_status 2 "\"$args\""
        expect_out "" "\"$args\""
        expect_in "$err" "usage:" "\"$args\""
    done
    ;;
missing_library)
    run_with "$work" time
    expect_status 1 "no ftd2xx.dll"
    expect_err "ERROR: ftd2xx.dll not found or incomplete" "no ftd2xx.dll"
    expect_out "" "no ftd2xx.dll"
    ;;
incomplete_library)
    run_with "$missing_entry_dir" time
    expect_status 1 "library without FT_GetLatencyTimer"
    expect_err "ERROR: ftd2xx.dll not found or incomplete" "library without FT_GetLatencyTimer"
    ;;
missing_board)
    for args in "time" "regs" "power" "drift --minutes 1"; do
        # shellcheck disable=SC2086
        KALENDO_SIM_DEVICES=none run $args
        expect_status 1 "$args without a board"
        expect_err "ERROR: Unable to locate ISL28023 device" "$args without a board"
        expect_out "" "$args without a board"
    done
    KALENDO_SIM_DEVICES=none run boards
    expect_status 0 "boards without a board"
    expect_out "boards: 0
simulated: yes" "boards without a board"
    ;;
commands_in_one_process_each)
    run boards
    expect_status 0 boards
    expect_out "boards: 1
simulated: yes
board 0: UM232H channel 0, answering: ISL28023@0x40 RTC@0x32" boards
    run time set 23:59:58
    expect_status 0 "time set"
    expect_out "time: 23:59:58
result: RTC Time Updated" "time set"
    run date
    expect_out "date: 2000-01-01
weekday: Saturday" "date of a fresh RTC"
    run --model TQ5200 reg read 1f
    expect_out "address: 0x1F
name: Timer2 Preset
value: 0x00" "TQ5200 register 0x1F"
    run time sync
    expect_status 0 "time sync"
    expect_in "$out" "result: RTC time Synchronized to system time" "time sync"
    run fout freq 1
    expect_out "fout_frequency: 1Hz
result: FOUT Frequency updated" "fout freq"
    run power --average 3
    expect_status 0 power
    expect_in "$out" "readings: 3" power
    run log --seconds 2 --out bench.txt
    expect_status 0 log
    expect_out "file: bench.txt
records: 3" log
    [ "$(grep -c $'\r$' bench.txt)" -eq 5 ] || fail "log: bench.txt has not 5 CRLF lines"
    ;;
json_output)
    run --json alarm set 06:45 --weekday Tuesday
    expect_status 0 "alarm set"
    expect_out '{"alarm": "06:45", "weekday": "Tuesday", "enabled": false, "result": "RTC Alarm Date Updated"}' "alarm set"
    run --json supply 3.3
    expect_out '{"supply_v": 3.3, "result": "Voltage changed to 3.3"}' "supply"
    ;;
board_unplugged_during_log)
    # Another process unplugs the board two seconds into a five-second log.
    ( sleep 2.5; echo unplug >>"$KALENDO_SIM_CONTROL" ) &
    run log --seconds 5 --out lost.txt
    wait
    expect_status 1 "unplugged during log"
    expect_out "" "unplugged during log"
    expect_in "$err" "ERROR: Power not measured, ISL28023 not answering" "unplugged during log"
    records=$(($(grep -c $'\r$' lost.txt) - 2))
    { [ "$records" -ge 2 ] && [ "$records" -le 4 ]; } ||
        fail "unplugged during log: $records records logged"
    expect_in "$err" "the log holds $records records" "unplugged during log"
    ;;
drift_recovers_5000_ppm_in_15_seconds)
    start=$(date +%s.%N)
    KALENDO_SIM_PPM=5000 run drift --minutes 0.25 --csv drift.csv
    elapsed=$(awk -v a="$start" -v b="$(date +%s.%N)" 'BEGIN { printf "%.1f", b - a }')
    expect_status 0 "drift"
    echo "$out"
    ppm=$(echo "$out" | sed -n 's/^offset_ppm: //p')
    uncertainty=$(echo "$out" | sed -n 's/^uncertainty_ppm: //p')
    echo "drift +5000 ppm under Wine: $ppm +- $uncertainty ppm in $elapsed s"
    # Within 5 %; on a machine too loaded to time-stamp that closely the stated uncertainty
    # widens with it, and twice that still bounds the error. (The 5 % in 15 s on the board's
    # own clock is checked by the native drift test.)
    awk -v p="$ppm" -v u="$uncertainty" 'BEGIN {
            e = p - 5000; if (e < 0) e = -e
            exit !(p != "" && (e <= 250 || e <= 2 * u)) }' ||
        fail "drift: $ppm +- $uncertainty ppm is not within 5 % of 5000"
    expect_in "$out" "within_tolerance: no" "drift"
    rows=$(($(wc -l <drift.csv) - 1))
    expect_in "$out" "transitions: $rows" "drift csv rows"
    ;;
check_short_run_puts_the_supply_back)
    # Half a minute of accuracy on the real clock: too short against the reference's 10 ms, so
    # the accuracy rows stay undecided (exit 3); the sweep rows pass on the default sample.
    mkdir records
    start=$(date +%s.%N)
    run check --minutes 0.5 --report report.html --csv records
    elapsed=$(awk -v a="$start" -v b="$(date +%s.%N)" 'BEGIN { printf "%.1f", b - a }')
    echo "$out"
    echo "check of 0.5 min under Wine: $elapsed s"
    expect_status 3 "check"
    expect_in "$out" "Frequency Tolerance: " "check"
    expect_in "$out" "(data sheet: +/-3.8 ppm over -40 to +85 C): undecided" "check"
    expect_in "$out" "Battery switch-over, falling: " "check"
    expect_in "$out" "supply_restored: yes" "check"
    expect_in "$out" "board_state: supply put back as found (configuration 0x04, level 238)" "check"
    expect_in "$err" "left" "check progress"
    grep -q "<svg" report.html || fail "check: no plot in the report"
    grep -q "<script" report.html && fail "check: a script in the report"
    [ "$(($(wc -l <records/sweep.csv) - 1))" -eq 28 ] || fail "check: sweep.csv rows"
    ;;
drift_rides_out_failed_reads)
    # Another process makes two reads come back short during a ten-second run.
    ( sleep 3; echo "short-read 1" >>"$KALENDO_SIM_CONTROL"
      sleep 2; echo "short-read 1" >>"$KALENDO_SIM_CONTROL" ) &
    run drift --minutes 0.17 --csv drift.csv
    wait
    expect_status 0 "drift with failed reads"
    failed=$(echo "$out" | sed -n 's/^failed_reads: //p')
    [ "${failed:-0}" -ge 2 ] || fail "drift: failed_reads \"$failed\", expected at least 2"
    rows=$(($(wc -l <drift.csv) - 1))
    expect_in "$out" "transitions: $rows" "drift csv rows"
    ;;
bus_held_by_another_program)
    # A mutex of its own (digit 6), apart from the other test programs'.
    export Q7KBOARD=6
    "${wine[@]}" "$bus_holder" RTCFTDIBRIDGEMutex6 --while "$(windows_path "$work/held")" &
    holder=$!
    for _ in $(seq 200); do [ -e "$work/held" ] && break; sleep 0.05; done
    [ -e "$work/held" ] || fail "the bus holder never took the mutex"
    for args in "time" "power" "fout on"; do
        start=$(date +%s.%N)
        # shellcheck disable=SC2086
        run $args
        elapsed=$(awk -v a="$start" -v b="$(date +%s.%N)" 'BEGIN { printf "%.1f", b - a }')
        echo "$args under a held bus: exit $status in $elapsed s"
        expect_status 1 "$args under a held bus"
        expect_err "ERROR: Bus busy, board not connected" "$args under a held bus"
        awk -v e="$elapsed" 'BEGIN { exit !(e <= 6) }' || fail "$args under a held bus took $elapsed s"
    done
    rm -f "$work/held"
    wait "$holder"
    run time
    expect_status 0 "time once the bus is free"
    ;;
board_open_in_another_program)
    KALENDO_SIM_IN_USE=0 run time
    expect_status 1 "time while the window has the board"
    expect_err "ERROR: Board in use by another program" "time while the window has the board"
    ;;
*)
    echo "unknown case $case_name"
    exit 2
    ;;
esac
[ "$failures" -eq 0 ]
