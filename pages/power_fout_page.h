// The Power and FOUT tab: sets the RTC's supply voltage, shows the averaged power measurements,
// logs them to a file on request, and chooses and switches the RTC's FOUT output.
#pragma once

#include <cstdint>
#include <string>

#include "app/tab_page.h"
#include "power/data_log.h"
#include "power/power_monitor.h"

namespace kalendo {

class PowerFoutPage : public TabPage {
  public:
    PowerFoutPage();

    void Reserved() override {}
    void Reset() override;
    void OnShow() override;
    void OnHide() override { pageVisible_ = false; }
    int KindCode() const override { return 6; }
    int DialogId() const override;
    const char* Caption() const override { return "Power and FOUT"; }
    const char* TabTip() const override { return "Power Module and FOUT Settings"; }
    INT_PTR HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

    const DataLogger& Logger() const { return logger_; }

  private:
    void InitDialog();
    void ShowBatteryRows();
    void ShowSupplySetting();
    // Puts the setting and all three supply controls at tenths.
    void ShowSupplySetting(int32_t tenths);
    void MeasureTick();
    void StartSettling();
    void SettleTick();
    void ApplySetting();
    void DropPendingSupplyChange();
    void SetFoutFrequency();
    void ToggleFout();
    void ToggleLogging();
    void SetAveraging();
    DataLogRecord ShownRecord() const;
    void ReportLogFailure(LogWriteResult result, const std::string& fileName);

    int32_t supplyTenths_[1] = {35};  // updated in place by TrackUpDown and TrackTrackbar
    bool pageVisible_ = false;
    bool settlePending_ = false;
    int32_t lastSeenTenths_ = -1;
    int32_t appliedTenths_ = 35;  // the supply the monitor was last set to by this page
    int foutIndex_ = 0;           // the FOUT frequency the chip was last set to by this page
    bool cycleFailed_ = false;    // a reading of the running cycle did not reach the monitor
    PowerMonitor monitor_;
    DataLogger logger_;
};

}  // namespace kalendo
