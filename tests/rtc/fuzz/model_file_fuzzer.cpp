// Fuzzes the model-file parser and compares it with a plain walk over every declared record
// (bounded here so each input stays fast): keeping only three records must not change them.
#include <cstddef>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>

#include "rtc/model_file.h"

namespace {

constexpr int32_t kLongestReferenceWalk = 64;

// Every declared record walked, as a reader without the early stop would do it.
bool ReferenceParse(const std::string& input, int32_t& count, kalendo::ModelTableArray& kept) {
    std::istringstream in(input);
    count = 0;
    if (!(in >> count)) return false;
    std::string text;
    char c;
    while (in.get(c)) text.push_back(c);  // the skipped character stays at position 0
    size_t position = 1;
    for (int32_t r = 0; r < count; ++r) {
        for (int f = 0; f < kalendo::kModelFieldCount; ++f) {
            const size_t start = position > text.size() ? text.size() : position;
            const size_t comma = text.find(',', start);
            const std::string field = text.substr(start, comma - start);
            position = comma + 1;  // no comma: npos + 1 wraps to the start
            if (r < kalendo::kModelTableSize) kept[r].fields[f] = field;
        }
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const char* text = reinterpret_cast<const char*>(data);
    const kalendo::ModelFileContents parsed = kalendo::ParseModelText(text, size);
    if (parsed.keptCount < 0 || parsed.keptCount > kalendo::kModelTableSize) std::abort();
    for (int32_t r = parsed.keptCount; r < kalendo::kModelTableSize; ++r) {
        for (const std::string& field : parsed.records[r].fields) {
            if (!field.empty()) std::abort();
        }
    }

    // The stream refuses counts beyond 32 bits that the parser saturates; those and long walks
    // are left out of the comparison.
    int32_t count = 0;
    kalendo::ModelTableArray reference;
    std::istringstream probe(std::string(text, size));
    int64_t wide = 0;
    if (!(probe >> wide)) {
        // 0 means no digits at all (an overflow gives the extreme values instead).
        if (wide == 0 && (parsed.declaredCount != 0 || parsed.keptCount != 0)) std::abort();
        return 0;
    }
    if (wide > kLongestReferenceWalk || wide < INT32_MIN) return 0;
    if (!ReferenceParse(std::string(text, size), count, reference)) std::abort();
    if (parsed.declaredCount != count) std::abort();
    for (int32_t r = 0; r < parsed.keptCount; ++r) {
        if (parsed.records[r].fields != reference[r].fields) std::abort();
    }
    return 0;
}
