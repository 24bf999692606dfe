#include "cli/csv_file.h"

namespace kalendo::cli {

bool CsvFile::Create() {
    file_ = std::fopen(name_.c_str(), "wb");
    return Write(header_);
}

void CsvFile::Add(const std::string& line) {
    if (Write(line)) ++rows_;
}

bool CsvFile::Close() {
    const bool closed = file_ && std::fclose(file_) == 0;
    file_ = nullptr;
    return closed && ok_;
}

bool CsvFile::Write(const std::string& text) {
    ok_ = ok_ && file_ && std::fwrite(text.data(), 1, text.size(), file_) == text.size() &&
          std::fflush(file_) == 0;
    return ok_;
}

}  // namespace kalendo::cli
