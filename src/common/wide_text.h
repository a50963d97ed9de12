#pragma once
// Texts and paths at the Win32 boundary: UTF-8 inside the program, UTF-16 for the system, so
// that a Japanese folder name reaches the file system as it is. Windows only.
#include <string>
#include <string_view>

namespace korvane {

// Invalid UTF-8 becomes U+FFFD.
std::wstring WideFromUtf8(std::string_view utf8);
// Unpaired surrogates become U+FFFD.
std::string Utf8FromWide(std::wstring_view wide);

// The system's text for a Win32 error code (GetLastError()), without the trailing line break.
std::string SystemErrorText(unsigned long code);

}  // namespace korvane
