#include "editor/text_export.h"

#include "common/format.h"
#include "common/text.h"
#include "paradb/archive.h"
#include "paradb/data_file.h"
#include "paradb/drive_record.h"
#include "paradb/drive_value_text.h"
#include "paradb/value_codec.h"

namespace korvane {
namespace {

constexpr const char* kLineEnd = "\r\n";
constexpr std::size_t kNameWidth = 20;
constexpr std::size_t kValueWidth = 15;

std::string TitleLine(const DriveRecord& drive) {
    const std::string series = FormatDriveValue(drive, 0x0000, 0);
    const std::string version = FormatDriveValue(drive, 0x0003, 0);
    if (!drive.isOnline()) return strprintf("OFF-LINE %s Ver%s", series.c_str(), version.c_str());
    const std::string capacity = FormatDriveValue(drive, 0x0001, 0);
    return strprintf("ON-LINE %d : %s (%s) Ver%s", drive.station, series.c_str(), capacity.c_str(),
                     version.c_str());
}

// A drive's value that was not read is left blank: a file headed ON-LINE must hold nothing the
// drive did not say. Offline, every value is the file's or the data file's own.
bool LeftBlank(const CItem& item, const DriveRecord& drive) {
    return drive.isOnline() && item.readState != 1;
}

std::string ItemLine(const CItem& item, const DriveRecord& drive) {
    const std::string value = LeftBlank(item, drive) ? "" : FormatValue(item, item.value, true);
    return strprintf("%d = ", item.address & 0xFF) + PadRightChars(item.displayName, kNameWidth) +
           ", " + PadRightChars(value, kValueWidth) + ", " + GetUnitText(item) + kLineEnd;
}

// Decodes one UTF-8 sequence at `i`; invalid bytes count as U+FFFD so they never fit a byte.
char32_t NextCodePoint(const std::string& s, std::size_t& i) {
    const auto c = static_cast<unsigned char>(s[i++]);
    if (c < 0x80) return c;
    int extra = c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : c >= 0xC0 ? 1 : -1;
    if (extra < 0) return 0xFFFD;
    char32_t cp = c & (0x3F >> extra);
    for (int k = 0; k < extra; ++k) {
        if (i >= s.size() || (static_cast<unsigned char>(s[i]) & 0xC0) != 0x80) return 0xFFFD;
        cp = (cp << 6) | (static_cast<unsigned char>(s[i++]) & 0x3F);
    }
    return cp;
}

}  // namespace

const char* TextEncodingName(TextEncoding encoding) {
    return encoding == TextEncoding::kLatin1 ? "latin-1" : "utf-8";
}

std::string ParameterText(const CDataFile& dataFile, const DriveRecord& drive) {
    std::string text = TitleLine(drive) + kLineEnd + kLineEnd;
    if (!dataFile.groups) return text;
    for (const CGroup& group : dataFile.groups->elements) {
        text += "[" + group.name + "]" + kLineEnd;
        for (const CItem& item : group.items) {
            if (item.writable != 0) text += ItemLine(item, drive);
        }
        text += kLineEnd;
    }
    return text;
}

int UnreadValueCount(const CDataFile& dataFile, const DriveRecord& drive) {
    int count = 0;
    if (!dataFile.groups) return count;
    for (const CGroup& group : dataFile.groups->elements)
        for (const CItem& item : group.items)
            if (item.writable != 0 && LeftBlank(item, drive)) ++count;
    return count;
}

EncodedText EncodeParameterText(const std::string& utf8) {
    EncodedText out;
    out.bytes.reserve(utf8.size());
    for (std::size_t i = 0; i < utf8.size();) {
        const char32_t cp = NextCodePoint(utf8, i);
        if (cp > 0xFF) {
            out.encoding = TextEncoding::kUtf8;
            out.bytes.assign({0xEF, 0xBB, 0xBF});
            out.bytes.insert(out.bytes.end(), utf8.begin(), utf8.end());
            return out;
        }
        out.bytes.push_back(static_cast<std::uint8_t>(cp));
    }
    return out;
}

bool SaveParameterText(const std::string& path, const CDataFile& dataFile, const DriveRecord& drive,
                       EncodedText* written, std::string* error) {
    EncodedText encoded = EncodeParameterText(ParameterText(dataFile, drive));
    if (!SafeSaveFile(path, encoded.bytes, error)) return false;
    if (written) *written = std::move(encoded);
    return true;
}

}  // namespace korvane
