#pragma once
// Paths as text: what separates a path's parts on the system the program runs on.
#include <string_view>

namespace korvane {

// '/' everywhere; Windows takes '\' as well.
#ifdef _WIN32
inline constexpr std::string_view kPathSeparators = "/\\";
#else
inline constexpr std::string_view kPathSeparators = "/";
#endif

}  // namespace korvane
