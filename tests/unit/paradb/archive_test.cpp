#include "paradb/archive.h"

#include <gtest/gtest.h>
#include <signal.h>
#if __has_include(<sys/resource.h>)
#include <sys/resource.h>
#define KORVANE_HAVE_RLIMIT 1
#endif

#include <filesystem>

#include "paradb_test_util.h"

namespace korvane {
namespace {

using testing::Bytes;
using testing::concat;

Bytes repeat(std::size_t n, std::initializer_list<std::uint8_t> unit) {
    Bytes out;
    for (std::size_t i = 0; i < n; ++i) out.insert(out.end(), unit);
    return out;
}

TEST(Archive, ReadsStringsInEveryFormAndPrefixSize) {
    struct Case {
        const char* name;
        Bytes bytes;
        std::string expected;
    } cases[] = {
        {"empty 8-bit", {0x00}, ""},
        {"empty wide", {0xFF, 0xFE, 0xFF, 0x00}, ""},
        {"8-bit byte prefix", {0x03, 'a', 'b', 'c'}, "abc"},
        {"8-bit code page 932", {0x02, 0x82, 0xA0}, "あ"},
        {"wide byte prefix", {0xFF, 0xFE, 0xFF, 0x02, 'A', 0, 'B', 0}, "AB"},
        {"wide Japanese", {0xFF, 0xFE, 0xFF, 0x02, 0x68, 0x54, 0xE2, 0x6C}, "周波"},
        {"wide surrogate pair", {0xFF, 0xFE, 0xFF, 0x02, 0x3D, 0xD8, 0x00, 0xDE}, "\U0001F600"},
        {"8-bit 254 chars", concat({{0xFE}, repeat(254, {'x'})}), std::string(254, 'x')},
        {"8-bit word prefix", concat({{0xFF, 0xFF, 0x00}, repeat(255, {'x'})}),
         std::string(255, 'x')},
        {"8-bit word prefix 0xFFFD", concat({{0xFF, 0xFD, 0xFF}, repeat(0xFFFD, {'y'})}),
         std::string(0xFFFD, 'y')},
        {"8-bit dword prefix",
         concat({{0xFF, 0xFF, 0xFF, 0xFE, 0xFF, 0x00, 0x00}, repeat(0xFFFE, {'z'})}),
         std::string(0xFFFE, 'z')},
        {"wide word prefix", concat({{0xFF, 0xFE, 0xFF, 0xFF, 0x00, 0x01}, repeat(256, {'w', 0})}),
         std::string(256, 'w')},
        {"wide dword prefix",
         concat({{0xFF, 0xFE, 0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0x00, 0x01, 0x00},
                 repeat(0x10000, {'v', 0})}),
         std::string(0x10000, 'v')},
    };
    for (const Case& c : cases) {
        ArchiveReader r(c.bytes);
        EXPECT_EQ(r.ReadString(), c.expected) << c.name;
        EXPECT_TRUE(r.atEnd()) << c.name;
    }
}

TEST(Archive, WritesStringsInTheWideFormWithTheShortestPrefix) {
    struct Case {
        std::size_t length;
        Bytes prefix;  // after the FF FE FF marker
    } cases[] = {
        {0, {0x00}},
        {9, {0x09}},
        {0xFE, {0xFE}},
        {0xFF, {0xFF, 0xFF, 0x00}},
        {0xFFFD, {0xFF, 0xFD, 0xFF}},
        {0xFFFE, {0xFF, 0xFF, 0xFF, 0xFE, 0xFF, 0x00, 0x00}},
        {0x12345, {0xFF, 0xFF, 0xFF, 0x45, 0x23, 0x01, 0x00}},
    };
    for (const Case& c : cases) {
        std::string text(c.length, 'q');
        ArchiveWriter w;
        w.WriteString(text);
        Bytes expected = concat({{0xFF, 0xFE, 0xFF}, c.prefix, repeat(c.length, {'q', 0})});
        EXPECT_EQ(w.bytes(), expected) << c.length;
        ArchiveReader r(w.bytes());
        EXPECT_EQ(r.ReadString(), text) << c.length;
    }
}

TEST(Archive, EightBitStringsAndNumbersHaveExactBytes) {
    ArchiveWriter w;
    w.WriteString8("ab");
    w.WriteByte(0x7F);
    w.WriteWord(0x1234);
    w.WriteDword(0xA1B2C3D4);
    w.WriteShort(-2);
    w.WriteLong(-100000);
    w.WriteDouble(1.5);
    Bytes expected{0x02, 'a',  'b',  0x7F, 0x34, 0x12, 0xD4, 0xC3, 0xB2, 0xA1, 0xFE, 0xFF,
                   0x60, 0x79, 0xFE, 0xFF, 0,    0,    0,    0,    0,    0,    0xF8, 0x3F};
    ASSERT_EQ(w.bytes(), expected);

    ArchiveReader r(w.bytes());
    EXPECT_EQ(r.ReadString(), "ab");
    EXPECT_EQ(r.ReadByte(), 0x7F);
    EXPECT_EQ(r.ReadWord(), 0x1234);
    EXPECT_EQ(r.ReadDword(), 0xA1B2C3D4u);
    EXPECT_EQ(r.ReadShort(), -2);
    EXPECT_EQ(r.ReadLong(), -100000);
    EXPECT_EQ(r.ReadDouble(), 1.5);
    EXPECT_TRUE(r.atEnd());
}

TEST(Archive, CountsSwitchToTheEscapedFormAt0xFFFF) {
    struct Case {
        std::uint32_t count;
        Bytes bytes;
    } cases[] = {
        {0, {0x00, 0x00}},
        {0xFFFE, {0xFE, 0xFF}},
        {0xFFFF, {0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0x00}},
        {70000, {0xFF, 0xFF, 0x70, 0x11, 0x01, 0x00}},
    };
    for (const Case& c : cases) {
        ArchiveWriter w;
        w.WriteCount(c.count);
        EXPECT_EQ(w.bytes(), c.bytes) << c.count;
        ArchiveReader r(c.bytes);
        EXPECT_EQ(r.ReadCount(), c.count);
    }
}

TEST(Archive, LengthsAndCountsBeyondTheEndAreErrorsNotAllocations) {
    using Kind = ArchiveError::Kind;
    struct Case {
        const char* name;
        Bytes bytes;
        Kind kind;
    } cases[] = {
        {"nothing", {}, Kind::kEndOfFile},
        {"8-bit claims more", {0x05, 'a', 'b'}, Kind::kBadLength},
        {"8-bit word prefix cut", {0xFF, 0x10}, Kind::kEndOfFile},
        {"8-bit huge dword", {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 'a'}, Kind::kBadLength},
        {"wide odd byte short", {0xFF, 0xFE, 0xFF, 0x01, 'A'}, Kind::kBadLength},
        {"wide huge dword",
         {0xFF, 0xFE, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF},
         Kind::kBadLength},
        {"marker twice", {0xFF, 0xFE, 0xFF, 0xFF, 0xFE, 0xFF, 0x00}, Kind::kBadString},
        {"marker then nothing", {0xFF, 0xFE, 0xFF}, Kind::kEndOfFile},
    };
    for (const Case& c : cases) {
        ArchiveReader r(c.bytes);
        try {
            (void)r.ReadString();
            ADD_FAILURE() << c.name << ": no error";
        } catch (const ArchiveError& e) {
            EXPECT_EQ(e.kind(), c.kind) << c.name;
        }
    }

    Bytes escapedCut{0xFF, 0xFF, 0x01};
    ArchiveReader counts(escapedCut);
    EXPECT_THROW((void)counts.ReadCount(), ArchiveError);

    Bytes eight(8);
    ArchiveReader records(eight);
    EXPECT_NO_THROW(records.RequireRecords(1, 8));
    EXPECT_THROW(records.RequireRecords(2, 8), ArchiveError);
    EXPECT_THROW(records.RequireRecords(0xFFFFFFFFu, 8), ArchiveError);
}

TEST(SafeSave, CreatesAndReplacesFilesLeavingNoTemporaries) {
    testing::TempDir dir;
    const std::string path = dir.file("set.par");
    Bytes first{1, 2, 3};
    Bytes second{4, 5};
    ASSERT_TRUE(SafeSaveFile(path, first));
    EXPECT_EQ(testing::readFile(path), first);
    ASSERT_TRUE(SafeSaveFile(path, second));
    EXPECT_EQ(testing::readFile(path), second);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()),
                            std::filesystem::directory_iterator()),
              1);
}

