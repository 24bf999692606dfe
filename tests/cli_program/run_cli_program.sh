#!/usr/bin/env bash
# One case of the kalendo-cli program itself on the simulated board, run natively (Linux, the
# stand-in libftd2xx.so) or under Wine (kalendo-cli.exe, the stand-in ftd2xx.dll); exits non-zero
# with the reason when the program's output or exit status is not what the case expects.
#   run_cli_program.sh CASE PROGRAM SIM_DIR SIM_MISSING_ENTRY_DIR [WINE BUS_HOLDER]
# WINE is the test emulator as CMake holds it: a command and its arguments joined by ';'. Without
# it the program runs natively.
set -uo pipefail
case_name=$1 program=$2 sim_dir=$3 missing_entry_dir=$4
wine=()
[ $# -ge 6 ] && { IFS=';' read -ra wine <<<"$5"; bus_holder=$6; }

work=$(mktemp -d)
server_pid=""
trap '[ -z "$server_pid" ] || kill "$server_pid" 2>/dev/null; rm -rf "$work"' EXIT
cd "$work" || exit 1
export KALENDO_SIM_STATE=fresh
export KALENDO_SIM_CONTROL="$work/control.txt"
# Natively the bus mutex is a lock file: in a folder of this case's own, apart from other runs.
export KALENDO_LOCK_DIR="$work"
unset KALENDO_SIM_DEVICES KALENDO_SIM_PPM KALENDO_SIM_TEMPCO KALENDO_SIM_IN_USE Q7KBOARD

if [ ${#wine[@]} -gt 0 ]; then
    library_name=ftd2xx.dll
else
    library_name=libftd2xx.so
fi
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
    if [ ${#wine[@]} -gt 0 ]; then
        WINEPATH="$(windows_path "$library")" "${wine[@]}" "$program" "$@" >"$work/out" 2>"$work/err"
    else
        LD_LIBRARY_PATH="$library" "$program" "$@" >"$work/out" 2>"$work/err"
    fi
    status=$?
    out=$(tr -d '\r' <"$work/out")
    err=$(tr -d '\r' <"$work/err")
}
run() { run_with "$sim_dir" "$@"; }
seconds_since() { awk -v a="$1" -v b="$(date +%s.%N)" 'BEGIN { printf "%.2f", b - a }'; }

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
    expect_in "$out" "drift --minutes N [--ntp SERVER[:PORT] [--ntp-fallback] | --reference-error-ms E] [--csv FILE]" "--help"
    run --version
    expect_status 0 "--version"
    [[ "$out" =~ ^kalendo-cli\ [0-9]+\.[0-9]+\.[0-9]+$ ]] || fail "--version: \"$out\""
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
    expect_status 1 "no $library_name"
    expect_err "ERROR: $library_name not found or incomplete" "no $library_name"
    expect_out "" "no $library_name"
    ;;
incomplete_library)
    run_with "$missing_entry_dir" time
    expect_status 1 "library without FT_GetLatencyTimer"
    expect_err "ERROR: $library_name not found or incomplete" "library without FT_GetLatencyTimer"
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
    echo "drift +5000 ppm ($library_name): $ppm +- $uncertainty ppm in $elapsed s"
    # Within 5 %; on a machine too loaded to time-stamp that closely the stated uncertainty
    # widens with it, and twice that still bounds the error. (The 5 % in 15 s on the board's
    # own clock is checked by the native drift test.)
    awk -v p="$ppm" -v u="$uncertainty" 'BEGIN {
            e = p - 5000; if (e < 0) e = -e
            exit !(p != "" && (e <= 250 || e <= 2 * u)) }' ||
        fail "drift: $ppm +- $uncertainty ppm is not within 5 % of 5000"
    expect_in "$out" "within_tolerance: no" "drift"
    # Without --reference-error-ms the kernel's word decides (Wine: no word, assumed).
    case "$out" in
        *"reference_error_from: kernel"* | *"reference_error_from: assumed"*) ;;
        *) fail "drift: no reference_error_from kernel or assumed" ;;
    esac
    rows=$(($(wc -l <drift.csv) - 1))
    expect_in "$out" "transitions: $rows" "drift csv rows"
    ;;
