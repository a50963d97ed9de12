#include "monitor/alarm_history.h"

#include <gtest/gtest.h>
#include <signal.h>
#if __has_include(<sys/resource.h>)
#include <sys/resource.h>
#define KORVANE_HAVE_RLIMIT 1
#endif

#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>

#include "common/clock.h"
#include "common/prompter.h"
#include "monitor/fault_list.h"
#include "paradb/drive_record.h"

namespace korvane {
namespace {

// The prompter here answers at once; so does the change or the clear.
CHistory::ChangeResult ChangeFile(CHistory& history, const std::string& path, Prompter& prompter) {
    std::optional<CHistory::ChangeResult> result;
    history.changeFile(path, prompter, "Korvane", [&](CHistory::ChangeResult r) { result = r; });
    EXPECT_TRUE(result.has_value());
    return result.value_or(CHistory::ChangeResult::kUnchanged);
}

bool Cleared(CHistory& history, Prompter& prompter) {
    bool cleared = false;
    history.askAndClear(prompter, "Korvane", [&] { cleared = true; });
    return cleared;
}

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

// Wide-string element of the file: marker 0xFF 0xFFFE, length byte, UTF-16LE units.
Bytes wide(std::initializer_list<char16_t> units) {
    Bytes b{0xFF, 0xFE, 0xFF, static_cast<std::uint8_t>(units.size())};
    for (char16_t u : units) {
        b.push_back(static_cast<std::uint8_t>(u));
        b.push_back(static_cast<std::uint8_t>(u >> 8));
    }
    return b;
}

Bytes ascii(const std::string& s) {
    Bytes b{0xFF, 0xFE, 0xFF, static_cast<std::uint8_t>(s.size())};
    for (char c : s) {
        b.push_back(static_cast<std::uint8_t>(c));
        b.push_back(0);
    }
    return b;
}

Bytes cat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}

std::vector<HistoryEntry> twoEntries() {
    HistoryEntry newest{"2024.03.05", "07:08:09", 12, 4, 3, 1, {0x0002, 0, 0, 0, 0, 0}, "ポンプ"};
    HistoryEntry older{"2024.03.04", "23:59:58", 3, 10, 0xFFFF, 0, {0, 0x0002, 0, 0, 0, 0}, ""};
    return {newest, older};
}

// The same two entries as a file, column by column.
Bytes twoEntryFile() {
    return cat({
        {0x02, 0x00},
        ascii("2024.03.05"),
        ascii("2024.03.04"),
        {0x02, 0x00},
        ascii("07:08:09"),
        ascii("23:59:58"),
        {0x02, 0x00, 12, 0, 3, 0},       // station
        {0x02, 0x00, 4, 0, 10, 0},       // series code
        {0x02, 0x00, 3, 0, 0xFF, 0xFF},  // capacity code
        {0x02, 0x00, 1, 0, 0, 0},        // input-voltage code
        {0x02, 0x00, 0x02, 0, 0, 0},     // fault word 1
        {0x02, 0x00, 0, 0, 0x02, 0},     // fault word 2
        {0x02, 0x00, 0, 0, 0, 0},        // fault words 3..6
        {0x02, 0x00, 0, 0, 0, 0},
        {0x02, 0x00, 0, 0, 0, 0},
        {0x02, 0x00, 0, 0, 0, 0},
        {0x02, 0x00},
        wide({u'ポ', u'ン', u'プ'}),
        wide({}),
    });
}

Bytes readFile(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

void writeFile(const fs::path& p, const Bytes& b) {
    std::ofstream(p, std::ios::binary)
        .write(reinterpret_cast<const char*>(b.data()), static_cast<std::streamsize>(b.size()));
}

struct HistoryFixture : ::testing::Test {
    FixedClock clock{LocalTime{2024, 3, 5, 7, 8, 9, 0}};
    CHistory history{clock};
    RecordingPrompter prompter;
    fs::path dir;

    void SetUp() override {
        dir = fs::temp_directory_path() /
              ("korvane_history_" +
               std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    void TearDown() override { fs::remove_all(dir); }

    void addFault(int station, int faultWord1) {
        DriveRecord d(station);
        d.seriesCode = 4;
        d.faultWord1 = faultWord1;
        history.add(d, "");
    }
};

TEST(HistoryFile, WritesAndReadsTheColumnLayoutByteForByte) {
    EXPECT_EQ(SerializeHistory(twoEntries()), twoEntryFile());
    std::vector<HistoryEntry> read;
    ASSERT_TRUE(ParseHistory(twoEntryFile(), read, 200));
    EXPECT_EQ(read, twoEntries());

    Bytes empty(13 * 2, 0);  // thirteen zero counts
    EXPECT_EQ(SerializeHistory({}), empty);
    ASSERT_TRUE(ParseHistory(empty, read, 200));
    EXPECT_TRUE(read.empty());
}

TEST(HistoryFile, ReadsLongCountsAndEightBitTexts) {
    // Count 0xFFFF + 32-bit count, and a date written as plain 8-bit text.
    Bytes file = cat({{0xFF, 0xFF, 1, 0, 0, 0},
                      {10},
                      {'2', '0', '2', '4', '.', '0', '1', '.', '0', '2'},
                      {1, 0},
                      ascii("10:00:00")});
    for (int column = 0; column < 10; ++column) file.insert(file.end(), {1, 0, 7, 0});
    file.insert(file.end(), {1, 0, 0});  // device name: empty 8-bit text
    std::vector<HistoryEntry> read;
    ASSERT_TRUE(ParseHistory(file, read, 200));
    ASSERT_EQ(read.size(), 1u);
    EXPECT_EQ(read[0].date, "2024.01.02");
    EXPECT_EQ(read[0].faultWords[5], 7);
}

TEST(HistoryFile, DamagedFilesNeverCrashOrAllocateWhatTheyClaim) {
    std::vector<HistoryEntry> read;

    // The device-name column lost its last element: the columns are cut to the shortest.
    const Bytes base = twoEntryFile();
    const Bytes name = wide({u'ポ', u'ン', u'プ'});
    const std::size_t nameColumnBytes = 2 + name.size() + wide({}).size();
    Bytes damaged(base.begin(), base.end() - static_cast<std::ptrdiff_t>(nameColumnBytes));
    damaged.insert(damaged.end(), {0x01, 0x00});
    damaged.insert(damaged.end(), name.begin(), name.end());
    ASSERT_TRUE(ParseHistory(damaged, read, 200));
    ASSERT_EQ(read.size(), 1u);
    EXPECT_EQ(read[0], twoEntries()[0]);

    const std::vector<Bytes> unreadable = {
        Bytes(base.begin(), base.end() - 1),               // truncated inside the last text
        {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x7F},              // two billion dates, no bytes
        {0x01, 0x00, 0xFF, 0xFE, 0xFF, 0xFF, 0xFE, 0xFF},  // a 65534-character date
        {0x05},                                            // half a count
    };
    for (const Bytes& b : unreadable) {
        read.push_back({});
        EXPECT_FALSE(ParseHistory(b, read, 200)) << b.size();
        EXPECT_TRUE(read.empty());
    }
}

TEST_F(HistoryFixture, NewestFirstAnd201stFaultDropsTheOldest) {
    for (int i = 1; i <= 200; ++i) EXPECT_FALSE(history.add(DriveRecord(i), ""));
    DriveRecord drive(7);
    drive.seriesCode = 11;
    drive.capacityCode = 5;
    drive.inputVoltageCode = 1;
    drive.faultWord1 = 0x1234;
    drive.faultWords3to6 = {0, 0x0008, 0, 0x0002};
    EXPECT_TRUE(history.add(drive, "Fan"));

    ASSERT_EQ(history.size(), 200u);
    EXPECT_EQ(
        history.entries()[0],
        (HistoryEntry{
            "2024.03.05", "07:08:09", 7, 11, 5, 1, {0x1234, 0, 0, 0x0008, 0, 0x0002}, "Fan"}));
    EXPECT_EQ(history.entries()[1].station, 200);
    EXPECT_EQ(history.entries()[199].station, 2);  // station 1, the oldest, is gone
    EXPECT_EQ(FaultListRow(history.entries()[199], 199)[0], "200");
}

TEST_F(HistoryFixture, ClearAsksAndNoKeepsEveryEntry) {
    addFault(1, 1);
    addFault(2, 1);
    prompter.scriptAnswers({false, true});
    EXPECT_FALSE(Cleared(history, prompter));
    EXPECT_EQ(history.size(), 2u);
    EXPECT_TRUE(Cleared(history, prompter));
    EXPECT_EQ(history.size(), 0u);
    ASSERT_EQ(prompter.entries().size(), 2u);
    EXPECT_EQ(prompter.entries()[0].kind, "question");
    EXPECT_EQ(prompter.entries()[0].text, "全てのアラーム来歴を消去しますか");
}

TEST_F(HistoryFixture, FileOf250EntriesLoadsAsItsFirst200AndSavesThemBack) {
    std::vector<HistoryEntry> many(250);
    for (std::size_t i = 0; i < many.size(); ++i) many[i].station = static_cast<std::uint16_t>(i);
    const fs::path file = dir / "history1.log";
    writeFile(file, SerializeHistory(many));

    ASSERT_TRUE(history.load(file.string()));
    ASSERT_EQ(history.size(), 200u);
    EXPECT_EQ(history.entries().front().station, 0);
    EXPECT_EQ(history.entries().back().station, 199);

    ASSERT_TRUE(history.save());
    many.resize(200);
    EXPECT_EQ(readFile(file), SerializeHistory(many));
}

TEST_F(HistoryFixture, LoadBindsMissingFilesSilentlyAndRefusesDirectories) {
    EXPECT_TRUE(history.load((dir / "none.log").string()));
    EXPECT_TRUE(history.isBound());
    EXPECT_EQ(history.size(), 0u);

    history.loadAtStartup((dir / "no_such_dir" / "history1.log").string(), prompter, "Korvane");
    history.loadAtStartup(dir.string(), prompter, "Korvane");
    ASSERT_EQ(prompter.entries().size(), 2u);
    EXPECT_EQ(prompter.entries()[0].kind, "error");
    EXPECT_EQ(prompter.entries()[0].text, "アラーム来歴ファイルを初期化できません");
    EXPECT_FALSE(history.isBound());
    EXPECT_FALSE(history.save());
}

TEST_F(HistoryFixture, UnreadableFileIsKeptAsideBeforeTheNextSaveReplacesIt) {
    const fs::path file = dir / "history1.log";
    const Bytes garbage{0x07, 0x00, 0x01};
    writeFile(file, garbage);
    ASSERT_TRUE(history.load(file.string()));
    EXPECT_EQ(history.size(), 0u);
    addFault(1, 1);
    ASSERT_TRUE(history.save());
    EXPECT_EQ(readFile(dir / "history1.log.damaged"), garbage);
}

TEST_F(HistoryFixture, FileThatExistsButCannotBeReadIsNeverOverwritten) {
    // Larger than any file the program reads (sparse: costs no disk); root reads through
    // permissions, so size is the refusal every user meets.
    const fs::path file = dir / "history1.log";
    { std::ofstream(file) << ""; }
    fs::resize_file(file, std::uintmax_t{65} << 20);
    ASSERT_TRUE(history.load(file.string()));
    EXPECT_EQ(history.size(), 0u);
    addFault(1, 1);
    EXPECT_FALSE(history.save());
    EXPECT_EQ(fs::file_size(file), std::uintmax_t{65} << 20);

    // Moving to another file is still possible, and the new file is written from then on.
    const fs::path other = dir / "history2.log";
    EXPECT_EQ(ChangeFile(history, other.string(), prompter), CHistory::ChangeResult::kChanged);
    EXPECT_EQ(fs::file_size(file), std::uintmax_t{65} << 20);
    EXPECT_TRUE(history.save());
    EXPECT_EQ(readFile(other), SerializeHistory(history.entries()));
}

#ifdef KORVANE_HAVE_RLIMIT
// Makes every write past `bytes` fail with EFBIG, as a full disk would, even for root.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        getrlimit(RLIMIT_FSIZE, &old_);
        oldHandler_ = signal(SIGXFSZ, SIG_IGN);
        rlimit limit{bytes, old_.rlim_max};
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &old_);
        signal(SIGXFSZ, oldHandler_);
    }

private:
    rlimit old_{};
    sighandler_t oldHandler_;
};

TEST_F(HistoryFixture, FailedSaveLeavesThePreviousFileIntact) {
    const fs::path file = dir / "history1.log";
    ASSERT_TRUE(history.load(file.string()));
    addFault(1, 1);
    ASSERT_TRUE(history.save());
    const Bytes before = readFile(file);

    for (int i = 0; i < 50; ++i) addFault(2, 1);
    {
        FileSizeLimit limit(before.size() + 16);
        EXPECT_FALSE(history.save());
    }
    EXPECT_EQ(readFile(file), before);
    for (const auto& e : fs::directory_iterator(dir)) {
        EXPECT_EQ(e.path(), file) << "temporary file left behind";
    }
}
#endif

TEST_F(HistoryFixture, ChangeFileAsksWritesBothFilesAndKeepsThePathOnFailure) {
    const fs::path oldFile = dir / "history1.log";
    const fs::path newFile = dir / "other.log";
    ASSERT_TRUE(history.load(oldFile.string()));
    addFault(5, 1);
    writeFile(newFile, {0x01, 0x02});

    EXPECT_EQ(ChangeFile(history, oldFile.string(), prompter), CHistory::ChangeResult::kUnchanged);
    EXPECT_TRUE(prompter.entries().empty());

    prompter.scriptAnswers({false});
    EXPECT_EQ(ChangeFile(history, newFile.string(), prompter), CHistory::ChangeResult::kUnchanged);
    ASSERT_EQ(prompter.entries().size(), 1u);
    EXPECT_EQ(prompter.entries()[0].text,
              newFile.string() + " ファイルはすでに存在します.\n上書きを希望しますか？");
    EXPECT_EQ(readFile(newFile), (Bytes{0x01, 0x02}));

    EXPECT_EQ(ChangeFile(history, (dir / "gone" / "h.log").string(), prompter),
              CHistory::ChangeResult::kFailed);
    EXPECT_EQ(prompter.entries().back().kind, "error");
    EXPECT_EQ(prompter.entries().back().text, "アラーム来歴ファイルパスを変更できません");
    EXPECT_EQ(history.path(), oldFile.string());

    prompter.scriptAnswers({true});
    EXPECT_EQ(ChangeFile(history, newFile.string(), prompter), CHistory::ChangeResult::kChanged);
    EXPECT_EQ(history.path(), newFile.string());
    EXPECT_EQ(history.size(), 1u);
    EXPECT_EQ(readFile(oldFile), SerializeHistory(history.entries()));
    EXPECT_EQ(readFile(newFile), SerializeHistory(history.entries()));
}

TEST(FaultList, RowTextsAndColumns) {
    const auto entries = twoEntries();
    const std::array<std::string, 8> newest = {"1",      "2024.03.05", "07:08:09", "12",
                                               "ポンプ", "Elm",        "3.7kW-4",  "過電圧 (OV)"};
    EXPECT_EQ(FaultListRow(entries[0], 0), newest);
    // Series 10 with nothing in word 1 names its second fault word.
    const std::array<std::string, 8> older = {"2", "2024.03.04", "23:59:58", "3",
                                              "",  "Juniper",    "0.4kW-2",  "自己診断故障 (FLTL)"};
    EXPECT_EQ(FaultListRow(entries[1], 1), older);

    EXPECT_STREQ(kFaultListColumns[0].header, "Num.");
    EXPECT_EQ(kFaultListColumns[0].defaultWidth, 40);
    EXPECT_EQ(kFaultListColumns[7].defaultWidth, 150);
}

}  // namespace
}  // namespace korvane
