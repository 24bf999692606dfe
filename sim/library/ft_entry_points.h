// The stand-in library's 17 exported entry points. In the Windows build they are the DLL's
// exports (undecorated names, see ftd2xx.def); natively they are plain functions that tests bind
// through FindEntryPoint.
#pragma once

#include <cstdint>

#include "bridge/ft_library.h"

extern "C" {
kalendo::FtStatus KALENDO_FTAPI FT_GetLibraryVersion(uint32_t* version);
kalendo::FtStatus KALENDO_FTAPI FT_CreateDeviceInfoList(uint32_t* count);
kalendo::FtStatus KALENDO_FTAPI FT_GetDeviceInfoList(kalendo::FtDeviceListNode* records,
                                                     uint32_t* count);
kalendo::FtStatus KALENDO_FTAPI FT_Open(int position, kalendo::FtHandle* handle);
kalendo::FtStatus KALENDO_FTAPI FT_Close(kalendo::FtHandle handle);
kalendo::FtStatus KALENDO_FTAPI FT_ResetDevice(kalendo::FtHandle handle);
kalendo::FtStatus KALENDO_FTAPI FT_Purge(kalendo::FtHandle handle, uint32_t mask);
kalendo::FtStatus KALENDO_FTAPI FT_SetUSBParameters(kalendo::FtHandle handle, uint32_t inSize,
                                                    uint32_t outSize);
kalendo::FtStatus KALENDO_FTAPI FT_SetChars(kalendo::FtHandle handle, uint8_t eventChar,
                                            uint8_t eventEnable, uint8_t errorChar,
                                            uint8_t errorEnable);
kalendo::FtStatus KALENDO_FTAPI FT_SetTimeouts(kalendo::FtHandle handle, uint32_t readMs,
                                               uint32_t writeMs);
kalendo::FtStatus KALENDO_FTAPI FT_SetLatencyTimer(kalendo::FtHandle handle, uint8_t ms);
kalendo::FtStatus KALENDO_FTAPI FT_SetBitMode(kalendo::FtHandle handle, uint8_t mask, uint8_t mode);
kalendo::FtStatus KALENDO_FTAPI FT_GetQueueStatus(kalendo::FtHandle handle, uint32_t* waiting);
kalendo::FtStatus KALENDO_FTAPI FT_GetLatencyTimer(kalendo::FtHandle handle, uint8_t* ms);
kalendo::FtStatus KALENDO_FTAPI FT_Read(kalendo::FtHandle handle, void* buffer, uint32_t count,
                                        uint32_t* read);
kalendo::FtStatus KALENDO_FTAPI FT_Write(kalendo::FtHandle handle, const void* buffer,
                                         uint32_t count, uint32_t* written);
kalendo::FtStatus KALENDO_FTAPI FT_GetDeviceInfo(kalendo::FtHandle handle, uint32_t* type,
                                                 uint32_t* id, char* serial16, char* description64,
                                                 void* reserved);
}

namespace kalendo::sim {

// The entry point of that name, or null for a name the library does not export. Native tests
// hand this to the bridge layer's seam in place of GetProcAddress.
void* FindEntryPoint(const char* name);

}  // namespace kalendo::sim
