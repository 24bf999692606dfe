#include "rtc/texts/register_input.h"

namespace kalendo {

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

}  // namespace

bool ParseRegisterByte(const std::string& text, uint8_t* value) {
    size_t begin = 0;
    size_t end = text.size();
    while (begin < end && IsBlank(text[begin])) {
        ++begin;
    }
    while (end > begin && IsBlank(text[end - 1])) {
        --end;
    }
    if (end - begin >= 2 && text[begin] == '0' &&
        (text[begin + 1] == 'x' || text[begin + 1] == 'X')) {
        begin += 2;
    }
    if (begin == end) {
        return false;
    }
    unsigned parsed = 0;
    for (size_t i = begin; i < end; ++i) {
        const int digit = HexDigit(text[i]);
        if (digit < 0) {
            return false;
        }
        parsed = parsed * 16 + static_cast<unsigned>(digit);
        // Stops before it can overflow: leading zeros keep it small, anything else is too big.
        if (parsed > 0xFF) {
            return false;
        }
    }
    *value = static_cast<uint8_t>(parsed);
    return true;
}

}  // namespace kalendo
