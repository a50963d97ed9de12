#include <gtest/gtest.h>

#include "sim/sim_drive.h"

namespace korvane::sim {
namespace {

std::uint16_t readWord(const SimDrive& d, std::uint16_t address) {
    std::uint16_t v = 0xDEAD;
    EXPECT_EQ(d.read(address, v), Access::Ok) << "address " << address;
    return v;
}

void command(SimDrive& d, std::uint16_t address, std::uint16_t value) {
    ASSERT_EQ(d.write(address, value), Access::Ok);
}

TEST(SimDrive, IdentifiesItselfWithTheGivenWords) {
    SimDrive d({3, 11, 0x0310, 5, 1});
    EXPECT_EQ(readWord(d, kAddrSeries), 11);
    EXPECT_EQ(readWord(d, kAddrCapacity), 5);
    EXPECT_EQ(readWord(d, kAddrVoltage), 1);
    EXPECT_EQ(readWord(d, kAddrVersion), 0x0310);
    EXPECT_EQ(readWord(d, kAddrStatus), kStatStopped);
}

TEST(SimDrive, RefusesWritesAndReadsItCannotTake) {
    struct Case {
        int series;
        std::uint16_t address;
        std::uint16_t value;
        Access expected;
    } cases[] = {
        {4, kAddrSeries, 1, Access::ReadOnly},
        {4, kAddrOutputFreq, 1, Access::ReadOnly},
        {4, kAddrStatus, 0, Access::ReadOnly},
        {4, 0x0004, 0, Access::UnknownAddress},
        {4, 0x003F, 0, Access::UnknownAddress},
        {4, kAddrFreqCommand, kMaxFrequency, Access::Ok},
        {4, kAddrFreqCommand, kMaxFrequency + 1, Access::OutOfRange},
        {4, kAddrRunCommand, kRunForward | kRunReverse, Access::OutOfRange},
        {4, kAddrRunCommand, 0x0100, Access::OutOfRange},
        {4, kAddrPoles, 3, Access::OutOfRange},
        {4, kAddrSpeedMode, 2, Access::OutOfRange},
        {11, 0x0331, 0, Access::ReadOnly},  // trip words of series 11
        {4, 0x0331, 7, Access::Ok},         // an ordinary parameter elsewhere
        {4, 0x1234, 0xFFFF, Access::Ok},
    };
    for (const auto& c : cases) {
        SimDrive d({1, c.series, 0x0100, 3, 1});
        EXPECT_EQ(d.write(c.address, c.value), c.expected) << "series " << c.series << " address " << c.address;
    }
    SimDrive d({1, 4, 0x0100, 3, 1});
    std::uint16_t v;
    EXPECT_EQ(d.read(0x0004, v), Access::UnknownAddress);
    EXPECT_EQ(d.read(0x0330, v), Access::Ok);  // not series 11: a parameter word
}

TEST(SimDrive, ParameterTableMakesTheAreaStrict) {
    SimDrive d({1, 4, 0x0100, 3, 1});
    command(d, 0x0200, 55);
    d.applyParameters({{0x0100, 10, 0, 100, true}, {0x0101, 7, 0, 10, false}, {0x0102, 0, -100, 100, true}});
    EXPECT_EQ(readWord(d, 0x0100), 10);
    EXPECT_EQ(readWord(d, 0x0101), 7);
    std::uint16_t v;
    EXPECT_EQ(d.read(0x0200, v), Access::UnknownAddress);
    EXPECT_EQ(d.write(0x0100, 101), Access::OutOfRange);
    EXPECT_EQ(d.write(0x0101, 5), Access::ReadOnly);
    EXPECT_EQ(d.write(0x0102, 0xFF9C), Access::Ok);  // -100 as a signed word
    EXPECT_EQ(d.write(0x0102, 0xFF9B), Access::OutOfRange);
    EXPECT_EQ(readWord(d, kAddrSeries), 4);  // the common area is not the table's
}

TEST(SimDrive, RampsWithTheAccelerationAndDecelerationTimes) {
    SimDrive d({1, 4, 0x0100, 3, 1});
    command(d, kAddrFreqCommand, 6000);
    command(d, kAddrAccelTime, 20);  // 2.0 s from 0 to 60 Hz
    command(d, kAddrDecelTime, 40);
    command(d, kAddrRunCommand, kRunForward);

    struct Step {
        int elapsedMs;
        int frequency;
        std::uint16_t status;
    } steps[] = {
        {1000, 3000, kStatForward | kStatAccelerating},
        {1000, 6000, kStatForward},
        {5000, 6000, kStatForward},
    };
    for (const auto& s : steps) {
        d.advance(s.elapsedMs);
        EXPECT_EQ(readWord(d, kAddrOutputFreq), s.frequency);
        EXPECT_EQ(readWord(d, kAddrStatus), s.status);
    }
    command(d, kAddrRunCommand, kRunStop);
    d.advance(2000);
    EXPECT_EQ(readWord(d, kAddrOutputFreq), 3000);
    EXPECT_EQ(readWord(d, kAddrStatus), kStatForward | kStatDecelerating);
    d.advance(2100);  // reaches standstill and brakes with DC for a moment
    EXPECT_EQ(readWord(d, kAddrOutputFreq), 0);
    EXPECT_EQ(readWord(d, kAddrStatus), kStatStopped | kStatDcBraking);
    d.advance(kDcBrakeMs);
    EXPECT_EQ(readWord(d, kAddrStatus), kStatStopped);
}

TEST(SimDrive, ReversingDeceleratesThroughStandstill) {
    SimDrive d({1, 4, 0x0100, 3, 1});
    command(d, kAddrFreqCommand, 3000);
    command(d, kAddrAccelTime, 10);  // 1.2 Hz per 20 ms
    command(d, kAddrDecelTime, 10);
    command(d, kAddrRunCommand, kRunForward);
    d.advance(1000);
    ASSERT_EQ(d.outputFrequency(), 3000);
    command(d, kAddrRunCommand, kRunReverse);
    d.advance(250);
    EXPECT_EQ(d.outputFrequency(), 1500);
    EXPECT_EQ(readWord(d, kAddrStatus), kStatForward | kStatDecelerating);
    d.advance(500);
    EXPECT_EQ(d.outputFrequency(), -1500);
    EXPECT_EQ(readWord(d, kAddrStatus), kStatReverse | kStatAccelerating);
    EXPECT_EQ(readWord(d, kAddrOutputFreq), 1500);  // the magnitude; the direction is in the status
    d.advance(10000);
    EXPECT_EQ(d.outputFrequency(), -3000);
}

TEST(SimDrive, ManySmallStepsRampLikeOneLargeStep) {
    SimDrive a({1, 4, 0x0100, 3, 1}), b({1, 4, 0x0100, 3, 1});
    for (SimDrive* d : {&a, &b}) {
        command(*d, kAddrAccelTime, 73);
        command(*d, kAddrRunCommand, kRunForward);
    }
    for (int i = 0; i < 300; ++i) a.advance(10);
    b.advance(3000);
    EXPECT_NEAR(a.outputFrequency(), b.outputFrequency(), 1);
}

TEST(SimDrive, TripSetsTheSeriesTripWordAndResetClearsIt) {
    struct Case {
        int series, version, bit;
        std::uint16_t address, word;
    } cases[] = {
        {4, 0x0100, 1, kAddrTrip1, 0x0002},
        {10, 21, 17, kAddrTrip2, 0x0002},
        {11, 0x0310, 0, 0x0330, 0x0001},
        {11, 0x0310, 34, 0x0332, 0x0004},
    };
    for (const auto& c : cases) {
        SimDrive d({1, c.series, c.version, 3, 1});
        command(d, kAddrRunCommand, kRunForward);
        d.advance(3000);
        ASSERT_TRUE(d.trip(c.bit));
        EXPECT_EQ(readWord(d, c.address), c.word) << "series " << c.series;
        EXPECT_EQ(readWord(d, kAddrStatus), kStatStopped | kStatFault);
        EXPECT_EQ(readWord(d, kAddrOutputFreq), 0);
        command(d, kAddrRunCommand, kRunForward);  // ignored while tripped
        d.advance(1000);
        EXPECT_EQ(d.outputFrequency(), 0);
        command(d, kAddrRunCommand, kRunReset);
        EXPECT_EQ(readWord(d, c.address), 0);
        EXPECT_EQ(readWord(d, kAddrStatus), kStatStopped);
    }
    SimDrive d({1, 4, 0x0100, 3, 1});
    EXPECT_FALSE(d.trip(16));  // series 4 has a single trip word
}

TEST(SimDrive, Series5ReportsItsOutputFrequencyAtTheSpeedAddress) {
    SimDrive d5({1, 5, 0x0100, 3, 1}), d4({1, 4, 0x0100, 3, 1});
    for (SimDrive* d : {&d5, &d4}) {
        command(*d, kAddrAccelTime, 0);
        command(*d, kAddrRunCommand, kRunReverse);
        d->advance(1);
    }
    EXPECT_EQ(readWord(d5, kAddrSpeed), 6000);
    EXPECT_EQ(static_cast<std::int16_t>(readWord(d4, kAddrSpeed)), -1800);  // 4 poles at 60 Hz
}

}  // namespace
}  // namespace korvane::sim
