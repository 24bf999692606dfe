// A failure recorded during an action's bus work turns its success text into an error, even when
// something cleared the sticky status before the action reported.
#include "app/bus_action_report.h"
#include "bridge/bridge_state.h"
#include "resources/resource_ids.h"
#include "tests/ui/ui_fixture.h"

namespace kalendo {
namespace {

using BusActionReportTest = MainWindowTest;

TEST_F(BusActionReportTest, ShowsSuccessOnlyWhenNoFailureWasRecordedSinceTheActionBegan) {
    Start();
    Bridge().BusStatus = 1;  // left over from an earlier action: not this action's failure
    {
        BusActionReport report;
        EXPECT_EQ(Bridge().BusStatus, 0);
        EXPECT_TRUE(report.Report(main_, "RTC Time Updated", "RTC Time not updated, bus error"));
        EXPECT_EQ(Text(IDC_MAIN_INFO), "RTC Time Updated");
    }
    {
        BusActionReport report;
        Bridge().BusStatus = 4;
        EXPECT_FALSE(report.Collect());
        Bridge().BusStatus = 0;  // a refresh step consumed it in between
        EXPECT_FALSE(report.Report(main_, "RTC Time Updated", "RTC Time not updated, bus error"));
        EXPECT_EQ(Text(IDC_MAIN_INFO), "ERROR: RTC Time not updated, bus error");
        EXPECT_EQ(report.FirstFailure(), 4);
    }
}

}  // namespace
}  // namespace kalendo
