// The file side of data logging: one comma-separated text file per logging run, holding the
// power values exactly as the Power and FOUT page shows them. The file is opened and closed for
// every write, so it is complete on disk after each line; every write says whether it got there.
#pragma once

#include <string>

#include "power/local_time.h"

namespace kalendo {

// The texts of the page's value fields at the moment of a write. The battery fields are not
// logged while the TQ5200 is chosen.
struct DataLogRecord {
    std::string vddVoltage;
    std::string vddCurrent;
    std::string batteryVoltage;
    std::string batteryCurrent;
    std::string temperature;
};

enum class LogWriteResult {
    Written,       // the line is on disk
    NotLogging,    // an append while logging is off: nothing to write to
    CannotCreate,  // no new log file could be created in the folder
    CannotOpen,    // the log file could not be opened for appending
    WriteFailed,   // opened, but writing or closing it failed (disk full, I/O error)
};

// Each field holds at most this many characters of its value field's text.
constexpr size_t kLogFieldWidth = 7;

// "datalog_MMDDYYYY_hhmmss.txt", no directory part.
std::string DataLogFileName(const LocalTime& start);

// The lines of the file, each ending in a carriage return and line feed.
std::string DataLogTitleLine(const LocalTime& start);
std::string DataLogColumnLine(bool tq5200);
std::string DataLogRecordLine(const DataLogRecord& record, bool tq5200);

class DataLogger {
  public:
    // Creates a new log file named from `start` in `folder` (empty: the current directory),
    // never replacing an existing one: when the name is taken (two starts within one second),
    // "_2", "_3", ... go before ".txt". Writes the title, column and first record lines. Logging
    // is on only when all of it reached the disk. logFileName() then includes the folder.
    LogWriteResult StartLogging(const LocalTime& start, bool tq5200, const DataLogRecord& shown,
                                const std::string& folder = std::string());

    // Appends one record line; a failure leaves logging on, so the next cycle tries again.
    LogWriteResult AppendLogRecord(const DataLogRecord& shown);

    // Appends a last record line and turns logging off, whatever the write's outcome.
    LogWriteResult StopLogging(const DataLogRecord& shown);

    // Logging off without writing anything (the page's Reset).
    void Reset() { logging_ = false; }

    bool logging() const { return logging_; }
    const std::string& logFileName() const { return logFileName_; }  // kept after stopping

  private:
    bool logging_ = false;
    bool tq5200_ = false;
    std::string logFileName_;
};

}  // namespace kalendo
