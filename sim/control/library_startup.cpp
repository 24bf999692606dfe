#include "sim/control/library_startup.h"

#include <atomic>
#include <cstdio>
#include <mutex>
#include <string>
#include <vector>

#include "sim/control/evaluation_board.h"

namespace kalendo::sim {

namespace {

std::atomic<bool> enabled{false};
std::once_flag started;

void BeforeEachCall() {
    EnsureBoardStarted();
    Board().PollControlFile();
}

}  // namespace

void EnableStartupFromEnvironment() {
    enabled = true;
    Simulator().SetBeforeEachCall(&BeforeEachCall);
}

void EnsureBoardStarted() {
    if (!enabled) return;
    std::call_once(started, [] {
        std::vector<std::string> messages;
        Board().Configure(BoardOptionsFromEnvironment(), &messages);
        // A bad setting is reported and replaced by its default; the board still starts.
        for (const std::string& m : messages) std::fprintf(stderr, "kalendo-sim: %s\n", m.c_str());
    });
}

}  // namespace kalendo::sim
