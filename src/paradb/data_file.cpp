#include "paradb/data_file.h"

#include <iterator>
#include <new>
#include <utility>

#include "common/file_path.h"
#include "common/text.h"
#include "common/translation.h"
#include "paradb/archive.h"
#include "paradb/data_catalogue.h"
#include "paradb/drive_record.h"

namespace korvane {
namespace {

// Smallest possible records, used to reject counts the rest of the file cannot hold.
constexpr std::size_t kMinTypeRecord = 4 + 4 + 4 + 1;
constexpr std::size_t kMinOptionListRecord = 1 + 4;
constexpr std::size_t kMinGroupRecord = 1 + 4;
constexpr std::size_t kMinItemRecord = 2 + 6 * 4 + 6;
constexpr std::size_t kMinString = 1;

std::string readKept(ArchiveReader& r) {
    return TrimWhitespace(r.ReadString());
}

// What a list node of `T` costs: the element, the node's two links and the allocation.
template <typename T>
constexpr std::size_t kListNodeBytes = sizeof(T) + 2 * sizeof(void*) + kHeapOverhead;
// A vector may hold twice its size while it grows.
constexpr std::size_t kTextSlotBytes = 2 * sizeof(std::string);

// A list count is signed in the files: anything below 1 is an empty list.
std::uint32_t readListCount(ArchiveReader& r, std::size_t minRecord, std::size_t memoryEach) {
    auto count = static_cast<std::int32_t>(r.ReadDword());
    if (count < 1) return 0;
    r.RequireRecords(static_cast<std::uint64_t>(count), minRecord);
    r.ChargeMemory(static_cast<std::uint64_t>(count), memoryEach);
    return static_cast<std::uint32_t>(count);
}

void readTypes(ArchiveReader& r, CTypeList& list) {
    std::uint32_t n = readListCount(r, kMinTypeRecord, kListNodeBytes<CType>);
    for (std::uint32_t i = 0; i < n; ++i) {
        CType& t = list.elements.emplace_back();
        t.name = readKept(r);
        (void)r.ReadString();
        (void)r.ReadString();
        t.unit = readKept(r);
        t.numerator = r.ReadDword();
        t.denominator = r.ReadDword();
        t.flags = r.ReadByte();
        t.numeratorD = static_cast<double>(t.numerator);
        t.denominatorD = static_cast<double>(t.denominator);
    }
}

void readOptionLists(ArchiveReader& r, MessageTableList& list) {
    std::uint32_t n = readListCount(r, kMinOptionListRecord, kListNodeBytes<MessageTable>);
    for (std::uint32_t i = 0; i < n; ++i) {
        MessageTable& m = list.elements.emplace_back();
        m.name = readKept(r);
        std::uint32_t texts = r.ReadDword();
        r.RequireRecords(texts, kMinString);
        r.ChargeMemory(texts, kTextSlotBytes);
        for (std::uint32_t k = 0; k < texts; ++k) m.texts.push_back(readKept(r));
    }
}

void readItems(ArchiveReader& r, CGroup& group) {
    std::uint32_t n = readListCount(r, kMinItemRecord, kListNodeBytes<CItem>);
    for (std::uint32_t i = 0; i < n; ++i) {
        CItem& item = group.items.emplace_back();
        item.address = r.ReadWord();
        item.placeholderFlag = r.ReadDword();
        item.writable = r.ReadDword();
        item.runWritable = r.ReadDword();
        item.minimum = r.ReadLong();
        item.maximum = r.ReadLong();
        item.defaultValue = r.ReadDword();
        item.name = readKept(r);
        item.typeName = readKept(r);
        item.optionListName = readKept(r);
        for (int k = 0; k < 3; ++k) (void)r.ReadString();
        item.displayName = item.name;
        item.value = item.defaultValue;
    }
}

void readGroups(ArchiveReader& r, CGroupList& list) {
    std::uint32_t n = readListCount(r, kMinGroupRecord, kListNodeBytes<CGroup>);
    for (std::uint32_t i = 0; i < n; ++i) {
        CGroup& g = list.elements.emplace_back();
        g.name = readKept(r);
        readItems(r, g);
    }
}

void replaceAll(std::string& text, const std::string& from, const std::string& to) {
    for (std::size_t pos = text.find(from); pos != std::string::npos;
         pos = text.find(from, pos + to.size())) {
        text.replace(pos, from.size(), to);
    }
}

template <typename List>
auto* elementAt(List* list, int index) {
    using Element = std::remove_reference_t<decltype(list->elements.front())>;
    if (!list || index < 0 || static_cast<std::size_t>(index) >= list->elements.size()) {
        return static_cast<Element*>(nullptr);
    }
    return &*std::next(list->elements.begin(), index);
}

}  // namespace

// ---- lists and items ----

const CType* CTypeList::Find(const std::string& name) const {
    for (const CType& t : elements) {
        if (t.name == name) return &t;
    }
    return nullptr;
}

CType* CTypeList::Find(const std::string& name) {
    return const_cast<CType*>(std::as_const(*this).Find(name));
}

const MessageTable* MessageTableList::Find(const std::string& name) const {
    for (const MessageTable& m : elements) {
        if (m.name == name) return &m;
    }
    return nullptr;
}

const DriveRecord* CItem::GetDrive() const {
    if (!group || !group->dataFile) return nullptr;
    return group->dataFile->drive;
}

const std::vector<std::string>* CItem::GetOptionTexts() const {
    return (isOption() && mess) ? &mess->texts : nullptr;
}

// ---- CDataFile ----

CDataFile::CDataFile() = default;
CDataFile::~CDataFile() = default;

void CDataFile::Clear() {
    groups.reset();
    messes.reset();
    types.reset();
    loaded = 0;
    drive = nullptr;
}

int CDataFile::fail(int statusCode) {
    Clear();
    status = statusCode;
    return 0;
}

const char* CDataFile::StatusText(int code) {
    switch (code) {
        case kDataFileOk:
            return Tr("ノーエラー");
        case kDataFileNoSeries:
            return Tr("このモデルをサポートしていません");
        case kDataFileNotFound:
            return Tr("データファイルを検出できません");
        case kDataFileWrongSeries:
            return Tr("データファイル内のモデル番号のエラー");
        case kDataFileWrongVersion:
            return Tr("このバージョンをサポートしていません");
        case kDataFileBadFormat:
            return Tr("このデータファイルフォーマットをサポートしていません");
        default:
            return Tr("このデータファイルを開くことができません");
    }
}

const char* CDataFile::GetStatusText() const {
    return StatusText(status);
}

int CDataFile::Load(const DriveRecord* record, const std::string& dataDir) {
    Clear();
    if (!record) return fail(kDataFileNoSeries);
    drive = record;
    seriesCode = record->seriesCode;
    version = record->version;
    if (DataFileSeriesName(seriesCode).empty()) return fail(kDataFileNoSeries);

    std::string path = DataFilePath(dataDir, seriesCode, version);
    if (!PathExists(path)) return fail(kDataFileNotFound);

    std::vector<std::uint8_t> bytes;
    if (!ReadWholeFile(path, bytes)) return fail(kDataFileUnreadable);
    return LoadFromBytes(record, bytes);
}

int CDataFile::LoadFromBytes(const DriveRecord* record, std::span<const std::uint8_t> bytes) {
    Clear();
    if (!record) return fail(kDataFileNoSeries);
    drive = record;
    seriesCode = record->seriesCode;
    version = record->version;
    types = std::make_unique<CTypeList>();
    messes = std::make_unique<MessageTableList>();
    groups = std::make_unique<CGroupList>();

    ArchiveReader r(bytes);
    std::string fileTitle;
    std::uint16_t fileSeries = 0;
    std::uint32_t fileVersion = 0;
    try {
        if (r.ReadString() != kDataFileSignature) return fail(kDataFileBadFormat);
        if (r.ReadWord() != kDataFileFormat) return fail(kDataFileBadFormat);
        fileTitle = readKept(r);
        fileSeries = r.ReadWord();
        for (int i = 0; i < 4; ++i) (void)r.ReadWord();
        fileVersion = r.ReadDword();
        readTypes(r, *types);
        readOptionLists(r, *messes);
        readGroups(r, *groups);
    } catch (const ArchiveError&) {
        return fail(kDataFileUnreadable);
    } catch (const std::bad_alloc&) {
        return fail(kDataFileUnreadable);
    }

    title = fileTitle;
    if (fileSeries != static_cast<std::uint32_t>(seriesCode)) return fail(kDataFileWrongSeries);
    if (fileVersion != static_cast<std::uint32_t>(version)) return fail(kDataFileWrongVersion);
    resolveItems();
    loaded = 1;
    status = kDataFileOk;
    return 1;
}

void CDataFile::resolveItems() {
    for (CGroup& g : groups->elements) {
        g.dataFile = this;
        for (CItem& item : g.items) {
            item.group = &g;
            item.optionFlag = 0;
            item.mess = nullptr;
            item.type = item.typeName.empty() ? nullptr : types->Find(item.typeName);
            if (item.typeName == "MSG" && !item.optionListName.empty()) {
                if (const MessageTable* m = messes->Find(item.optionListName)) {
                    item.optionFlag = kItemOptionFlag;
                    item.mess = m;
                    item.type = nullptr;
                }
            }
        }
    }
}

CItem* CDataFile::FindItem(std::uint16_t address) {
    return const_cast<CItem*>(std::as_const(*this).FindItem(address));
}

const CItem* CDataFile::FindItem(std::uint16_t address) const {
    if (!groups) return nullptr;
    for (const CGroup& g : groups->elements) {
        for (const CItem& item : g.items) {
            if (item.address == address) return &item;
        }
    }
    return nullptr;
}

CGroup* CDataFile::GetGroup(int index) {
    return elementAt(groups.get(), index);
}

const CGroup* CDataFile::GetGroup(int index) const {
    return elementAt(static_cast<const CGroupList*>(groups.get()), index);
}

CItem* CDataFile::GetItem(int groupIndex, int itemIndex) {
    return const_cast<CItem*>(std::as_const(*this).GetItem(groupIndex, itemIndex));
}

const CItem* CDataFile::GetItem(int groupIndex, int itemIndex) const {
    const CGroup* g = GetGroup(groupIndex);
    if (!g || itemIndex < 0 || static_cast<std::size_t>(itemIndex) >= g->items.size()) {
        return nullptr;
    }
    return &*std::next(g->items.begin(), itemIndex);
}

std::string CDataFile::GetGroupName(int index) const {
    const CGroup* g = GetGroup(index);
    return g ? g->name : std::string();
}

int CDataFile::GetGroupCount() const {
    return groups ? static_cast<int>(groups->elements.size()) : 0;
}

int CDataFile::GetGroupItemCount(int index) const {
    const CGroup* g = GetGroup(index);
    return g ? static_cast<int>(g->items.size()) : 0;
}

int CDataFile::GetTotalItemCount() const {
    int total = 0;
    if (groups) {
        for (const CGroup& g : groups->elements) total += static_cast<int>(g.items.size());
    }
    return total;
}

void CDataFile::SetSpeedMode(int newFrequencyMode, int newTime1Divisor) {
    frequencyMode = newFrequencyMode;
    time1Divisor = newTime1Divisor;
    const std::string word = (frequencyMode != 0 || seriesCode == 9) ? "Freq" : "Speed";
    if (groups) {
        for (CGroup& g : groups->elements) {
            for (CItem& item : g.items) {
                if (item.placeholderFlag == 0) continue;
                item.displayName = item.name;
                if (item.displayName.find("@@@@") != std::string::npos) {
                    replaceAll(item.displayName, "@@@@", word);
                } else {
                    replaceAll(item.displayName, "$$$$", word);
                }
            }
        }
    }
    // A zero or negative divisor would make every TIME1 value a division by zero; such a choice
    // keeps the type's current denominator.
    CType* time1 = types ? types->Find("TIME1") : nullptr;
    if (time1 && newTime1Divisor > 0) {
        time1->denominator = static_cast<std::uint32_t>(newTime1Divisor);
        time1->denominatorD = static_cast<double>(time1->denominator);
    }
}

}  // namespace korvane
