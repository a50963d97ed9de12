#pragma once
// One drive's parameter data, loaded from its data file: display types, option lists, groups
// and items. Strings are UTF-8 here; the file holds UTF-16LE (or 8-bit) text.
#include <cstdint>
#include <list>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace korvane {

struct DriveRecord;
class CDataFile;
class CGroup;

constexpr std::uint8_t kTypeFlagHex = 2;
constexpr std::uint8_t kTypeFlagBinary = 4;
constexpr std::uint32_t kItemOptionFlag = 8;

class CType {
public:
    std::string name;
    std::string unit;
    std::uint32_t numerator = 1;
    std::uint32_t denominator = 1;
    std::uint8_t flags = 0;
    double numeratorD = 1.0;
    double denominatorD = 1.0;
};

class MessageTable {
public:
    std::string name;
    std::vector<std::string> texts;
};

class CItem {
public:
    // Stored fields.
    std::uint16_t address = 0;
    std::uint32_t placeholderFlag = 0;
    std::uint32_t writable = 0;
    std::uint32_t runWritable = 0;
    std::int32_t minimum = 0;
    std::int32_t maximum = 0;
    std::uint32_t defaultValue = 0;
    std::string name;
    std::string displayName;
    std::string typeName;
    std::string optionListName;
    // Run-time fields.
    std::uint32_t readState = 0;  // 0 not read, 1 read, 2 the drive answered with an error
    // An online editor took the value from a parameter file: the drive may hold another one
    // until the item is read or written again.
    bool fromFile = false;
    std::uint32_t value = 0;
    std::uint32_t optionFlag = 0;
    CGroup* group = nullptr;
    const CType* type = nullptr;         // the format when optionFlag is 0
    const MessageTable* mess = nullptr;  // the format when optionFlag has kItemOptionFlag

    bool hasFormat() const {
        return (optionFlag & kItemOptionFlag) ? mess != nullptr : type != nullptr;
    }
    bool isOption() const { return (optionFlag & kItemOptionFlag) != 0; }
    CGroup* GetGroup() const { return group; }
    const DriveRecord* GetDrive() const;
    const std::vector<std::string>* GetOptionTexts() const;
};

class CGroup {
public:
    std::string name;
    std::list<CItem> items;  // std::list: items keep their address while the editor holds them
    CDataFile* dataFile = nullptr;
};

class CTypeList {
public:
    std::list<CType> elements;
    const CType* Find(const std::string& name) const;
    CType* Find(const std::string& name);
};

class MessageTableList {
public:
    std::list<MessageTable> elements;
    const MessageTable* Find(const std::string& name) const;
};

// The signature and format number every data file starts with.
inline constexpr const char* kDataFileSignature = "ORVA - Korvane Data File Editor";
constexpr std::uint16_t kDataFileFormat = 0x0100;

class CGroupList {
public:
    std::list<CGroup> elements;
};

enum DataFileStatus : int {
    kDataFileOk = 0,
    kDataFileNoSeries = 1,
    kDataFileNotFound = 2,
    kDataFileWrongSeries = 3,
    kDataFileWrongVersion = 4,
    kDataFileBadFormat = 5,
    kDataFileUnreadable = 6,
};

class CDataFile {
public:
    CDataFile();
    ~CDataFile();
    CDataFile(const CDataFile&) = delete;
    CDataFile& operator=(const CDataFile&) = delete;

    // Loads <dataDir>/<Series>/<Series>_<VVVV>.dat for the drive's series and version.
    // Returns 1 on success, 0 with status set.
    [[nodiscard]] int Load(const DriveRecord* drive, const std::string& dataDir);
    // The same as Load once the file's bytes are at hand: the header and list checks, the
    // series and version tests against the drive and item resolution.
    [[nodiscard]] int LoadFromBytes(const DriveRecord* drive, std::span<const std::uint8_t> bytes);
    void Clear();
    const char* GetStatusText() const;
    static const char* StatusText(int status);

    CItem* FindItem(std::uint16_t address);
    const CItem* FindItem(std::uint16_t address) const;
    CGroup* GetGroup(int index);
    const CGroup* GetGroup(int index) const;
    CItem* GetItem(int groupIndex, int itemIndex);
    const CItem* GetItem(int groupIndex, int itemIndex) const;
    std::string GetGroupName(int index) const;
    int GetGroupCount() const;
    int GetGroupItemCount(int index) const;
    int GetTotalItemCount() const;
    // Rebuilds the display names of placeholder items ("@@@@", else "$$$$" becomes "Freq" or
    // "Speed") and sets the TIME1 type's denominator. A file without a TIME1 type keeps its
    // other types as they are.
    void SetSpeedMode(int frequencyMode, int time1Divisor);

    const DriveRecord* drive = nullptr;
    int loaded = 0;
    int status = kDataFileOk;
    std::string title;
    int seriesCode = 0;
    int version = 0;
    std::unique_ptr<CGroupList> groups;
    std::unique_ptr<MessageTableList> messes;
    std::unique_ptr<CTypeList> types;
    int frequencyMode = 1;
    int time1Divisor = 10;

private:
    int fail(int statusCode);
    void resolveItems();
};

}  // namespace korvane
