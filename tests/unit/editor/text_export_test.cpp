#include "editor/text_export.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "editor_fixture.h"
#include "unit/paradb/paradb_test_util.h"

namespace korvane::testing {
namespace {

std::string AsString(const std::vector<std::uint8_t>& bytes) {
    return std::string(bytes.begin(), bytes.end());
}

void SetValues(CDataFile& data) {
    data.FindItem(kAccTime)->value = 200;
    data.FindItem(kRunSource)->value = 1;
    data.FindItem(kOffset)->value = 0xFFFB;
    data.FindItem(kTerminals)->value = 5;
    data.FindItem(kGain)->value = 100;
    data.FindItem(kTwenty)->value = 50;
    // A failed read leaves the value it had and is exported like any other.
    data.FindItem(kMaxFreq)->readState = 2;
}

TEST(EditorTextExport, OfflineFileIsWrittenByteForByte) {
    EditorServices env;
    DriveRecord& record = env.drive(kFirstOfflineKey);
    SetValues(*record.driveData);
    TempDir dir;
    const std::string path = dir.file("out.txt");
    writeFile(path, Bytes(4000, 'x'));  // a longer old file must not leave a tail

    EncodedText written;
    ASSERT_TRUE(SaveParameterText(path, *record.driveData, record, &written));
    EXPECT_EQ(written.encoding, TextEncoding::kLatin1);
    const std::string expected =
        "OFF-LINE Kapok Ver3.16\r\n"
        "\r\n"
        "[Basic]\r\n"
        "1 = Max Freq            , 60.00          , Hz\r\n"
        "4 = Acc Time            , 20.0           , sec\r\n"
        "5 = Exactly twenty chars, 50             , %\r\n"
        "6 = Run source          , Terminal       , \r\n"
        "7 = Offset              , -0.05          , Hz\r\n"
        "\r\n"
        "[Monitor]\r\n"
        "\r\n"
        "[Bits]\r\n"
        "1 = Terminal map        , b00000101      , \r\n"
        "2 = Gain                , 100            , %\r\n"
        "\r\n";
    EXPECT_EQ(AsString(readFile(path)), expected);
}

TEST(EditorTextExport, OnlineTitleNamesStationCapacityAndVersion) {
    EditorServices env;
    DriveRecord& record = env.drive(7);
    record.capacityCode = 3;
    const std::string text = ParameterText(*record.driveData, record);
    EXPECT_EQ(text.substr(0, text.find("\r\n\r\n[Basic]")), "ON-LINE 7 : Kapok (3.7kW-2) Ver3.16");
}

TEST(EditorTextExport, OnlineValuesNotReadFromTheDriveAreLeftBlank) {
    EditorServices env;
    DriveRecord& record = env.drive(7);
    CDataFile& data = *record.driveData;
    SetValues(data);
    for (std::uint16_t address : {kAccTime, kRunSource, kOffset, kTerminals, kGain, kTwenty})
        data.FindItem(address)->readState = 1;
    data.FindItem(kOffset)->readState = 2;  // read, refused
    data.FindItem(kGain)->readState = 0;    // never reached
    const std::string text = ParameterText(data, record);
    EXPECT_NE(text.find("4 = Acc Time            , 20.0           , sec\r\n"), std::string::npos);
    for (const char* blank : {"1 = Max Freq            ,                , Hz\r\n",
                              "7 = Offset              ,                , Hz\r\n",
                              "2 = Gain                ,                , %\r\n"})
        EXPECT_NE(text.find(blank), std::string::npos) << blank << text;
    EXPECT_EQ(UnreadValueCount(data, record), 3);

    // Offline, nothing comes from a drive, so nothing is missing.
    DriveRecord& offline = env.drive(kFirstOfflineKey);
    offline.driveData->FindItem(kGain)->readState = 0;
    EXPECT_EQ(UnreadValueCount(*offline.driveData, offline), 0);
}

TEST(EditorTextExport, NamesBeyondOneByteTurnTheWholeFileIntoUtf8WithAMark) {
    EditorServices env;
    DriveRecord& record = env.drive(kFirstOfflineKey, ExportImage(true));
    TempDir dir;
    EncodedText written;
    ASSERT_TRUE(SaveParameterText(dir.file("jp.txt"), *record.driveData, record, &written));
    EXPECT_EQ(written.encoding, TextEncoding::kUtf8);
    const std::string file = AsString(readFile(dir.file("jp.txt")));
    EXPECT_EQ(file.substr(0, 3), "\xEF\xBB\xBF");
    EXPECT_NE(file.find("[端子]\r\n"), std::string::npos);
    // Padding counts characters, not bytes.
    EXPECT_NE(file.find("2 = ゲイン" + std::string(17, ' ') + ", "), std::string::npos);
}

TEST(EditorTextExport, EncodingTakesOneBytePerCharacterWheneverAllFit) {
    struct Case {
        std::string in;
        TextEncoding encoding;
        std::string bytes;
    } cases[] = {
        {"abc\r\n", TextEncoding::kLatin1, "abc\r\n"},
        {"\xC2\xB5s \xC3\xBF", TextEncoding::kLatin1, "\xB5s \xFF"},
        {"a\xC4\x80", TextEncoding::kUtf8,
         "\xEF\xBB\xBF"
         "a\xC4\x80"},
        {"", TextEncoding::kLatin1, ""},
    };
    for (const Case& c : cases) {
        EncodedText e = EncodeParameterText(c.in);
        EXPECT_EQ(e.encoding, c.encoding) << c.in;
        EXPECT_EQ(AsString(e.bytes), c.bytes) << c.in;
    }
}

TEST(EditorTextExport, FailedSaveLeavesNoFileBehind) {
    EditorServices env;
    DriveRecord& record = env.drive(kFirstOfflineKey);
    TempDir dir;
    std::string error;
    EXPECT_FALSE(
        SaveParameterText(dir.file("missing/out.txt"), *record.driveData, record, nullptr, &error));
    EXPECT_FALSE(error.empty());
    EXPECT_FALSE(std::filesystem::exists(dir.file("missing")));
}

}  // namespace
}  // namespace korvane::testing
