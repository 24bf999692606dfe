// The two accuracy rows from the run's mean offset: Frequency Tolerance, judged only where the
// board stayed at the figure's temperature, and Monthly Deviation, the same offset over the data
// sheets' 30-day month, which reads as the tolerance does whenever its figure is the tolerance
// over that month.
#pragma once

#include "check/accuracy_measurement.h"
#include "check/datasheet_check.h"
#include "check/model_figures.h"

namespace kalendo::check {

// The board's temperature during the run, as the power monitor read it.
struct BoardTemperatures {
    int readings = 0;
    double minCelsius = NAN, maxCelsius = NAN;
};

void FillAccuracyRows(const AccuracyResult& a, const BoardTemperatures& t, const ModelFigures& f,
                      CheckRow* tolerance, CheckRow* monthly);

// Without the reference at the run's end the mean rate has no bound: both rows "not measured:
// <why> at the accuracy run's end", undecided.
void LeaveAccuracyRowsUnmeasured(const std::string& why, CheckResult* result);

}  // namespace kalendo::check
