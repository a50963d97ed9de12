#include <gtest/gtest.h>

#include "common/prompter.h"
#include "paradb/archive.h"
#include "paradb/data_file.h"
#include "paradb/data_file_writer.h"
#include "paradb/drive_record.h"
#include "paradb/para_array.h"
#include "paradb/user_group.h"
#include "paradb_test_util.h"

namespace korvane {
namespace {

using testing::Bytes;
using testing::concat;
using testing::dword;

Bytes parBytes(std::uint32_t series, std::uint32_t version, const Bytes& tag,
               std::vector<std::pair<std::uint32_t, std::uint32_t>> entries,
               std::uint32_t magic = CParaArray::kMagic) {
    Bytes out = concat({dword(magic), tag, dword(series), dword(version),
                        dword(static_cast<std::uint32_t>(entries.size()))});
    for (auto& e : entries) out = concat({out, dword(e.first)});
    for (auto& e : entries) out = concat({out, dword(e.second)});
    return out;
}

const Bytes kWideTag = testing::wideAscii("ParaArray");

DataFileImage::Item itemAt(std::uint16_t address, std::uint32_t defaultValue = 0) {
    DataFileImage::Item item;
    item.address = address;
    item.defaultValue = defaultValue;
    return item;
}

TEST(ParaFile, StoresTheExactLayout) {
    CParaArray empty(11, 0x0310);
    ArchiveWriter w;
    empty.Store(w);
    Bytes expected =
        concat({{0x2A, 0x3F, 0, 0},
                {0xFF, 0xFE, 0xFF, 0x09},
                {'P', 0, 'a', 0, 'r', 0, 'a', 0, 'A', 0, 'r', 0, 'r', 0, 'a', 0, 'y', 0},
                {11, 0, 0, 0, 0x10, 0x03, 0, 0, 0, 0, 0, 0}});
    EXPECT_EQ(w.bytes().size(), 38u);
    EXPECT_EQ(w.bytes(), expected);

    CParaArray two(11, 0x0310);
    two.Add(0x1201, 6000);
    two.Add(0x1202, 0xFFFF);
    ArchiveWriter w2;
    two.Store(w2);
    EXPECT_EQ(w2.bytes(), parBytes(11, 0x0310, kWideTag, {{0x1201, 6000}, {0x1202, 0xFFFF}}));
}

TEST(ParaFile, ReadingChecksTheFileAndTheModelBeforeTakingAnything) {
    using Outcome = FileReadOutcome;
    const std::vector<std::pair<std::uint32_t, std::uint32_t>> two{{0x1201, 6000}, {7, 8}};
    Bytes good = parBytes(11, 0x0310, kWideTag, two);
    Bytes cut = good;
    cut.resize(cut.size() - 1);
    Bytes forged = parBytes(11, 0x0310, kWideTag, {});
    forged[34] = forged[35] = forged[36] = forged[37] = 0xFF;
    struct Case {
        const char* name;
        Bytes bytes;
        Outcome outcome;
        std::string message;  // empty: none; "archive": the open failure, explained by the archive
        std::size_t entries;
    } cases[] = {
        {"fits", good, Outcome::kOk, "", 2},
        {"8-bit tag",
         parBytes(11, 0x0310, concat({{9}, Bytes{'P', 'a', 'r', 'a', 'A', 'r', 'r', 'a', 'y'}}),
                  two),
         Outcome::kOk, "", 2},
        {"wrong magic", parBytes(11, 0x0310, kWideTag, two, 0x3F6A), Outcome::kFailed, "archive",
         0},
        {"wrong tag", parBytes(11, 0x0310, testing::wideAscii("ParaArra"), two), Outcome::kFailed,
         "archive", 0},
        {"cut short", cut, Outcome::kFailed, "archive", 0},
        {"forged count", forged, Outcome::kFailed, "archive", 0},
        {"other series", parBytes(10, 0x0310, kWideTag, two), Outcome::kMismatch,
         "インバータモデルは異なっていますt\n\nインバータモデル： Kapok\nファイルモデル : Juniper",
         0},
        {"other version", parBytes(11, 0x0311, kWideTag, two), Outcome::kMismatch,
         "インバータバージョンは異なっていますt\n\nインバータバージョン : 3.16\nFileバージョン: "
         "3.17",
         0},
    };
    for (const Case& c : cases) {
        testing::TempDir dir;
        testing::writeFile(dir.file("a.par"), c.bytes);
        CParaArray set(11, 0x0310);
        const FileReadResult read = ReadParaFile(dir.file("a.par"), set);
        EXPECT_EQ(read.outcome, c.outcome) << c.name;
        EXPECT_EQ(set.addresses.size(), c.entries) << c.name;
        EXPECT_EQ(set.values.size(), c.entries) << c.name;
        if (c.message.empty()) {
            EXPECT_EQ(read.text, "") << c.name;
            continue;
        }
        if (c.message == "archive") {
            EXPECT_EQ(read.text, "パラメータファイルを開くことができません") << c.name;
            EXPECT_NE(read.detail.find(dir.file("a.par")), std::string::npos) << c.name;
        } else {
            EXPECT_EQ(read.text, c.message) << c.name;
            EXPECT_EQ(read.detail, "") << c.name;
        }
    }
}

TEST(ParaFile, AMissingFileFailsWithTheOpenFailureAndNoExplanation) {
    CParaArray set(11, 0x0310);
    const FileReadResult read = ReadParaFile("/nonexistent/a.par", set);
    EXPECT_EQ(read.outcome, FileReadOutcome::kFailed);
    EXPECT_EQ(read.text, kParaFileOpenFailedText);
    EXPECT_EQ(read.detail, "");
}

TEST(ParaFile, SavesEveryItemInGroupOrderAndReadsItBack) {
    DataFileImage image;
    image.series = 11;
    image.version = 0x0310;
    image.groups = {{"A", {itemAt(0x1202, 5), itemAt(0x1201, 6)}}, {"B", {itemAt(0x1301, 7)}}};
    DriveRecord record(1);
    record.seriesCode = 11;
    record.version = 0x0310;
    CDataFile file;
    ASSERT_EQ(file.LoadFromBytes(&record, WriteDataFile(image)), 1);
    file.FindItem(0x1301)->value = 0xBEEF;

    testing::TempDir dir;
    ASSERT_TRUE(SaveParaFile(dir.file("s.par"), BuildParaArray(file)));
    CParaArray back(11, 0x0310);
    ASSERT_EQ(ReadParaFile(dir.file("s.par"), back).outcome, FileReadOutcome::kOk);
    EXPECT_EQ(back.addresses, (std::vector<std::uint32_t>{0x1202, 0x1201, 0x1301}));
    EXPECT_EQ(back.values, (std::vector<std::uint32_t>{5, 6, 0xBEEF}));
    EXPECT_FALSE(SaveParaFile(dir.file("no/such/dir.par"), back));
}

// ---- user groups ----

Bytes usrBytes(std::uint32_t series, std::uint32_t version,
               std::vector<std::pair<std::uint32_t, std::uint32_t>> entries,
               std::uint32_t magic = UserGroup::kMagic) {
    Bytes out = concat({dword(magic),
                        dword(series),
                        dword(version),
                        {static_cast<std::uint8_t>(entries.size()), 0}});
    for (auto& e : entries) out = concat({out, dword(e.first), dword(e.second)});
    return out;
}

TEST(UserGroupFile, StoresTheExactLayoutAndEscapesLargeCounts) {
    UserGroup group;
    group.seriesCode = 11;
    group.version = 0x0310;
    group.AddEntry(0x1201, 6000);
    group.AddEntry(0x1302, 1);
    ArchiveWriter w;
    group.Store(w);
    EXPECT_EQ(w.bytes(), usrBytes(11, 0x0310, {{0x1201, 6000}, {0x1302, 1}}));

    UserGroup big;
    for (std::uint32_t i = 0; i < 70000; ++i) big.AddEntry(i, i * 3);
    ArchiveWriter wb;
    big.Store(wb);
    ASSERT_EQ(wb.bytes().size(), 12u + 6u + 70000u * 8u);
    EXPECT_EQ(Bytes(wb.bytes().begin() + 12, wb.bytes().begin() + 18),
              (Bytes{0xFF, 0xFF, 0x70, 0x11, 0x01, 0x00}));
    ArchiveReader r(wb.bytes());
    UserGroup back;
    back.Load(r);
    ASSERT_EQ(back.entries.size(), 70000u);
    EXPECT_EQ(back.entries[69999]->address, 69999u);
    EXPECT_EQ(back.entries[69999]->value, 69999u * 3);
    EXPECT_TRUE(r.atEnd());
}

class UserGroupOpen : public ::testing::Test {
protected:
    void SetUp() override {
        DataFileImage image;
        image.series = 11;
        image.version = 0x0310;
        image.groups = {{"A", {itemAt(0x1201), itemAt(0x1202)}}};
        record.seriesCode = 11;
        record.version = 0x0310;
        ASSERT_EQ(file.LoadFromBytes(&record, WriteDataFile(image)), 1);
    }
    std::unique_ptr<UserGroup> open(const Bytes& bytes) {
        testing::writeFile(dir.file("my group.usr"), bytes);
        OpenedUserGroup opened = OpenUserGroupFile(dir.file("my group.usr"), file);
        result = opened.result;
        return std::move(opened.group);
    }