check_short_run_puts_the_supply_back)
    # Six seconds of accuracy on the real clock: far too short against the reference's error, so
    # the accuracy rows stay undecided (exit 3); the sweep rows pass on the default sample.
    mkdir records
    start=$(date +%s.%N)
    run check --minutes 0.1 --report report.html --csv records
    elapsed=$(awk -v a="$start" -v b="$(date +%s.%N)" 'BEGIN { printf "%.1f", b - a }')
    echo "$out"
    echo "check of 0.1 min ($library_name): $elapsed s"
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
    # A mutex of its own (digit 6), apart from the other test programs'. Under Wine a program
    # holds the named mutex; natively flock(1) holds the lock file, as any tool could.
    export Q7KBOARD=6
    if [ ${#wine[@]} -gt 0 ]; then
        "${wine[@]}" "$bus_holder" RTCFTDIBRIDGEMutex6 --while "$(windows_path "$work/held")" &
    else
        flock "$KALENDO_LOCK_DIR/RTCFTDIBRIDGEMutex6.lock" \
            sh -c 'touch "$1"; while [ -e "$1" ]; do sleep 0.05; done' sh "$work/held" &
    fi
    holder=$!
    for _ in $(seq 200); do [ -e "$work/held" ] && break; sleep 0.05; done
    [ -e "$work/held" ] || fail "the bus holder never took the mutex"
    # The three wait out the same 5 s side by side: each must give up within it (and the time its
    # start takes on a loaded machine; waiting twice would be 10 s), and say why.
    for args in "time" "power" "fout on"; do
        # shellcheck disable=SC2086
        ( start=$(date +%s.%N)
          run $args
          elapsed=$(seconds_since "$start")
          echo "$status" >"$work/status-$args"
          printf '%s' "$err" >"$work/err-$args"
          echo "$elapsed" >"$work/elapsed-$args"
          echo "$args under a held bus: exit $status in $elapsed s" ) &
    done
    # shellcheck disable=SC2046  # one job id a word
    wait $(jobs -p | grep -vx "$holder")
    for args in "time" "power" "fout on"; do
        status=$(cat "$work/status-$args") err=$(cat "$work/err-$args")
        expect_status 1 "$args under a held bus"
        expect_err "ERROR: Bus busy, board not connected" "$args under a held bus"
        elapsed=$(cat "$work/elapsed-$args")
        awk -v e="$elapsed" 'BEGIN { exit !(e <= 8) }' || fail "$args under a held bus took $elapsed s"
    done
    rm -f "$work/held"
    wait "$holder"
    run time
    expect_status 0 "time once the bus is free"
    ;;
two_programs_never_interleave)
    # Two programs read every register of one board four times each, at once. Each process has
    # a simulated board of its own, so nothing stops them from interleaving but the bus lock:
    # the shared trace gives every transaction its process and wall-clock START and STOP, and
    # no process's span (its first START to its last STOP) may overlap another's.
    export KALENDO_SIM_TRACE="$work/trace.txt" KALENDO_SIM_TRACE_SHARED=1
    export KALENDO_SIM_ANSWER_DELAY=5  # a slower board: each program holds the bus longer
    for side in a b; do
        ( for _ in 1 2 3 4; do
              LD_LIBRARY_PATH="$sim_dir" "$program" regs >/dev/null 2>"$work/err-$side" ||
                  { echo "regs failed: $(cat "$work/err-$side")"; exit 1; }
          done ) &
    done
    wait -n || fail "a program of side a or b failed"
    wait -n || fail "a program of side a or b failed"
    spans=$(awk '$1 == "pid" {
            pid = $2; start = $4; stop = $5
            if (!(pid in first) || start < first[pid]) first[pid] = start
            if (!(pid in last) || stop > last[pid]) last[pid] = stop
        }
        END { for (p in first) print first[p], last[p], p }' "$work/trace.txt" | sort -n)
    [ "$(echo "$spans" | grep -c .)" -eq 8 ] ||
        fail "the trace holds $(echo "$spans" | grep -c .) processes, not the 8 runs: $spans"
    overlaps=$(echo "$spans" | awk 'NR > 1 && $1 < stop { print "process " $3 " began at " $1 \
        " before process " pid " ended at " stop } { stop = $2; pid = $3 }')
    if [ -n "$overlaps" ]; then
        fail "interleaved: $overlaps"
    else
        echo "8 programs, $(grep -c '^pid' "$work/trace.txt") transactions, no overlap"
    fi
    ;;
killed_holder_does_not_block)
    # A program killed while it holds the bus: the kernel drops its lock, so the next one
    # gets the bus at once instead of waiting out the 5 s and giving up.
    export KALENDO_SIM_TRACE="$work/trace.txt" KALENDO_SIM_TRACE_SHARED=1
    KALENDO_SIM_ANSWER_DELAY=200 LD_LIBRARY_PATH="$sim_dir" "$program" regs >/dev/null 2>&1 &
    holder=$!
    for _ in $(seq 200); do grep -q "^pid $holder " "$work/trace.txt" 2>/dev/null && break; sleep 0.05; done
    lock="$KALENDO_LOCK_DIR/RTCFTDIBRIDGEMutex0.lock"
    if flock -n "$lock" true; then fail "the slow program did not hold the bus"; fi
    kill -9 "$holder"
    wait "$holder" 2>/dev/null
    start=$(date +%s.%N)
    run time
    elapsed=$(seconds_since "$start")
    echo "time after its holder was killed: exit $status in $elapsed s"
    expect_status 0 "time after the holder was killed"
    # A lock left behind would cost the whole 5 s wait and end in "Bus busy".
    awk -v e="$elapsed" 'BEGIN { exit !(e < 4) }' || fail "time waited $elapsed s for a dead holder"
    ;;
