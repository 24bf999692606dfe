#include "sim/engine/answer_delivery.h"

#include <algorithm>

namespace kalendo::sim {

void AnswerDelivery::Reset(int64_t nowPs) {
    chip_.clear();
    host_.clear();
    timerStartPs_ = nowPs;
}

void AnswerDelivery::SetLatencyMs(uint8_t ms, int64_t nowPs) {
    Settle(nowPs);
    latencyMs_ = ms;
    latencyPs_ = int64_t{ms} * 1'000'000'000;
    timerStartPs_ = nowPs;
}

// The first expiry at or after the byte was produced, on the timer's grid.
int64_t AnswerDelivery::NextExpiry(int64_t producedPs) const {
    if (latencyPs_ == 0) return std::max(producedPs, timerStartPs_);
    if (producedPs <= timerStartPs_) return timerStartPs_ + latencyPs_;
    const int64_t periods = (producedPs - timerStartPs_ + latencyPs_ - 1) / latencyPs_;
    return timerStartPs_ + periods * latencyPs_;
}

void AnswerDelivery::Settle(int64_t tPs) {
    while (!chip_.empty()) {
        const int64_t expiry = NextExpiry(chip_.front().ps);
        if (expiry > tPs) break;
        Send(expiry, expiry);
    }
}

void AnswerDelivery::Send(int64_t tPs, int64_t arrivePs) {
    if (!host_.empty()) arrivePs = std::max(arrivePs, host_.back().ps);
    while (!chip_.empty() && chip_.front().ps <= tPs) {
        host_.push_back(Byte{chip_.front().value, arrivePs});
        chip_.pop_front();
    }
    timerStartPs_ = tPs;
}

void AnswerDelivery::OnAnswer(int64_t ps, uint8_t byte) {
    ps += extraDelayPs_;
    Settle(ps);
    chip_.push_back(Byte{byte, ps});
    if (chip_.size() >= kPacketBytes) {
        const int64_t t = std::max(ps, chip_.back().ps);
        Send(t, t);
    }
}

void AnswerDelivery::OnSendImmediate(int64_t ps) {
    ps += extraDelayPs_;
    Settle(ps);
    Send(ps, ps + roundTripPs_);
}

size_t AnswerDelivery::Arrived(int64_t nowPs) {
    Settle(nowPs);
    size_t n = 0;
    for (const Byte& b : host_) {
        if (b.ps > nowPs) break;
        ++n;
    }
    return n;
}

size_t AnswerDelivery::Held(int64_t nowPs) {
    return chip_.size() + host_.size() - Arrived(nowPs);
}

size_t AnswerDelivery::Take(uint8_t* out, size_t count, int64_t nowPs) {
    const size_t n = std::min(count, Arrived(nowPs));
    for (size_t i = 0; i < n; ++i) {
        out[i] = host_.front().value;
        host_.pop_front();
    }
    return n;
}

int64_t AnswerDelivery::TimeWhenArrived(size_t count, int64_t nowPs) const {
    if (count == 0) return nowPs;
    if (count <= host_.size()) return std::max(nowPs, host_[count - 1].ps);
    if (count > host_.size() + chip_.size()) return kNever;
    AnswerDelivery future = *this;
    while (future.host_.size() < count) {
        const int64_t expiry = future.NextExpiry(future.chip_.front().ps);
        future.Send(expiry, expiry);
    }
    return std::max(nowPs, future.host_[count - 1].ps);
}

void AnswerDelivery::Clear() {
    chip_.clear();
    host_.clear();
}

void AnswerDelivery::Purge(int64_t nowPs) {
    Settle(nowPs);
    host_.clear();
    while (!chip_.empty() && chip_.front().ps <= nowPs) chip_.pop_front();
}

}  // namespace kalendo::sim
