#include "paradb/data_file.h"

#include <gtest/gtest.h>

#include <functional>
#include <random>

#include "paradb/data_catalogue.h"
#include "paradb/data_file_writer.h"
#include "paradb/drive_record.h"
#include "paradb_test_util.h"

namespace korvane {
namespace {

using testing::Bytes;

constexpr int kSeries = 11;
constexpr int kVersion = 0x0310;

DataFileImage sampleImage() {
    DataFileImage image;
    image.title = "  Kapok 3.16 ";
    image.series = kSeries;
    image.version = kVersion;
    image.types = {{"FREQ3", " Hz ", 1, 100, 0}, {"TIME1", "sec", 1, 10, 0}, {"MSG", "", 1, 1, 0}};
    image.optionLists = {{"DIR", {" 正転 ", "逆転"}}};
    DataFileImage::Group basic{"基本", {}};
    basic.items.push_back({0x1201, 1, 1, 0, 0, 40000, 6000, "Max @@@@", "FREQ3", ""});
    basic.items.push_back({0x1202, 0, 1, 1, -100, 100, 0xFFFFFFFF, " Bias ", "FREQ3", ""});
    basic.items.push_back({0x1203, 0, 1, 0, 0, 1, 0, "Direction", "MSG", "DIR"});
    basic.items.push_back({0x1204, 0, 1, 0, 0, 1, 0, "Orphan", "MSG", "NOPE"});
    basic.items.push_back({0x1205, 0, 0, 0, 0, 9, 0, "Plain", "", ""});
    basic.items.push_back({0x1206, 0, 0, 0, 0, 9, 0, "Unknown type", "VOLT9", ""});
    DataFileImage::Group more{"More", {}};
    more.items.push_back({0x1301, 1, 1, 0, 0, 600, 50, "Accel $$$$ and @@@@", "TIME1", ""});
    more.items.push_back({0x1302, 1, 1, 0, 0, 600, 50, "$$$$ $$$$", "TIME1", ""});
    more.items.push_back({0x1201, 0, 1, 0, 0, 1, 0, "Second at 0x1201", "", ""});
    image.groups = {basic, more};
    return image;
}

DriveRecord drive(int series = kSeries, int version = kVersion) {
    DriveRecord r(3);
    r.seriesCode = series;
    r.version = version;
    return r;
}

TEST(DataFile, LoadEndsInTheStatusOfWhatIsWrong) {
    struct Case {
        const char* name;
        std::function<void(DataFileImage&)> edit;
        int driveSeries;
        int driveVersion;
        int status;
    } cases[] = {
        {"loads", nullptr, kSeries, kVersion, kDataFileOk},
        {"series without data files", nullptr, 3, kVersion, kDataFileNoSeries},
        {"series 12", nullptr, 12, kVersion, kDataFileNoSeries},
        {"no file for the version", nullptr, kSeries, 0x0311, kDataFileNotFound},
        {"series in file differs", [](auto& i) { i.series = 10; }, kSeries, kVersion,
         kDataFileWrongSeries},
        {"version in file differs", [](auto& i) { i.version = 0x0311; }, kSeries, kVersion,
         kDataFileWrongVersion},
        {"signature case", [](auto& i) { i.signature = "ORVA - Korvane data File Editor"; },
         kSeries, kVersion, kDataFileBadFormat},
        {"format 0x0101", [](auto& i) { i.format = 0x0101; }, kSeries, kVersion,
         kDataFileBadFormat},
    };
    for (const Case& c : cases) {
        testing::TempDir dir;
        DataFileImage image = sampleImage();
        if (c.edit) c.edit(image);
        testing::writeFile(DataFilePath(dir.path(), kSeries, kVersion), WriteDataFile(image));
        DriveRecord record = drive(c.driveSeries, c.driveVersion);
        CDataFile file;
        int result = file.Load(&record, dir.path());
        EXPECT_EQ(file.status, c.status) << c.name;
        EXPECT_EQ(result, c.status == kDataFileOk ? 1 : 0) << c.name;
        EXPECT_EQ(file.loaded, result) << c.name;
        if (c.status != kDataFileOk) {
            EXPECT_EQ(file.groups, nullptr) << c.name;
            EXPECT_EQ(file.types, nullptr) << c.name;
            EXPECT_EQ(file.messes, nullptr) << c.name;
            EXPECT_EQ(file.drive, nullptr) << c.name;
        }
    }
}

TEST(DataFile, UnreadableFilesEndInStatus6) {
    testing::TempDir dir;
    DriveRecord record = drive();
    CDataFile file;
    testing::writeFile(DataFilePath(dir.path(), kSeries, kVersion), {});
    EXPECT_EQ(file.Load(&record, dir.path()), 0);
    EXPECT_EQ(file.status, kDataFileUnreadable);

    std::filesystem::remove(DataFilePath(dir.path(), kSeries, kVersion));
    std::filesystem::create_directories(DataFilePath(dir.path(), kSeries, kVersion));
    EXPECT_EQ(file.Load(&record, dir.path()), 0);
    EXPECT_EQ(file.status, kDataFileUnreadable);
}

TEST(DataFile, HeaderIsJudgedBeforeTheListsAndSeriesAndVersionAfterThem) {
    Bytes good = WriteDataFile(sampleImage());
    auto statusOf = [](const Bytes& bytes, int version = kVersion) {
        DriveRecord record = drive(kSeries, version);
        CDataFile file;
        (void)file.LoadFromBytes(&record, bytes);
        return file.status;
    };
    DataFileImage badFormat = sampleImage();
    badFormat.format = 0x0101;
    Bytes cut = WriteDataFile(badFormat);
    cut.resize(cut.size() - 10);
    EXPECT_EQ(statusOf(cut), kDataFileBadFormat);

    Bytes truncated = good;
    truncated.resize(good.size() - 1);
    EXPECT_EQ(statusOf(truncated, 0x0999), kDataFileUnreadable);
    EXPECT_EQ(statusOf(good, 0x0999), kDataFileWrongVersion);
}

TEST(DataFile, StatusTextsFollowTheTableAndHighCodesReadAsUnopenable) {
    const char* texts[] = {"ノーエラー",
                           "このモデルをサポートしていません",
                           "データファイルを検出できません",
                           "データファイル内のモデル番号のエラー",
                           "このバージョンをサポートしていません",
                           "このデータファイルフォーマットをサポートしていません",
                           "このデータファイルを開くことができません"};
    CDataFile file;
    for (int code = 0; code <= 6; ++code) {
        file.status = code;
        EXPECT_STREQ(file.GetStatusText(), texts[code]) << code;
    }
    file.status = 7;
    EXPECT_STREQ(file.GetStatusText(), texts[6]);
}

TEST(DataFile, PathsUseZeroPaddedUpperCaseVersions) {
    EXPECT_EQ(DataFilePath("/d", 11, 0x00A1), "/d/Kapok/Kapok_00A1.dat");
    EXPECT_EQ(DataFilePath("/d", 4, 0x0102), "/d/Elm/Elm_0102.dat");
    EXPECT_EQ(DataFilePath("/d", 13, 0xABCD), "/d/Larch/Larch_ABCD.dat");
    EXPECT_EQ(DataFilePath("/d", 7, 0x0100), "");

    testing::TempDir dir;
    DataFileImage image = sampleImage();
    image.version = 0x00A1;
    testing::writeFile(dir.file("Kapok/Kapok_00A1.dat"), WriteDataFile(image));
    DriveRecord record = drive(kSeries, 0x00A1);
    CDataFile file;
    EXPECT_EQ(file.Load(&record, dir.path()), 1);
}

class LoadedFile : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(file.LoadFromBytes(&record, WriteDataFile(sampleImage())), 1);
    }
    const CItem& item(std::uint16_t address) { return *file.FindItem(address); }

