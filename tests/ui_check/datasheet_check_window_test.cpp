// The Data Sheet Check window driven as a user would, on the simulated board in real time: the
// check's polls run on their own thread while this thread keeps the main window's messages and
// status ticks going, as the program's loop does.
#include <windows.h>

#include <commctrl.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>

#include "app/check_hold.h"
#include "app/connection_state.h"
#include "bridge/bus_timeouts.h"
#include "marks/mark_store_file.h"
#include "pages/alarm_page.h"
#include "pages/timer_page.h"
#include "resources/resource_ids.h"
#include "tests/ntp/ntp_test_responder.h"
#include "tests/ui_time_alarm/page_test_support.h"

namespace kalendo {
namespace {

// Long enough for a few transitions, short enough for a test: about five seconds.
constexpr const char* kShortMinutes = "0.08";
constexpr DWORD kRunLimitMs = 180000;
constexpr int kTimerTab = 3;
constexpr int kPowerTab = 5;
constexpr UINT_PTR kPowerMeasureTimer = 1028;
constexpr UINT_PTR kPowerSettleTimer = 1031;
constexpr uint8_t kSupplyLevelRegister = 0xE3;

// How long the main window takes to answer, measured from another thread while a check runs.
class ResponseProbe {
  public:
    explicit ResponseProbe(HWND window) : window_(window) {
        thread_ = CreateThread(nullptr, 0, &ResponseProbe::Main, this, 0, nullptr);
    }
    ~ResponseProbe() { Finish(); }
    void Finish() {
        if (!thread_) return;
        stop_ = true;
        // The probe may be waiting for an answer: keep the messages going until it has it.
        while (WaitForSingleObject(thread_, 10) == WAIT_TIMEOUT) {
            MSG msg;
            while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
        }
        CloseHandle(thread_);
        thread_ = nullptr;
    }
    DWORD LongestMs() const { return longest_; }
    int Probes() const { return probes_; }

  private:
    static DWORD WINAPI Main(void* self) {
        auto* probe = static_cast<ResponseProbe*>(self);
        while (!probe->stop_) {
            const ULONGLONG began = GetTickCount64();
            DWORD_PTR ignored = 0;
            SendMessageTimeoutA(probe->window_, WM_NULL, 0, 0, SMTO_NORMAL, 60000, &ignored);
            const DWORD took = static_cast<DWORD>(GetTickCount64() - began);
            if (took > probe->longest_) probe->longest_ = took;
            ++probe->probes_;
            Sleep(20);
        }
        return 0;
    }
    HWND window_;
    HANDLE thread_ = nullptr;
    std::atomic<bool> stop_{false};
    std::atomic<DWORD> longest_{0};
    std::atomic<int> probes_{0};
};

class DataSheetCheckWindowTest : public RtcPageTest {
  protected:
    void StartConnected() {
        Start();
        Connect();
        SendMessageA(main_, WM_COMMAND, MAKEWPARAM(IDM_CHECK_DATASHEET, 0), 0);
        check_ = app_->CheckWindow().Dialog();
        ASSERT_NE(check_, nullptr);
    }
    std::string CheckText(int id) const { return TextOf(GetDlgItem(check_, id)); }
    void ClickCheck(int id) const {
        SendMessageA(check_, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                     reinterpret_cast<LPARAM>(GetDlgItem(check_, id)));
    }
    void StartCheck(const char* minutes, bool accuracyOnly) {
        SetDlgItemTextA(check_, IDC_CHECK_MINUTES, minutes);
        CheckDlgButton(check_, IDC_CHECK_ACCURACY_ONLY, accuracyOnly ? BST_CHECKED : BST_UNCHECKED);
        ClickCheck(IDC_CHECK_START);
        ASSERT_TRUE(app_->CheckWindow().Running()) << CheckText(IDC_CHECK_STATE);
    }
    void PumpMessages() const {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (!check_ || !IsDialogMessageA(check_, &msg)) DispatchMessageA(&msg);
        }
    }
    // Runs the program's messages and a status tick a second until `done` or the limit, then the
    // messages already posted (the worker's last notice among them).
    bool PumpUntil(const std::function<bool()>& done) {
        const ULONGLONG began = GetTickCount64();
        ULONGLONG lastTick = began;
        while (!done()) {
            if (GetTickCount64() - began > kRunLimitMs) return false;
            PumpMessages();
            if (main_ && GetTickCount64() - lastTick >= 1000) {
                lastTick = GetTickCount64();
                Tick();
            }
            Sleep(5);
        }
        PumpMessages();
        return true;
    }
    bool Finished() const { return app_->CheckWindow().Snapshot().finished; }
    double Supply() const {
        double volts = 0;
        SimFunction<KalendoSim_GetSupplyVoltageFn>("KalendoSim_GetSupplyVoltage")(&volts);
        return volts;
    }
    int ListRows() const {
        return static_cast<int>(SendDlgItemMessageA(check_, IDC_CHECK_ROWS, LVM_GETITEMCOUNT, 0, 0));
    }
    std::string ListCell(int row, int column) const {
        char text[128] = {};
        LVITEMA item = {};
        item.iSubItem = column;
        item.pszText = text;
        item.cchTextMax = sizeof text;
        SendDlgItemMessageA(check_, IDC_CHECK_ROWS, LVM_GETITEMTEXTA, row,
                            reinterpret_cast<LPARAM>(&item));
        return text;
    }

