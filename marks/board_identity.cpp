#include "marks/board_identity.h"

#include <cstring>

#include "bridge/bridge_state.h"
#include "rtc/rtc_registers.h"

namespace kalendo::marks {

BoardIdentity OpenBoardIdentity(const std::string& model, uint32_t board) {
    BoardIdentity id;
    id.model = model;
    const BridgeState& bridge = Bridge();
    if (board < bridge.boardCount && board < static_cast<uint32_t>(kMaxBoards) &&
        bridge.boards[board] != nullptr) {
        const BoardEntry& entry = *bridge.boards[board];
        id.serial =
            std::string(entry.serialNumber, strnlen(entry.serialNumber, sizeof entry.serialNumber));
        id.description =
            std::string(entry.description, strnlen(entry.description, sizeof entry.description));
    }
    return id;
}

namespace {

// The TQ5100's registers 0x10-0x16 and 0x1B-0x1F are copies of 0x00-0x06 and 0x0B-0x0F.
uint8_t Original(const std::string& model, uint8_t reg) {
    const bool copy = (reg >= 0x10 && reg <= 0x16) || (reg >= 0x1B && reg <= 0x1F);
    return model != "TQ5200" && copy ? static_cast<uint8_t>(reg - 0x10) : reg;
}

}  // namespace

bool IsWriteGuardRegister(const std::string& model, uint8_t reg) {
    return Original(model, reg) == kRegControl;
}

bool WritesRtcTime(const std::string& model, uint8_t reg, uint8_t value, int before) {
    if (Original(model, reg) <= kRegYear) return true;
    if (!IsWriteGuardRegister(model, reg)) return false;
    return (value & CTRL_WRITE_GUARD) || before < 0 || (before & CTRL_WRITE_GUARD);
}

}  // namespace kalendo::marks