    DriveRecord record = drive();
    CDataFile file;
};

TEST_F(LoadedFile, KeepsTrimmedStringsAndStartsValuesAtTheirDefaults) {
    EXPECT_EQ(file.title, "Kapok 3.16");
    EXPECT_EQ(file.types->Find("FREQ3")->unit, "Hz");
    EXPECT_EQ(file.messes->Find("DIR")->texts, (std::vector<std::string>{"正転", "逆転"}));
    const CItem& bias = item(0x1202);
    EXPECT_EQ(bias.name, "Bias");
    EXPECT_EQ(bias.displayName, "Bias");
    EXPECT_EQ(bias.minimum, -100);
    EXPECT_EQ(bias.value, 0xFFFFFFFFu);
    EXPECT_EQ(bias.runWritable, 1u);
    EXPECT_EQ(bias.GetDrive(), &record);
    EXPECT_EQ(file.GetGroup(0)->dataFile, &file);
    EXPECT_EQ(file.types->Find("FREQ3")->denominatorD, 100.0);
}

TEST_F(LoadedFile, ResolvesEachItemToItsTypeOrOptionList) {
    const CType* msgType = file.types->Find("MSG");
    struct Case {
        std::uint16_t address;
        const CType* type;
        const MessageTable* mess;
        std::uint32_t optionFlag;
    } cases[] = {
        {0x1201, file.types->Find("FREQ3"), nullptr, 0},
        {0x1203, nullptr, file.messes->Find("DIR"), kItemOptionFlag},
        {0x1204, msgType, nullptr, 0},  // option list missing: keeps the MSG type
        {0x1205, nullptr, nullptr, 0},
        {0x1206, nullptr, nullptr, 0},
    };
    for (const Case& c : cases) {
        const CItem& it = item(c.address);
        EXPECT_EQ(it.type, c.type) << std::hex << c.address;
        EXPECT_EQ(it.mess, c.mess) << std::hex << c.address;
        EXPECT_EQ(it.optionFlag, c.optionFlag) << std::hex << c.address;
        EXPECT_EQ(it.GetGroup(), file.GetGroup(0)) << std::hex << c.address;
    }
    ASSERT_NE(item(0x1203).GetOptionTexts(), nullptr);
    EXPECT_EQ(item(0x1203).GetOptionTexts()->size(), 2u);
    EXPECT_EQ(item(0x1204).GetOptionTexts(), nullptr);
}

