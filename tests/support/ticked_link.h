#pragma once
// A drive link on an in-memory line whose timer ticks the test counts, with replies put on the
// line a given number of ticks after their request, and the request frames read back as a
// drive would read them.
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "comm/drive_link.h"
#include "comm/modbus_codec.h"
#include "comm/tk485_codec.h"
#include "common/executor.h"
#include "support/fake_port.h"

namespace korvane::test {

struct LineRequest {
    int station = 0;
    int address = 0;
    bool write = false;
};

// A TK485 R or W request, or a MODBUS read or write of one register.
inline LineRequest ParseRequest(int mode, const std::string& f) {
    LineRequest r;
    if (mode == kCommTk485) {
        EXPECT_TRUE(tk485::ParseHex(f.substr(1, 2), r.station)) << f;
        EXPECT_TRUE(tk485::ParseHex(f.substr(4, 4), r.address)) << f;
        r.write = f[3] == 'W';
        return r;
    }
    r.station = static_cast<std::uint8_t>(f[0]);
    r.address =
        (((static_cast<std::uint8_t>(f[2]) << 8) | static_cast<std::uint8_t>(f[3])) + 1) & 0xFFFF;
    r.write = f[1] == modbus::kWriteSingleRegister;
    return r;
}

// A drive's good answer to a read of one word.
inline std::string ReadReply(int mode, int station, int word) {
    if (mode == kCommTk485) return tk485::BuildAckReply(station, 'R', &word, 1);
    const modbus::Frame reply = modbus::BuildReadReply(station, word);
    return {reply.begin(), reply.end()};
}

class TickedLink {
public:
    // Puts `bytes` on the line `ticks` ticks from now.
    void AnswerAfter(int ticks, std::string bytes) {
        pending_.emplace_back(tickNo + ticks, std::move(bytes));
    }

    // One timer tick, then the replies due by now and whatever they set off.
    void Tick() {
        ++tickNo;
        link->OnTick();
        for (auto it = pending_.begin(); it != pending_.end();) {
            if (it->first > tickNo) {
                ++it;
                continue;
            }
            line->Inject(it->second);
            it = pending_.erase(it);
        }
        ex.drain();
    }

    QueueExecutor ex;  // declared first: outlives the link and its port
    std::shared_ptr<FakeLine> line = std::make_shared<FakeLine>();
    std::unique_ptr<CDriveLink> link =
        std::make_unique<CDriveLink>(ex, MakeFakePortFactory(ex, line));
    int tickNo = 0;

private:
    std::vector<std::pair<int, std::string>> pending_;
};

}  // namespace korvane::test
