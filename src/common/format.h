#pragma once
// printf-style formatting into std::string: the program's texts are printf formats.
#include <cstdarg>
#include <string>

namespace korvane {

std::string strprintf(const char* fmt, ...) __attribute__((format(printf, 1, 2)));
std::string vstrprintf(const char* fmt, va_list args);

}  // namespace korvane
