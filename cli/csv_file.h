// A CSV file written as a long run goes, each row flushed, so a run cut short keeps what it saw.
#pragma once

#include <cstddef>
#include <cstdio>
#include <string>
#include <utility>

namespace kalendo::cli {

class CsvFile {
  public:
    CsvFile(std::string name, std::string header)
        : name_(std::move(name)), header_(std::move(header)) {}
    ~CsvFile() {
        if (file_) std::fclose(file_);
    }
    CsvFile(const CsvFile&) = delete;
    CsvFile& operator=(const CsvFile&) = delete;

    // Creates the file with its header line; false when it cannot be written.
    bool Create();
    // One line, its line feed included.
    void Add(const std::string& line);
    // False when a row or the closing failed.
    bool Close();
    size_t rows() const { return rows_; }
    const std::string& name() const { return name_; }

  private:
    bool Write(const std::string& text);

    std::string name_;
    std::string header_;
    std::FILE* file_ = nullptr;
    bool ok_ = true;
    size_t rows_ = 0;
};

}  // namespace kalendo::cli