TEST(DataFile, MsgItemWithoutListAndWithoutMsgTypeHasNoFormat) {
    DataFileImage image = sampleImage();
    image.types.pop_back();
    DriveRecord record = drive();
    CDataFile file;
    ASSERT_EQ(file.LoadFromBytes(&record, WriteDataFile(image)), 1);
    EXPECT_FALSE(file.FindItem(0x1204)->hasFormat());
    EXPECT_TRUE(file.FindItem(0x1203)->hasFormat());
}

TEST_F(LoadedFile, LooksUpGroupsAndItemsByPositionAndAddress) {
    EXPECT_EQ(file.FindItem(0x1201)->name, "Max @@@@");  // the first of two in group order
    EXPECT_EQ(file.FindItem(0x9999), nullptr);
    EXPECT_EQ(file.GetGroupCount(), 2);
    EXPECT_EQ(file.GetGroupName(1), "More");
    EXPECT_EQ(file.GetGroupName(2), "");
    EXPECT_EQ(file.GetGroupName(-1), "");
    EXPECT_EQ(file.GetGroup(2), nullptr);
    EXPECT_EQ(file.GetGroupItemCount(0), 6);
    EXPECT_EQ(file.GetGroupItemCount(5), 0);
    EXPECT_EQ(file.GetTotalItemCount(), 9);
    EXPECT_EQ(file.GetItem(1, 2)->name, "Second at 0x1201");
    EXPECT_EQ(file.GetItem(1, 3), nullptr);
    EXPECT_EQ(file.GetItem(-1, 0), nullptr);
    EXPECT_EQ(file.GetItem(0, -1), nullptr);

    file.Clear();
    EXPECT_EQ(file.FindItem(0x1201), nullptr);
    EXPECT_EQ(file.GetTotalItemCount(), 0);
    EXPECT_EQ(file.GetItem(0, 0), nullptr);
}

