// Reading rtc_model_info.txt: a record count, one character that is skipped, then records of
// twelve comma-ended fields with no other separator. A field that finds no further comma runs to
// the end of the text and the next field restarts at the skipped character, so a short file
// gives repeated or shifted text instead of failing. Only the first three records are kept.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

#include "rtc/model_info.h"

namespace kalendo {

constexpr const char* kModelInfoFileName = "rtc_model_info.txt";

struct ModelFileContents {
    int32_t declaredCount = 0;  // the file's count; 0 when it has none
    int32_t keptCount = 0;      // records parsed and kept: the count limited to 0-3
    ModelTableArray records;    // the first keptCount are filled
};

// Parses the file's text as the readers see it (line breaks already single line feeds). Stops
// after the kept records, so any declared count costs at most three records' work.
ModelFileContents ParseModelText(const char* text, size_t size);

struct ModelNamesResult {
    bool fileOpened = false;
    int32_t declaredCount = 0;  // for "Reading information for %d models"
};

// Fills the model names and count for the main window's model choice. A missing file leaves the
// names as they are and the count 0; otherwise the count is the declared one limited to 0-3
// and names 0 to count-1 are replaced.
ModelNamesResult LoadModelNames(std::array<std::string, kModelTableSize>& names,
                                int32_t& modelCount, const char* path = kModelInfoFileName);

// Replaces the records the file supplies (at most three) in `table`; the others, and the whole
// table when the file cannot be opened, keep their contents. Returns whether the file opened.
bool ReadModelInfo(ModelTableArray& table, const char* path = kModelInfoFileName);

// ReadModelInfo into the process-wide ModelTable from the current directory's file.
bool ReadModelInfo();

}  // namespace kalendo
