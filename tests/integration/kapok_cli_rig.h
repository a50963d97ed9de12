#pragma once
// korvane-cli against one simulated Kapok drive (station 3) on a fast line with a short
// time-out and one repeat: the rig of the tests that move whole parameter sets through files.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "integration/programs.h"
#include "unit/paradb/paradb_test_util.h"

namespace korvane::testing {

using Json = nlohmann::json;

// korvane-cli writes one JSON object per line.
inline std::vector<Json> jsonLines(const std::string& out) {
    std::vector<Json> parsed;
    std::istringstream in(out);
    for (std::string line; std::getline(in, line);) parsed.push_back(Json::parse(line));
    return parsed;
}

class KapokCliTest : public ::testing::Test {
protected:
    // korvane-cli on the simulator's line; every command but "write" reads the test data.
    ProgramResult cli(std::vector<std::string> args) {
        std::vector<std::string> argv{KORVANE_CLI_PATH, "--port", sim.pty(),   "--baud", "115200",
                                      "--timeout",      "150",    "--retries", "1"};
        argv.insert(argv.end(), args.begin(), args.end());
        if (args[0] != "write") argv.insert(argv.end(), {"--data-dir", KORVANE_TEST_DATA_DIR});
        return RunProgram(argv, 180000);
    }

    SimProcess sim{{"--baud", "115200", "--drive", "3:11:0x0310:5:1"}};
    TempDir tmp;
};

}  // namespace korvane::testing
