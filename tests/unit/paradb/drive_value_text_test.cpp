#include "paradb/drive_value_text.h"

#include <gtest/gtest.h>

#include "paradb/drive_record.h"

namespace korvane {
namespace {

TEST(FormatCommonValue, TextOfEachCommonAddress) {
    struct Case {
        int address;
        int value;
        int series;
        int version;
        const char* expected;
    };
    const Case cases[] = {
        {0x0000, 10, 0, 0, "Juniper"},
        {0x0000, 99, 4, 0x0100, "未知"},
        // The capacity needs the voltage class, which only a drive's record holds.
        {0x0001, 3, 4, 0x0100, "未知"},
        {0x0002, 1, 4, 0x0100, "未知"},
        // The value at 0x0003 is the version word itself.
        {0x0003, 0x0312, 11, 0x0100, "3.18"},
        {0x0005, 6000, 4, 0x0100, "60.00 Hz"},
        {0x000A, 12345, 4, 0x0100, "123.45 Hz"},
        {0x000A, 0xFFFF, 4, 0x0100, "655.35 Hz"},
        {0x0007, 100, 4, 0x0100, "未知"},
        {0x0504, 100, 5, 0x0100, "未知"},
        {0x0009, 123, 4, 0x0100, "12.3 A"},
        {0x000B, 3805, 5, 0x0100, "380.5 V"},
        {0x000B, 380, 4, 0x0100, "380 V"},
        {0x000C, 5650, 5, 0x0100, "565.0 V"},
        {0x000C, 565, 9, 0x0100, "565 V"},
        {0x000D, 75, 4, 0x0100, "7.5 kW"},
        {0x000E, 0x0012, 4, 0x0100, "順方向 加速中…"},
        {0x000F, 0x0006, 4, 0x0100, "過電圧 (OV)"},
        {0x000F, 0x0001, 11, 0x0100, ""},
        {0x000F, 0x0001, 7, 0x0500, ""},
        {0x001D, 0x0002, 10, 0x0015, "自己診断故障 (FLTL)"},
        {0x001D, 0x0002, 10, 0x0014, ""},
        {0x001D, 1800, 5, 0x0100, "未知"},
        {0x0330, 0x4000, 11, 0x0100, "過熱"},
        {0x0333, 0x0001, 11, 0x0100, "ADCエラー"},
        {0x0330, 0x0001, 4, 0x0100, "未知"},
        {0x0015, 1800, 4, 0x0100, "1800 rpm"},
        {0x001A, 1, 4, 0x0100, "1"},
        {0x001B, 4, 4, 0x0100, "4"},
        {0x0020, 0xFF38, 5, 0x0100, "-200 rpm"},
        {0x0020, 1800, 5, 0x0100, "1800 rpm"},
        {0x0022, 0xFFF6, 5, 0x0100, "-1.0 %"},
        {0x0022, 1234, 5, 0x0100, "123.4 %"},
        {0x0502, 0xFC18, 5, 0x0100, "-100.0 rpm"},
        {0x0502, 18000, 5, 0x0100, "1800.0 rpm"},
        {0x0004, 1, 4, 0x0100, "未知"},
        {0xFFFF, 1, 4, 0x0100, "未知"},
        {-1, 1, 4, 0x0100, "未知"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(FormatCommonValue(c.address, c.value, c.series, c.version), c.expected)
            << "address " << c.address << " value " << c.value << " series " << c.series;
    }
}

// The argument is deliberately different from the record's word: for the words the record
// keeps, the record wins.
TEST(FormatDriveValue, TakesTheWordsTheRecordKeepsFromTheRecord) {
    DriveRecord elm(3);
    elm.seriesCode = 4;
    elm.capacityCode = 4;
    elm.inputVoltageCode = 1;
    elm.version = 0x0312;
    elm.outputCurrent = 123;
    elm.outputFrequency = 6000;
    elm.statusWord = 0x0002;
    elm.faultWord1 = 0x0002;
    elm.speedDisplayMode = 1;
    elm.motorPoles = 4;
    struct Case {
        int address;
        int argument;
        const char* expected;
    };
    const Case cases[] = {
        {0x0000, 99, "Elm"},
        {0x0001, 0, "5.5kW-4"},
        {0x0003, 0, "3.18"},
        {0x0009, 0, "12.3 A"},
        {0x000A, 0, "60.00 Hz"},
        {0x000E, 0, "順方向"},
        {0x000F, 0, "過電圧 (OV)"},
        {0x001A, 7, "1"},
        {0x001B, 7, "4"},
        {0x0005, 5000, "50.00 Hz"},
        {0x000C, 540, "540 V"},
        {0x000D, 22, "2.2 kW"},
        {0x0002, 1, "未知"},
        // The record's frequency word is not the speed at 0x0015.
        {0x0015, 1750, "1750 rpm"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(FormatDriveValue(elm, c.address, c.argument), c.expected) << c.address;
    }
}

TEST(FormatDriveValue, FirSpeedAndTorqueComeFromTheRecordCommandsFromTheArgument) {
    DriveRecord fir(5);
    fir.seriesCode = 5;
    fir.version = 0x0105;
    fir.outputFrequency = 0xFF9C;  // the speed word at 0x0020 on these drives
    fir.torqueFeedback = 0x0064;
    EXPECT_EQ(FormatDriveValue(fir, 0x0020, 0), "-100 rpm");
    EXPECT_EQ(FormatDriveValue(fir, 0x0022, 0), "10.0 %");
    EXPECT_EQ(FormatDriveValue(fir, 0x0502, 15000), "1500.0 rpm");
    EXPECT_EQ(FormatDriveValue(fir, 0x000C, 5650), "565.0 V");
    EXPECT_EQ(FormatDriveValue(fir, 0x0003, 0), "1.5");
}

TEST(FormatDriveValue, RampTimesFollowTheRecordsTimeScale) {
    struct Case {
        int timeScale;
        const char* expected;
    };
    const Case cases[] = {
        {1, "25 sec"}, {10, "2.5 sec"}, {100, "0.25 sec"}, {0, "2.5 sec"}, {7, "2.5 sec"},
    };
    DriveRecord drive(1);
    drive.seriesCode = 4;
    for (const Case& c : cases) {
        drive.timeScale = c.timeScale;
        for (int address : {0x0007, 0x0008, 0x0503, 0x0504}) {
            EXPECT_EQ(FormatDriveValue(drive, address, 25), c.expected)
                << "scale " << c.timeScale << " address " << address;
        }
    }
}

TEST(FormatDriveValue, TripWordsOfJuniperAndKapokComeFromTheRecord) {
    DriveRecord kapok(2);
    kapok.seriesCode = 11;
    kapok.version = 0x0100;
    kapok.faultWords3to6 = {0, 0, 0x0004, 0x0001};
    EXPECT_EQ(FormatDriveValue(kapok, 0x0330, 0xFFFF), "");
    EXPECT_EQ(FormatDriveValue(kapok, 0x0331, 0xFFFF), "");
    EXPECT_EQ(FormatDriveValue(kapok, 0x0332, 0), "損失コマンド");
    EXPECT_EQ(FormatDriveValue(kapok, 0x0333, 0), "ADCエラー");

    DriveRecord juniper(4);
    juniper.seriesCode = 10;
    juniper.version = 0x0015;
    juniper.faultWord2 = 0x0008;
    EXPECT_EQ(FormatDriveValue(juniper, 0x001D, 0), "コピー装置故障 (REEP)");
    juniper.version = 0x0014;
    EXPECT_EQ(FormatDriveValue(juniper, 0x001D, 0), "");
}

TEST(FormatDriveValue, SmallestNewerGumDriveKeepsItsLoweredCode) {
    DriveRecord gum(6);
    gum.seriesCode = 7;
    gum.version = 0x0500;
    gum.capacityCode = -1;
    EXPECT_EQ(FormatDriveValue(gum, 0x0001, 0), "0.4kW-2");
    gum.inputVoltageCode = 1;
    gum.capacityCode = 4;
    EXPECT_EQ(FormatDriveValue(gum, 0x0001, 0), "4.0kW-4");
}

}  // namespace
}  // namespace korvane
