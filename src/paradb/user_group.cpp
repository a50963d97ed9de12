#include "paradb/user_group.h"

#include "common/file_path.h"
#include "common/format.h"
#include "common/translation.h"
#include "paradb/archive.h"
#include "paradb/data_file.h"
#include "paradb/drive_value_text.h"

namespace korvane {

std::unique_ptr<UserGroup> UserGroup::CreateNew(CDataFile& dataFile, const std::string& path) {
    auto group = std::make_unique<UserGroup>();
    group->newFlag = 1;
    group->dataFile = &dataFile;
    group->seriesCode = dataFile.seriesCode;
    group->version = dataFile.version;
    group->path = path;
    group->title = UserGroupTitle(path);
    return group;
}

UserGroupEntry& UserGroup::AddEntry(std::uint32_t address, std::uint32_t value) {
    auto entry = std::make_unique<UserGroupEntry>();
    entry->dataFile = dataFile;
    entry->custom = this;
    entry->address = address;
    entry->value = value;
    entries.push_back(std::move(entry));
    modified = 1;
    return *entries.back();
}

void UserGroup::RemoveEntry(std::size_t index) {
    if (index >= entries.size()) return;
    entries.erase(entries.begin() + static_cast<std::ptrdiff_t>(index));
    modified = 1;
}

void UserGroup::Store(ArchiveWriter& ar) const {
    ar.WriteDword(kMagic);
    ar.WriteDword(static_cast<std::uint32_t>(seriesCode));
    ar.WriteDword(static_cast<std::uint32_t>(version));
    ar.WriteCount(static_cast<std::uint32_t>(entries.size()));
    for (const auto& e : entries) {
        ar.WriteDword(e->address);
        ar.WriteDword(e->value);
    }
}

void UserGroup::Load(ArchiveReader& ar) {
    if (ar.ReadDword() != kMagic) {
        throw ArchiveError(ArchiveError::Kind::kBadIndex, "not a user group file");
    }
    seriesCode = static_cast<int>(ar.ReadDword());
    version = static_cast<int>(ar.ReadDword());
    std::uint32_t n = ar.ReadCount();
    ar.RequireRecords(n, 2 * sizeof(std::uint32_t));
    // Each entry is an object of its own (editors hold it), and its pointer may be moved into a
    // growing list once more.
    ar.ChargeMemory(n, sizeof(UserGroupEntry) + kHeapOverhead + 2 * sizeof(entries.front()));
    entries.reserve(entries.size() + n);
    for (std::uint32_t i = 0; i < n; ++i) {
        auto entry = std::make_unique<UserGroupEntry>();
        entry->address = ar.ReadDword();
        entry->value = ar.ReadDword();
        entries.push_back(std::move(entry));
    }
}

void UserGroup::Bind(CDataFile& file) {
    dataFile = &file;
    // One pass over the data file and one over the entries: a group of many unknown entries
    // must not cost a search of the data file, or a shift of the list, per entry.
    std::vector<bool> known(0x10000, false);
    if (file.groups) {
        for (const CGroup& g : file.groups->elements)
            for (const CItem& item : g.items) known[item.address] = true;
    }
    std::erase_if(entries, [&](const std::unique_ptr<UserGroupEntry>& e) {
        return e->address > 0xFFFF || !known[e->address];
    });
    for (auto& e : entries) {
        e->dataFile = &file;
        e->custom = this;
    }
}

std::string UserGroupTitle(const std::string& path) {
    return Utf8FromPath(PathFromUtf8(path).stem());
}

std::string UserGroupMismatchText(const UserGroup& group, const CDataFile& dataFile) {
    if (group.seriesCode != dataFile.seriesCode) return Tr(kUserGroupSeriesMismatchText);
    if (group.version != dataFile.version) return Tr(kUserGroupVersionMismatchText);
    return {};
}

FileReadResult ReadUserGroupFile(const std::string& path, UserGroup& group) {
    std::vector<std::uint8_t> bytes;
    if (!ReadWholeFile(path, bytes))
        return {FileReadOutcome::kFailed, Tr(kUserGroupOpenFailedText), {}};
    UserGroup read;
    try {
        ArchiveReader ar(bytes);
        read.Load(ar);
    } catch (const ArchiveError& e) {
        return {FileReadOutcome::kFailed, Tr(kUserGroupOpenFailedText), ArchiveErrorText(e, path)};
    }
    group.seriesCode = read.seriesCode;
    group.version = read.version;
    for (auto& e : read.entries) group.entries.push_back(std::move(e));
    return {};
}

bool SaveUserGroupFile(const std::string& path, const UserGroup& group, std::string* error) {
    ArchiveWriter ar;
    group.Store(ar);
    return SafeSaveFile(path, ar.bytes(), error);
}

OpenedUserGroup OpenUserGroupFile(const std::string& path, CDataFile& dataFile) {
    auto group = std::make_unique<UserGroup>();
    FileReadResult read = ReadUserGroupFile(path, *group);
    if (!read.ok()) return {nullptr, std::move(read)};
    std::string mismatch = UserGroupMismatchText(*group, dataFile);
    if (!mismatch.empty()) return {nullptr, {FileReadOutcome::kMismatch, std::move(mismatch), {}}};
    group->Bind(dataFile);
    group->path = path;
    group->title = UserGroupTitle(path);
    group->newFlag = 0;
    group->modified = 0;
    return {std::move(group), {}};
}

UserGroupCounter& UserGroupCounter::Process() {
    static UserGroupCounter counter;
    return counter;
}

std::string NewUserGroupPath(const std::string& dir, const std::string& seriesName,
                             const std::string& versionText,
                             const std::function<bool(const std::string&)>& isOpen,
                             UserGroupCounter& counter) {
    for (;;) {
        std::string path = strprintf("%s/custom_%s_v%s_%d.usr", dir.c_str(), seriesName.c_str(),
                                     versionText.c_str(), counter.take());
        if (!isOpen || !isOpen(path)) return path;
    }
}

std::string NewUserGroupPath(const std::string& dir, const DriveRecord& drive,
                             const std::function<bool(const std::string&)>& isOpen,
                             UserGroupCounter& counter) {
    return NewUserGroupPath(dir, FormatDriveValue(drive, 0x0000, 0),
                            FormatDriveValue(drive, 0x0003, 0), isOpen, counter);
}

}  // namespace korvane
