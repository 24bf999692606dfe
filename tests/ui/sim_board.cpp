#include "tests/ui/sim_board.h"

#include <algorithm>
#include <cstdlib>

namespace kalendo {

namespace {

template <typename Fn>
bool Bind(HMODULE library, const char* name, Fn* fn) {
    *fn = reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(library, name)));
    return *fn != nullptr;
}

}  // namespace

bool SimBoard::Load() {
    // The simulator's folder, never the program's: a real-hardware build must not find it.
    const char* folder = std::getenv("KALENDO_SIM_DIR");
    SetDllDirectoryA(folder && *folder ? folder : KALENDO_SIM_BUILD_DIR);
    library_ = LoadLibraryA("ftd2xx.dll");
    if (!library_) {
        return false;
    }
    return Bind(library_, "KalendoSim_Unplug", &unplug_) &&
           Bind(library_, "KalendoSim_PlugBack", &plugBack_) &&
           Bind(library_, "KalendoSim_SetAddressAck", &setAddressAck_) &&
           Bind(library_, "KalendoSim_UseVirtualClock", &useVirtualClock_) &&
           Bind(library_, "KalendoSim_AdvanceMs", &advanceMs_) &&
           Bind(library_, "KalendoSim_ClearRegisterWrites", &clearWrites_) &&
           Bind(library_, "KalendoSim_GetRegisterWriteCount", &writeCount_) &&
           Bind(library_, "KalendoSim_GetRegisterWrite", &write_) &&
           Bind(library_, "KalendoSim_GetRegisterSelects", &selects_);
}

std::vector<BusWrite> SimBoard::ValueWrites(unsigned address) const {
    std::vector<BusWrite> writes;
    const int count = writeCount_(address);
    for (int i = 0; i < count; ++i) {
        unsigned char reg = 0;
        unsigned char values[8] = {};
        const int n = write_(address, i, &reg, values, sizeof values);
        if (n > 0) {
            writes.push_back({reg, std::vector<uint8_t>(values, values + n)});
        }
    }
    return writes;
}

std::vector<uint8_t> SimBoard::RegistersRead(unsigned address) const {
    std::vector<uint8_t> registers(1000);
    const int count = selects_(address, registers.data(), static_cast<int>(registers.size()));
    registers.resize(std::min(registers.size(), static_cast<size_t>(count < 0 ? 0 : count)));
    return registers;
}

}  // namespace kalendo
