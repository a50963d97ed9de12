#pragma once
// Text conversions at the edges of the program. Inside, every text is UTF-8; files bring
// UTF-16LE or 8-bit Japanese (code page 932) strings, and report columns count characters.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace korvane {

// Unpaired surrogates become U+FFFD rather than failing the whole string: a damaged name in a
// data file should still show the rest of the file.
std::string Utf16ToUtf8(std::u16string_view text);
// Invalid UTF-8 bytes become U+FFFD.
std::u16string Utf8ToUtf16(std::string_view text);

// The text with every invalid UTF-8 byte replaced by U+FFFD, as Utf8ToUtf16 reads it; for texts
// that arrive as bytes (command-line arguments) and go into files that must be valid UTF-8.
std::string ValidUtf8(std::string_view text);

// Decodes 8-bit text as Windows code page 932. A byte sequence that is not valid there is taken
// as Latin-1, one byte per character, so nothing is dropped.
std::string Cp932ToUtf8(std::string_view bytes);

// Removes leading and trailing white space, including the ideographic space U+3000 and
// no-break space that Japanese texts carry.
std::string TrimWhitespace(std::string_view text);

// The text with A-Z lowered and every other byte as it was: for file extensions and keys,
// where the locale's notion of case must not touch the bytes of a UTF-8 character.
std::string AsciiLower(std::string_view text);

// Number of characters (code points) in UTF-8 text; widths such as %-20s count these.
std::size_t Utf8CharCount(std::string_view text);
// Pads with spaces on the right to at least `width` characters (never truncates).
std::string PadRightChars(std::string_view text, std::size_t width);
// Pads with spaces on the left to at least `width` characters.
std::string PadLeftChars(std::string_view text, std::size_t width);

}  // namespace korvane
