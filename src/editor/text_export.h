#pragma once
// The parameter text file: every writable parameter of a data file with its current value, one
// line each, grouped, for reading or printing. Written only; never read back.
#include <cstdint>
#include <string>
#include <vector>

namespace korvane {

class CDataFile;
struct DriveRecord;

enum class TextEncoding {
    kLatin1,  // one byte per character: every character fitted
    kUtf8,    // with a byte-order mark: some character did not fit in one byte
};

const char* TextEncodingName(TextEncoding encoding);

struct EncodedText {
    std::vector<std::uint8_t> bytes;
    TextEncoding encoding = TextEncoding::kLatin1;
};

// The whole file as UTF-8 text with CR LF line ends. `drive` decides the title line: a station
// record gives the online title, an offline record the offline one. Online, a value that was
// not read from the drive is left blank.
std::string ParameterText(const CDataFile& dataFile, const DriveRecord& drive);
// How many lines of that file have their value left blank because it was not read.
int UnreadValueCount(const CDataFile& dataFile, const DriveRecord& drive);

// One byte per character when all fit; otherwise the whole text as UTF-8 behind a BOM, so a
// data file with Japanese names can still be exported.
EncodedText EncodeParameterText(const std::string& utf8);

// Builds, encodes and saves the file through a temporary file, so a failure leaves any earlier
// file untouched. False with `error` set on failure.
[[nodiscard]] bool SaveParameterText(const std::string& path, const CDataFile& dataFile,
                                     const DriveRecord& drive, EncodedText* written = nullptr,
                                     std::string* error = nullptr);

}  // namespace korvane
