#include "bridge/ft_library.h"

namespace kalendo {

const char* const kFtEntryPointNames[kFtEntryPointCount] = {
    "FT_GetLibraryVersion",
    "FT_CreateDeviceInfoList",
    "FT_GetDeviceInfoList",
    "FT_Open",
    "FT_Close",
    "FT_ResetDevice",
    "FT_Purge",
    "FT_SetUSBParameters",
    "FT_SetChars",
    "FT_SetTimeouts",
    "FT_SetLatencyTimer",
    "FT_SetBitMode",
    "FT_GetQueueStatus",
    "FT_GetLatencyTimer",
    "FT_Read",
    "FT_Write",
    "FT_GetDeviceInfo",
};

}  // namespace kalendo
