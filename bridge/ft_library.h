// Declarations of the USB bridge library's 17 entry points, written from its public API
// reference. The library is loaded at run time and bound by name; nothing here links to it.
#pragma once

#include <cstdint>

#if defined(_WIN32)
#define KALENDO_FTAPI __stdcall
#else
#define KALENDO_FTAPI
#endif

namespace kalendo {

// Every entry point returns a 32-bit status; 0 is success and anything else is passed up as is.
using FtStatus = uint32_t;
using FtHandle = void*;

constexpr FtStatus kFtOk = 0;

// One record of the library's device list. In a 32-bit build it is 100 bytes; in a 64-bit build
// the trailing handle is pointer sized, so the compiler sizes the record.
struct FtDeviceListNode {
    uint32_t flags;         // bit 0: opened by some process
    uint32_t type;          // chip type: 4 FT2232C/D, 6 FT2232H, 7 FT4232H, 8 FT232H
    uint32_t id;            // USB vendor id << 16 | product id
    uint32_t locationId;    // low 4 bits: channel of a multi-channel chip (1 = A, 2 = B, ...)
    char serialNumber[16];  // zero-terminated
    char description[64];   // zero-terminated, e.g. "UM232H"
    FtHandle handle;        // the library's handle while the device is open
};

using FtGetLibraryVersionFn = FtStatus(KALENDO_FTAPI*)(uint32_t* version);
using FtCreateDeviceInfoListFn = FtStatus(KALENDO_FTAPI*)(uint32_t* count);
using FtGetDeviceInfoListFn = FtStatus(KALENDO_FTAPI*)(FtDeviceListNode* records, uint32_t* count);
using FtOpenFn = FtStatus(KALENDO_FTAPI*)(int position, FtHandle* handle);
using FtCloseFn = FtStatus(KALENDO_FTAPI*)(FtHandle handle);
using FtResetDeviceFn = FtStatus(KALENDO_FTAPI*)(FtHandle handle);
using FtPurgeFn = FtStatus(KALENDO_FTAPI*)(FtHandle handle, uint32_t mask);
using FtSetUsbParametersFn = FtStatus(KALENDO_FTAPI*)(FtHandle handle, uint32_t inSize,
                                                      uint32_t outSize);
using FtSetCharsFn = FtStatus(KALENDO_FTAPI*)(FtHandle handle, uint8_t eventChar,
                                              uint8_t eventEnable, uint8_t errorChar,
                                              uint8_t errorEnable);
using FtSetTimeoutsFn = FtStatus(KALENDO_FTAPI*)(FtHandle handle, uint32_t readMs,
                                                 uint32_t writeMs);
using FtSetLatencyTimerFn = FtStatus(KALENDO_FTAPI*)(FtHandle handle, uint8_t ms);
using FtSetBitModeFn = FtStatus(KALENDO_FTAPI*)(FtHandle handle, uint8_t mask, uint8_t mode);
using FtGetQueueStatusFn = FtStatus(KALENDO_FTAPI*)(FtHandle handle, uint32_t* waiting);
using FtGetLatencyTimerFn = FtStatus(KALENDO_FTAPI*)(FtHandle handle, uint8_t* ms);
using FtReadFn = FtStatus(KALENDO_FTAPI*)(FtHandle handle, void* buffer, uint32_t count,
                                          uint32_t* read);
using FtWriteFn = FtStatus(KALENDO_FTAPI*)(FtHandle handle, const void* buffer, uint32_t count,
                                           uint32_t* written);
using FtGetDeviceInfoFn = FtStatus(KALENDO_FTAPI*)(FtHandle handle, uint32_t* type, uint32_t* id,
                                                   char* serial16, char* description64,
                                                   void* reserved);

// The bound entry points, in binding order.
struct FtLibrary {
    FtGetLibraryVersionFn GetLibraryVersion;
    FtCreateDeviceInfoListFn CreateDeviceInfoList;
    FtGetDeviceInfoListFn GetDeviceInfoList;
    FtOpenFn Open;
    FtCloseFn Close;
    FtResetDeviceFn ResetDevice;
    FtPurgeFn Purge;
    FtSetUsbParametersFn SetUSBParameters;
    FtSetCharsFn SetChars;
    FtSetTimeoutsFn SetTimeouts;
    FtSetLatencyTimerFn SetLatencyTimer;
    FtSetBitModeFn SetBitMode;
    FtGetQueueStatusFn GetQueueStatus;
    FtGetLatencyTimerFn GetLatencyTimer;
    FtReadFn Read;
    FtWriteFn Write;
    FtGetDeviceInfoFn GetDeviceInfo;
};

constexpr int kFtEntryPointCount = 17;

// Names as the library exports them, in the order of the members of FtLibrary.
extern const char* const kFtEntryPointNames[kFtEntryPointCount];

// FT_Purge mask bits.
constexpr uint32_t kFtPurgeRx = 1;
constexpr uint32_t kFtPurgeTx = 2;

// FT_SetBitMode modes.
constexpr uint8_t kFtBitModeReset = 0x00;
constexpr uint8_t kFtBitModeSerialEngine = 0x02;

}  // namespace kalendo
