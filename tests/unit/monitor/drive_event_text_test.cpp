#include "monitor/drive_event_text.h"

#include <gtest/gtest.h>

#include "paradb/drive_record.h"

namespace korvane {
namespace {

TEST(FaultName, FollowsTheSeriesRuleForWhichWordToName) {
    struct Case {
        int series;
        int version;
        std::array<int, 6> words;
        const char* name;
    };
    const Case cases[] = {
        {4, 0x0100, {0x0006, 0, 0, 0, 0, 0}, "過電圧 (OV)"},
        {10, 21, {0, 0x0002, 0, 0, 0, 0}, "自己診断故障 (FLTL)"},  // falls back to word 2
        {10, 21, {0x0001, 0x0002, 0, 0, 0, 0}, "過電流 (OCT)"},
        {10, 20, {0, 0x0002, 0, 0, 0, 0}, ""},  // before the second word existed
        {11, 0x0100, {0x0001, 0, 0, 0x0008, 0, 0x0001}, "FANトリップ"},
        {11, 0x0100, {0, 0, 0, 0, 0, 0x0001}, "ADCエラー"},
        {11, 0x0100, {0x0001, 0, 0, 0, 0, 0}, ""},  // series 11 has no word-1 trips
        {5, 0x0100, {0, 0, 0, 0, 0, 0}, ""},
    };
    for (const Case& c : cases) {
        DriveRecord d(1);
        d.seriesCode = c.series;
        d.version = c.version;
        d.faultWord1 = c.words[0];
        d.faultWord2 = c.words[1];
        d.faultWords3to6 = {c.words[2], c.words[3], c.words[4], c.words[5]};
        EXPECT_EQ(FaultName(d), c.name) << "series " << c.series << " version " << c.version;
    }
}

TEST(DriveEventText, StatusFaultAndLineTexts) {
    struct Case {
        int series;
        int frequency;
        int status;
        const char* text;
    };
    const Case cases[] = {
        {4, 6000, 0x0012, "60.00 Hz 順方向 加速中…"}, {4, 0, 0x0081, "0.00 Hz 停止DC制動中…"},
        {5, 1800, 0x0081, "1800 rpm 停止"},  // series 5: speed, and no braking text
        {9, 1234, 0x0018, "12.34 Hz 障害"},           {10, 500, 0x0024, "5.00 Hz 逆方向 減速中…"},
    };
    for (const Case& c : cases) {
        DriveRecord d(2);
        d.seriesCode = c.series;
        d.outputFrequency = c.frequency;
        d.statusWord = c.status;
        EXPECT_EQ(StatusEventText(d), c.text) << c.series << " " << c.status;
    }

    DriveRecord d(14);
    d.seriesCode = 8;
    d.faultWord1 = 0x0020;
    EXPECT_EQ(FaultEventText(d), "接地故障 (GF)障害発生");
    EXPECT_EQ(DriveEventLine(d, "", "接続済み"), "14:Hazel 接続済み");
    EXPECT_EQ(DriveEventLine(d, "Press", "切断済み"), "14:Hazel(Press) 切断済み");
}

}  // namespace
}  // namespace korvane
