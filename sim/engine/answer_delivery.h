// When the engine's answers reach the host. The bridge chip does not pass answer bytes on as it
// produces them: it holds them in its transmit buffer and sends them when its latency timer
// expires (the timer restarts at every send to the host), at once when a full USB packet of
// 510 data bytes is waiting, or when the engine runs a send-immediate command (0x87). The host's
// driver keeps what has arrived until the program reads it. Times are the board's clock in
// picoseconds.
//
// FTDI's AN232B-04 ("Data Throughput, Latency and Handshaking") on the latency timer: it
// "measures the time since data was last sent to the PC. The default value of the timer is set to
// 16 milliseconds. Every time data is sent back to the PC the timer is reset. If it times-out
// then the chip will send back the 2 status bytes and any data that is held in the buffer."
//
// A send-immediate is not instant either: the host reads a high-speed bulk endpoint only when it
// polls it, once per 125 us microframe (USB 2.0, 5.12.3), and the command itself reached the chip
// in an OUT transfer of an earlier microframe. The answer therefore reaches the host one USB round
// trip after the command, which measurements that poll with send-immediates must see.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>

#include "sim/engine/serial_engine.h"

namespace kalendo::sim {

// The send-immediate round trip of an FT232H on a high-speed port, in microseconds: the command's
// OUT transfer and the answer's IN poll each wait for a 125 us microframe. The least a real
// round trip takes; a busy host adds its own scheduling on top.
constexpr uint32_t kDefaultUsbRoundTripUs = 250;

class AnswerDelivery : public AnswerSink {
  public:
    // Data bytes in one high-speed USB packet (512 less the two status bytes).
    static constexpr size_t kPacketBytes = 510;
    static constexpr int64_t kNever = INT64_MAX;

    // Both buffers empty; the latency timer starts at nowPs.
    void Reset(int64_t nowPs);
    // The timer restarts at nowPs with the new period. 0 passes answers on as they come.
    void SetLatencyMs(uint8_t ms, int64_t nowPs);
    uint8_t LatencyMs() const { return latencyMs_; }
    // A slow device: every answer reaches the transmit buffer this much later than the engine
    // produced it.
    void SetExtraDelayPs(int64_t ps) { extraDelayPs_ = ps > 0 ? ps : 0; }
    // What a send-immediate's answer takes from the engine to the host's receive buffer.
    void SetRoundTripPs(int64_t ps) { roundTripPs_ = ps > 0 ? ps : 0; }

    void OnAnswer(int64_t ps, uint8_t byte) override;
    void OnSendImmediate(int64_t ps) override;

    // Bytes the host holds at nowPs (arrived and not yet read).
    size_t Arrived(int64_t nowPs);
    // Bytes produced but not yet arrived at nowPs.
    size_t Held(int64_t nowPs);
    // Takes up to count arrived bytes, oldest first.
    size_t Take(uint8_t* out, size_t count, int64_t nowPs);
    // The earliest time at which the host holds count bytes, from what has been produced so
    // far; kNever when that is not enough.
    int64_t TimeWhenArrived(size_t count, int64_t nowPs) const;
    // The host's receive buffer and the chip's transmit buffer both emptied of what they hold at
    // nowPs. Answers the engine has not put in its transmit buffer yet (a slow device's, still
    // in the making) are in neither, so they still come: the rest of an answer that came too
    // late for its read arrives after the purge of the next transaction.
    void Purge(int64_t nowPs);
    // A reset of the chip: nothing it was making survives.
    void Clear();

  private:
    struct Byte {
        uint8_t value;
        int64_t ps;  // produced (in the chip) or arrived (at the host)
    };

    // Sends everything the latency timer sends up to tPs.
    void Settle(int64_t tPs);
    // Sends the chip's bytes produced by tPs, arriving at arrivePs (never before bytes sent
    // earlier: the pipe keeps order); the timer restarts at tPs.
    void Send(int64_t tPs, int64_t arrivePs);
    int64_t NextExpiry(int64_t producedPs) const;

    uint8_t latencyMs_ = 16;
    int64_t latencyPs_ = 16'000'000'000;
    int64_t timerStartPs_ = 0;
    int64_t extraDelayPs_ = 0;
    int64_t roundTripPs_ = 0;
    std::deque<Byte> chip_;
    std::deque<Byte> host_;
};

}  // namespace kalendo::sim
