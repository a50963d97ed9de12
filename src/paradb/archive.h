#pragma once
// Little-endian stream primitives shared by every binary file the program reads or writes:
// data files, parameter sets, user groups and the alarm history.
//
// Every length and count in a file is untrusted. A reader never allocates what a file claims;
// it first checks that the bytes are there, and a claim beyond the end is an ArchiveError.
#include <cstddef>
#include <cstdint>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "common/file_write.h"

namespace korvane {

class ArchiveError : public std::runtime_error {
public:
    enum class Kind {
        kEndOfFile,  // a fixed-size field runs past the end
        kBadLength,  // a string length or record count claims more than is left
        kBadIndex,   // a magic number or tag that does not belong to this kind of file
        kBadString,  // a string prefix that no writer produces
    };
    ArchiveError(Kind kind, const std::string& what) : std::runtime_error(what), kind_(kind) {}
    Kind kind() const { return kind_; }

private:
    Kind kind_;
};

// The text shown when reading `path` failed inside its archive.
std::string ArchiveErrorText(const ArchiveError& error, const std::string& path);

class ArchiveReader {
public:
    explicit ArchiveReader(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}

    std::uint8_t ReadByte();
    std::uint16_t ReadWord();
    std::uint32_t ReadDword();
    std::int16_t ReadShort();
    std::int32_t ReadLong();
    double ReadDouble();
    // A length-prefixed string in either form (8-bit code page 932, or the 0xFF 0xFFFE marker
    // followed by UTF-16LE), returned as UTF-8 and not trimmed.
    std::string ReadString();
    // 16-bit count, or 0xFFFF followed by a 32-bit count.
    std::uint32_t ReadCount();

    // Throws kBadLength unless `count` records of at least `minRecordBytes` each can still fit;
    // callers check before reserving or looping so that a forged count costs nothing.
    void RequireRecords(std::uint64_t count, std::size_t minRecordBytes) const;

    // What reading one file may allocate: an allowance every honest file fits in, plus a few
    // bytes of memory per byte of file. RequireRecords keeps a count honest about the bytes;
    // this keeps the bytes honest about memory, since a one-byte empty text becomes a 32-byte
    // string and a five-byte empty group a list node of a hundred.
    static constexpr std::uint64_t kMemoryAllowance = std::uint64_t{32} << 20;
    static constexpr std::uint64_t kMemoryPerFileByte = 4;
    // Throws kBadLength unless `count` objects of `bytesEach` bytes in memory still fit in this
    // file's allowance, and takes them from it. Called before the objects are made.
    void ChargeMemory(std::uint64_t count, std::size_t bytesEach);

    std::size_t offset() const { return pos_; }
    std::size_t remaining() const { return bytes_.size() - pos_; }
    bool atEnd() const { return pos_ == bytes_.size(); }

private:
    const std::uint8_t* take(std::size_t n);
    std::uint32_t readLength();

    std::span<const std::uint8_t> bytes_;
    std::size_t pos_ = 0;
    std::uint64_t memoryLeft_ = kMemoryAllowance + kMemoryPerFileByte * bytes_.size();
};

// What one heap allocation costs beyond its own bytes, for ChargeMemory.
constexpr std::size_t kHeapOverhead = 16;

class ArchiveWriter {
public:
    void WriteByte(std::uint8_t v);
    void WriteWord(std::uint16_t v);
    void WriteDword(std::uint32_t v);
    void WriteShort(std::int16_t v);
    void WriteLong(std::int32_t v);
    void WriteDouble(double v);
    // Always the UTF-16 marker form, so any text survives a round trip.
    void WriteString(std::string_view utf8);
    // The 8-bit form with the bytes as given; only for files that must carry it.
    void WriteString8(std::string_view bytes);
    void WriteCount(std::uint32_t count);

    const std::vector<std::uint8_t>& bytes() const { return bytes_; }
    std::vector<std::uint8_t> take() { return std::move(bytes_); }

private:
    void writeLength(std::uint64_t length);

    std::vector<std::uint8_t> bytes_;
};

// Files larger than this are not data files of ours; refusing them keeps a stray multi-gigabyte
// file from being pulled into memory.
constexpr std::size_t kMaxArchiveFileBytes = 64u * 1024u * 1024u;

// Reads a whole file. False (with `error` set) if it cannot be opened or read, or is larger
// than `maxBytes`.
[[nodiscard]] bool ReadWholeFile(const std::string& path, std::vector<std::uint8_t>& out,
                                 std::string* error = nullptr,
                                 std::size_t maxBytes = kMaxArchiveFileBytes);

}  // namespace korvane
