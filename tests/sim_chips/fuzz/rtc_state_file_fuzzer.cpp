// Fuzzes the RTC state file's parser: any text gives an outcome without a crash, and a section
// that loads survives being written back (the other model's section unchanged).
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "sim/chips/rtc_state_file.h"

namespace {

using kalendo::sim::ParseRtcState;
using kalendo::sim::RtcModel;
using kalendo::sim::StateLoadOutcome;
using kalendo::sim::StateLoadResult;

bool SameState(const StateLoadResult& a, const StateLoadResult& b) {
    return a.outcome == b.outcome && a.state.savedAtHostMicros == b.state.savedAtHostMicros &&
           a.state.snapshot.registers == b.state.snapshot.registers &&
           a.state.snapshot.subsecondMicros == b.state.snapshot.subsecondMicros &&
           a.state.snapshot.timerCount == b.state.snapshot.timerCount;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    for (const RtcModel model : {RtcModel::Tq5100, RtcModel::Tq5200}) {
        const RtcModel other = model == RtcModel::Tq5100 ? RtcModel::Tq5200 : RtcModel::Tq5100;
        const StateLoadResult loaded = ParseRtcState(text, model);
        if (loaded.outcome == StateLoadOutcome::Unreadable && loaded.message.empty()) std::abort();
        if (loaded.outcome != StateLoadOutcome::Loaded) continue;

        const std::string written = kalendo::sim::FormatRtcState(text, model, loaded.state);
        if (!SameState(ParseRtcState(written, model), loaded)) std::abort();
        if (!SameState(ParseRtcState(written, other), ParseRtcState(text, other))) std::abort();
    }
    return 0;
}
