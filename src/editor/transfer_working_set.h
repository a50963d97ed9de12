#pragma once
// What a transfer run goes through: the entries of the chosen file (or, for an upload into a
// parameter set, of the data file) and, for a user group, the group they belong to. Building
// it reads the file and may ask about a user group of another version; running it is
// TransferRun's.
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "editor/transfer_path.h"

namespace korvane {

class CDataFile;
class Prompter;
class UserGroup;
enum class TransferMode;

struct TransferEntry {
    std::uint32_t address = 0;
    std::uint32_t fileValue = 0;  // as loaded; never overwritten by a read
    bool done = false;            // read or written in this run
    bool reported = false;
};

struct TransferWorkingSet {
    TransferWorkingSet();
    TransferWorkingSet(TransferWorkingSet&&) noexcept;
    TransferWorkingSet& operator=(TransferWorkingSet&&) noexcept;
    ~TransferWorkingSet();

    std::vector<TransferEntry> entries;
    // A user group's entries, in the order of `entries`. Entries the data file does not know
    // are kept: an upload stores the group back whole.
    std::unique_ptr<UserGroup> group;
};

struct WorkingSetSource {
    TransferMode mode;
    TransferFileKind kind;
    std::string path;
    int seriesCode = 0;
    int version = 0;
    CDataFile* dataFile = nullptr;  // the drive's, kept alive by the run
};

// Asks a yes/no question; the answer may never come (the run ended meanwhile).
using WorkingSetQuestion =
    std::function<void(const std::string& text, std::function<void(bool yes)> answer)>;
// nullopt: the file cannot be used, and the user has been told why (or said not to go on).
using WorkingSetBuilt = std::function<void(std::optional<TransferWorkingSet> set)>;

// Ends in `built`, at once or once the question about a user group of another version has been
// answered. A file that cannot be read shows one message through `prompter`.
void BuildWorkingSet(const WorkingSetSource& source, Prompter& prompter,
                     const WorkingSetQuestion& ask, WorkingSetBuilt built);

}  // namespace korvane