TEST_F(LoadedFile, SpeedModeRebuildsPlaceholderNamesFromTheStoredName) {
    struct Case {
        int mode;
        int series;
        const char* max;
        const char* accel;
        const char* both;
    } cases[] = {
        {1, kSeries, "Max Freq", "Accel $$$$ and Freq", "Freq Freq"},
        {0, kSeries, "Max Speed", "Accel $$$$ and Speed", "Speed Speed"},
        {0, 9, "Max Freq", "Accel $$$$ and Freq", "Freq Freq"},
        {1, kSeries, "Max Freq", "Accel $$$$ and Freq", "Freq Freq"},
    };
    for (const Case& c : cases) {
        file.seriesCode = c.series;
        file.SetSpeedMode(c.mode, 10);
        EXPECT_EQ(item(0x1201).displayName, c.max);
        EXPECT_EQ(item(0x1301).displayName, c.accel);
        EXPECT_EQ(item(0x1302).displayName, c.both);
        EXPECT_EQ(item(0x1202).displayName, "Bias");
    }
}

TEST_F(LoadedFile, SpeedModeSetsTheTime1Denominator) {
    for (int divisor : {100, 1, 10}) {
        file.SetSpeedMode(1, divisor);
        EXPECT_EQ(file.time1Divisor, divisor);
        EXPECT_EQ(file.types->Find("TIME1")->denominator, static_cast<std::uint32_t>(divisor));
        EXPECT_EQ(file.types->Find("TIME1")->denominatorD, divisor);
        EXPECT_EQ(file.types->Find("FREQ3")->denominator, 100u);
    }
    file.SetSpeedMode(1, 0);
    EXPECT_EQ(file.types->Find("TIME1")->denominator, 10u);
}

TEST(DataFile, SpeedModeWithoutTime1LeavesTheOtherTypesAlone) {
    DataFileImage image = sampleImage();
    image.types.erase(image.types.begin() + 1);
    DriveRecord record = drive();
    CDataFile file;
    ASSERT_EQ(file.LoadFromBytes(&record, WriteDataFile(image)), 1);
    file.SetSpeedMode(0, 100);
    EXPECT_EQ(file.types->Find("FREQ3")->denominator, 100u);
    EXPECT_EQ(file.types->Find("MSG")->denominator, 1u);
    EXPECT_EQ(file.time1Divisor, 100);

    CDataFile empty;
    empty.SetSpeedMode(0, 1);  // nothing loaded: only the choice is kept
    EXPECT_EQ(empty.frequencyMode, 0);
}

// ---- damaged files ----

int statusOf(const Bytes& bytes) {
    DriveRecord record = drive();
    CDataFile file;
    (void)file.LoadFromBytes(&record, bytes);
    return file.status;
}

TEST(DataFileDamage, EveryTruncationEndsInStatus6) {
    Bytes good = WriteDataFile(sampleImage());
    ASSERT_EQ(statusOf(good), kDataFileOk);
    for (std::size_t n = 0; n < good.size(); ++n) {
        Bytes cut(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(n));
        ASSERT_EQ(statusOf(cut), kDataFileUnreadable) << "cut at " << n;
    }
    Bytes longer = good;
    longer.insert(longer.end(), {1, 2, 3});
    EXPECT_EQ(statusOf(longer), kDataFileOk);
}

// Offsets of the list counts in a file with one type, no option lists and no groups.
struct MinimalFile {
    Bytes bytes;
    std::size_t typeCount, optionCount, groupCount;
};

MinimalFile minimalFile() {
    DataFileImage image;
    image.series = kSeries;
    image.version = kVersion;
    image.types = {{"", "", 1, 10, 0}};
    Bytes bytes = WriteDataFile(image);
    std::size_t groupCount = bytes.size() - 4;
    std::size_t optionCount = groupCount - 4;
    std::size_t typeRecord = 4 * 4 + 4 + 4 + 1;  // four empty wide strings, two DWORDs, a BYTE
    return {bytes, optionCount - typeRecord - 4, optionCount, groupCount};
}

void patch(Bytes& bytes, std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i)
        bytes[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(v >> (8 * i));
}

