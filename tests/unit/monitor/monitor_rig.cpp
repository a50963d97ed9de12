#include "unit/monitor/monitor_rig.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "comm/tk485_codec.h"

namespace korvane::test {
namespace {

int hexOf(const std::string& digits) {
    int v = 0;
    EXPECT_TRUE(tk485::ParseHex(digits, v)) << digits;
    return v;
}

}  // namespace

std::optional<std::string> LineDrives::answer(const std::string& frame) {
    const std::string p = frame.substr(1, frame.size() - 4);
    const int station = hexOf(p.substr(0, 2));
    const char letter = p[2];
    if (silent.count(station)) return std::nullopt;
    Request r{station, letter, 0, 0};
    if (letter == 'R' || letter == 'W') r.address = hexOf(p.substr(3, 4));
    if (letter == 'W') r.value = hexOf(p.substr(8, 4));
    requests.push_back(r);
    if (!nakNext.empty()) return tk485::BuildNakReply(station, letter, std::exchange(nakNext, ""));
    std::vector<int> out;
    auto& table = words[station];
    if (letter == 'R') out.push_back(table[r.address]);
    if (letter == 'W') out.push_back(table[r.address] = r.value);
    if (letter == 'X') {
        auto& reg = registered[station];
        reg.clear();
        for (int i = 0; i < hexOf(p.substr(3, 1)); ++i)
            reg.push_back(hexOf(p.substr(4 + static_cast<std::size_t>(i) * 4, 4)));
    }
    if (letter == 'Y')
        for (int a : registered[station]) out.push_back(table[a]);
    return tk485::BuildAckReply(station, letter, out.data(), static_cast<int>(out.size()));
}

MonitorRig::MonitorRig(int retryCount)
    : link(executor, MakeFakePortFactory(executor, line)), services{link,     records,
                                                                    settings, prompter,
                                                                    clock,    executor,
                                                                    host,     AppDirectories{}} {
    line->responder = [this](const std::string& f) { return drives.answer(f); };
    EXPECT_EQ(link.Open([](int) {}, kCommTk485, PortSettings{}, 300, 30, retryCount), kLinkOpenOk);
    link.SetPollRange(1, 255);
}

DriveRecord& MonitorRig::connect(int station, int series, int version) {
    DriveRecord& r = records[station];
    r.connected = 1;
    r.supported = 1;
    r.seriesCode = series;
    r.version = version;
    return r;
}

void MonitorRig::tick(int n) {
    for (int i = 0; i < n; ++i) {
        link.OnTick();
        executor.drain();
    }
}

std::vector<int> MonitorRig::polled(int station) {
    const std::size_t mark = drives.requests.size();
    tick(40);
    bool seen = false;
    std::vector<int> beyondEight;
    for (std::size_t i = mark; i < drives.requests.size(); ++i) {
        const auto& r = drives.requests[i];
        if (r.station != station) continue;
        seen = true;
        if (r.letter == 'R' &&
            std::find(beyondEight.begin(), beyondEight.end(), r.address) == beyondEight.end())
            beyondEight.push_back(r.address);
    }
    if (!seen) return {};
    std::vector<int> all = drives.registered[station];
    all.insert(all.end(), beyondEight.begin(), beyondEight.end());
    std::sort(all.begin(), all.end());
    return all;
}

}  // namespace korvane::test
