#pragma once
// printf-style formatting into std::string: the program's texts are printf formats.
#include <cstdarg>
#include <string>

namespace korvane {

// MinGW's printf checks follow Microsoft's runtime; the program formats with the C99 one
// (__USE_MINGW_ANSI_STDIO), so %zu and %lld are checked as GNU's.
#if defined(__MINGW32__)
#define KORVANE_PRINTF_FORMAT gnu_printf
#else
#define KORVANE_PRINTF_FORMAT printf
#endif
std::string strprintf(const char* fmt, ...) __attribute__((format(KORVANE_PRINTF_FORMAT, 1, 2)));
std::string vstrprintf(const char* fmt, va_list args);

}  // namespace korvane
