#pragma once
// A user group (".usr"): a user-chosen list of parameters with values, shown as an extra group
// in the parameter editor.
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "paradb/para_array.h"

namespace korvane {

struct DriveRecord;
class ArchiveReader;
class ArchiveWriter;
class UserGroup;
class CDataFile;

inline constexpr const char* kUserGroupOpenFailedText = "ユーザグループ名を開くことができません";
inline constexpr const char* kUserGroupSeriesMismatchText =
    "ユーザグループファイルのインバータモデルは、パラメータエディタのインバータモデルと異なっていま"
    "す";
inline constexpr const char* kUserGroupVersionMismatchText =
    "ユーザグループファイルのインバータバージョンは、パラメータエディタに対するインバータバージョン"
    "に"
    "対して異なっています";

struct UserGroupEntry {
    CDataFile* dataFile = nullptr;
    UserGroup* custom = nullptr;
    std::uint32_t address = 0;
    std::uint32_t value = 0;
    std::uint32_t state = 0;  // 0 not read, 1 read from the drive, 2 the drive answered an error
};

class UserGroup {
public:
    static constexpr std::uint32_t kMagic = 0x3F6A;

    // A group made in this run: not saved yet, belonging to `dataFile`.
    static std::unique_ptr<UserGroup> CreateNew(CDataFile& dataFile, const std::string& path);

    UserGroupEntry& AddEntry(std::uint32_t address, std::uint32_t value);
    void RemoveEntry(std::size_t index);

    void Store(ArchiveWriter& ar) const;
    // Throws ArchiveError for a file that is not a user group or is cut short.
    void Load(ArchiveReader& ar);

    // Gives every entry its data file and group, and drops the entries whose address the data
    // file does not know (an address above 0xFFFF is never one of its parameters).
    void Bind(CDataFile& file);

    int modified = 0;
    int newFlag = 0;
    CDataFile* dataFile = nullptr;
    int seriesCode = 0;
    int version = 0;
    std::string path;
    std::string title;
    std::vector<std::unique_ptr<UserGroupEntry>> entries;
};

// The title a user group shows: its file name without directory and extension.
std::string UserGroupTitle(const std::string& path);

// The message for a group read from a file of another model or version than `dataFile`, or an
// empty text when it fits.
std::string UserGroupMismatchText(const UserGroup& group, const CDataFile& dataFile);

// Reads a group file. Failures carry kUserGroupOpenFailedText.
[[nodiscard]] FileReadResult ReadUserGroupFile(const std::string& path, UserGroup& group);
[[nodiscard]] bool SaveUserGroupFile(const std::string& path, const UserGroup& group,
                                     std::string* error = nullptr);

// A group file read, checked and bound, or why not.
struct OpenedUserGroup {
    std::unique_ptr<UserGroup> group;  // null when the file cannot be used
    FileReadResult result;
};

// Reads, checks and binds a group file for the editor of `dataFile`. A group of another model
// or version is refused with its mismatch message.
[[nodiscard]] OpenedUserGroup OpenUserGroupFile(const std::string& path, CDataFile& dataFile);

// Numbers the default names of new user groups: 1, 2, 3 ... over the whole run.
class UserGroupCounter {
public:
    int take() { return next_++; }
    static UserGroupCounter& Process();

private:
    std::atomic<int> next_{1};
};

// "<dir>/custom_<series>_v<version>_<n>.usr" with the next counter value whose path `isOpen`
// does not report as the path of a group already open.
std::string NewUserGroupPath(const std::string& dir, const std::string& seriesName,
                             const std::string& versionText,
                             const std::function<bool(const std::string&)>& isOpen,
                             UserGroupCounter& counter = UserGroupCounter::Process());
// The same with the series name and version text of the editor's drive.
std::string NewUserGroupPath(const std::string& dir, const DriveRecord& drive,
                             const std::function<bool(const std::string&)>& isOpen,
                             UserGroupCounter& counter = UserGroupCounter::Process());

}  // namespace korvane
