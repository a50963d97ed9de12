#pragma once
// A parameter set (".par"): the raw value of every parameter of one drive model and version.
#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "paradb/editor_texts.h"

namespace korvane {

class ArchiveReader;
class ArchiveWriter;
class CDataFile;

// The texts the mismatch messages need; an empty function means the built-in model tables.
struct ModelTexts {
    std::function<std::string(int seriesCode)> seriesName;
    std::function<std::string(int seriesCode, int version)> versionText;
};

// A parameter set of another model or version. Its text has been composed for the user; the
// read that raised it is abandoned without any further message.
class ParaMismatch : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class CParaArray {
public:
    static constexpr std::uint32_t kMagic = 0x3F2A;
    static constexpr const char* kTag = "ParaArray";

    CParaArray(int seriesCode, int version) : seriesCode(seriesCode), version(version) {}

    void Add(std::uint32_t address, std::uint32_t value);
    std::size_t GetSize() const { return addresses.size(); }

    void Store(ArchiveWriter& ar) const;
    // Throws ArchiveError for a file that is not a parameter set or is cut short, and
    // ParaMismatch (texts from `texts`) for one of another model or version, before any
    // parameter is taken.
    void Load(ArchiveReader& ar, const ModelTexts& texts = {});

    int seriesCode;
    int version;
    std::vector<std::uint32_t> addresses;
    std::vector<std::uint32_t> values;
};

// Every parameter of the data file, in group and item order, with its current value.
CParaArray BuildParaArray(const CDataFile& dataFile);

// Takes a parameter set's values into the items of `dataFile` with the same address and marks
// them read; addresses the data file lacks (or that no 16-bit word can hold) are skipped.
// Returns the number of values taken.
int ApplyParaArray(CDataFile& dataFile, const CParaArray& set);

enum class FileReadOutcome {
    kOk,
    kFailed,    // the file could not be read, or is not a file of its kind
    kMismatch,  // a file of another drive model or version
};

// How a read of a parameter set or user group ended. Readers only say; the caller shows `text`
// in one message.
struct FileReadResult {
    FileReadOutcome outcome = FileReadOutcome::kOk;
    // The one message for the user; empty when the read succeeded.
    std::string text;
    // A file that read but is not one of its kind: the archive's explanation, naming the file.
    // For a log or a diagnostics stream; the message box shows `text` only.
    std::string detail;

    bool ok() const { return outcome == FileReadOutcome::kOk; }
};

// Reads a parameter set into `set` (created with the editor's series and version). Nothing
// reaches `set` unless the whole file reads and fits. Failures carry kParaFileOpenFailedText,
// mismatches the model or version message.
[[nodiscard]] FileReadResult ReadParaFile(const std::string& path, CParaArray& set,
                                          const ModelTexts& texts = {});
// Whether `path` is a readable parameter set of the series and version that holds a value for
// any of `addresses`. Says nothing to anyone: a file that does not read is simply not one.
[[nodiscard]] bool ParaFileHoldsAnyOf(const std::string& path, int seriesCode, int version,
                                      const std::vector<std::uint32_t>& addresses);
[[nodiscard]] bool SaveParaFile(const std::string& path, const CParaArray& set,
                                std::string* error = nullptr);

}  // namespace korvane
