#include "check/drift_measurement.h"

#include <algorithm>
#include <random>

#include "rtc/bcd_codec.h"

namespace kalendo::check {

namespace {

constexpr double kSecondsPerDay = 86400;
// Polling starts again this long before the next transition is due: room for an RTC up to 5 %
// fast, a late wake-up and the jitter below.
constexpr double kWakeBeforeSeconds = 0.060;
constexpr double kJitterSeconds = 0.005;  // about two polls
// Only after a transition stamped at least this sharply is the next one predicted.
constexpr double kSharpHalfWidth = 0.010;
constexpr char kTimeNotRead[] = "ERROR: RTC Time not read, bus error";
constexpr char kBoardGone[] = "ERROR: Board Disconnected";

bool ValidSecondsBcd(uint8_t v) {
    return (v & 0x0F) <= 9 && v <= 0x59;
}

// A counter interval is a true one within this: no working counter is further off.
constexpr double kCounterRateMargin = 0.99;

// One poll: the register and the PC clock on either side of the read. The chip took the value
// no earlier than `earliest` and no later than `latest`.
struct Poll {
    double earliest;
    double latest;
    int second;
};

}  // namespace

double TimeOfDayDifference(double rtcSecondsOfDay, double pcSecondsOfDay) {
    double d = rtcSecondsOfDay - pcSecondsOfDay;
    while (d > kSecondsPerDay / 2) d -= kSecondsPerDay;
    while (d < -kSecondsPerDay / 2) d += kSecondsPerDay;
    return d;
}

DriftResult MeasureDrift(DriftBoard& board, const PcClocks& clocks, const DriftSettings& settings) {
    DriftResult result;
    const double start = clocks.monotonicSeconds();
    // The PC's time of day, tied to the monotonic clock once so that both run at one rate.
    const double pcDayAtStart = clocks.localSecondsOfDay();
    double nextProgress = start + settings.progressEverySeconds;
    double nextTemperature = start;
    double celsiusSum = 0;

    std::mt19937 random(20260314);
    std::uniform_real_distribution<double> jitter(0, kJitterSeconds);
    bool havePrevious = false;
    double nextDue = 0;  // when the next transition is due, after a sharp one; 0: unknown
    Poll previous{};
    int64_t rtcCount = 0;
    // The reference: the system clock, or the counter itself when there is none.
    const bool haveSystem = static_cast<bool>(clocks.systemSeconds);
    const auto systemNow = [&] {
        return haveSystem ? clocks.systemSeconds() : clocks.monotonicSeconds();
    };
    const auto measure = [&] {
        AccuracyResult r = MeasureAccuracy(result.polls, settings.accuracy);
        if (!haveSystem) r.reference = "performance counter";
        return r;
    };
    double lastPollEnd = -1e300;  // the counter after the last poll's system clock reading
    bool dayKnown = false;
    double rtcDayAtFirst = 0;  // the RTC's time of day when its count was countAtDay
    int64_t countAtDay = 0;
    double failingSince = -1;  // the first of the failed reads in a row; below 0: none
    // A failed read: skipped, unless the board is gone or the RTC has been silent too long.
    const auto failed = [&](double now) {
        ++result.failedReads;
        if (failingSince < 0) failingSince = now;
        if (!board.BoardPresent()) {
            result.error = kBoardGone;
        } else if (now - failingSince >= settings.giveUpSeconds) {
            result.error = kTimeNotRead;
        }
        return !result.error.empty();
    };
    while (true) {
        const double before = clocks.monotonicSeconds();
        if (before - start >= settings.seconds) break;
        if (settings.stopRequested && settings.stopRequested()) {
            result.interrupted = true;
            break;
        }
        if (before >= nextTemperature) {
            // Retried at the next period when it fails: the temperature only accompanies the rate.
            nextTemperature += settings.temperatureEverySeconds;
            double celsius = 0;
            if (!board.ReadBoardCelsius(&celsius)) {
                if (failed(before)) return result;
                continue;
            }
            if (result.temperatureReadings == 0) result.minCelsius = result.maxCelsius = celsius;
            result.minCelsius = std::min(result.minCelsius, celsius);
            result.maxCelsius = std::max(result.maxCelsius, celsius);
            celsiusSum += celsius;
            ++result.temperatureReadings;
            result.meanCelsius = celsiusSum / result.temperatureReadings;
            continue;  // the temperature read took time: bracket the next seconds read afresh
        }
        uint8_t bcd = 0;
        LatchTiming latch;
        const bool read = board.ReadSeconds(&bcd, &latch);
        const double after = clocks.monotonicSeconds();
        if (!read || !ValidSecondsBcd(bcd)) {
            // The transition that falls in the gap is bracketed by the polls on either side of
            // it, wide, and so weighs little in the fit.
            if (failed(after)) return result;
            continue;
        }
        failingSince = -1;
        // The wire times are true seconds; on the counter a little less at the most.
        const double earliest = before + latch.afterStartSeconds * kCounterRateMargin;
        const double latest = after - latch.beforeEndSeconds * kCounterRateMargin;
        const Poll poll{std::min(earliest, latest), std::max(earliest, latest), FromBcd(bcd)};
        if (havePrevious && poll.second != previous.second) {
            const int step = (poll.second - previous.second + 60) % 60;
            rtcCount += step;
            // The chip latched the old value somewhere in the previous read and the new one
            // somewhere in this read, before its byte went out: the change lies between the two.
            const double early = previous.earliest;
            const double late = poll.latest;
            if (step == 1) {
                result.transitions.push_back({(early + late) / 2, (late - early) / 2, rtcCount});
                if (settings.transitionSeen) {
                    settings.transitionSeen(result.transitions.size() - 1,
                                            result.transitions.back());
                }
                // A bracket that reaches back past the last system clock reading (the new second
                // found at the first poll after a transition) is left out: it is wide and would
                // overlap the previous poll.
                if (early >= lastPollEnd) {
                    const double system = systemNow();
                    const double counter = clocks.monotonicSeconds();
                    result.polls.push_back({early, late, rtcCount, system, counter});
                    lastPollEnd = counter;
                }
            }
            if (step == 1 && (late - early) / 2 < kSharpHalfWidth) {
                nextDue = (early + late) / 2 + 1;
            }
            if (!dayKnown) {
                // After the clocks were read. Just after a change the next one is almost a second
                // away: time enough to read the rest of the time of day without the seconds moving
                // under it.
                uint8_t hours = 0, minutes = 0;
                if (board.ReadHoursMinutes(&hours, &minutes)) {
                    rtcDayAtFirst = FromBcd(hours) * 3600.0 + FromBcd(minutes) * 60.0 + poll.second;
                    countAtDay = rtcCount;
                    dayKnown = true;
                } else if (failed(after)) {
                    return result;
                }  // otherwise tried again at the next transition
            }
        }
        previous = poll;
        havePrevious = true;
        if (settings.progress && after >= nextProgress) {
            settings.progress({after - start, FitDrift(result.transitions), measure()});
            while (nextProgress <= after) nextProgress += settings.progressEverySeconds;
        }
        if (settings.wait && nextDue > 0) {
            // A late wake-up finds the new second at its first poll: that transition's bracket
            // reaches back before the sleep, weighs next to nothing, and polling goes on
            // without pause until a sharp one comes.
            const double sleep = nextDue - kWakeBeforeSeconds - jitter(random) - after;
            if (sleep > 0 && after + sleep - start < settings.seconds) settings.wait(sleep);
            nextDue = 0;
        }
    }
    if (settings.pollingEnded) settings.pollingEnded();
    result.fit = FitDrift(result.transitions);
    result.accuracy = measure();
    if (dayKnown && !result.transitions.empty()) {
        const SecondsTransition& last = result.transitions.back();
        const double rtcDay = rtcDayAtFirst + static_cast<double>(last.rtcSeconds - countAtDay);
        const double pcDay = pcDayAtStart + (last.pcSeconds - start);
        result.offsetKnown = true;
        result.offsetMs = TimeOfDayDifference(rtcDay, pcDay) * 1000;
    }
    return result;
}

}  // namespace kalendo::check
