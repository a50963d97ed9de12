#include "paradb/archive.h"

#include <cstring>

#include "common/file_read.h"
#include "common/format.h"
#include "common/text.h"
#include "common/translation.h"

namespace korvane {
namespace {

constexpr std::uint8_t kLengthEscape = 0xFF;
constexpr std::uint16_t kWideMarker = 0xFFFE;
constexpr std::uint16_t kLongLength = 0xFFFF;

}  // namespace

std::string ArchiveErrorText(const ArchiveError& error, const std::string& path) {
    switch (error.kind()) {
        case ArchiveError::Kind::kBadIndex:
            return strprintf(Tr("%s\nファイルの形式が正しくありません。"), path.c_str());
        case ArchiveError::Kind::kEndOfFile:
        case ArchiveError::Kind::kBadLength:
            return strprintf(Tr("%s\nファイルの終わりを越えて読み込もうとしました。"),
                             path.c_str());
        case ArchiveError::Kind::kBadString:
            break;
    }
    return strprintf(Tr("%s\nファイルを読み込めません。"), path.c_str());
}

// ---- reading ----

const std::uint8_t* ArchiveReader::take(std::size_t n) {
    if (n > remaining()) {
        throw ArchiveError(ArchiveError::Kind::kEndOfFile,
                           strprintf("file ends at offset %zu, %zu more bytes expected",
                                     bytes_.size(), n - remaining()));
    }
    const std::uint8_t* p = bytes_.data() + pos_;
    pos_ += n;
    return p;
}

std::uint8_t ArchiveReader::ReadByte() {
    return *take(1);
}

std::uint16_t ArchiveReader::ReadWord() {
    const std::uint8_t* p = take(2);
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

std::uint32_t ArchiveReader::ReadDword() {
    const std::uint8_t* p = take(4);
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

std::int16_t ArchiveReader::ReadShort() {
    return static_cast<std::int16_t>(ReadWord());
}
std::int32_t ArchiveReader::ReadLong() {
    return static_cast<std::int32_t>(ReadDword());
}

double ArchiveReader::ReadDouble() {
    std::uint64_t low = ReadDword();
    std::uint64_t high = ReadDword();
    std::uint64_t bits = low | (high << 32);
    double v;
    std::memcpy(&v, &bits, sizeof v);
    return v;
}

std::uint32_t ArchiveReader::readLength() {
    std::uint8_t b = ReadByte();
    if (b < kLengthEscape) return b;
    std::uint16_t w = ReadWord();
    if (w == kWideMarker) {
        throw ArchiveError(ArchiveError::Kind::kBadString,
                           strprintf("repeated string marker at offset %zu", pos_ - 3));
    }
    if (w < kWideMarker) return w;
    return ReadDword();
}

std::string ArchiveReader::ReadString() {
    std::size_t start = pos_;
    bool wide = false;
    std::uint32_t length;
    std::uint8_t b = ReadByte();
    if (b < kLengthEscape) {
        length = b;
    } else {
        std::uint16_t w = ReadWord();
        if (w == kWideMarker) {
            wide = true;
            length = readLength();
        } else if (w < kWideMarker) {
            length = w;
        } else {
            length = ReadDword();
        }
    }
    std::uint64_t byteCount = static_cast<std::uint64_t>(length) * (wide ? 2 : 1);
    if (byteCount > remaining()) {
        throw ArchiveError(ArchiveError::Kind::kBadLength,
                           strprintf("string at offset %zu claims %u characters, only %zu bytes "
                                     "are left",
                                     start, length, remaining()));
    }
    const std::uint8_t* p = take(static_cast<std::size_t>(byteCount));
    if (!wide) return Cp932ToUtf8(std::string_view(reinterpret_cast<const char*>(p), length));
    std::u16string units(length, u'\0');
    for (std::uint32_t i = 0; i < length; ++i) {
        units[i] = static_cast<char16_t>(p[2 * i] | (p[2 * i + 1] << 8));
    }
    return Utf16ToUtf8(units);
}

std::uint32_t ArchiveReader::ReadCount() {
    std::uint16_t w = ReadWord();
    if (w != 0xFFFF) return w;
    return ReadDword();
}

void ArchiveReader::RequireRecords(std::uint64_t count, std::size_t minRecordBytes) const {
    // count * minRecordBytes cannot overflow: count is at most 2^32 and record sizes are small.
    if (count * minRecordBytes > remaining()) {
        throw ArchiveError(ArchiveError::Kind::kBadLength,
                           strprintf("count %llu at offset %zu needs more than the %zu bytes left",
                                     static_cast<unsigned long long>(count), pos_, remaining()));
    }
}

void ArchiveReader::ChargeMemory(std::uint64_t count, std::size_t bytesEach) {
    // count is at most 2^32 and bytesEach small: the product cannot overflow.
    const std::uint64_t bytes = count * bytesEach;
    if (bytes > memoryLeft_) {
        throw ArchiveError(ArchiveError::Kind::kBadLength,
                           strprintf("count %llu at offset %zu would need %llu bytes of memory, "
                                     "more than a file of %zu bytes may",
                                     static_cast<unsigned long long>(count), pos_,
                                     static_cast<unsigned long long>(bytes), bytes_.size()));
    }
    memoryLeft_ -= bytes;
}

// ---- writing ----

void ArchiveWriter::WriteByte(std::uint8_t v) {
    bytes_.push_back(v);
}

void ArchiveWriter::WriteWord(std::uint16_t v) {
    bytes_.push_back(static_cast<std::uint8_t>(v));
    bytes_.push_back(static_cast<std::uint8_t>(v >> 8));
}

void ArchiveWriter::WriteDword(std::uint32_t v) {
    WriteWord(static_cast<std::uint16_t>(v));
    WriteWord(static_cast<std::uint16_t>(v >> 16));
}

void ArchiveWriter::WriteShort(std::int16_t v) {
    WriteWord(static_cast<std::uint16_t>(v));
}
void ArchiveWriter::WriteLong(std::int32_t v) {
    WriteDword(static_cast<std::uint32_t>(v));
}

void ArchiveWriter::WriteDouble(double v) {
    std::uint64_t bits;
    std::memcpy(&bits, &v, sizeof bits);
    WriteDword(static_cast<std::uint32_t>(bits));
    WriteDword(static_cast<std::uint32_t>(bits >> 32));
}

void ArchiveWriter::writeLength(std::uint64_t length) {
    if (length > 0xFFFFFFFFu) throw std::length_error("string too long for an archive");
    if (length < kLengthEscape) {
        WriteByte(static_cast<std::uint8_t>(length));
    } else if (length < kWideMarker) {
        WriteByte(kLengthEscape);
        WriteWord(static_cast<std::uint16_t>(length));
    } else {
        WriteByte(kLengthEscape);
        WriteWord(kLongLength);
        WriteDword(static_cast<std::uint32_t>(length));
    }
}

void ArchiveWriter::WriteString(std::string_view utf8) {
    std::u16string units = Utf8ToUtf16(utf8);
    WriteByte(kLengthEscape);
    WriteWord(kWideMarker);
    writeLength(units.size());
    for (char16_t c : units) WriteWord(static_cast<std::uint16_t>(c));
}

void ArchiveWriter::WriteString8(std::string_view bytes) {
    writeLength(bytes.size());
    bytes_.insert(bytes_.end(), bytes.begin(), bytes.end());
}

void ArchiveWriter::WriteCount(std::uint32_t count) {
    if (count < 0xFFFF) {
        WriteWord(static_cast<std::uint16_t>(count));
    } else {
        WriteWord(0xFFFF);
        WriteDword(count);
    }
}

// ---- files ----

bool ReadWholeFile(const std::string& path, std::vector<std::uint8_t>& out, std::string* error,
                   std::size_t maxBytes) {
    return ReadRegularFile(path, out, maxBytes, error);
}

}  // namespace korvane
