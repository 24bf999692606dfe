// printf-style formatting into a string of exactly the needed length.
#pragma once

#include <string>

#if defined(__GNUC__)
#define KALENDO_PRINTF_FORMAT(fmt, args) __attribute__((format(printf, fmt, args)))
#else
#define KALENDO_PRINTF_FORMAT(fmt, args)
#endif

namespace kalendo {

std::string FormatText(const char* format, ...) KALENDO_PRINTF_FORMAT(1, 2);

}  // namespace kalendo
