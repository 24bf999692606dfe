#include "ntp/ntp_exchange.h"

#include <algorithm>
#include <vector>

namespace kalendo::ntp {

NtpFailure CheckNtpAnswer(const NtpPacket& answer, uint64_t nonce, std::string* detail) {
    if (answer.originTimestamp != nonce) return NtpFailure::Bogus;
    if (answer.mode != kModeServer) {
        *detail = "mode " + std::to_string(answer.mode);
        return NtpFailure::WrongMode;
    }
    if (answer.version != 3 && answer.version != 4) {
        *detail = "version " + std::to_string(answer.version);
        return NtpFailure::WrongVersion;
    }
    // Before the leap indicator: a kiss-o'-death packet usually says unsynchronised too.
    if (answer.stratum == kStratumKissOfDeath) {
        *detail = ReferenceIdText(answer.referenceId).data();
        return NtpFailure::KissOfDeath;
    }
    if (answer.leap == kLeapUnsynchronised) {
        *detail = "leap indicator 3";
        return NtpFailure::Unsynchronised;
    }
    if (answer.stratum >= kStratumUnsynchronised) {
        *detail = "stratum " + std::to_string(answer.stratum);
        return NtpFailure::Unsynchronised;
    }
    if (answer.receiveTimestamp == 0 || answer.transmitTimestamp == 0) {
        *detail = "no receive or transmit timestamp";
        return NtpFailure::Malformed;
    }
    if (NtpDifferenceSeconds(answer.transmitTimestamp, answer.receiveTimestamp) < 0) {
        *detail = "it sent its answer before the request arrived";
        return NtpFailure::Malformed;
    }
    return NtpFailure::None;
}

NtpExchange QueryNtpServer(UdpSocket& socket, const NtpClocks& clocks, double timeoutSeconds,
                           uint64_t nonce) {
    NtpExchange result;
    NtpPacket request;
    request.mode = kModeClient;
    request.version = kNtpVersion;
    request.transmitTimestamp = nonce;
    const auto bytes = EncodeNtpPacket(request);

    NtpSample& s = result.sample;
    s.monotonicBeforeT1 = clocks.monotonicSeconds();
    s.t1UtcNanos = clocks.systemUtcNanos();
    if (!socket.Send(bytes.data(), bytes.size())) {
        result.failure = NtpFailure::SendFailed;
        return result;
    }
    const double deadline = s.monotonicBeforeT1 + timeoutSeconds;
    NtpFailure seen = NtpFailure::NoAnswer;  // what the datagrams passed over were
    std::vector<uint8_t> datagram;
    while (true) {
        const double left = deadline - clocks.monotonicSeconds();
        if (left <= 0) break;
        const ReceiveOutcome outcome = socket.Receive(&datagram, left);
        if (outcome != ReceiveOutcome::Datagram) {
            if (outcome == ReceiveOutcome::Failed) break;  // a closed port: no answer
            continue;
        }
        // Stamped before anything else is done with it.
        const int64_t t4 = clocks.systemUtcNanos();
        const double after = clocks.monotonicSeconds();
        NtpPacket answer;
        if (!DecodeNtpPacket(datagram.data(), datagram.size(), &answer)) {
            seen = NtpFailure::Malformed;
            result.detail = std::to_string(datagram.size()) + " bytes";
            continue;
        }
        std::string detail;
        const NtpFailure failure = CheckNtpAnswer(answer, nonce, &detail);
        if (failure == NtpFailure::Bogus) {
            if (seen == NtpFailure::NoAnswer) seen = NtpFailure::Bogus;
            continue;  // not the answer to this request: keep waiting for it
        }
        if (failure != NtpFailure::None) {
            result.failure = failure;
            result.detail = detail;
            return result;
        }
        s.t4UtcNanos = t4;
        s.monotonicAfterT4 = after;
        const uint64_t t1 = NtpTimestampOfUnixNanos(s.t1UtcNanos);
        const uint64_t t4Stamp = NtpTimestampOfUnixNanos(t4);
        const double serverHeld =
            NtpDifferenceSeconds(answer.transmitTimestamp, answer.receiveTimestamp);
        const double roundTrip = static_cast<double>(t4 - s.t1UtcNanos) / 1e9;
        s.offsetSeconds = (NtpDifferenceSeconds(answer.receiveTimestamp, t1) +
                           NtpDifferenceSeconds(answer.transmitTimestamp, t4Stamp)) /
                          2;
        // Below 0 only by the two clocks' reading steps; their precision is in the bound.
        s.delaySeconds = std::max(0.0, roundTrip - serverHeld);
        s.rootDelaySeconds = ShortFormatSeconds(answer.rootDelay);
        s.rootDispersionSeconds = ShortFormatSeconds(answer.rootDispersion);
        s.serverPrecisionSeconds = PrecisionSeconds(answer.precision);
        s.boundSeconds = s.delaySeconds / 2 + s.rootDelaySeconds / 2 + s.rootDispersionSeconds +
                         s.serverPrecisionSeconds + clocks.systemResolutionSeconds +
                         kFrequencyTolerance * roundTrip;
        s.stratum = answer.stratum;
        s.version = answer.version;
        return result;
    }
    result.failure = seen;
    return result;
}

}  // namespace kalendo::ntp
