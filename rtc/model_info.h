// The data sheet of one RTC model as the model-information file gives it, and the process-wide
// model table that the Information page shows.
#pragma once

#include <array>
#include <string>

namespace kalendo {

constexpr int kModelFieldCount = 12;
constexpr int kModelTableSize = 3;

// Field order of a record in the file, which is also the order of the Information page's values.
enum ModelField : int {
    kModelName = 0,
    kModelInterface = 1,
    kModelFrequencyTolerance = 2,
    kModelMonthlyDeviation = 3,
    kModelOperatingTempRange = 4,
    kModelTypicalCurrent = 5,  // at 3 V
    kModelVclk = 6,
    kModelSupplyVoltage = 7,
    kModelCalendarFormat = 8,
    kModelTimeFormat = 9,
    kModelPackageType = 10,
    kModelPackageSize = 11,
};

struct ModelInfo {
    std::array<std::string, kModelFieldCount> fields;  // stored as read, untrimmed
};

using ModelTableArray = std::array<ModelInfo, kModelTableSize>;

// Record i belongs to entry i of the main window's model choice; all fields empty at start.
ModelTableArray& ModelTable();

}  // namespace kalendo