    HWND check_ = nullptr;
};

// A whole check from the window: the rows fill in, the pages wait while it changes the supply,
// the main window keeps answering, the supply ends where it was, and the report can be saved.
TEST_F(DataSheetCheckWindowTest, CheckRunsFromTheWindowAndPutsTheSupplyBack) {
    StartConnected();
    const double supplyBefore = Supply();
    ResponseProbe probe(main_);
    StartCheck(kShortMinutes, false);
    EXPECT_FALSE(IsWindowEnabled(app_->Pages().Page(kTimeDateTab)->Dialog()))
        << "the pages wait while the check changes the supply";
    EXPECT_EQ(Text(IDC_MAIN_INFO),
              "Data Sheet Check running: the pages and the clock wait until it ends");

    bool sawAccuracyBeforeTheEnd = false;
    ASSERT_TRUE(PumpUntil([&] {
        const CheckSnapshot s = app_->CheckWindow().Snapshot();
        if (!s.finished && s.accuracy.valid && !CheckText(IDC_CHECK_PPM).empty()) {
            sawAccuracyBeforeTheEnd = true;
        }
        return s.finished;
    })) << CheckText(IDC_CHECK_STATE);
    probe.Finish();
    std::printf("response: main window answered %d probes during the check, the slowest in %lu ms\n",
                probe.Probes(), static_cast<unsigned long>(probe.LongestMs()));
    EXPECT_GT(probe.Probes(), 10);
    EXPECT_LT(probe.LongestMs(), 2000u) << "the window never waited for the check";
    EXPECT_TRUE(sawAccuracyBeforeTheEnd) << "the running figure shows while the check runs";

    const CheckSnapshot s = app_->CheckWindow().Snapshot();
    EXPECT_TRUE(s.result.error.empty()) << s.result.error;
    EXPECT_TRUE(s.result.supplyRestored) << s.result.boardState;
    EXPECT_NEAR(Supply(), supplyBefore, 0.05);
    EXPECT_FALSE(s.points.empty());
    EXPECT_FALSE(s.steps.empty());
    ASSERT_EQ(ListRows(), static_cast<int>(s.result.rows.size()));
    for (int row = 0; row < ListRows(); ++row) {
        const check::CheckRow& r = s.result.rows[static_cast<size_t>(row)];
        EXPECT_EQ(ListCell(row, 0), r.name);
        EXPECT_EQ(ListCell(row, 3), r.measured ? check::VerdictWord(r.verdict) : "") << r.name;
    }
    EXPECT_TRUE(s.result.rows[0].measured) << "frequency tolerance";
    EXPECT_EQ(CheckText(IDC_CHECK_STATE).rfind("Done: ", 0), 0u) << CheckText(IDC_CHECK_STATE);
    EXPECT_TRUE(IsWindowEnabled(app_->Pages().Page(kTimeDateTab)->Dialog()));
    EXPECT_TRUE(IsWindowEnabled(GetDlgItem(check_, IDC_CHECK_SAVE)));

    char folder[MAX_PATH] = {};
    GetTempPathA(sizeof folder, folder);
    const std::string report = std::string(folder) + "kalendo-window-report.html";
    ASSERT_TRUE(app_->CheckWindow().SaveReport(report)) << CheckText(IDC_CHECK_STATE);
    std::ifstream in(report, std::ios::binary);
    const std::string html((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    in.close();
    DeleteFileA(report.c_str());
    EXPECT_NE(html.find("<svg"), std::string::npos);
    EXPECT_NE(html.find(s.result.rows[0].name), std::string::npos);
    EXPECT_EQ(html.find("<script"), std::string::npos);
    EXPECT_EQ(CheckText(IDC_CHECK_STATE), "Report saved: " + report);
}

// Cancel during the supply sweep, and closing the program during it, both put the supply back;
// an unplugged board ends the run without a hang and the window says why.
TEST_F(DataSheetCheckWindowTest, CancelCloseAndUnplugEndTheRunCleanly) {
    struct Case {
        const char* what;
        std::function<void()> end;
        bool supplyBack;
        const char* state;  // the start of the window's state line afterwards
    };
    const Case cases[] = {
        {"Cancel", [this] { ClickCheck(IDC_CHECK_CANCEL); }, true,
         "Cancelled; supply put back as found"},
        {"close the program", [this] { Close(); }, true, nullptr},
        {"unplug",
         [this] {
             sim_.Unplug();
             Tick();
         },
         false, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        StartConnected();
        const double supplyBefore = Supply();
        StartCheck(kShortMinutes, false);
        ASSERT_TRUE(PumpUntil([&] { return !app_->CheckWindow().Snapshot().steps.empty(); }))
            << CheckText(IDC_CHECK_STATE);
        c.end();
        ASSERT_TRUE(PumpUntil([&] { return Finished(); }));
        const CheckSnapshot s = app_->CheckWindow().Snapshot();
        if (c.supplyBack) {
            EXPECT_TRUE(s.result.supplyRestored) << s.result.boardState;
            EXPECT_NEAR(Supply(), supplyBefore, 0.05);
        } else {
            EXPECT_FALSE(BoardConnected);
            EXPECT_EQ(Text(IDC_MAIN_BOARD_TEXT), "Board Disconnected");
        }
        if (c.state && main_) {
            EXPECT_EQ(CheckText(IDC_CHECK_STATE).rfind(c.state, 0), 0u)
                << CheckText(IDC_CHECK_STATE);
        }
        if (main_) Close();
        app_.reset();
        sim_.PlugBack();
        check_ = nullptr;
    }
}

// The accuracy alone, until stopped: nothing on the board changes and the pages stay in use,
// but what would move the RTC's seconds under the run (the time, the write guard, the timer, the
// clock output) is refused. A second run in the same window runs as the first; one that loses the
// RTC says so with one "ERROR:".
TEST_F(DataSheetCheckWindowTest, AccuracyOnlyRunsUntilStoppedAndChangesNothing) {
    StartConnected();
    sim_.ClearRegisterWrites();
    StartCheck("1", true);
    EXPECT_TRUE(IsWindowEnabled(app_->Pages().Page(kTimeDateTab)->Dialog()));
    EXPECT_EQ(CheckText(IDC_CHECK_CANCEL), "Stop");
    ASSERT_TRUE(PumpUntil([&] { return app_->CheckWindow().Snapshot().points.size() >= 2; }));
    SetWindowTextA(PageItem(kRegistersTab, IDC_REG_ADDRESS_FIRST), "00");
    SetWindowTextA(PageItem(kRegistersTab, IDC_REG_DATA_FIRST), "30");
    const std::pair<int, int> refused[] = {
        {kTimeDateTab, IDC_TD_SET_TIME},     {kTimeDateTab, IDC_TD_SET_DATE},
        {kTimeDateTab, IDC_TD_SYNC},         {kTimerTab, IDC_TIMER_SINGLE},
        {kPowerTab, IDC_POWER_FOUT_TOGGLE},  {kRegistersTab, IDC_REG_SEND_FIRST},
    };
    for (const auto& action : refused) {
        SetWindowTextA(Item(IDC_MAIN_INFO), "");
        ClickPage(action.first, action.second);
        EXPECT_EQ(Text(IDC_MAIN_INFO), kRefusedWhileMeasuring) << action.second;
    }
    ASSERT_TRUE(PumpUntil([&] { return app_->CheckWindow().Snapshot().points.size() >= 4; }));
    ClickCheck(IDC_CHECK_CANCEL);
    ASSERT_TRUE(PumpUntil([&] { return Finished(); }));
    const CheckSnapshot s = app_->CheckWindow().Snapshot();
    EXPECT_TRUE(s.result.interrupted);
    EXPECT_TRUE(s.result.drift.accuracy.valid) << s.result.drift.accuracy.error;
    EXPECT_FALSE(CheckText(IDC_CHECK_PPM).empty());
    EXPECT_TRUE(s.steps.empty());
    EXPECT_TRUE(sim_.ValueWrites(kPowerMonitorAddress).empty());
    EXPECT_TRUE(sim_.ValueWrites(kRtcAddress).empty());
    EXPECT_EQ(CheckText(IDC_CHECK_STATE).rfind("Stopped; nothing was changed on the board", 0), 0u)
        << CheckText(IDC_CHECK_STATE);
    unsigned char gate = 0, direction = 0;
    SimFunction<KalendoSim_GetUpperPortFn>("KalendoSim_GetUpperPort")(&gate, &direction);
    EXPECT_EQ(gate & 0x08, 0) << "FOUT stayed off";

    StartCheck("1", true);
    ASSERT_TRUE(PumpUntil([&] { return app_->CheckWindow().Snapshot().points.size() >= 2; }))
        << CheckText(IDC_CHECK_STATE);
    EXPECT_TRUE(app_->CheckWindow().Running()) << "the second run measures as the first did";
    sim_.SetAddressAck(kRtcAddress, false);
    ASSERT_TRUE(PumpUntil([&] { return Finished(); }));
    sim_.SetAddressAck(kRtcAddress, true);
    EXPECT_EQ(CheckText(IDC_CHECK_STATE).rfind("ERROR: RTC Time not read, bus error; ", 0), 0u)
        << CheckText(IDC_CHECK_STATE);
}

// Ending a run never waits for it on the window's thread. Disconnect while the board has just
// begun answering 6 s late (the library waits 5 s): the click returns at once, the window says
// the run is ending and keeps answering, and the Disconnect happens once the run has put back
// what it could, within one more library time-out; no sweep level reaches the board after it.
TEST_F(DataSheetCheckWindowTest, EndingARunNeverFreezesTheWindow) {
    StartConnected();
    ResponseProbe probe(main_);
    StartCheck(kShortMinutes, false);
    ASSERT_TRUE(PumpUntil([&] { return app_->CheckWindow().Snapshot().steps.size() >= 2; }))
        << CheckText(IDC_CHECK_STATE);
    sim_.ClearRegisterWrites();
    SimFunction<KalendoSim_UnsignedFn>("KalendoSim_SetAnswerDelayMs")(6000);
    const ULONGLONG began = GetTickCount64();
    Click(IDC_MAIN_CONNECT);
    EXPECT_LT(GetTickCount64() - began, 1000u) << "Disconnect returns at once";
    EXPECT_TRUE(BoardConnected) << "until the run has ended";
    EXPECT_EQ(CheckText(IDC_CHECK_STATE), "Ending (Disconnect): the supply is being put back");
    EXPECT_EQ(Text(IDC_MAIN_INFO),
              "Data Sheet Check ending: Disconnect follows once the supply is put back");
    ASSERT_TRUE(PumpUntil([&] { return !BoardConnected; }));
    const ULONGLONG ending = GetTickCount64() - began;
    probe.Finish();
    SimFunction<KalendoSim_UnsignedFn>("KalendoSim_SetAnswerDelayMs")(0);
    std::printf("ending: %llu ms from Disconnect to disconnected; the window's slowest answer "
                "%lu ms over %d probes\n",
                ending, static_cast<unsigned long>(probe.LongestMs()), probe.Probes());
    // Before, the window waited for the worker throughout: 30 s and more on such a board. Now
    // it waits at most once for the board itself, when the tick's presence read finds the bus
    // free and meets the silent board: its own one library time-out, never the worker's.
    EXPECT_LT(probe.LongestMs(), kBusMutexTimeoutMs + 1500u) << "the window never waited for the run";
    EXPECT_LT(ending, kBusMutexTimeoutMs + 5000u) << "one more library time-out, and the slack of "
                                                     "a loaded machine";
    EXPECT_EQ(Text(IDC_MAIN_BOARD_TEXT), "Board Disconnected");
    EXPECT_EQ(CheckText(IDC_CHECK_STATE).rfind("Ended by Disconnect; supply NOT confirmed", 0), 0u)
        << CheckText(IDC_CHECK_STATE);
    int levels = 0;
    for (const BusWrite& w : sim_.ValueWrites(kPowerMonitorAddress)) {
        levels += w.reg == kSupplyLevelRegister;
    }
    EXPECT_LE(levels, 1) << "the write in flight at most";
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(check_, IDC_CHECK_CANCEL)));
    EXPECT_TRUE(IsWindowEnabled(app_->Pages().Page(kTimeDateTab)->Dialog()));
}

// While a whole check changes the board, the status tick only looks for the board, the pages'
// timers read nothing, and a supply change still settling is dropped rather than switching the
// output off in the middle of the sweep (or undoing the supply the check put back).
TEST_F(DataSheetCheckWindowTest, AWholeCheckHoldsTheTickAndThePagesTimers) {
    StartConnected();
    ShowTab(kPowerTab);
    HWND trackbar = PageItem(kPowerTab, IDC_POWER_SUPPLY_TRACKBAR);
    SendMessageA(trackbar, TBM_SETPOS, TRUE, 25);
    SendMessageA(PageDialog(kPowerTab), WM_HSCROLL, MAKEWPARAM(TB_THUMBTRACK, 25),
                 reinterpret_cast<LPARAM>(trackbar));  // 2.5 V, settling
    SetCheckHold(CheckHold::WholeBoard);  // as the window's Start sets it before the worker runs
    sim_.ClearRegisterWrites();
    Tick();
    TickPage(kPowerTab, kPowerMeasureTimer);
    TickPage(kAlarmTab, AlarmPollTimer);
    TickPage(kTimerTab, TimerAnimationTimer);
    TickPage(kPowerTab, kPowerSettleTimer);
    EXPECT_EQ(Text(IDC_MAIN_INFO),
              "WARNING: Voltage not changed, the Data Sheet Check sets the supply");
    SetCheckHold(CheckHold::None);
    TickPage(kPowerTab, kPowerSettleTimer);
    EXPECT_TRUE(sim_.RegistersRead(kRtcAddress).empty()) << "no RTC read in the check's windows";
    EXPECT_EQ(sim_.RegistersRead(kPowerMonitorAddress), std::vector<uint8_t>{0xAD})
        << "the tick's presence read alone";
    EXPECT_TRUE(sim_.ValueWrites(kPowerMonitorAddress).empty()) << "the change was dropped";
    EXPECT_EQ(PageText(kPowerTab, IDC_POWER_SUPPLY_EDIT), "3.5");
}

// Start refuses what it cannot run, and touches nothing.
TEST_F(DataSheetCheckWindowTest, StartRefusesBadMinutesAndADisconnectedBoard) {
    StartConnected();
    sim_.ClearRegisterWrites();
    SetDlgItemTextA(check_, IDC_CHECK_NTP, "[::1");
    ClickCheck(IDC_CHECK_START);
    EXPECT_FALSE(app_->CheckWindow().Running());
    EXPECT_EQ(CheckText(IDC_CHECK_STATE)
                  .rfind("ERROR: Data Sheet Check not started, NTP server "
                         "\"[::1\": ",
                         0),
              0u)
        << CheckText(IDC_CHECK_STATE);
    SetDlgItemTextA(check_, IDC_CHECK_NTP, "");
    for (const char* minutes : {"", "0", "-1", "abc", "10081", "1e400"}) {
        SetDlgItemTextA(check_, IDC_CHECK_MINUTES, minutes);
        ClickCheck(IDC_CHECK_START);
        EXPECT_FALSE(app_->CheckWindow().Running()) << minutes;
        EXPECT_EQ(CheckText(IDC_CHECK_STATE),
                  "ERROR: Minutes must be a number above 0 and at most 10080")
            << minutes;
    }
    Click(IDC_MAIN_CONNECT);  // disconnect
    SetDlgItemTextA(check_, IDC_CHECK_MINUTES, "1");
    ClickCheck(IDC_CHECK_START);
    EXPECT_FALSE(app_->CheckWindow().Running());
    EXPECT_EQ(CheckText(IDC_CHECK_STATE), "WARNING: Data Sheet Check not started, RTC not connected");
    EXPECT_TRUE(sim_.ValueWrites(kPowerMonitorAddress).empty());
}

// The marks' part of the window on a store of the test's own (KALENDO_MARK_STORE): short marks,
// the simulated RTC running in real time.
class MarkNowWindowTest : public DataSheetCheckWindowTest {
  protected:
    void SetUp() override {
        DataSheetCheckWindowTest::SetUp();
        char folder[MAX_PATH] = {};
        GetTempPathA(sizeof folder, folder);
        store_ = std::string(folder) + "kalendo-window-marks-" +
                 std::to_string(GetCurrentProcessId()) + ".txt";
        DeleteFileA(store_.c_str());
        _putenv_s("KALENDO_MARK_STORE", store_.c_str());
    }
    void TearDown() override {
        DataSheetCheckWindowTest::TearDown();
        DeleteFileA(store_.c_str());
        _putenv_s("KALENDO_MARK_STORE", "");
    }
    // Clicks Mark now and waits for the mark's end; the window's state line afterwards.
    std::string MarkNow() {
        app_->CheckWindow().SetMarkSeconds(kMarkSeconds);
        ClickCheck(IDC_CHECK_MARK_NOW);
        EXPECT_TRUE(PumpUntil([&] { return !app_->CheckWindow().Running(); }));
        PumpMessages();
        return CheckText(IDC_CHECK_STATE);
    }
    int MarkRows() const {
        return static_cast<int>(
            SendDlgItemMessageA(check_, IDC_CHECK_MARKS, LVM_GETITEMCOUNT, 0, 0));
    }
    std::string MarkCell(int row, int column) const {
        char text[256] = {};
        LVITEMA item = {};
        item.iSubItem = column;
        item.pszText = text;
        item.cchTextMax = sizeof text;
        SendDlgItemMessageA(check_, IDC_CHECK_MARKS, LVM_GETITEMTEXTA, row,
                            reinterpret_cast<LPARAM>(&item));
        return text;
    }
    marks::MarkStore Stored() const {
        marks::MarkStore store;
        EXPECT_TRUE(marks::MarkStoreFile(store_).Load(&store).ok());
        return store;
    }
    std::string FileBytes() const {
        std::ifstream in(store_, std::ios::binary);
        return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    }

    static constexpr double kMarkSeconds = 3;
    std::string store_;
};

// Two marks give a rate with its bound and verdict; "Set RTC Time" between the second and a
// third breaks both pairs across it (the page's event in the store), and the plot's last point
// starts a segment of its own. While a mark is taken the RTC's time is not to be changed. The
// window opened anew shows the same marks from the store.
TEST_F(MarkNowWindowTest, MarksFillTheTableAndASetBetweenBreaksThePairs) {
    StartConnected();
    EXPECT_EQ(MarkRows(), 0);
    EXPECT_EQ(CheckText(IDC_CHECK_AGING), "No marks of this board yet: Mark now takes the first");

    app_->CheckWindow().SetMarkSeconds(kMarkSeconds);
    ClickCheck(IDC_CHECK_MARK_NOW);
    ASSERT_TRUE(app_->CheckWindow().Running()) << CheckText(IDC_CHECK_STATE);
    EXPECT_EQ(CurrentCheckHold(), CheckHold::MeasuringRtc);
    sim_.ClearRegisterWrites();
    ClickPage(kTimeDateTab, IDC_TD_SET_TIME);
    EXPECT_EQ(Text(IDC_MAIN_INFO), kRefusedWhileMeasuring);
    EXPECT_TRUE(sim_.ValueWrites(kRtcAddress).empty())
        << "nothing moved the seconds under the mark";
    ASSERT_TRUE(PumpUntil([&] { return !app_->CheckWindow().Running(); }));
    PumpMessages();
    EXPECT_EQ(CheckText(IDC_CHECK_STATE).rfind("Mark taken: RTC ", 0), 0u)
        << CheckText(IDC_CHECK_STATE);
    EXPECT_EQ(CurrentCheckHold(), CheckHold::None);
    EXPECT_EQ(app_->CheckWindow().MarksShown().series.size(), 1u);

    ASSERT_EQ(MarkNow().rfind("Mark taken: RTC ", 0), 0u) << CheckText(IDC_CHECK_STATE);
    ASSERT_EQ(MarkRows(), 1);
    EXPECT_NE(MarkCell(0, 2).find(" +- "), std::string::npos) << MarkCell(0, 2);
    // Seconds apart, the two reference errors alone leave thousands of ppm: no verdict.
    EXPECT_EQ(MarkCell(0, 3), "undecided");
    EXPECT_EQ(MarkCell(0, 4).rfind("assumed, 10.000 ms", 0), 0u) << MarkCell(0, 4);
    EXPECT_NE(CheckText(IDC_CHECK_AGING).find("2 marks of this board"), std::string::npos)
        << CheckText(IDC_CHECK_AGING);

    ClickPage(kTimeDateTab, IDC_TD_SET_TIME);
    EXPECT_EQ(Text(IDC_MAIN_INFO), "RTC Time Updated");
    const marks::MarkStore afterSet = Stored();
    ASSERT_EQ(afterSet.events.size(), 1u);
    EXPECT_EQ(afterSet.events[0].what.rfind("Kalendo time set ", 0), 0u) << afterSet.events[0].what;

    ASSERT_EQ(MarkNow().rfind("Mark taken: RTC ", 0), 0u) << CheckText(IDC_CHECK_STATE);
    ASSERT_EQ(MarkRows(), 2);
    for (int row = 0; row < 2; ++row) {
        EXPECT_EQ(MarkCell(row, 2).rfind("no rate: ", 0), 0u) << MarkCell(row, 2);
        EXPECT_NE(MarkCell(row, 2).find("Kalendo time set"), std::string::npos) << MarkCell(row, 2);
        EXPECT_EQ(MarkCell(row, 3), "");
    }
    const std::vector<marks::OffsetPoint> series = app_->CheckWindow().MarksShown().series;
    ASSERT_EQ(series.size(), 3u);
    EXPECT_EQ(series[0].segment, series[1].segment);
    EXPECT_NE(series[1].segment, series[2].segment) << "the set starts a segment of its own";
    EXPECT_TRUE(series[2].latest);
    EXPECT_EQ(Stored().marks.size(), 3u);

    SendMessageA(check_, WM_CLOSE, 0, 0);
    SendMessageA(main_, WM_COMMAND, MAKEWPARAM(IDM_CHECK_DATASHEET, 0), 0);
    check_ = app_->CheckWindow().Dialog();
    ASSERT_NE(check_, nullptr);
    EXPECT_EQ(MarkRows(), 2) << "the store's marks on opening";
    EXPECT_EQ(app_->CheckWindow().MarksShown().series.size(), 3u);
}

// A store the program cannot read is said on opening and refused by Mark now before the board
// is touched; Set RTC Time still sets the time and says the store did not take it. The file
// stays byte for byte as it was.
TEST_F(MarkNowWindowTest, ADamagedStoreIsRefusedAndLeftAsItWas) {
    const std::string damaged = "this is no mark store\n\x01\x02";
    {
        std::ofstream out(store_, std::ios::binary);
        out << damaged;
    }
    StartConnected();
    EXPECT_EQ(CheckText(IDC_CHECK_STATE).rfind("ERROR: ", 0), 0u) << CheckText(IDC_CHECK_STATE);
    sim_.ClearRegisterWrites();
    const std::string state = MarkNow();
    EXPECT_EQ(state.rfind("ERROR: Mark not taken: ", 0), 0u) << state;
    EXPECT_TRUE(sim_.RegistersRead(kRtcAddress).empty()) << "refused before the board";
    EXPECT_TRUE(sim_.ValueWrites(kRtcAddress).empty());
    EXPECT_EQ(MarkRows(), 0);

    ClickPage(kTimeDateTab, IDC_TD_SET_TIME);
    const std::string info = Text(IDC_MAIN_INFO);
    EXPECT_EQ(info.rfind("RTC Time Updated; time write not recorded in the mark store: ", 0), 0u)
        << info;
    EXPECT_FALSE(sim_.ValueWrites(kRtcAddress).empty()) << "the time was set all the same";
    EXPECT_EQ(FileBytes(), damaged);
}

// Mark now refuses a disconnected board and touches no store; on the Registers page only a
// write that touches the time or its write guard is recorded.
TEST_F(MarkNowWindowTest, MarkNowRefusesADisconnectedBoardAndOnlyTimeWritesAreRecorded) {
    StartConnected();
    SetWindowTextA(PageItem(kRegistersTab, IDC_REG_ADDRESS_FIRST), "07");  // RAM
    SetWindowTextA(PageItem(kRegistersTab, IDC_REG_DATA_FIRST), "5A");
    ClickPage(kRegistersTab, IDC_REG_SEND_FIRST);
    EXPECT_EQ(GetFileAttributesA(store_.c_str()), INVALID_FILE_ATTRIBUTES) << "no event for RAM";
    SetWindowTextA(PageItem(kRegistersTab, IDC_REG_ADDRESS_FIRST), "01");  // minutes
    SetWindowTextA(PageItem(kRegistersTab, IDC_REG_DATA_FIRST), "30");
    ClickPage(kRegistersTab, IDC_REG_SEND_FIRST);
    const marks::MarkStore store = Stored();
    ASSERT_EQ(store.events.size(), 1u);
    EXPECT_EQ(store.events[0].what, "Kalendo reg write 0x01 0x30");

    DeleteFileA(store_.c_str());
    Click(IDC_MAIN_CONNECT);  // disconnect
    ClickCheck(IDC_CHECK_MARK_NOW);
    EXPECT_FALSE(app_->CheckWindow().Running());
    EXPECT_EQ(CheckText(IDC_CHECK_STATE), "WARNING: Mark not taken, RTC not connected");
    EXPECT_EQ(CheckText(IDC_CHECK_AGING), "Connect the board to see its marks");
    EXPECT_EQ(GetFileAttributesA(store_.c_str()), INVALID_FILE_ATTRIBUTES);
}

// Disconnect while a mark is taken: the click returns at once, the mark ends at its next poll
// without a mark stored, and the Disconnect follows on the end notice.
TEST_F(MarkNowWindowTest, DisconnectEndsAMarkWithoutStoringIt) {
    StartConnected();
    app_->CheckWindow().SetMarkSeconds(30);
    ClickCheck(IDC_CHECK_MARK_NOW);
    ASSERT_TRUE(app_->CheckWindow().Running()) << CheckText(IDC_CHECK_STATE);
    ASSERT_TRUE(PumpUntil([&] {
        return CheckText(IDC_CHECK_STATE).rfind("Taking a mark: mark: ", 0) == 0;
    })) << CheckText(IDC_CHECK_STATE);
    const ULONGLONG began = GetTickCount64();
    Click(IDC_MAIN_CONNECT);
    EXPECT_LT(GetTickCount64() - began, 1000u) << "Disconnect returns at once";
    EXPECT_TRUE(BoardConnected) << "until the mark has ended";
    EXPECT_EQ(Text(IDC_MAIN_INFO),
              "Data Sheet Check ending: Disconnect follows once the mark has stopped");
    ASSERT_TRUE(PumpUntil([&] { return !BoardConnected; }));
    EXPECT_LT(GetTickCount64() - began, 10000u);
    EXPECT_EQ(CheckText(IDC_CHECK_STATE), "Ended by Disconnect; no mark taken");
    EXPECT_EQ(CurrentCheckHold(), CheckHold::None);
    EXPECT_TRUE(Stored().marks.empty());
}

// The NTP server field measures the reference: a mark's, and the check's at each end of its
// accuracy run (a responder of the test's own, 5 ms ahead of the system clock). A server that
// does not answer stops the check before it changes anything on the board.
TEST_F(MarkNowWindowTest, TheNtpFieldMeasuresTheReferenceOfAMarkAndOfTheCheck) {
    constexpr int64_t kAheadNanos = 5000000;
    ntp::testing::NtpTestResponder server([](const ntp::NtpPacket& request, int64_t received) {
        return std::vector<ntp::testing::Datagram>{
            ntp::testing::Bytes(ntp::testing::ServerAnswer(request, received, kAheadNanos))};
    });
    const std::string name = "127.0.0.1:" + std::to_string(server.Port());
    StartConnected();
    SetDlgItemTextA(check_, IDC_CHECK_NTP, name.c_str());

    ASSERT_EQ(MarkNow().rfind("Mark taken: RTC ", 0), 0u) << CheckText(IDC_CHECK_STATE);
    EXPECT_NE(CheckText(IDC_CHECK_STATE).find("reference ntp " + name + ", "), std::string::npos)
        << CheckText(IDC_CHECK_STATE);
    const marks::MarkStore store = Stored();
    ASSERT_EQ(store.marks.size(), 1u);
    const marks::MarkReference& r = store.marks[0].reference;
    EXPECT_EQ(r.source, marks::ReferenceSource::Ntp);
    // The loopback's round trip depends on the machine's load; the bound holds whatever it is.
    EXPECT_NEAR(r.offsetSeconds, 0.005, r.errorSeconds);

    const int requestsBefore = server.Requests();
    StartCheck("1", true);
    ASSERT_TRUE(PumpUntil([&] { return app_->CheckWindow().Snapshot().points.size() >= 3; }))
        << CheckText(IDC_CHECK_STATE);
    const int requestsAtStart = server.Requests();
    ClickCheck(IDC_CHECK_CANCEL);
    ASSERT_TRUE(PumpUntil([&] { return Finished(); }));
    const CheckSnapshot s = app_->CheckWindow().Snapshot();
    EXPECT_GT(requestsAtStart, requestsBefore);
    EXPECT_GT(server.Requests(), requestsAtStart) << "asked again at the run's end";
    EXPECT_EQ(s.referenceWhy.rfind("at the start: NTP server " + name, 0), 0u) << s.referenceWhy;
    EXPECT_NE(s.referenceWhy.find("; at the end: NTP server " + name), std::string::npos)
        << s.referenceWhy;
    EXPECT_TRUE(s.result.drift.accuracy.valid) << s.result.drift.accuracy.error;
    EXPECT_NE(CheckText(IDC_CHECK_PPM_DETAIL).find("NTP server " + name), std::string::npos)
        << CheckText(IDC_CHECK_PPM_DETAIL);
    // The report names the measured reference and carries the board's marks.
    char folder[MAX_PATH] = {};
    GetTempPathA(sizeof folder, folder);
    const std::string report = std::string(folder) + "kalendo-window-marks-report.html";
    ASSERT_TRUE(app_->CheckWindow().SaveReport(report)) << CheckText(IDC_CHECK_STATE);
    std::ifstream in(report, std::ios::binary);
    const std::string html((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    in.close();
    DeleteFileA(report.c_str());
    EXPECT_NE(html.find("at the start: NTP server " + name), std::string::npos);
    EXPECT_EQ(html.find("assumed within +-10.0 ms"), std::string::npos);
    EXPECT_NE(html.find("<h2>Long-term marks</h2>"), std::string::npos);
    EXPECT_NE(html.find("aria-label=\"RTC minus reference at each mark\""), std::string::npos);

    ntp::testing::NtpTestResponder silent(
        [](const ntp::NtpPacket&, int64_t) { return std::vector<ntp::testing::Datagram>{}; });
    const std::string silentName = "127.0.0.1:" + std::to_string(silent.Port());
    SetDlgItemTextA(check_, IDC_CHECK_NTP, silentName.c_str());
    sim_.ClearRegisterWrites();
    StartCheck(kShortMinutes, false);
    ASSERT_TRUE(PumpUntil([&] { return Finished(); }));
    EXPECT_EQ(CheckText(IDC_CHECK_STATE).rfind("ERROR: Data Sheet Check not started: ", 0), 0u)
        << CheckText(IDC_CHECK_STATE);
    EXPECT_NE(CheckText(IDC_CHECK_STATE).find(silentName), std::string::npos);
    EXPECT_GT(silent.Requests(), 0);
    EXPECT_TRUE(sim_.ValueWrites(kPowerMonitorAddress).empty()) << "the supply was never touched";
    EXPECT_TRUE(app_->CheckWindow().Snapshot().steps.empty());
    EXPECT_EQ(CurrentCheckHold(), CheckHold::None);
}

}  // namespace
}  // namespace kalendo