model_file_of_an_installed_program)
    # Installed as <prefix>/bin/kalendo-cli, it reads <prefix>/share/kalendo/rtc_model_info.txt
    # from any folder; without one there it says which file it missed. check reads the model
    # file before it looks for the board, so no board is needed to tell.
    mkdir -p prefix/bin prefix/share/kalendo elsewhere
    cp "$program" prefix/bin/kalendo-cli
    cd elsewhere || exit 1
    KALENDO_SIM_DEVICES=none LD_LIBRARY_PATH="$sim_dir" ../prefix/bin/kalendo-cli check >"$work/out" 2>"$work/err"
    status=$? err=$(cat "$work/err")
    expect_status 1 "check without a model file"
    expect_in "$err" "ERROR: model file \"rtc_model_info.txt\" not read" "check without a model file"
    cp "$(dirname "$program")/rtc_model_info.txt" ../prefix/share/kalendo/
    KALENDO_SIM_DEVICES=none LD_LIBRARY_PATH="$sim_dir" ../prefix/bin/kalendo-cli check >"$work/out" 2>"$work/err"
    status=$? err=$(cat "$work/err")
    expect_status 1 "check with the installed model file"
    expect_err "ERROR: Unable to locate ISL28023 device" "check with the installed model file"
    cd "$work" || exit 1
    ;;
board_open_in_another_program)
    KALENDO_SIM_IN_USE=0 run time
    expect_status 1 "time while the window has the board"
    expect_err "ERROR: Board in use by another program" "time while the window has the board"
    ;;
