// The simulated board behind the stand-in ftd2xx.dll, reached the way a user's hands would reach
// the real one: unplug it, plug it back, stop a chip answering, move its clock, and watch the
// register writes on the bus.
#pragma once

#include <windows.h>

#include <cstdint>
#include <ostream>
#include <utility>
#include <vector>

#include "sim/control/sim_control_api.h"

namespace kalendo {

struct BusWrite {
    uint8_t reg;
    std::vector<uint8_t> values;
    bool operator==(const BusWrite& other) const {
        return reg == other.reg && values == other.values;
    }
};

inline void PrintTo(const BusWrite& write, std::ostream* out) {
    *out << "reg 0x" << std::hex << int(write.reg) << " =";
    for (uint8_t v : write.values) {
        *out << " 0x" << int(v);
    }
    *out << std::dec;
}

// A control entry of the loaded simulated library, for the few a test needs beyond SimBoard's.
template <typename Fn>
Fn SimFunction(const char* name) {
    return reinterpret_cast<Fn>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("ftd2xx.dll"), name)));
}

class SimBoard {
  public:
    // Loads the library the program will bind (the same module), from the simulator's folder.
    bool Load();

    void Unplug() const { unplug_(); }
    void PlugBack() const { plugBack_(); }
    void SetAddressAck(unsigned address, bool on) const { setAddressAck_(address, on ? 1 : 0); }
    void UseVirtualClock(bool on) const { useVirtualClock_(on ? 1 : 0); }
    void AdvanceMs(unsigned ms) const { advanceMs_(ms); }
    void ClearRegisterWrites() const { clearWrites_(); }
    // Writes that carried values, oldest first (register-pointer writes of reads are left out).
    std::vector<BusWrite> ValueWrites(unsigned address) const;
    // Registers whose pointer was set with no value bytes after it, oldest first: the first half
    // of every register read.
    std::vector<uint8_t> RegistersRead(unsigned address) const;

  private:
    HMODULE library_ = nullptr;
    KalendoSim_VoidFn unplug_ = nullptr;
    KalendoSim_VoidFn plugBack_ = nullptr;
    KalendoSim_SetAddressAckFn setAddressAck_ = nullptr;
    KalendoSim_IntFn useVirtualClock_ = nullptr;
    KalendoSim_UnsignedFn advanceMs_ = nullptr;
    KalendoSim_VoidFn clearWrites_ = nullptr;
    KalendoSim_UnsignedFn writeCount_ = nullptr;
    KalendoSim_GetRegisterWriteFn write_ = nullptr;
    KalendoSim_GetRegisterSelectsFn selects_ = nullptr;
};

}  // namespace kalendo
