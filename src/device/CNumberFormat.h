// printf-style formatting with C rules (a decimal point, no digit grouping) whatever locale
// the process or the calling thread has: meters, files and logs always read numbers that way.
#pragma once

#include <cstdarg>
#include <cstddef>
#include <string>

namespace qtm {

// std::snprintf in the C locale.
int SnprintfC(char* buffer, std::size_t size, const char* format, ...)
    __attribute__((format(printf, 3, 4)));

// The whole formatted text in the C locale, however long.
std::string FormatC(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string VFormatC(const char* format, va_list args);

}  // namespace qtm