// A file-size limit is how a full disk is made here; Windows has none to set.
#ifdef KORVANE_HAVE_RLIMIT
TEST(SafeSave, AFailedWriteKeepsTheOldFileAndRemovesTheTemporary) {
    testing::TempDir dir;
    const std::string path = dir.file("group.usr");
    Bytes old{9, 9, 9, 9};
    ASSERT_TRUE(SafeSaveFile(path, old));

    // A file-size limit makes the write itself fail part-way, even for a privileged user.
    struct rlimit saved {};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    auto previousHandler = signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = saved;
    small.rlim_cur = 16;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    std::string error;
    bool ok = SafeSaveFile(path, Bytes(4096, 0xAB), &error);
    setrlimit(RLIMIT_FSIZE, &saved);
    signal(SIGXFSZ, previousHandler);

    EXPECT_FALSE(ok);
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(testing::readFile(path), old);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()),
                            std::filesystem::directory_iterator()),
              1);
}
#endif

TEST(SafeSave, FailsCleanlyWhenTheTargetCannotBeReplaced) {
    testing::TempDir dir;
    std::filesystem::create_directories(dir.file("busy/inside"));
    EXPECT_FALSE(SafeSaveFile(dir.file("busy"), Bytes{1}));
    EXPECT_TRUE(std::filesystem::is_directory(dir.file("busy/inside")));
    EXPECT_FALSE(SafeSaveFile(dir.file("missing/set.par"), Bytes{1}));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()),
                            std::filesystem::directory_iterator()),
              1);
}

}  // namespace
}  // namespace korvane
