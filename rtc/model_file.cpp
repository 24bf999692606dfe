#include "rtc/model_file.h"

#include <algorithm>
#include <cstdio>
#include <limits>
#include <string_view>

namespace kalendo {

namespace {

bool IsFormattedSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// A formatted integer read: leading white space, an optional sign, digits. A count beyond the
// 32-bit range saturates. `end` is where the number stopped; false when there are no digits.
bool ReadCount(std::string_view text, int32_t& count, size_t& end) {
    size_t i = 0;
    while (i < text.size() && IsFormattedSpace(text[i])) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    const size_t firstDigit = i;
    int64_t magnitude = 0;
    constexpr int64_t kLimit = int64_t{std::numeric_limits<int32_t>::max()} + 1;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9') {
        magnitude = std::min(kLimit, magnitude * 10 + (text[i] - '0'));
        ++i;
    }
    if (i == firstDigit) return false;
    const int64_t value = negative ? -magnitude : magnitude;
    count = static_cast<int32_t>(std::clamp<int64_t>(value, std::numeric_limits<int32_t>::min(),
                                                     std::numeric_limits<int32_t>::max()));
    end = i;
    return true;
}

// Walks the text after the count field by field. Position 0 is the skipped character, so
// reading starts at 1; a field without a following comma takes the rest of the text and sends
// the walk back to position 0.
class FieldWalker {
  public:
    explicit FieldWalker(std::string_view text) : text_(text) {}

    std::string_view Next() {
        const size_t start = std::min(position_, text_.size());
        const size_t comma = text_.find(',', start);
        if (comma == std::string_view::npos) {
            position_ = 0;
            return text_.substr(start);
        }
        position_ = comma + 1;
        return text_.substr(start, comma - start);
    }

  private:
    std::string_view text_;
    size_t position_ = 1;
};

// The whole file, with each carriage return + line feed pair read as one line feed, as a
// text-mode read on Windows gives it; doing it here keeps every platform's result the same.
bool ReadModelFileText(const char* path, std::string& text) {
    std::FILE* file = std::fopen(path, "rb");
    if (file == nullptr) return false;
    std::string raw;
    char chunk[4096];
    size_t got = 0;
    while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0) raw.append(chunk, got);
    std::fclose(file);
    text.clear();
    text.reserve(raw.size());
    for (size_t i = 0; i < raw.size(); ++i) {
        if (raw[i] == '\r' && i + 1 < raw.size() && raw[i + 1] == '\n') continue;
        text.push_back(raw[i]);
    }
    return true;
}

}  // namespace

ModelFileContents ParseModelText(const char* text, size_t size) {
    ModelFileContents contents;
    const std::string_view all(text, size);
    size_t end = 0;
    if (!ReadCount(all, contents.declaredCount, end)) return contents;
    contents.keptCount = std::clamp<int32_t>(contents.declaredCount, 0, kModelTableSize);

    // Records after the third are never kept and cannot change the ones before, so the walk ends
    // there whatever count the file declares.
    FieldWalker walker(all.substr(end));
    for (int32_t r = 0; r < contents.keptCount; ++r) {
        for (std::string& field : contents.records[r].fields) field = std::string(walker.Next());
    }
    return contents;
}

ModelNamesResult LoadModelNames(std::array<std::string, kModelTableSize>& names,
                                int32_t& modelCount, const char* path) {
    ModelNamesResult result;
    modelCount = 0;
    std::string text;
    if (!ReadModelFileText(path, text)) return result;
    const ModelFileContents contents = ParseModelText(text.data(), text.size());
    result.fileOpened = true;
    result.declaredCount = contents.declaredCount;
    for (int32_t r = 0; r < contents.keptCount; ++r) names[r] = contents.records[r].fields[0];
    modelCount = contents.keptCount;
    return result;
}

bool ReadModelInfo(ModelTableArray& table, const char* path) {
    std::string text;
    if (!ReadModelFileText(path, text)) return false;
    const ModelFileContents contents = ParseModelText(text.data(), text.size());
    for (int32_t r = 0; r < contents.keptCount; ++r) table[r] = contents.records[r];
    return true;
}

bool ReadModelInfo() {
    return ReadModelInfo(ModelTable());
}

}  // namespace kalendo
