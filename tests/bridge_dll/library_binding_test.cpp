// The bridge layer binding the stand-in ftd2xx.dll the way the program does on Windows:
// LoadLibraryA by name, GetProcAddress of the 17 entry points, and the named bus mutex.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <thread>

#include "bridge/board_discovery.h"
#include "bridge/bridge_state.h"
#include "bridge/register_access.h"

namespace kalendo {
namespace {

constexpr DeviceHandle kPowerMonitor = 0x0101;
constexpr DeviceHandle kRtc = 0x0102;
// The program's digit 7 (Q7KBOARD, set for these tests) names the bus mutex.
constexpr char kBusMutexName[] = "RTCFTDIBRIDGEMutex7";
// The hung-holder case keeps the bus for seconds while ctest runs the other cases beside it, and
// their transactions would wait for it: it takes a digit of its own.
constexpr char kHungHolderDigit[] = "8";
constexpr char kHungHolderMutexName[] = "RTCFTDIBRIDGEMutex8";

// Each case runs in a process of its own (ctest), so the library it loads is the one it asked for.
bool UseLibraryFolder(const char* folder) {
    if (GetModuleHandleA("ftd2xx.dll")) return false;  // another case already loaded one
    return SetDllDirectoryA(folder) != 0;
}

TEST(LibraryBinding, LibraryMissingAnEntryPointIsRefusedAndUnloaded) {
    if (!UseLibraryFolder(KALENDO_BUILD_DIR "/sim-missing-entry")) GTEST_SKIP() << "run alone";
    EXPECT_EQ(ConnectBridge(), 0);
    EXPECT_EQ(Bridge().libraryHandle, nullptr);
    EXPECT_EQ(GetModuleHandleA("ftd2xx.dll"), nullptr);
    EXPECT_EQ(FirstDeviceOfBoard(0), 0);
}

TEST(LibraryBinding, SimulatedBoardAnswersThroughTheBoundLibrary) {
    if (!UseLibraryFolder(KALENDO_BUILD_DIR "/sim")) GTEST_SKIP() << "run alone";
    ASSERT_EQ(ConnectBridge(), 1);
    ASSERT_EQ(FirstDeviceOfBoard(0), 0x0101);
    SelectDevice(kPowerMonitor);
    EXPECT_EQ(ReadDeviceRegister(0xAD, 32), 0x0849534Cu);
    EXPECT_EQ(Bridge().BusStatus, 0);
    // The bus mutex exists under its shared name while the program runs.
    HANDLE shared = OpenMutexA(SYNCHRONIZE, FALSE, kBusMutexName);
    EXPECT_NE(shared, nullptr);
    if (shared) CloseHandle(shared);
    DisconnectBridge();
}

// Holds the bus mutex from another thread, as another process driving the board would.
class MutexHolder {
  public:
    explicit MutexHolder(bool releaseOnExit) {
        thread_ = std::thread([this, releaseOnExit] {
            HANDLE m = CreateMutexA(nullptr, FALSE, kHungHolderMutexName);
            WaitForSingleObject(m, INFINITE);
            SetEvent(held_);
            if (releaseOnExit) {
                WaitForSingleObject(done_, INFINITE);
                ReleaseMutex(m);
            }
            CloseHandle(m);  // without a release the mutex is abandoned when the thread ends
        });
        WaitForSingleObject(held_, INFINITE);
    }
    ~MutexHolder() {
        SetEvent(done_);
        thread_.join();
        CloseHandle(held_);
        CloseHandle(done_);
    }

  private:
    HANDLE held_ = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    HANDLE done_ = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    std::thread thread_;
};

TEST(LibraryBinding, BusHeldByAHungHolderFailsTheOperationAfterTheTimeOut) {
    if (!UseLibraryFolder(KALENDO_BUILD_DIR "/sim")) GTEST_SKIP() << "run alone";
    ASSERT_NE(SetEnvironmentVariableA("Q7KBOARD", kHungHolderDigit), 0);
    ASSERT_EQ(ConnectBridge(), 1);
    SelectDevice(kRtc);
    Bridge().BusStatus = 0;
    {
        MutexHolder hung(true);
        DWORD start = GetTickCount();
        EXPECT_EQ(ReadRegisterChecked(0x05, 8), 0u);
        DWORD waited = GetTickCount() - start;
        EXPECT_EQ(Bridge().BusStatus, kBusTransactionFailed);
        EXPECT_GE(waited, 4500u);
        EXPECT_LT(waited, 15000u);
    }
    Bridge().BusStatus = 0;
    ReadRegisterChecked(0x05, 8);  // released: the bus is usable again
    EXPECT_EQ(Bridge().BusStatus, 0);
    {
        MutexHolder dead(false);  // its thread ends holding it
    }
    ReadRegisterChecked(0x05, 8);
    EXPECT_EQ(Bridge().BusStatus, 0) << "an abandoned bus mutex is taken over";
    DisconnectBridge();
}

// The stand-in library's own controls, found by name as tests in other processes find them: the
// program's bursts meet the fast-mode timing through the DLL, and a board open in another
// process is not found.
TEST(LibraryBinding, TimingCheckAndDeviceInUseThroughTheExportedControls) {
    if (!UseLibraryFolder(KALENDO_BUILD_DIR "/sim")) GTEST_SKIP() << "run alone";
    ASSERT_EQ(ConnectBridge(), 1);
    HMODULE library = GetModuleHandleA("ftd2xx.dll");
    ASSERT_NE(library, nullptr);
    const auto violations = reinterpret_cast<int (*)(void)>(
        reinterpret_cast<void*>(GetProcAddress(library, "KalendoSim_GetTimingViolationCount")));
    const auto margins = reinterpret_cast<int (*)(char*, int)>(
        reinterpret_cast<void*>(GetProcAddress(library, "KalendoSim_GetTimingMargins")));
    const auto inUse = reinterpret_cast<int (*)(unsigned, int)>(
        reinterpret_cast<void*>(GetProcAddress(library, "KalendoSim_SetInUse")));
    ASSERT_TRUE(violations && margins && inUse);

    SelectDevice(kRtc);
    OpenSelectedDevice();
    ReadRegisterChecked(0x00, 8);
    WriteRegisterChecked(0x07, 0x5A, 8);
    SelectDevice(kPowerMonitor);
    OpenSelectedDevice();
    EXPECT_EQ(ReadDeviceRegister(0xAD, 32), 0x0849534Cu);
    EXPECT_EQ(violations(), 0);
    char text[1024] = {};
    ASSERT_GT(margins(text, sizeof text), 0);
    EXPECT_NE(std::string(text).find("tHD;STA shortest 4000 ns"), std::string::npos) << text;
    DisconnectBridge();

    ASSERT_EQ(inUse(0, 1), 1);
    ConnectBridge();
    EXPECT_EQ(FirstDeviceOfBoard(0), 0) << "the only board is open elsewhere";
    DisconnectBridge();
    ASSERT_EQ(inUse(0, 0), 1);
}

}  // namespace
}  // namespace kalendo
