#include <windows.h>

#include "common/codepage.h"
#include "common/wide_text.h"

namespace korvane {
namespace {

constexpr UINT kCodePage932 = 932;

// Bytes in one code page 932 character starting at `at`: two for a lead byte with a byte after
// it, else one.
std::size_t characterBytes(std::string_view bytes, std::size_t at) {
    const auto lead = static_cast<BYTE>(bytes[at]);
    return IsDBCSLeadByteEx(kCodePage932, lead) && at + 1 < bytes.size() ? 2 : 1;
}

}  // namespace

std::string DecodeCp932(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size() * 3);
    std::size_t at = 0;
    while (at < bytes.size()) {
        // Whole runs at once; a run the system refuses is taken apart one character at a time,
        // so that one bad byte costs only itself.
        const std::size_t run = bytes.size() - at;
        std::wstring wide(run, L'\0');
        const int n =
            MultiByteToWideChar(kCodePage932, MB_ERR_INVALID_CHARS, bytes.data() + at,
                                static_cast<int>(run), wide.data(), static_cast<int>(wide.size()));
        if (n > 0) {
            wide.resize(static_cast<std::size_t>(n));
            out += Utf8FromWide(wide);
            break;
        }
        const std::size_t length = characterBytes(bytes, at);
        wchar_t one[2];
        const int m = MultiByteToWideChar(kCodePage932, MB_ERR_INVALID_CHARS, bytes.data() + at,
                                          static_cast<int>(length), one, 2);
        if (m > 0) {
            out += Utf8FromWide(std::wstring_view(one, static_cast<std::size_t>(m)));
            at += length;
        } else {
            AppendLatin1AsUtf8(out, static_cast<unsigned char>(bytes[at]));
            ++at;
        }
    }
    return out;
}

}  // namespace korvane
