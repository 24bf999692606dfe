#include "bridge/board_discovery.h"

#include <cstdio>
#include <cstring>
#include <new>

#include "bridge/bridge_state.h"
#include "bridge/bus_action.h"
#include "bridge/i2c_engine.h"
#include "bridge/os_seam.h"
#include "bridge/register_access.h"

namespace kalendo {

namespace {

constexpr char kBoardDescription[] = "UM232H";
constexpr char kBoardDigitVariable[] = "Q7KBOARD";

char* CopyOf(const char* text) {
    size_t n = std::strlen(text) + 1;
    char* copy = new (std::nothrow) char[n];
    if (copy) std::memcpy(copy, text, n);
    return copy;
}

void FreeBoards() {
    BridgeState& s = Bridge();
    for (BoardEntry*& board : s.boards) {
        if (!board) continue;
        for (DeviceEntry*& device : board->devices) {
            delete device;
            device = nullptr;
        }
        delete board;
        board = nullptr;
    }
    s.boardCount = 0;
}

template <typename Fn>
Fn Bound(void* symbol) {
    return reinterpret_cast<Fn>(symbol);
}

}  // namespace

void* CreateBusMutex() {
    BridgeState& s = Bridge();
    delete[] s.namePieceFirst;
    delete[] s.namePieceSecond;
    s.namePieceFirst = CopyOf("RTC");
    s.namePieceSecond = CopyOf("FTDI");

    // The digit only chooses which processes share a mutex, not which board is used.
    char digit = '0';
    char value[16] = {};
    if (Os().GetEnv(kBoardDigitVariable, value, sizeof(value)) && value[0] >= '0' &&
        value[0] <= '9') {
        digit = value[0];
    }
    char name[64];
    std::snprintf(name, sizeof(name), "%s%s%sMutex%c", s.namePieceFirst ? s.namePieceFirst : "",
                  s.namePieceSecond ? s.namePieceSecond : "", "BRIDGE", digit);
    return Os().CreateNamedMutex(name);
}

int BindBridgeLibrary() {
    BridgeState& s = Bridge();
    if (s.libraryHandle) return 0;
    void* library = Os().OpenLibrary(kBridgeLibraryName);
    if (!library) return 1;
    void* found[kFtEntryPointCount];
    for (int i = 0; i < kFtEntryPointCount; ++i) {
        found[i] = Os().FindSymbol(library, kFtEntryPointNames[i]);
        if (!found[i]) {
            // A library without every entry point is not one this program can drive.
            Os().CloseLibrary(library);
            return 1;
        }
    }
    FtLibrary& ft = s.ft;
    ft.GetLibraryVersion = Bound<FtGetLibraryVersionFn>(found[0]);
    ft.CreateDeviceInfoList = Bound<FtCreateDeviceInfoListFn>(found[1]);
    ft.GetDeviceInfoList = Bound<FtGetDeviceInfoListFn>(found[2]);
    ft.Open = Bound<FtOpenFn>(found[3]);
    ft.Close = Bound<FtCloseFn>(found[4]);
    ft.ResetDevice = Bound<FtResetDeviceFn>(found[5]);
    ft.Purge = Bound<FtPurgeFn>(found[6]);
    ft.SetUSBParameters = Bound<FtSetUsbParametersFn>(found[7]);
    ft.SetChars = Bound<FtSetCharsFn>(found[8]);
    ft.SetTimeouts = Bound<FtSetTimeoutsFn>(found[9]);
    ft.SetLatencyTimer = Bound<FtSetLatencyTimerFn>(found[10]);
    ft.SetBitMode = Bound<FtSetBitModeFn>(found[11]);
    ft.GetQueueStatus = Bound<FtGetQueueStatusFn>(found[12]);
    ft.GetLatencyTimer = Bound<FtGetLatencyTimerFn>(found[13]);
    ft.Read = Bound<FtReadFn>(found[14]);
    ft.Write = Bound<FtWriteFn>(found[15]);
    ft.GetDeviceInfo = Bound<FtGetDeviceInfoFn>(found[16]);
    s.libraryHandle = library;
    return 0;
}

int ConnectBridge() {
    BridgeState& s = Bridge();
    if (s.initialised) return 1;

    // Each connect forms the name anew; the handle of the previous one is not needed any more.
    // The search lists the USB devices and sends nothing on I2C, so it does not wait for the bus:
    // a program holding the bus must not hold up this one's window for the bus time-out.
    if (s.mutexHandle) Os().CloseMutex(s.mutexHandle);
    s.mutexHandle = CreateBusMutex();

    if (BindBridgeLibrary() == 0) {
        FillWidthMask();
        FreeBoards();
        for (BoardEntry*& board : s.boards) board = new (std::nothrow) BoardEntry();
        s.boardCount = 0;
        s.initialised = 1;

        uint32_t channels = 0;
        if (CountChannels(&channels, &s.devicesOpenElsewhere) == kEngineOk) {
            for (uint32_t i = 0; i < channels && s.boardCount < kMaxBoards; ++i) {
                FtDeviceListNode record = {};
                if (GetChannelInfo(i + 1, &record) != kEngineOk) continue;
                record.description[sizeof(record.description) - 1] = '\0';
                BoardEntry* board = s.boards[s.boardCount];
                if (!board || std::strcmp(record.description, kBoardDescription) != 0) continue;
                // Only "UM232H" gets here, so it always fits.
                std::memcpy(board->description, kBoardDescription, sizeof(kBoardDescription));
                std::memcpy(board->serialNumber, record.serialNumber, sizeof board->serialNumber);
                board->serialNumber[sizeof(board->serialNumber) - 1] = '\0';
                board->channelIndex = i;
                BuildDeviceTable(i);
                ++s.boardCount;
            }
        }
    }

    return s.initialised;
}

void DisconnectBridge() {
    BridgeState& s = Bridge();
    if (s.initialised) {
        FreeBoards();
        s.initialised = 0;
    }
    FreeTimingRecord(s.ChannelHandle);
    if (s.libraryHandle && s.ChannelHandle) {
        s.ft.Close(s.ChannelHandle);
        s.ChannelHandle = nullptr;
    }
    s.ActiveDevice = 0;
    s.BusTarget = nullptr;
    s.devicesOpenElsewhere = 0;
    s.boardChanged = false;
    s.engineNeedsResync = false;
    ForgetEveryThreadsBoardSilence();  // the next Connect starts afresh
}

}  // namespace kalendo
