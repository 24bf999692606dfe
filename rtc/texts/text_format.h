// printf-style formatting into a string of exactly the needed length.
#pragma once

#include <cstdarg>
#include <string>

#if defined(__GNUC__)
#define KALENDO_PRINTF_FORMAT(fmt, args) __attribute__((format(printf, fmt, args)))
#else
#define KALENDO_PRINTF_FORMAT(fmt, args)
#endif

namespace kalendo {

std::string FormatText(const char* format, ...) KALENDO_PRINTF_FORMAT(1, 2);
// The same from a va_list, which the caller still ends. False, and text empty, when the C
// library cannot format it.
bool FormatTextList(const char* format, va_list args, std::string* text)
    KALENDO_PRINTF_FORMAT(1, 0);

}  // namespace kalendo
