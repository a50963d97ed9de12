// The per-series monitor tables as they stand, row for row, against a fixture written from
// them: a table rebuilt from shared rows must give every series exactly the rows it had.
#include "paradb/monitor_tables.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "common/format.h"

namespace korvane {
namespace {

const char* const kFixture = KORVANE_SOURCE_DIR "/tests/fixtures/monitor_tables.txt";

void DumpBits(std::ostream& out, int series, const char* list,
              std::span<const MonitorBitDef> bits) {
    for (const MonitorBitDef& b : bits)
        out << series << ' ' << list << strprintf(" %04X.%d ", b.address, b.bit) << b.name << '\n';
}

std::string DumpAllSeries() {
    std::ostringstream out;
    for (int series = 0; series <= 255; ++series) {
        const SeriesMonitorTables* t = FindMonitorTables(series);
        if (t == nullptr) continue;
        EXPECT_EQ(t->seriesCode, series);
        for (const MonitorValueDef& v : t->values) {
            out << series << " value"
                << strprintf(" %04X %d %d %d %d ", v.address, v.writable, v.divisor, v.minimum,
                             v.maximum)
                << v.name << " [" << v.unit << "]\n";
        }
        DumpBits(out, series, "input", t->inputs);
        DumpBits(out, series, "output", t->outputs);
        DumpBits(out, series, "trip", t->trips);
        DumpBits(out, series, "trip-before-second-word", t->tripsBeforeSecondWord);
    }
    return out.str();
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

TEST(MonitorTables, EverySeriesHasTheRowsOfTheFixture) {
    const std::string actual = DumpAllSeries();
    // KORVANE_WRITE_MONITOR_TABLES=<path> writes the tables as they are, to renew the fixture
    // after a deliberate change.
    if (const char* path = std::getenv("KORVANE_WRITE_MONITOR_TABLES")) {
        std::ofstream(path, std::ios::binary) << actual;
    }
    std::ifstream in(kFixture, std::ios::binary);
    ASSERT_TRUE(in) << kFixture;
    std::stringstream expected;
    expected << in.rdbuf();
    const std::vector<std::string> want = Lines(expected.str());
    const std::vector<std::string> got = Lines(actual);
    for (std::size_t i = 0; i < want.size() && i < got.size(); ++i)
        ASSERT_EQ(got[i], want[i]) << "line " << i + 1;
    EXPECT_EQ(got.size(), want.size());
}

}  // namespace
}  // namespace korvane
