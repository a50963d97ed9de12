#include "comm/monitor_registry.h"

#include <gtest/gtest.h>

namespace korvane {
namespace {

TEST(MonitorRegistry, NextPollStationStaysInsideThePollRange) {
    MonitorRegistry r;
    const int a[] = {0x10};
    for (int s : {2, 5, 9}) r.AddAddresses(s, a, 1);
    struct Case {
        int current, first, last, next;
    } cases[] = {
        {0, 1, 9, 2},   {2, 1, 9, 5},    {5, 1, 9, 9}, {9, 1, 9, 2},  // round robin
        {5, 1, 5, 2},                                                 // wraps at the last station
        {9, 1, 5, 2},                     // polled station now beyond the range: never picked again
        {0, 3, 8, 5},                     // stations below the first one are not part of the round
        {5, 6, 8, 0},                     // nobody in range
        {0, 0, 300, 2}, {9, -4, 300, 2},  // nonsense bounds are clamped, not indexed
    };
    for (const auto& c : cases)
        EXPECT_EQ(r.NextPollStation(c.current, c.first, c.last), c.next)
            << c.current << " in " << c.first << ".." << c.last;
}

TEST(MonitorRegistry, RejectsStationsOutsideTheLine) {
    MonitorRegistry r;
    const int a[] = {1};
    for (int s : {0, 256, -1, 1000}) {
        EXPECT_FALSE(r.AddAddresses(s, a, 1)) << s;
        EXPECT_EQ(r.AddressCount(s), 0) << s;
    }
    EXPECT_FALSE(r.AnyMonitoring());
}

}  // namespace
}  // namespace korvane