TEST(DataFileDamage, ForgedCountsAndLengthsAreRefusedWithoutAllocating) {
    MinimalFile m = minimalFile();
    ASSERT_EQ(statusOf(m.bytes), kDataFileOk);
    struct Case {
        const char* name;
        std::function<void(Bytes&)> edit;
        int status;
    } cases[] = {
        {"group count", [&](Bytes& b) { patch(b, m.groupCount, 0x7FFFFFFF); }, kDataFileUnreadable},
        {"option list count", [&](Bytes& b) { patch(b, m.optionCount, 1000); },
         kDataFileUnreadable},
        {"negative type count reads as empty",
         [&](Bytes& b) {
             patch(b, m.typeCount, 0x80000000);
             b.erase(b.begin() + static_cast<std::ptrdiff_t>(m.typeCount + 4),
                     b.begin() + static_cast<std::ptrdiff_t>(m.optionCount));
         },
         kDataFileOk},
        {"option texts count",
         [&](Bytes& b) {
             patch(b, m.optionCount, 1);
             Bytes list{0x00, 0xFF, 0xFF, 0xFF, 0xFF};  // empty name, 2^32-1 texts
             b.insert(b.begin() + static_cast<std::ptrdiff_t>(m.optionCount + 4), list.begin(),
                      list.end());
         },
         kDataFileUnreadable},
        {"string length",
         [&](Bytes& b) {
             // the type name's wide length becomes a DWORD of 2^32-1 characters
             Bytes huge{0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
             std::size_t nameLength = m.typeCount + 4 + 3;
             b.erase(b.begin() + static_cast<std::ptrdiff_t>(nameLength));
             b.insert(b.begin() + static_cast<std::ptrdiff_t>(nameLength), huge.begin(),
                      huge.end());
         },
         kDataFileUnreadable},
    };
    for (const Case& c : cases) {
        Bytes bytes = m.bytes;
        c.edit(bytes);
        EXPECT_EQ(statusOf(bytes), c.status) << c.name;
    }
}

TEST(DataFileDamage, RandomCorruptionNeverCrashes) {
    Bytes good = WriteDataFile(sampleImage());
    std::mt19937 rng(1234);
    for (int round = 0; round < 3000; ++round) {
        Bytes bytes = good;
        int flips = 1 + static_cast<int>(rng() % 4);
        for (int i = 0; i < flips; ++i) {
            bytes[rng() % bytes.size()] = static_cast<std::uint8_t>(rng());
        }
        int status = statusOf(bytes);
        ASSERT_GE(status, kDataFileOk);
        ASSERT_LE(status, kDataFileUnreadable);
    }
}

// A header and no types, then `lists` as raw bytes (the option lists and groups).
Bytes withLists(const Bytes& lists) {
    DataFileImage image;
    image.series = kSeries;
    image.version = kVersion;
    Bytes bytes = WriteDataFile(image);
    bytes.resize(bytes.size() - 8);  // the option-list and group counts
    bytes.insert(bytes.end(), lists.begin(), lists.end());
    return bytes;
}

void putDword(Bytes& b, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) b.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

// One option list of `n` empty texts, no groups.
Bytes emptyTexts(std::uint32_t n) {
    Bytes b;
    putDword(b, 1);
    b.push_back(0);  // the list's name
    putDword(b, n);
    b.insert(b.end(), n, 0);
    putDword(b, 0);
    return withLists(b);
}

// No option lists, `n` groups without a name or items.
Bytes emptyGroups(std::uint32_t n) {
    Bytes b;
    putDword(b, 0);
    putDword(b, n);
    for (std::uint32_t i = 0; i < n; ++i) {
        b.push_back(0);
        putDword(b, 0);
    }
    return withLists(b);
}

TEST(DataFile, FilesOfTinyElementsCannotCostMoreMemoryThanTheirSizeAllows) {
    const struct Case {
        const char* what;
        Bytes bytes;
        int loaded;
    } cases[] = {
        {"ten thousand empty texts", emptyTexts(10000), 1},
        {"ten thousand empty groups", emptyGroups(10000), 1},
        {"four million empty texts", emptyTexts(4000000), 0},
        {"a million empty groups", emptyGroups(1000000), 0},
    };
    for (const Case& c : cases) {
        DriveRecord record = drive();
        CDataFile file;
        EXPECT_EQ(file.LoadFromBytes(&record, c.bytes), c.loaded) << c.what;
        EXPECT_EQ(file.status, c.loaded ? kDataFileOk : kDataFileUnreadable) << c.what;
    }
}

}  // namespace
}  // namespace korvane
