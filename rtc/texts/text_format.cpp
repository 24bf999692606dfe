#include "rtc/texts/text_format.h"

#include <cstdarg>
#include <cstdio>

namespace kalendo {

bool FormatTextList(const char* format, va_list args, std::string* text) {
    text->clear();
    // Measures on a copy, since vsnprintf consumes the arguments it reads.
    va_list measure;
    va_copy(measure, args);
    const int length = std::vsnprintf(nullptr, 0, format, measure);
    va_end(measure);
    if (length < 0) return false;
    if (length > 0) {
        text->resize(static_cast<size_t>(length) + 1);
        std::vsnprintf(&(*text)[0], text->size(), format, args);
        text->resize(static_cast<size_t>(length));
    }
    return true;
}

std::string FormatText(const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::string text;
    FormatTextList(format, args, &text);
    va_end(args);
    return text;
}

}  // namespace kalendo
