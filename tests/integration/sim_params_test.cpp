// korvane-sim with the sample data files beside it: a simulated drive holds its data file's
// parameters, starts them at their defaults and refuses what the file forbids, as the real
// drive would, in both protocols.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <ostream>
#include <sstream>

#include "integration/programs.h"

namespace korvane::testing {
namespace {

using Json = nlohmann::json;

struct Protocol {
    const char* name;
    // The refusal of a write to station 3 as the trace shows it: a NAK with its two letters,
    // or a MODBUS exception.
    const char* outOfRange;
    const char* readOnly;
};

// Names the case in test listings instead of its bytes.
void PrintTo(const Protocol& p, std::ostream* os) {
    *os << p.name;
}

const Protocol kProtocols[] = {
    {"tk485", "RX 15 30 33 57 49 44", "RX 15 30 33 57 57 4D"},
    {"modbus", "RX 03 86 03", "RX 03 86 14"},
};

class SimDataFile : public ::testing::TestWithParam<Protocol> {
protected:
    ProgramResult cli(const SimProcess& sim, std::vector<std::string> args) {
        std::vector<std::string> argv{
            KORVANE_CLI_PATH, "--port",    sim.pty(), "--baud",     "115200",       "--timeout",
            "1000",           "--retries", "1",       "--protocol", GetParam().name};
        argv.insert(argv.end(), args.begin(), args.end());
        return RunProgram(argv);
    }
    std::vector<std::string> simOptions() {
        // Kapok 3.16 has a sample data file; Elm 1.00 has none.
        return {"--protocol", GetParam().name,   "--baud",  "115200",
                "--drive",    "3:11:0x0310:5:1", "--drive", "1:4:0x0100:3:1"};
    }
};

Json firstLine(const std::string& out) {
    std::istringstream in(out);
    std::string line;
    std::getline(in, line);
    return Json::parse(line);
}

TEST_P(SimDataFile, ParametersStartAtTheirDefaults) {
    SimProcess sim(simOptions());
    ASSERT_TRUE(sim.started());
    ProgramResult r = cli(sim, {"read", "3", "0x1003", "0x1115", "0x1002", "0x1209", "0x1347"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    std::istringstream in(r.out);
    std::string line;
    std::vector<int> values;
    while (std::getline(in, line)) values.push_back(Json::parse(line)["value"].get<int>());
    EXPECT_EQ(values, (std::vector<int>{200, 6000, 0, 1, 0x0310}));
}

TEST_P(SimDataFile, WritesOutsideTheRangeOrToReadOnlyParametersAreRefused) {
    SimProcess sim(simOptions());
    ASSERT_TRUE(sim.started());
    struct Case {
        const char* station;
        const char* address;
        const char* value;
        int error;  // 0 accepted, 6 unknown address, 7 out of range, 8 read-only
    } cases[] = {
        {"3", "0x1003", "6000", 0},    // its maximum
        {"3", "0x1003", "6001", 7},    //
        {"3", "0x1003", "-1", 7},      // 0xFFFF is not -1 for an item with no negative range
        {"3", "0x1115", "2999", 7},    // below a positive minimum
        {"3", "0x1002", "-1800", 0},   // a negative minimum makes the word signed
        {"3", "0x1002", "-1801", 7},   //
        {"3", "0x1002", "1801", 7},    //
        {"3", "0x1008", "0", 8},       // read-only, even with a value in its range
        {"3", "0x1347", "0x0310", 8},  //
        {"3", "0x1FFF", "1", 6},       // not in the data file
        {"1", "0x1FFF", "1", 0},       // no data file: anything goes
    };
    for (const auto& c : cases) {
        ProgramResult r = cli(sim, {"write", c.station, c.address, c.value});
        EXPECT_EQ(r.exitCode, c.error ? 1 : 0) << c.address << " " << c.value;
        EXPECT_EQ(firstLine(r.out)["error"], c.error) << c.address << " " << c.value;
    }
    // Refused writes leave the accepted values in place.
    ProgramResult r = cli(sim, {"read", "3", "0x1003"});
    EXPECT_EQ(firstLine(r.out)["value"], 6000);
    r = cli(sim, {"read", "3", "0x1002"});
    EXPECT_EQ(firstLine(r.out)["value"], 0x10000 - 1800);

    // The refusals on the line are the drive's own codes.
    r = cli(sim, {"--trace", "write", "3", "0x1003", "6001"});
    EXPECT_NE(r.err.find(GetParam().outOfRange), std::string::npos) << r.err;
    r = cli(sim, {"--trace", "write", "3", "0x1008", "0"});
    EXPECT_NE(r.err.find(GetParam().readOnly), std::string::npos) << r.err;
}

INSTANTIATE_TEST_SUITE_P(Protocols, SimDataFile, ::testing::ValuesIn(kProtocols),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace korvane::testing
