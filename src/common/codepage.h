#pragma once
// The system's code page 932 decoder behind Cp932ToUtf8: iconv on POSIX, MultiByteToWideChar
// on Windows.
#include <string>
#include <string_view>

namespace korvane {

// UTF-8 for 8-bit Japanese text. A byte that does not start a valid character there is taken
// as Latin-1, one byte per character, and decoding goes on after it.
std::string DecodeCp932(std::string_view bytes);

// For a decoder's Latin-1 fallback.
void AppendLatin1AsUtf8(std::string& out, unsigned char byte);

}  // namespace korvane