    DriveRecord record{2};
    CDataFile file;
    testing::TempDir dir;
    FileReadResult result;
};

TEST_F(UserGroupOpen, RefusesFilesOfAnotherModelOrVersionWithTheirMessages) {
    struct Case {
        const char* name;
        Bytes bytes;
        const char* text;
    } cases[] = {
        {"series", usrBytes(10, 0x0310, {{0x1201, 1}}), kUserGroupSeriesMismatchText},
        {"version", usrBytes(11, 0x0311, {{0x1201, 1}}), kUserGroupVersionMismatchText},
        {"series and version", usrBytes(10, 0x0311, {}), kUserGroupSeriesMismatchText},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(open(c.bytes), nullptr) << c.name;
        EXPECT_EQ(result.outcome, FileReadOutcome::kMismatch) << c.name;
        EXPECT_EQ(result.text, c.text) << c.name;
    }
    EXPECT_EQ(std::string(kUserGroupSeriesMismatchText),
              "ユーザグループファイルのインバータモデルは、パラメータエディタのインバータモデルと異"
              "なっています");
    EXPECT_EQ(std::string(kUserGroupVersionMismatchText),
              "ユーザグループファイルのインバータバージョンは、パラメータエディタに対するインバータ"
              "バージョンに対して異なっています");
}

TEST_F(UserGroupOpen, UnreadableFilesGiveTheOpenFailureExplainedByTheArchive) {
    Bytes cut = usrBytes(11, 0x0310, {{0x1201, 1}});
    cut.pop_back();
    Bytes forged = usrBytes(11, 0x0310, {});
    forged[12] = forged[13] = 0xFF;                         // escaped count ...
    forged.insert(forged.end(), {0xFF, 0xFF, 0xFF, 0x0F});  // ... of 2^28 entries
    for (const Bytes& bytes : {usrBytes(11, 0x0310, {}, CParaArray::kMagic), cut, forged}) {
        EXPECT_EQ(open(bytes), nullptr);
        EXPECT_EQ(result.outcome, FileReadOutcome::kFailed);
        EXPECT_NE(result.detail.find("my group.usr"), std::string::npos);
        EXPECT_EQ(result.text, "ユーザグループ名を開くことができません");
    }
}

TEST_F(UserGroupOpen, BindsKnownEntriesAndDropsTheRest) {
    auto group = open(
        usrBytes(11, 0x0310, {{0x1202, 20}, {0x9999, 1}, {0x1201, 10}, {0x10000 + 0x1201, 3}}));
    ASSERT_NE(group, nullptr);
    EXPECT_TRUE(result.ok());
    ASSERT_EQ(group->entries.size(), 2u);
    EXPECT_EQ(group->entries[0]->address, 0x1202u);
    EXPECT_EQ(group->entries[0]->value, 20u);
    EXPECT_EQ(group->entries[1]->address, 0x1201u);
    for (const auto& e : group->entries) {
        EXPECT_EQ(e->dataFile, &file);
        EXPECT_EQ(e->custom, group.get());
        EXPECT_EQ(e->state, 0u);
    }
    EXPECT_EQ(group->title, "my group");
    EXPECT_EQ(group->path, dir.file("my group.usr"));
    EXPECT_EQ(group->newFlag, 0);
    EXPECT_EQ(group->modified, 0);
    EXPECT_EQ(group->dataFile, &file);
}

TEST_F(UserGroupOpen, NewGroupsSaveAndReopen) {
    auto group = UserGroup::CreateNew(file, dir.file("custom_Kapok_v3.16_1.usr"));
    EXPECT_EQ(group->newFlag, 1);
    EXPECT_EQ(group->modified, 0);
    EXPECT_EQ(group->title, "custom_Kapok_v3.16_1");
    EXPECT_EQ(group->seriesCode, 11);
    EXPECT_EQ(group->version, 0x0310);
    group->AddEntry(0x1201, 77);
    EXPECT_EQ(group->modified, 1);
    ASSERT_TRUE(SaveUserGroupFile(group->path, *group));
    auto back = OpenUserGroupFile(group->path, file).group;
    ASSERT_NE(back, nullptr);
    ASSERT_EQ(back->entries.size(), 1u);
    EXPECT_EQ(back->entries[0]->value, 77u);
}

TEST(UserGroupPath, NumbersNewGroupsOnAndSkipsPathsAlreadyOpen) {
    UserGroupCounter counter;
    std::vector<std::string> open{"/w/custom_Kapok_v3.16_2.usr", "/w/custom_Kapok_v3.16_3.usr"};
    auto isOpen = [&](const std::string& p) {
        return std::find(open.begin(), open.end(), p) != open.end();
    };
    EXPECT_EQ(NewUserGroupPath("/w", "Kapok", "3.16", isOpen, counter),
              "/w/custom_Kapok_v3.16_1.usr");
    EXPECT_EQ(NewUserGroupPath("/w", "Kapok", "3.16", isOpen, counter),
              "/w/custom_Kapok_v3.16_4.usr");
    DriveRecord kapok(5);
    kapok.seriesCode = 11;
    kapok.version = 0x0316;
    EXPECT_EQ(NewUserGroupPath("/w", kapok, isOpen, counter), "/w/custom_Kapok_v3.22_5.usr");
    EXPECT_EQ(NewUserGroupPath("/w", "Juniper", "2.1", isOpen, counter),
              "/w/custom_Juniper_v2.1_6.usr");
}

// A user group written as the program writes it, with `count` entries at addresses from `at`.
Bytes manyEntries(std::uint32_t count, std::uint32_t at) {
    ArchiveWriter w;
    w.WriteDword(UserGroup::kMagic);
    w.WriteDword(11);
    w.WriteDword(0x0310);
    w.WriteCount(count);
    for (std::uint32_t i = 0; i < count; ++i) {
        w.WriteDword(at + i % 2);
        w.WriteDword(i);
    }
    return w.take();
}

TEST_F(UserGroupOpen, ManyUnknownEntriesAreDroppedInOnePassKeepingTheOrder) {
    // Entries alternate between 0x1200, which the data file does not know, and 0x1201.
    UserGroup group;
    const Bytes bytes = manyEntries(200000, 0x1200);
    ArchiveReader r(bytes);
    group.Load(r);
    group.Bind(file);
    ASSERT_EQ(group.entries.size(), 100000u);
    EXPECT_EQ(group.entries.front()->address, 0x1201u);
    EXPECT_EQ(group.entries.front()->value, 1u);
    EXPECT_EQ(group.entries.back()->value, 199999u);
    EXPECT_EQ(group.entries.back()->custom, &group);
}

TEST_F(UserGroupOpen, EntriesBeyondWhatTheFileMayCostInMemoryAreRefused) {
    UserGroup fits, tooMany;
    const Bytes smallBytes = manyEntries(100000, 0x1201);
    ArchiveReader small(smallBytes);
    EXPECT_NO_THROW(fits.Load(small));
    EXPECT_EQ(fits.entries.size(), 100000u);
    // Eight bytes each on disk, an object and two pointers each in memory.
    const Bytes largeBytes = manyEntries(1500000, 0x1201);
    ArchiveReader large(largeBytes);
    EXPECT_THROW(tooMany.Load(large), ArchiveError);
    EXPECT_TRUE(tooMany.entries.empty());
}

}  // namespace
}  // namespace korvane
