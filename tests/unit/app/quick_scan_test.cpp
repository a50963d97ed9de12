// The quick scan on a line whose ticks the test counts: each ID is asked once for its series
// word with a short time-out, and only the IDs that answered are identified, with the line's
// own time-out and retries.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "app/connection_manager.h"
#include "comm/drive_link.h"
#include "comm/modbus_codec.h"
#include "comm/tk485_codec.h"
#include "common/executor.h"
#include "support/ticked_link.h"

namespace korvane {
namespace {

constexpr int kSeries = 4;
constexpr int kVersion = 0x0100;

int WordOf(int address) {
    switch (address) {
        case 0:
            return kSeries;
        case 1:
            return 3;
        case 2:
            return 1;
        case 3:
            return kVersion;
        default:
            return 1;  // the time-scale parameter
    }
}

struct ScanCase {
    const char* name;
    int timeoutMs;                 // the line's own
    std::map<int, int> delays;     // station -> ticks until it answers
    std::map<int, int> dropFirst;  // station -> identification answers it drops
    bool quick;
    std::vector<int> found;
};

class QuickScan : public ::testing::TestWithParam<std::tuple<ScanCase, int>> {
protected:
    const ScanCase& c() const { return std::get<0>(GetParam()); }
    int mode() const { return std::get<1>(GetParam()); }

    void SetUp() override {
        rig.line->responder = [this](const std::string& f) -> std::optional<std::string> {
            const test::LineRequest request = test::ParseRequest(mode(), f);
            const int station = request.station, address = request.address;
            asked[station].push_back(address);
            auto delay = c().delays.find(station);
            if (delay == c().delays.end()) return std::nullopt;
            auto drop = dropsLeft.find(station);
            if (address != 0 && drop != dropsLeft.end() && drop->second > 0) {
                --drop->second;
                return std::nullopt;
            }
            rig.AnswerAfter(delay->second, test::ReadReply(mode(), station, WordOf(address)));
            return std::nullopt;
        };
        dropsLeft = c().dropFirst;
        ASSERT_EQ(link.Open(nullptr, mode(), PortSettings{}, c().timeoutMs, 30, 2), kLinkOpenOk);
    }

    void Tick() { rig.Tick(); }

    test::TickedLink rig;
    CDriveLink& link = *rig.link;
    DriveRecords records;
    ConnectionEvents quiet;
    ConnectionManager manager{link, records, quiet, ConnectionConfig{"", 2}};
    std::map<int, int> dropsLeft;
    std::map<int, std::vector<int>> asked;  // station -> addresses, in the order asked
};

TEST_P(QuickScan, FindsTheDrivesThatAnswerInTimeAndIdentifiesThemFully) {
    std::vector<int> ids;
    for (int id = 1; id <= 12; ++id) ids.push_back(id);
    manager.ScanIds(ids, c().quick);
    for (int i = 0; i < 5000 && manager.IsScanning(); ++i) Tick();
    ASSERT_FALSE(manager.IsScanning());

    std::vector<int> found;
    for (int station = 1; station <= 255; ++station) {
        if (!records[station].connected) continue;
        found.push_back(station);
        EXPECT_EQ(records[station].seriesCode, kSeries) << station;
        EXPECT_EQ(records[station].version, kVersion) << station;
    }
    EXPECT_EQ(found, c().found);
    if (!c().quick) return;
    // An ID that did not answer was asked once, for its series word.
    for (int id : ids) {
        if (std::find(found.begin(), found.end(), id) != found.end()) continue;
        EXPECT_EQ(asked[id], std::vector<int>{0}) << "station " << id;
    }
}

const ScanCase kScanCases[] = {
    // 90 ms is three ticks: inside the 150 ms question.
    {"on_time_and_90ms_late", 1000, {{3, 1}, {12, 3}}, {}, true, {3, 12}},
    // Six ticks is past the question; the normal scan waits for it.
    {"too_late_for_the_quick_scan", 1000, {{3, 1}, {7, 6}}, {}, true, {3}},
    {"too_late_found_by_the_normal_scan", 1000, {{3, 1}, {7, 6}}, {}, false, {3, 7}},
    // A line time-out shorter than the question's is the one used.
    {"shorter_line_time_out", 60, {{3, 1}, {12, 3}}, {}, true, {3}},
    // Identification repeats as a normal scan does.
    {"identification_repeats", 1000, {{5, 1}}, {{5, 2}}, true, {5}},
    {"nothing_answers", 1000, {}, {}, true, {}},
};

INSTANTIATE_TEST_SUITE_P(BothProtocols, QuickScan,
                         ::testing::Combine(::testing::ValuesIn(kScanCases),
                                            ::testing::Values(kCommTk485, kCommModbus)),
                         [](const auto& info) {
                             return std::string(std::get<0>(info.param).name) +
                                    (std::get<1>(info.param) == kCommTk485 ? "_tk485" : "_modbus");
                         });

}  // namespace
}  // namespace korvane