marks_against_chrony_a_few_seconds_apart)
    # Debian's chronyd on a loopback port of its own, serving this machine's clock; the RTC kept
    # in a state file of this case's own, so it runs on between the two processes. With the
    # system clock measured to under a millisecond, 20 s between two marks pin a 300 ppm crystal
    # to about +-130 ppm (a day would give +-0.03 ppm).
    chronyd=$(command -v chronyd || echo /usr/sbin/chronyd)
    if [ ! -x "$chronyd" ]; then
        fail "chronyd not found: tools/install-deps.sh installs chrony"
    else
        for _ in 1 2 3 4 5; do
            port=$((20000 + RANDOM % 30000))
            {
                echo "port $port"
                echo "cmdport 0"
                echo "bindcmdaddress /"
                echo "local stratum 1"
                echo "allow 127.0.0.1"
                echo "pidfile $work/chronyd.pid"
                echo "driftfile $work/drift"
                echo "logdir $work"
                [ "$(id -u)" -ne 0 ] || echo "user root"
            } >"$work/chrony.conf"
            user_check=()
            [ "$(id -u)" -eq 0 ] || user_check=(-U)
            # Never outlives the case, even when the case is killed.
            timeout 100 "$chronyd" -x -d "${user_check[@]}" -f "$work/chrony.conf" \
                >"$work/chronyd.log" 2>&1 &
            server_pid=$!
            sleep 1
            kill -0 "$server_pid" 2>/dev/null && break
            server_pid=""
        done
        [ -n "$server_pid" ] || fail "chronyd did not start: $(cat "$work/chronyd.log")"
        export KALENDO_SIM_STATE KALENDO_SIM_PPM=300 KALENDO_MARK_STORE
        KALENDO_SIM_STATE=$(windows_path "$work/rtc.state")
        KALENDO_MARK_STORE=$(windows_path "$work/marks.txt")
        # A machine loaded by other work can delay the best of a burst's four exchanges by
        # milliseconds: the bound then says so (it stays a bound), and the mark is taken again,
        # at most three times, for the figure under a millisecond this case is about.
        for attempt in 1 2 3; do
            rm -f "$work/marks.txt"
            run mark --ntp "127.0.0.1:$port" --seconds 10
            error_ms=$(sed -n 's/^reference_error_ms: //p' <<<"$out")
            [ "$status" -eq 0 ] && awk -v e="${error_ms:-99}" 'BEGIN { exit !(e < 1.0) }' && break
            echo "mark against chronyd, attempt $attempt: exit $status, reference error ${error_ms:-none} ms"
        done
        expect_status 0 "mark against chronyd"
        expect_in "$out" "reference: ntp" "mark against chronyd"
        awk -v e="${error_ms:-99}" 'BEGIN { exit !(e < 1.0) }' ||
            fail "reference error against chronyd ${error_ms:-none} ms, expected under 1 ms"
        sleep 5
        for attempt in 1 2 3; do
            run --json since --ntp "127.0.0.1:$port" --seconds 10
            since_ms=$(grep -o '"reference_error_ms": [0-9.]*' <<<"$out" | head -n 1 | cut -d' ' -f2)
            awk -v e="${since_ms:-99}" 'BEGIN { exit !(e < 1.0) }' && break
            echo "since against chronyd, attempt $attempt: reference error ${since_ms:-none} ms"
        done
        # 300 ppm is far outside the TQ5100's 3.8: a decided fail.
        expect_status 3 "since against chronyd"
        ppm=$(grep -o '"ppm": [-0-9.]*' <<<"$out" | head -n 1 | cut -d' ' -f2)
        bound=$(grep -o '"bound_ppm": [0-9.]*' <<<"$out" | head -n 1 | cut -d' ' -f2)
        echo "since under Wine against chronyd: ${ppm:-none} +- ${bound:-none} ppm (crystal +300 ppm);" \
             "reference error at the last mark ${error_ms:-none} ms"
        awk -v p="${ppm:-0}" -v b="${bound:-0}" 'BEGIN { d = p - 300; if (d < 0) d = -d; exit !(b > 0 && d <= b && b < 200) }' ||
            fail "since: ${ppm:-none} +- ${bound:-none} ppm does not hold +300 ppm within a bound under 200 ppm: $out"
    fi
    ;;
*)
    echo "unknown case $case_name"
    exit 2
    ;;
esac
[ "$failures" -eq 0 ]
