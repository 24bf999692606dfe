#include "marks/take_mark.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <random>

#include "bridge/bus_action.h"
#include "marks/transition_line.h"
#include "power/power_monitor_operations.h"
#include "rtc/bcd_codec.h"
#include "check/drift_measurement.h"
#include "check/port_drift_board.h"
#include "rtc/rtc_registers.h"

namespace kalendo::marks {

namespace {

constexpr uint8_t kRamRegister = 0x07;
// The counter's rate against the system clock may differ by this much (a PC's crystal is well
// within it): a bracket measured on the counter is widened by it on the system clock.
constexpr double kCounterRateSlack = 1e-3;
// The date is read right after a transition; it waits at most this long for one.
constexpr double kDateWaitSeconds = 2.5;

std::string Ms(double seconds, int decimals = 3) {
    char text[48];
    std::snprintf(text, sizeof text, "%.*f ms", decimals, seconds * 1000);
    return text;
}

std::string SignedMs(double seconds) {
    char text[48];
    std::snprintf(text, sizeof text, "%+.3f ms", seconds * 1000);
    return text;
}

bool ValidBcd(uint8_t v, int low, int high) {
    return (v & 0x0F) <= 9 && (v >> 4) <= 9 && FromBcd(v) >= low && FromBcd(v) <= high;
}

struct DateAtTransition {
    bool ok = false;
    std::string error;
    RtcDateTime time;
    double counterMiddle = 0;  // the transition, on the counter
};

// Polls the seconds register until it changes, then reads the seven time registers and the
// seconds once more: unchanged, the date and time belong to that transition (the next one is
// almost a second away).
DateAtTransition ReadDateAtTransition(RegisterPort& rtc, const MarkClocks& clocks,
                                      const std::function<void(double)>& wait, double nextDue) {
    DateAtTransition d;
    const double now = clocks.monotonicSeconds();
    if (wait && nextDue - 0.080 > now) wait(nextDue - 0.080 - now);
    for (int attempt = 0; attempt < 3; ++attempt) {
        const double start = clocks.monotonicSeconds();
        uint8_t first = 0, seconds = 0;
        double before = 0, after = 0, previousBefore = 0;
        bool changed = false;
        {
            ForgetBoardSilence();
            BusAction action(kUserActionBusWaitMs);
            previousBefore = clocks.monotonicSeconds();
            if (!rtc.Read8(kRegSeconds, &first)) break;
        }
        while (clocks.monotonicSeconds() - start < kDateWaitSeconds) {
            ForgetBoardSilence();
            BusAction action(kUserActionBusWaitMs);
            before = clocks.monotonicSeconds();
            if (!rtc.Read8(kRegSeconds, &seconds)) break;
            after = clocks.monotonicSeconds();
            if (seconds != first) {
                changed = true;
                break;
            }
            previousBefore = before;
        }
        if (!changed) break;
        uint8_t r[7] = {};
        uint8_t again = 0;
        {
            BusAction action(kUserActionBusWaitMs);
            bool read = true;
            for (uint8_t reg = kRegSeconds; reg <= kRegYear && read; ++reg) {
                read = rtc.Read8(reg, &r[reg]);
            }
            if (!read || !rtc.Read8(kRegSeconds, &again)) break;
        }
        if (again != seconds || r[kRegSeconds] != seconds) continue;  // it moved on: again
        if (!ValidBcd(r[kRegSeconds], 0, 59) || !ValidBcd(r[kRegMinutes], 0, 59) ||
            !ValidBcd(r[kRegHours], 0, 23) || !ValidBcd(r[kRegDay], 1, 31) ||
            !ValidBcd(r[kRegMonth], 1, 12) || !ValidBcd(r[kRegYear], 0, 99)) {
            char text[160];
            std::snprintf(text, sizeof text,
                          "ERROR: RTC Time invalid: year 0x%02X, month 0x%02X, day 0x%02X, hours "
                          "0x%02X, minutes 0x%02X, seconds 0x%02X",
                          r[kRegYear], r[kRegMonth], r[kRegDay], r[kRegHours], r[kRegMinutes],
                          r[kRegSeconds]);
            d.error = text;
            return d;
        }
        d.time = {2000 + FromBcd(r[kRegYear]), FromBcd(r[kRegMonth]),   FromBcd(r[kRegDay]),
                  FromBcd(r[kRegHours]),       FromBcd(r[kRegMinutes]), FromBcd(r[kRegSeconds])};
        if (!RtcDateTimeValid(d.time)) {
            d.error = "ERROR: RTC Date invalid: " + RtcDateTimeText(d.time) + " is no day";
            return d;
        }
        d.counterMiddle = (previousBefore + after) / 2;
        d.ok = true;
        return d;
    }
    d.error = "ERROR: RTC Time not read, bus error";
    return d;
}

uint8_t SealByte(const TakeMarkSettings& settings, int found) {
    std::random_device device;
    std::mt19937 generator(device());
    // Neither 0x00 nor 0xFF (what a cleared or floating RAM shows) nor the byte already there.
    for (int i = 0; i < 100; ++i) {
        const uint8_t b =
            settings.randomByte ? settings.randomByte() : static_cast<uint8_t>(generator() & 0xFF);
        if (b != 0x00 && b != 0xFF && b != found) return b;
    }
    return static_cast<uint8_t>(found == 0x5A ? 0xA5 : 0x5A);
}

}  // namespace

TakenMark TakeMark(RegisterPort& rtc, RegisterPort& monitor, const MarkClocks& clocks,
                   const TakeMarkSettings& settings) {
    TakenMark out;
    Mark& mark = out.mark;
    mark.board = settings.board;
    mark.program = settings.program;
    const auto fail = [&](const std::string& error) {
        out.error = error;
        return out;
    };

    // What RAM register 0x07 holds now: a later mark checks a seal against it.
    {
        ForgetBoardSilence();
        BusAction action(kUserActionBusWaitMs);
        uint8_t found = 0;
        if (!rtc.Read8(kRamRegister, &found)) {
            return fail(action.BusBusy() ? "ERROR: Bus busy, board not connected"
                                         : "ERROR: RTC RAM register 0x07 not read, bus error");
        }
        mark.sealFound = found;
    }

    // The reference, read before the transitions: the transitions just after it carry it least.
    const ReferenceChoice& choice = settings.reference;
    const ReferenceTaken taken = ReadReference(choice, clocks, [&](const std::string& line) {
        if (settings.progress) settings.progress("mark: " + line);
    });
    out.ntp = taken.ntp;
    out.fellBack = taken.fellBack;
    if (!taken.ok) {
        return fail("ERROR: " + taken.error +
                    (choice.source == ReferenceSource::Ntp
                         ? "; no mark taken (--ntp-fallback takes the assumed error instead)"
                         : "; no mark taken"));
    }
    const ReferenceReading& ref = taken.reading;
    mark.reference.server = ref.server;
    out.referenceText =
        "system clock, assumed within " + Ms(choice.assumedErrorSeconds, 1) + " of true time";
    if (taken.fellBack) out.referenceText += " (" + taken.fallenBecause + ")";

    // The transitions, as the drift run polls them, on the system clock from a whole second.
    const int64_t originNanos = clocks.systemUtcNanos() / 1000000000 * 1000000000;
    check::PcClocks pc;
    pc.monotonicSeconds = clocks.monotonicSeconds;
    pc.systemSeconds = [&] {
        return static_cast<double>(clocks.systemUtcNanos() - originNanos) / 1e9;
    };
    pc.localSecondsOfDay = [&] {
        const int64_t local =
            clocks.systemUtcNanos() / 1000 + int64_t{clocks.utcOffsetSeconds()} * 1000000;
        return static_cast<double>(((local % 86400000000LL) + 86400000000LL) % 86400000000LL) / 1e6;
    };
    check::PortDriftBoard board(rtc, monitor);
    check::DriftSettings drift;
    drift.seconds = settings.seconds;
    drift.wait = settings.wait;
    drift.stopRequested = settings.stopRequested;
    if (settings.progress) {
        drift.progress = [&](const check::DriftProgress& p) {
            char line[96];
            std::snprintf(line, sizeof line, "mark: %.0f of %.0f s of seconds transitions",
                          p.elapsedSeconds, settings.seconds);
            settings.progress(line);
        };
    }
    const check::DriftResult run = check::MeasureDrift(board, pc, drift);
    out.transitions = run.transitions.size();
    out.failedReads = run.failedReads;
    if (!run.error.empty()) return fail(run.error + "; no mark taken");
    if (run.interrupted) return fail("interrupted: no mark taken");
    if (run.polls.empty()) {
        return fail("ERROR: Mark not taken, no sharply timed seconds transition seen in " +
                    std::to_string(static_cast<int>(settings.seconds)) + " s");
    }

    // Every transition narrowed by the others (one steady rate over the minute), then the
    // sharpest kept: the least bracket plus what carrying the reference to it costs.
    std::vector<CounterBracket> line;
    for (const check::SecondsTransition& t : run.transitions) {
        line.push_back({t.pcSeconds - t.halfWidth, t.pcSeconds + t.halfWidth, t.rtcSeconds});
    }
    std::vector<NarrowedBracket> narrowed;
    if (!NarrowTransitions(line, kSteadyLineDeviation, &narrowed)) {
        return fail(
            "ERROR: the seconds transitions of the mark fit no steady rate (was the RTC "
            "set or stopped during it?): no mark taken");
    }
    const auto narrowedOf = [&](const check::SecondsPoll& p) {
        for (size_t i = 0; i < line.size(); ++i) {
            if (line[i].count == p.rtcSeconds) return narrowed[i];
        }
        return NarrowedBracket{p.counterBefore, p.counterAfter};
    };
    const auto systemOf = [&](const check::SecondsPoll& p) {
        return originNanos + std::llround(p.systemSeconds * 1e9);
    };
    // On the system clock: its reading came between counterAfter and counterAfterSystem.
    const auto earlyOf = [&](const check::SecondsPoll& p) {
        return (p.counterAfterSystem - narrowedOf(p).low) * (1 + kCounterRateSlack);
    };
    const auto lateOf = [&](const check::SecondsPoll& p) {
        return (p.counterAfter - narrowedOf(p).high) * (1 - kCounterRateSlack);
    };
    const auto carryOf = [&](const check::SecondsPoll& p) {
        return ref.source == ReferenceSource::Assumed
                   ? 0.0
                   : std::fabs(static_cast<double>(systemOf(p) - ref.utcNanos) / 1e9);
    };
    const auto cost = [&](const check::SecondsPoll& p) {
        return (earlyOf(p) - lateOf(p)) / 2 + ref.carryRate * carryOf(p);
    };
    size_t best = 0;
    for (size_t i = 1; i < run.polls.size(); ++i) {
        if (cost(run.polls[i]) < cost(run.polls[best])) best = i;
    }
    const check::SecondsPoll& chosen = run.polls[best];
    const int64_t systemAt = systemOf(chosen);
    mark.earlyUtcNanos = systemAt - std::llround(earlyOf(chosen) * 1e9);
    mark.lateUtcNanos = systemAt - std::llround(lateOf(chosen) * 1e9);
    out.bracketSeconds = static_cast<double>(mark.lateUtcNanos - mark.earlyUtcNanos) / 1e9;
    out.rawBracketSeconds =
        (chosen.counterAfterSystem - chosen.counterBefore) * (1 + kCounterRateSlack);

    // The reference carried to the transition: refused across a step of the system clock.
    std::string why;
    if (!CarryReference(ref, systemAt, chosen.counterAfterSystem, clocks.systemResolutionSeconds,
                        &mark.reference.errorSeconds, &why)) {
        return fail("ERROR: " + why + ": no mark taken");
    }
    if (ref.source != ReferenceSource::Assumed) {
        out.carriedSeconds = std::fabs(static_cast<double>(systemAt - ref.utcNanos) / 1e9);
    }
    mark.reference.source = ref.source;
    mark.reference.offsetSeconds = ref.offset;
    if (ref.source == ReferenceSource::Ntp) {
        const ntp::NtpSample& s = out.ntp.best;
        char text[320];
        std::snprintf(text, sizeof text,
                      "NTP server %s, stratum %d: system clock %s from it, within %s (delay %s, "
                      "root delay %s, root dispersion %s; carried %.1f s at 15 ppm): a strict "
                      "bound under NTP's assumptions",
                      out.ntp.server.c_str(), s.stratum, SignedMs(-s.offsetSeconds).c_str(),
                      Ms(mark.reference.errorSeconds).c_str(), Ms(s.delaySeconds).c_str(),
                      Ms(s.rootDelaySeconds).c_str(), Ms(s.rootDispersionSeconds).c_str(),
                      out.carriedSeconds);
        out.referenceText = text;
    } else if (ref.source == ReferenceSource::Kernel) {
        out.referenceText = "the kernel's maximum error of the system clock, " + Ms(ref.error, 3) +
                            ", carried " +
                            std::to_string(static_cast<int>(out.carriedSeconds + 0.5)) +
                            " s at 500 ppm: " + Ms(mark.reference.errorSeconds, 3);
    }

    // The full date and time, read at a transition just after the run and tied to the chosen
    // one by the whole seconds between them.
    const check::SecondsPoll& last = run.polls.back();
    const double lastMiddle = (last.counterBefore + last.counterAfter) / 2;
    const double now = clocks.monotonicSeconds();
    const DateAtTransition date =
        ReadDateAtTransition(rtc, clocks, settings.wait, lastMiddle + std::ceil(now - lastMiddle));
    if (!date.ok) return fail(date.error + "; no mark taken");
    const double between = date.counterMiddle - lastMiddle;
    const double whole = std::round(between);
    if (std::fabs(between - whole) > 0.25) {
        return fail("ERROR: the RTC's date could not be tied to its transitions (" +
                    Ms(between - whole, 0) + " off a whole second): no mark taken");
    }
    const int64_t countAtDate = last.rtcSeconds + static_cast<int64_t>(whole);
    mark.rtc =
        RtcDateTimeOfSeconds(RtcSecondsSince2000(date.time) - (countAtDate - chosen.rtcSeconds));
    mark.utcOffsetSeconds = clocks.utcOffsetSeconds();

    // Conditions, for the reader: a failed reading is left out, not fatal.
    {
        ForgetBoardSilence();
        BusAction action(kUserActionBusWaitMs);
        double volts = 0;
        if (ReadMeasurement(monitor, kBatteryVoltage, &volts) && PowerMonitorIdentifies(monitor)) {
            mark.batteryVolts = volts;
        }
    }
    if (run.temperatureReadings > 0) mark.celsius = run.meanCelsius;

    if (settings.seal) {
        const uint8_t seal = SealByte(settings, mark.sealFound);
        ForgetBoardSilence();
        BusAction action(kUserActionBusWaitMs);
        uint8_t back = 0;
        if (!rtc.Write8(kRamRegister, seal) || !rtc.Read8(kRamRegister, &back) || back != seal) {
            return fail(
                "ERROR: the seal was not written to RAM register 0x07, bus error; no mark "
                "taken");
        }
        mark.sealWritten = seal;
    }
    out.ok = true;
    return out;
}

}  // namespace kalendo::marks
