// A fault injected into one kind of library call: it strikes once, at the nth call from the
// moment it was set, or at every call from then on.
#pragma once

#include <cstdint>

namespace kalendo::sim {

class CallFault {
  public:
    // nth > 0: the nth call from now (1 = the next one); 0: never; below 0: every call.
    void Set(int64_t nth) { nth_ = nth; }
    bool Armed() const { return nth_ != 0; }
    // Counts one call; true when the fault strikes it.
    bool Strikes() {
        if (nth_ < 0) return true;
        if (nth_ == 0) return false;
        return --nth_ == 0;
    }

  private:
    int64_t nth_ = 0;
};

}  // namespace kalendo::sim
