// Polled words to engineering units, per address kind and series, and the trigger's edges.
#include "scope/scope_conversion.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "paradb/monitor_list.h"
#include "scope/scope_trigger.h"

namespace korvane::scope {
namespace {

MonitorItem valueItem(int address, int divisor, int minimum = 0) {
    MonitorItem item;
    item.address = static_cast<std::uint16_t>(address);
    item.divisor = divisor;
    item.minimum = minimum;
    return item;
}

MonitorItem bitItem(int address, int bit) {
    MonitorItem item;
    item.address = static_cast<std::uint16_t>(address);
    item.bitItem = 1;
    item.bit = static_cast<std::uint16_t>(bit);
    return item;
}

constexpr int kReverse = 0x04;
constexpr int kForward = 0x02;

TEST(ScopeConversion, ConvertsEachAddressKindAsItsSeriesReportsIt) {
    struct Row {
        const char* what;
        MonitorItem item;
        int series;
        int word;
        int status;
        double expected;
    };
    const std::vector<Row> rows = {
        {"bit set", bitItem(0x10, 3), 4, 0x0008, 0, 1.0},
        {"bit clear", bitItem(0x10, 3), 4, 0x0007, 0, 0.0},
        {"bit item ignores reverse running", bitItem(0x10, 0), 4, 0x0001, kReverse, 1.0},
        {"output frequency is unsigned even with a signed range", valueItem(10, 100, -40000), 4,
         0xFFFF, 0, 655.35},
        {"trip word non-zero", valueItem(15, 1), 4, 0x0040, 0, 1.0},
        {"trip word zero", valueItem(15, 1), 4, 0, 0, 0.0},
        {"Juniper input 18", valueItem(18, 1), 10, 1023, 0, 10.0},
        {"Juniper input 19 is negated", valueItem(19, 1), 10, 512, 0, -5.0},
        {"Juniper input 20", valueItem(20, 1), 10, 1023, 0, 20.0},
        {"Ivy input 18", valueItem(18, 1), 9, 4095, 0, 15.0},
        {"Ivy input 19", valueItem(19, 1), 9, 2730, 0, 10.0},
        {"Ivy input 20 rounded to hundredths", valueItem(20, 1), 9, 2048, 0, 10.0},
        {"other series input 18", valueItem(18, 1), 4, 65472, 0, 10.0},
        {"other series input 20", valueItem(20, 1), 8, 32736, 0, 10.0},
        {"Fir has no analog inputs", valueItem(18, 1), 5, 1000, 0, 0.0},
        {"Fir reads 21 as signed", valueItem(21, 10), 5, 0xFFF6, 0, -1.0},
        {"Fir reads 1291 as signed", valueItem(1291, 100), 5, 0xFF9C, 0, -1.0},
        {"others read 21 by the item's range", valueItem(21, 10), 4, 0xFFF6, 0, 6552.6},
        {"signed range reads signed", valueItem(0x22, 10, -3000), 4, 0xFFF6, 0, -1.0},
        {"unsigned range reads unsigned", valueItem(9, 10), 4, 0xFFF6, 0, 6552.6},
        {"address 5 reversed", valueItem(5, 100), 4, 5000, kReverse, -50.0},
        {"address 10 reversed", valueItem(10, 100), 4, 5000, kReverse, -50.0},
        {"address 21 reversed", valueItem(21, 1), 4, 1500, kReverse, -1500.0},
        {"current is never reversed", valueItem(9, 10), 4, 123, kReverse, 12.3},
        {"forward keeps the sign", valueItem(10, 100), 4, 5000, kForward, 50.0},
    };
    for (const Row& row : rows) {
        ConversionInput in;
        in.item = &row.item;
        in.address = row.item.address;
        in.word = static_cast<std::uint16_t>(row.word);
        in.seriesCode = row.series;
        in.statusWord = row.status;
        EXPECT_DOUBLE_EQ(ConvertPolledWord(in), row.expected) << row.what;
    }
}

TEST(ScopeConversion, ReversedZeroIsPlainZero) {
    const MonitorItem item = valueItem(10, 100);
    ConversionInput in{&item, 10, 0, 4, kReverse};
    EXPECT_FALSE(std::signbit(ConvertPolledWord(in)));
}

TEST(ScopeConversion, RoundsHalvesUpToTheDivisorsStep) {
    EXPECT_DOUBLE_EQ(RoundToStep(0.125, 100), 0.13);
    EXPECT_DOUBLE_EQ(RoundToStep(-0.125, 100), -0.12);
    EXPECT_DOUBLE_EQ(RoundToStep(2.45, 10), 2.5);
    EXPECT_DOUBLE_EQ(RoundToStep(7.5, 1), 8.0);
}

TEST(ScopeConversion, OnlyNewerJuniperDrivesHaveASecondTripWord) {
    EXPECT_TRUE(UsesSecondTripWord(10, 21));
    EXPECT_FALSE(UsesSecondTripWord(10, 20));
    EXPECT_FALSE(UsesSecondTripWord(4, 0x0100));
}

TEST(ScopeTrigger, EdgesFireOnCrossingsIncludingEqualityButNeverOnTheFirstSample) {
    struct Row {
        const char* what;
        TriggerEdge edge;
        double level;
        std::vector<double> values;
        int firesAt;  // sample index, -1 for none
    };
    const std::vector<Row> rows = {
        {"rising 40 -> 60", TriggerEdge::kRising, 50, {40, 60}, 1},
        {"rising reaches the level", TriggerEdge::kRising, 50, {40, 50}, 1},
        {"rising from the level does not fire", TriggerEdge::kRising, 50, {50, 60}, -1},
        {"falling reaches the level", TriggerEdge::kFalling, 50, {60, 50}, 1},
        {"falling from below does not fire", TriggerEdge::kFalling, 50, {40, 30}, -1},
        {"first sample above a rising level only primes", TriggerEdge::kRising, 50, {60, 70}, -1},
        {"first sample after 0 never fires", TriggerEdge::kRising, 0.5, {1, 1}, -1},
        {"falling 60 -> 40", TriggerEdge::kFalling, 50, {60, 55, 40}, 2},
    };
    for (const Row& row : rows) {
        TriggerDetector d;
        d.arm(row.level, row.edge);
        int fired = -1;
        for (std::size_t i = 0; i < row.values.size(); ++i)
            if (d.onSample(row.values[i], static_cast<int>(i)).detected && fired < 0)
                fired = static_cast<int>(i);
        EXPECT_EQ(fired, row.firesAt) << row.what;
    }
}

TEST(ScopeTrigger, StopsOnTheEleventhTickAndALaterCrossingMovesThePoint) {
    TriggerDetector d;
    d.arm(50, TriggerEdge::kRising);
    const std::vector<double> values = {40, 60, 40, 40, 60, 60, 60, 60, 60, 60, 60, 60};
    int stoppedAt = -1;
    for (std::size_t i = 0; i < values.size() && stoppedAt < 0; ++i)
        if (d.onSample(values[i], static_cast<int>(i) + 100).stop) stoppedAt = static_cast<int>(i);
    // Detected at sample 1; ten samples later the run is over.
    EXPECT_EQ(stoppedAt, 11);
    EXPECT_TRUE(d.triggered());
    EXPECT_EQ(d.triggerPoint(), 104);
}

TEST(ScopeTrigger, LevelsAreWholeNumbers) {
    EXPECT_EQ(ParseTriggerLevel(" 12.5 "), 12.5);
    EXPECT_EQ(ParseTriggerLevel("-3"), -3.0);
    EXPECT_EQ(ParseTriggerLevel("+1e1"), 10.0);
    for (const char* bad : {"", "   ", "abc", "12,5", "1.2.3", "5x", "nan", "inf"})
        EXPECT_FALSE(ParseTriggerLevel(bad).has_value()) << bad;
}

// Ticks without a live value compare nothing, but a detected trigger still ends on time.
TEST(ScopeTrigger, GapsNeitherPrimeNorFireButCountAfterADetection) {
    TriggerDetector d;
    d.arm(50, TriggerEdge::kRising);
    EXPECT_FALSE(d.onGap().detected);
    EXPECT_FALSE(d.onSample(60, 1).detected) << "the first live value primes";
    EXPECT_FALSE(d.onSample(40, 2).detected);
    (void)d.onGap();
    EXPECT_TRUE(d.onSample(55, 4).detected) << "the gap kept 40 as the previous value";
    int stoppedAt = -1;
    for (int tick = 1; tick <= 10 && stoppedAt < 0; ++tick)
        if (d.onGap().stop) stoppedAt = tick;
    EXPECT_EQ(stoppedAt, 10);
    EXPECT_EQ(d.triggerPoint(), 4);
}

}  // namespace
}  // namespace korvane::scope
