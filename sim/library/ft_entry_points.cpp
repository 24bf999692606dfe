#include "sim/library/ft_entry_points.h"

#include <cstring>

#include "sim/library/simulated_library.h"

using kalendo::FtDeviceListNode;
using kalendo::FtHandle;
using kalendo::FtStatus;
using kalendo::sim::Simulator;

extern "C" {

FtStatus KALENDO_FTAPI FT_GetLibraryVersion(uint32_t* version) {
    return Simulator().GetLibraryVersion(version);
}

FtStatus KALENDO_FTAPI FT_CreateDeviceInfoList(uint32_t* count) {
    return Simulator().CreateDeviceInfoList(count);
}

FtStatus KALENDO_FTAPI FT_GetDeviceInfoList(FtDeviceListNode* records, uint32_t* count) {
    return Simulator().GetDeviceInfoList(records, count);
}

FtStatus KALENDO_FTAPI FT_Open(int position, FtHandle* handle) {
    return Simulator().Open(position, handle);
}

FtStatus KALENDO_FTAPI FT_Close(FtHandle handle) {
    return Simulator().Close(handle);
}

FtStatus KALENDO_FTAPI FT_ResetDevice(FtHandle handle) {
    return Simulator().ResetDevice(handle);
}

FtStatus KALENDO_FTAPI FT_Purge(FtHandle handle, uint32_t mask) {
    return Simulator().Purge(handle, mask);
}

FtStatus KALENDO_FTAPI FT_SetUSBParameters(FtHandle handle, uint32_t inSize, uint32_t outSize) {
    return Simulator().SetUsbParameters(handle, inSize, outSize);
}

FtStatus KALENDO_FTAPI FT_SetChars(FtHandle handle, uint8_t eventChar, uint8_t eventEnable,
                                   uint8_t errorChar, uint8_t errorEnable) {
    return Simulator().SetChars(handle, eventChar, eventEnable, errorChar, errorEnable);
}

FtStatus KALENDO_FTAPI FT_SetTimeouts(FtHandle handle, uint32_t readMs, uint32_t writeMs) {
    return Simulator().SetTimeouts(handle, readMs, writeMs);
}

FtStatus KALENDO_FTAPI FT_SetLatencyTimer(FtHandle handle, uint8_t ms) {
    return Simulator().SetLatencyTimer(handle, ms);
}

FtStatus KALENDO_FTAPI FT_SetBitMode(FtHandle handle, uint8_t mask, uint8_t mode) {
    return Simulator().SetBitMode(handle, mask, mode);
}

FtStatus KALENDO_FTAPI FT_GetQueueStatus(FtHandle handle, uint32_t* waiting) {
    return Simulator().GetQueueStatus(handle, waiting);
}

FtStatus KALENDO_FTAPI FT_GetLatencyTimer(FtHandle handle, uint8_t* ms) {
    return Simulator().GetLatencyTimer(handle, ms);
}

FtStatus KALENDO_FTAPI FT_Read(FtHandle handle, void* buffer, uint32_t count, uint32_t* read) {
    return Simulator().Read(handle, buffer, count, read);
}

FtStatus KALENDO_FTAPI FT_Write(FtHandle handle, const void* buffer, uint32_t count,
                                uint32_t* written) {
    return Simulator().Write(handle, buffer, count, written);
}

FtStatus KALENDO_FTAPI FT_GetDeviceInfo(FtHandle handle, uint32_t* type, uint32_t* id,
                                        char* serial16, char* description64, void* reserved) {
    return Simulator().GetDeviceInfo(handle, type, id, serial16, description64, reserved);
}

}  // extern "C"

namespace kalendo::sim {

namespace {

struct NamedEntryPoint {
    const char* name;
    void* function;
};

#define KALENDO_ENTRY(fn) \
    { #fn, reinterpret_cast < void*>(&fn) }
const NamedEntryPoint kEntryPoints[] = {
    KALENDO_ENTRY(FT_GetLibraryVersion),
    KALENDO_ENTRY(FT_CreateDeviceInfoList),
    KALENDO_ENTRY(FT_GetDeviceInfoList),
    KALENDO_ENTRY(FT_Open),
    KALENDO_ENTRY(FT_Close),
    KALENDO_ENTRY(FT_ResetDevice),
    KALENDO_ENTRY(FT_Purge),
    KALENDO_ENTRY(FT_SetUSBParameters),
    KALENDO_ENTRY(FT_SetChars),
    KALENDO_ENTRY(FT_SetTimeouts),
    KALENDO_ENTRY(FT_SetLatencyTimer),
    KALENDO_ENTRY(FT_SetBitMode),
    KALENDO_ENTRY(FT_GetQueueStatus),
    KALENDO_ENTRY(FT_GetLatencyTimer),
    KALENDO_ENTRY(FT_Read),
    KALENDO_ENTRY(FT_Write),
    KALENDO_ENTRY(FT_GetDeviceInfo),
};
#undef KALENDO_ENTRY

}  // namespace

void* FindEntryPoint(const char* name) {
    if (!name) return nullptr;
    for (const NamedEntryPoint& e : kEntryPoints) {
        if (std::strcmp(e.name, name) == 0) return e.function;
    }
    return nullptr;
}

}  // namespace kalendo::sim
