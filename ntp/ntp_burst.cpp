#include "ntp/ntp_burst.h"

#include <chrono>
#include <cstdio>
#include <random>
#include <thread>

namespace kalendo::ntp {

namespace {

uint64_t RandomNonce() {
    static std::mt19937_64 generator([] {
        std::random_device device;
        return (uint64_t{device()} << 32) ^ device() ^
               static_cast<uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
    }());
    uint64_t nonce = 0;
    while (nonce == 0) nonce = generator();  // 0 would match an answer with no origin at all
    return nonce;
}

std::string KissText(const std::string& code) {
    if (code == "RATE") return "kiss-o'-death RATE: it asks this client to send fewer requests";
    if (code == "DENY") return "kiss-o'-death DENY: it denies this client access";
    if (code == "RSTR") return "kiss-o'-death RSTR: it restricts this client's access";
    return "kiss-o'-death \"" + code + "\": it answers with no time";
}

}  // namespace

std::string NtpFailureText(NtpFailure failure, const std::string& detail,
                           const NtpBurstSettings& settings) {
    char seconds[32];
    std::snprintf(seconds, sizeof seconds, "%.1f s", settings.timeoutSeconds);
    switch (failure) {
        case NtpFailure::None:
            return "answered";
        case NtpFailure::NoAnswer:
            return std::string("no answer within ") + seconds + " to " +
                   std::to_string(settings.exchanges) + " requests";
        case NtpFailure::SendFailed:
            return "the request could not be sent";
        case NtpFailure::Bogus:
            return "its answers did not echo the request's transmit timestamp (bogus or replayed "
                   "packets)";
        case NtpFailure::Malformed:
            return "its answer is no usable NTP packet (" + detail + ")";
        case NtpFailure::WrongMode:
            return "it answered in " + detail + ", not as a server (mode 4)";
        case NtpFailure::WrongVersion:
            return "it answered with NTP " + detail + " (3 or 4 expected)";
        case NtpFailure::KissOfDeath:
            return KissText(detail);
        case NtpFailure::Unsynchronised:
            return "it is not synchronised (" + detail + ")";
    }
    return "unknown failure";
}

NtpMeasurement MeasureNtpOffset(UdpNetwork& network, const NtpServerName& server,
                                const NtpClocks& clocks, const NtpBurstSettings& settings) {
    NtpMeasurement result;
    result.server = NtpServerText(server);
    const std::string prefix = "NTP server " + result.server + ": ";
    std::string error;
    bool unresolved = false;
    const std::unique_ptr<UdpSocket> socket =
        network.Connect(server.host, server.port, &error, &unresolved);
    if (!socket) {
        result.failure = NtpFailure::NoAnswer;
        result.error = prefix + error;
        return result;
    }
    NtpFailure failure = NtpFailure::NoAnswer;  // the burst's worst news, if nothing answers
    std::string detail;
    for (int i = 0; i < settings.exchanges; ++i) {
        if (i > 0) {
            if (settings.wait) {
                settings.wait(settings.spacingSeconds);
            } else {
                std::this_thread::sleep_for(std::chrono::duration<double>(settings.spacingSeconds));
            }
        }
        ++result.requests;
        const NtpExchange exchange =
            QueryNtpServer(*socket, clocks, settings.timeoutSeconds, RandomNonce());
        if (exchange.failure == NtpFailure::None) {
            ++result.answers;
            if (!result.valid || exchange.sample.delaySeconds < result.best.delaySeconds) {
                result.best = exchange.sample;
            }
            result.valid = true;
            continue;
        }
        // A time-out says less than an answer that was wrong: that one is kept.
        if (failure == NtpFailure::NoAnswer || exchange.failure != NtpFailure::NoAnswer) {
            failure = exchange.failure;
            detail = exchange.detail;
        }
        if (exchange.failure == NtpFailure::KissOfDeath ||
            exchange.failure == NtpFailure::Unsynchronised) {
            // No reference at all, even if an earlier answer looked good.
            result.valid = false;
            break;
        }
    }
    if (!result.valid) {
        result.failure = failure;
        result.error = prefix + NtpFailureText(failure, detail, settings);
    }
    return result;
}

}  // namespace kalendo::ntp
