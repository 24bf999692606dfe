#include "bridge/fout_gate.h"

#include "bridge/register_access.h"

namespace kalendo {

bool SetFoutGate(bool high) {
    return SetBridgeOutputPin(high ? 0xFF : 0) != 0;
}

}  // namespace kalendo
