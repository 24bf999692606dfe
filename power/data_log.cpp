#include "power/data_log.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>

#if defined(_WIN32)
#include <io.h>
#else
#include <unistd.h>
#endif

#ifndef O_BINARY
#define O_BINARY 0
#endif

namespace kalendo {

namespace {

constexpr char kLineEnd[] = "\r\n";
constexpr int kMaxNameCounter = 999;

std::string LogField(const std::string& text) {
    return text.substr(0, kLogFieldWidth) + ",";
}

// Writes `text` and closes the file; true only when every byte was written and the close (which
// flushes) succeeded.
bool WriteAndClose(std::FILE* file, const std::string& text) {
    const bool written = std::fwrite(text.data(), 1, text.size(), file) == text.size();
    const bool closed = std::fclose(file) == 0;
    return written && closed;
}

std::string NumberedName(const std::string& name, int counter) {
    const size_t dot = name.rfind(".txt");
    return name.substr(0, dot) + "_" + std::to_string(counter) + name.substr(dot);
}

// Creates `name` only if it does not exist yet. Returns the open file, or null with errno set.
std::FILE* CreateNew(const std::string& name) {
    const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_BINARY, 0644);
    if (fd < 0) return nullptr;
    std::FILE* file = ::fdopen(fd, "wb");
    if (file == nullptr) ::close(fd);
    return file;
}

}  // namespace

std::string DataLogFileName(const LocalTime& start) {
    char name[96];
    std::snprintf(name, sizeof name, "datalog_%02d%02d%04d_%02d%02d%02d.txt", start.month,
                  start.day, start.year, start.hour, start.minute, start.second);
    return name;
}

std::string DataLogTitleLine(const LocalTime& start) {
    char stamp[96];
    std::snprintf(stamp, sizeof stamp, "Timestamp:%04d/%02d/%02d %02d:%02d:%02d", start.year,
                  start.month, start.day, start.hour, start.minute, start.second);
    return std::string("KalendoTool -- Data Log -- ") + stamp + "," + kLineEnd;
}

std::string DataLogColumnLine(bool tq5200) {
    return std::string(tq5200 ? "VDD Voltage,VDD Current,Temperature"
                              : "VDD Voltage,VDD Current,Battery Voltage,Battery Current,"
                                "Temperature") +
           kLineEnd;
}

std::string DataLogRecordLine(const DataLogRecord& record, bool tq5200) {
    std::string line = LogField(record.vddVoltage) + LogField(record.vddCurrent);
    if (!tq5200) line += LogField(record.batteryVoltage) + LogField(record.batteryCurrent);
    return line + LogField(record.temperature) + kLineEnd;
}

namespace {
#ifdef _WIN32
constexpr char kPathSeparator = '\\';
#else
constexpr char kPathSeparator = '/';
#endif
}  // namespace

LogWriteResult DataLogger::StartLogging(const LocalTime& start, bool tq5200,
                                        const DataLogRecord& shown, const std::string& folder) {
    logging_ = false;
    std::string baseName = DataLogFileName(start);
    if (!folder.empty()) {
        const char last = folder.back();
        baseName = (last == '/' || last == '\\' ? folder : folder + kPathSeparator) + baseName;
    }
    std::string name = baseName;
    std::FILE* file = CreateNew(name);
    for (int counter = 2; file == nullptr && errno == EEXIST && counter <= kMaxNameCounter;
         ++counter) {
        name = NumberedName(baseName, counter);
        file = CreateNew(name);
    }
    if (file == nullptr) return LogWriteResult::CannotCreate;

    logFileName_ = name;
    tq5200_ = tq5200;
    const std::string text =
        DataLogTitleLine(start) + DataLogColumnLine(tq5200) + DataLogRecordLine(shown, tq5200);
    if (!WriteAndClose(file, text)) return LogWriteResult::WriteFailed;
    logging_ = true;
    return LogWriteResult::Written;
}

LogWriteResult DataLogger::AppendLogRecord(const DataLogRecord& shown) {
    if (!logging_) return LogWriteResult::NotLogging;
    std::FILE* file = std::fopen(logFileName_.c_str(), "ab");
    if (file == nullptr) return LogWriteResult::CannotOpen;
    if (!WriteAndClose(file, DataLogRecordLine(shown, tq5200_))) return LogWriteResult::WriteFailed;
    return LogWriteResult::Written;
}

LogWriteResult DataLogger::StopLogging(const DataLogRecord& shown) {
    const LogWriteResult result = AppendLogRecord(shown);
    logging_ = false;
    return result;
}

}  // namespace kalendo
