#include "comm/drive_link.h"

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "comm/modbus_codec.h"
#include "comm/tk485_codec.h"
#include "common/executor.h"
#include "support/ticked_link.h"

namespace korvane {
namespace {

using test::FakeLine;
using test::MakeFakePortFactory;

int Hex(const std::string& s) {
    int v = 0;
    EXPECT_TRUE(tk485::ParseHex(s, v)) << s;
    return v;
}

// The payload of a TK485 request frame, e.g. "01R01001", so expectations read like the line.
std::string Payload(const std::string& frame) {
    return frame.substr(1, frame.size() - 4);
}

// Drives on a TK485 line, answering from a word table (an unknown address reads as itself).
struct Tk485Drives {
    std::map<int, std::map<int, int>> words;
    std::map<int, std::vector<int>> registered;
    std::set<int> silent;
    std::set<int> refuseY;    // stations that refuse Y even when registered
    std::string nakNext;      // answer the next request with this NAK code
    int badChecksumNext = 0;  // answer this many requests with a wrong checksum

    std::optional<std::string> Answer(const std::string& frame) {
        std::string p = Payload(frame);
        int station = Hex(p.substr(0, 2));
        char letter = p[2];
        if (silent.count(station)) return std::nullopt;
        // A drive without a registration (after a power cycle) refuses to read it.
        if (letter == 'Y' && (refuseY.count(station) || registered[station].empty()))
            return tk485::BuildNakReply(station, letter, "IF");
        if (!nakNext.empty()) {
            std::string code = std::exchange(nakNext, "");
            return tk485::BuildNakReply(station, letter, code);
        }
        std::string reply = Ack(station, letter, p);
        if (badChecksumNext > 0) {
            --badChecksumNext;
            reply[reply.size() - 2] ^= 1;
        }
        return reply;
    }

    int Word(int station, int address) {
        auto& table = words[station];
        auto it = table.find(address);
        return it == table.end() ? address : it->second;
    }

    std::string Ack(int station, char letter, const std::string& p) {
        std::vector<int> out;
        if (letter == 'R') out.push_back(Word(station, Hex(p.substr(3, 4))));
        if (letter == 'W') out.push_back(words[station][Hex(p.substr(3, 4))] = Hex(p.substr(8, 4)));
        if (letter == 'X') {
            auto& reg = registered[station];
            reg.clear();
            for (int i = 0; i < Hex(p.substr(3, 1)); ++i)
                reg.push_back(Hex(p.substr(4 + static_cast<std::size_t>(i) * 4, 4)));
        }
        if (letter == 'Y')
            for (int a : registered[station]) out.push_back(Word(station, a));
        return tk485::BuildAckReply(station, letter, out.data(), static_cast<int>(out.size()));
    }
};

struct Sink : ReplySink {
    std::vector<DriveReply> got;
    std::function<void(const DriveReply&)> onReply;
    void OnDriveReply(int station, const DriveReply& r) override {
        EXPECT_EQ(station, r.station);
        got.push_back(r);
        if (onReply) onReply(r);
    }
};

struct Listener : MonitorListener {
    explicit Listener(bool graph = false) : graph_(graph) {}
    std::vector<DriveReply> got;
    std::function<void(const DriveReply&)> onMonitor;
    void OnDriveMonitor(int, const DriveReply& r) override {
        got.push_back(r);
        if (onMonitor) onMonitor(r);
    }
    bool ReceivesDuringGraphWatch() const override { return graph_; }

private:
    bool graph_;
};

class DriveLinkTest : public ::testing::Test {
protected:
    void SetUp() override {
        line->responder = [this](const std::string& f) -> std::optional<std::string> {
            if (!answer) return std::nullopt;
            return mode == kCommTk485 ? drives.Answer(f) : modbusAnswer(f);
        };
    }

    void Open(int retryCount = 2, int commMode = kCommTk485) {
        mode = commMode;
        ASSERT_EQ(link->Open([this](int a) { activity.push_back(a); }, commMode, PortSettings{},
                             1000, 30, retryCount),
                  kLinkOpenOk);
    }

    // One timer tick, then whatever the line answered.
    void Tick(int n = 1) {
        for (int i = 0; i < n; ++i) rig.Tick();
    }

    std::vector<std::string> SentPayloads(std::size_t from = 0) const {
        std::vector<std::string> out;
        for (std::size_t i = from; i < line->sent.size(); ++i)
            out.push_back(Payload(line->sent[i]));
        return out;
    }

    void Monitor(int station, std::vector<int> addresses, Listener* l = nullptr) {
        link->AddMonitorAddresses(station, addresses.data(), static_cast<int>(addresses.size()));
        if (l) link->AddListener(station, l);
    }
    void Unmonitor(int station, std::vector<int> addresses) {
        link->RemoveMonitorAddresses(station, addresses.data(), static_cast<int>(addresses.size()));
    }

    test::TickedLink rig;
    QueueExecutor& ex = rig.ex;
    std::shared_ptr<FakeLine>& line = rig.line;
    std::unique_ptr<CDriveLink>& link = rig.link;
    Tk485Drives drives;
    std::function<std::optional<std::string>(const std::string&)> modbusAnswer;
    bool answer = true;
    int mode = kCommTk485;
    std::vector<int> activity;
};

TEST_F(DriveLinkTest, QueuedReadIsSentOnTheNextTickAndAnswered) {
    Open();
    Sink sink;
    drives.words[1][0x100] = 0x1234;
    link->QueueRead(1, 0x100, &sink);
    EXPECT_TRUE(line->sent.empty());
    Tick();
    ASSERT_EQ(line->sent.size(), 1u);
    EXPECT_EQ(line->sent[0], tk485::BuildRead(1, 0x100));
    ASSERT_EQ(sink.got.size(), 1u);
    EXPECT_EQ(sink.got[0].errorCode, kErrNone);
    EXPECT_EQ(sink.got[0].values[0], 0x1234);
    EXPECT_EQ(sink.got[0].addresses[0], 0x100);
    EXPECT_EQ(sink.got[0].command, 'R');
    EXPECT_EQ(activity, (std::vector<int>{kActivitySent, kActivityGoodReply}));
    EXPECT_EQ(link->QueueLength(), 0u);
}

TEST_F(DriveLinkTest, TimeOutIsDeclaredOnThe34thTickAfterSending) {
    Open();
    answer = false;
    Sink sink;
    link->QueueWrite(1, 0x200, 5, &sink);
    Tick();  // sends
    Tick(33);
    EXPECT_TRUE(sink.got.empty());
    EXPECT_TRUE(link->IsWaiting());
    Tick();
    ASSERT_EQ(sink.got.size(), 1u);
    EXPECT_EQ(sink.got[0].errorCode, kErrTimeout);
    EXPECT_EQ(sink.got[0].retryCounter, 1);
    EXPECT_EQ(line->sent.size(), 1u);  // the time-out tick does not also send
    EXPECT_EQ(activity.back(), kActivityError);
    // The repeat asks the same question, so a late answer would be its own: no wait.
    Tick();
    ASSERT_EQ(line->sent.size(), 2u);
    EXPECT_EQ(line->sent[1], line->sent[0]);
}

// Each failure gives a retry notice; the failure after the last allowed repeat gives 100.
TEST_F(DriveLinkTest, RetriesEndWithCode100AndTheFailingCode) {
    struct Case {
        int retryCount;
        bool timeOut;  // else a checksum error
        int failing;
    } cases[] = {
        {2, true, kErrTimeout}, {2, false, kErrSum}, {0, false, kErrSum}, {3, false, kErrSum}};
    for (const auto& c : cases) {
        line = std::make_shared<FakeLine>();
        link = std::make_unique<CDriveLink>(ex, MakeFakePortFactory(ex, line));
        SetUp();
        Open(c.retryCount);
        answer = !c.timeOut;
        drives.badChecksumNext = 100;
        Sink sink;
        link->QueueRead(1, 0x100, &sink);
        Tick(400);
        ASSERT_EQ(sink.got.size(), static_cast<std::size_t>(c.retryCount) + 2) << c.retryCount;
        EXPECT_EQ(line->sent.size(), static_cast<std::size_t>(c.retryCount) + 1);
        for (int i = 0; i <= c.retryCount; ++i) {
            EXPECT_EQ(sink.got[i].errorCode, c.failing);
            EXPECT_EQ(sink.got[i].retryCounter, i + 1);
        }
        EXPECT_EQ(sink.got.back().errorCode, kErrRetriesExhausted);
        EXPECT_EQ(sink.got.back().failingCode, c.failing);
        EXPECT_EQ(link->QueueLength(), 0u);
    }
}

TEST_F(DriveLinkTest, RejectedRequestsAreReportedOnceOthersRepeated) {
    struct Case {
        const char* nak;
        int error;
        bool repeated;
    } cases[] = {
        {"IF", kErrIllegalFunction, false},
        {"IA", kErrAddressRange, false},
        {"ID", kErrDataRange, false},
        {"WM", kErrWriteMode, false},
        {"FE", kErrFrame, true},
        {"TO", kErrDpramTimeout, true},
        {"DO", kErrDpramOffline, true},
        {"??", kErrUndefined, true},
    };
    Open();
    for (const auto& c : cases) {
        Sink sink;
        std::size_t before = line->sent.size();
        drives.nakNext = c.nak;
        link->QueueWrite(2, 0x300, 9, &sink);
        Tick(3);
        ASSERT_GE(sink.got.size(), 1u) << c.nak;
        EXPECT_EQ(sink.got[0].errorCode, c.error) << c.nak;
        if (c.repeated) {
            EXPECT_EQ(line->sent.size() - before, 2u) << c.nak;
            ASSERT_EQ(sink.got.size(), 2u) << c.nak;
            EXPECT_EQ(sink.got[1].errorCode, kErrNone) << c.nak;
        } else {
            EXPECT_EQ(line->sent.size() - before, 1u) << c.nak;
            EXPECT_EQ(sink.got.size(), 1u) << c.nak;
            EXPECT_EQ(sink.got[0].failingCode, c.error) << c.nak;
        }
        EXPECT_EQ(link->QueueLength(), 0u);
    }
}

TEST_F(DriveLinkTest, QueuedRequestsGoBeforeMonitoringButWaitForARepeat) {
    Open();
    link->SetPollRange(1, 1);
    Listener l;
    Monitor(1, {0x10}, &l);
    Sink sink;
    link->QueueRead(1, 0x100, &sink);
    link->QueueRead(1, 0x101, &sink);
    Tick(4);
    EXPECT_EQ(SentPayloads(),
              (std::vector<std::string>{"01R01001", "01R01011", "01X10010", "01Y"}));

    // A monitoring read fails; a request queued meanwhile waits for its repeat.
    drives.badChecksumNext = 1;
    Tick();
    link->QueueRead(1, 0x102, &sink);
    Tick(2);
    EXPECT_EQ(SentPayloads(4), (std::vector<std::string>{"01Y", "01Y", "01R01021"}));
    EXPECT_EQ(l.got.back().errorCode, kErrNone);
}

TEST_F(DriveLinkTest, TenAddressesArePolledAsOneMonitorReadThenSingleReads) {
    Open();
    link->SetPollRange(1, 2);
    Listener one, two;
    Monitor(1, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10}, &one);
    Monitor(2, {0x20}, &two);
    Tick(9);
    EXPECT_EQ(SentPayloads(),
              (std::vector<std::string>{"01X80001000200030004000500060007"
                                        "0008",
                                        "01R00091", "01R000A1",  // an X counts as the 8-word step
                                        "02X10020", "01Y", "01R00091", "01R000A1", "02Y", "01Y"}));
    const DriveReply& y = one.got[3];
    EXPECT_EQ(y.command, 'Y');
    ASSERT_EQ(y.wordCount, 8);
    for (int i = 0; i < 8; ++i) {
        EXPECT_EQ(y.addresses[i], i + 1);
        EXPECT_EQ(y.values[i], i + 1);
    }
    EXPECT_EQ(one.got[4].addresses[0], 9);
    EXPECT_EQ(two.got.back().values[0], 0x20);
}

TEST_F(DriveLinkTest, RegistrationChangesRebuildTheAddressSet) {
    Open();
    link->SetPollRange(1, 1);
    Listener a, b;
    Monitor(1, {0x10, 0x11}, &a);
    Monitor(1, {0x11}, &b);  // second window on the same address: nothing new to register
    Tick(3);
    EXPECT_EQ(SentPayloads(), (std::vector<std::string>{"01X200100011", "01Y", "01Y"}));

    Unmonitor(1, {0x11});  // one of two holders: still polled
    Tick();
    EXPECT_EQ(Payload(line->last()), "01Y");
    EXPECT_EQ(drives.registered[1], (std::vector<int>{0x10, 0x11}));

    Unmonitor(1, {0x11});  // the last holder: the drive is told the smaller set
    Tick(2);
    EXPECT_EQ(SentPayloads(4), (std::vector<std::string>{"01X10010", "01Y"}));
    EXPECT_EQ(a.got.back().wordCount, 1);

    Monitor(1, {0x12});
    Tick();
    EXPECT_EQ(Payload(line->last()), "01X200100012");

    Unmonitor(1, {0x10, 0x12});
    std::size_t before = line->sent.size();
    Tick(3);
    EXPECT_EQ(line->sent.size(), before);  // nothing left to poll
}

TEST_F(DriveLinkTest, SwitchingProtocolRegistersAgainAndPollsOneAddressPerExchange) {
    Open();
    link->SetPollRange(1, 1);
    Listener l;
    Monitor(1, {0x10, 0x11}, &l);
    Tick(2);
    EXPECT_EQ(SentPayloads(), (std::vector<std::string>{"01X200100011", "01Y"}));

    modbusAnswer = [](const std::string& f) -> std::optional<std::string> {
        int reg = (static_cast<std::uint8_t>(f[2]) << 8) | static_cast<std::uint8_t>(f[3]);
        modbus::Frame r = modbus::BuildReadReply(f[0], reg + 1);
        return std::string(r.begin(), r.end());
    };
    Open(2, kCommModbus);
    Tick(3);
    ASSERT_EQ(line->sent.size(), 5u);
    for (int i = 0; i < 3; ++i) {
        modbus::Frame expected = modbus::BuildReadRequest(1, 0x10 + (i % 2));
        EXPECT_EQ(line->sent[2 + i], std::string(expected.begin(), expected.end()));
        EXPECT_EQ(l.got[2 + i].values[0], 0x10 + (i % 2));
    }

    Open(2, kCommTk485);
    Tick();
    EXPECT_EQ(Payload(line->last()), "01X200100011");
}

TEST_F(DriveLinkTest, ModbusQueuedWriteChecksTheEcho) {
    modbusAnswer = [](const std::string& f) -> std::optional<std::string> {
        modbus::Frame r(f.begin(), f.end());  // a write reply echoes the request
        return std::string(r.begin(), r.end());
    };
    Open(2, kCommModbus);
    Sink sink;
    link->QueueWrite(7, 0x100, 0xABCD, &sink);
    Tick();
    ASSERT_EQ(sink.got.size(), 1u);
    EXPECT_EQ(sink.got[0].errorCode, kErrNone);
    EXPECT_EQ(sink.got[0].values[0], 0xABCD);
}

TEST_F(DriveLinkTest, FinalMonitoringFailureDropsTheStationAfterTellingItsListeners) {
    Open(1);
    link->SetPollRange(1, 2);
    Listener l, other;
    Monitor(1, {0x10}, &l);
    Monitor(2, {0x20}, &other);
    drives.silent.insert(1);
    // On the final failure the window re-registers at once; that must survive.
    l.onMonitor = [&](const DriveReply& r) {
        if (r.errorCode != kErrRetriesExhausted) return;
        Monitor(1, {0x30}, &l);
    };
    Tick(1 + 34 + 1 + 34);
    ASSERT_FALSE(l.got.empty());
    EXPECT_EQ(l.got.back().errorCode, kErrRetriesExhausted);
    EXPECT_EQ(l.got.back().failingCode, kErrTimeout);
    EXPECT_EQ(l.got.size(), 3u);
    EXPECT_EQ(line->sent.size(), 2u);
    // The new registration could take the owed one's answer: after the guard, it is what the
    // drive is told.
    drives.silent.clear();
    Tick(34);
    EXPECT_EQ(line->sent.size(), 2u);
    Tick(3);
    EXPECT_EQ(SentPayloads(2), (std::vector<std::string>{"01X10030", "02X10020", "01Y"}));
    EXPECT_FALSE(other.got.empty());
}

// Noise that never stops may hold back a request that waits for silence for a while, but the
// requests still end.
TEST_F(DriveLinkTest, ALineThatNeverFallsSilentStillEndsRequests) {
    Open(1);
    answer = false;
    Sink sink;
    link->QueueRead(1, 0x100, &sink);
    link->QueueRead(1, 0x101, &sink);
    for (int i = 0; i < 1000 && sink.got.size() < 6; ++i) {
        line->Inject("Z");
        Tick();
    }
    ASSERT_EQ(sink.got.size(), 6u);
    EXPECT_EQ(line->sent.size(), 4u);
    EXPECT_EQ(sink.got.back().errorCode, kErrRetriesExhausted);
    EXPECT_EQ(sink.got.back().failingCode, kErrTimeout);
}

// A refused Y is answered once by registering again; a drive that keeps refusing is given up
// like one that does not answer.
TEST_F(DriveLinkTest, RefusedMonitorReadRegistersAgainBeforeGivingUp) {
    const std::vector<std::string> sent = {"01X10010", "01Y", "01X10010", "01Y", "01Y", "01Y"};
    for (bool keepsRefusing : {false, true}) {
        line = std::make_shared<FakeLine>();
        link = std::make_unique<CDriveLink>(ex, MakeFakePortFactory(ex, line));
        drives = Tk485Drives{};
        SetUp();
        Open(2);
        link->SetPollRange(1, 1);
        Listener l;
        Monitor(1, {0x10}, &l);
        Tick();                     // X
        drives.registered.clear();  // the drive was switched off and on
        if (keepsRefusing) drives.refuseY.insert(1);
        Tick(5);
        EXPECT_EQ(SentPayloads(), sent);
        ASSERT_GE(l.got.size(), 2u);
        EXPECT_EQ(l.got[1].errorCode, kErrIllegalFunction);
        EXPECT_EQ(l.got[1].retryCounter, 1);
        if (keepsRefusing) {
            Tick();
            EXPECT_EQ(l.got.back().errorCode, kErrRetriesExhausted);
            EXPECT_EQ(l.got.back().failingCode, kErrIllegalFunction);
            Tick(3);
            EXPECT_EQ(line->sent.size(), sent.size());  // the station is no longer polled
        } else {
            EXPECT_EQ(l.got.back().errorCode, kErrNone);
            EXPECT_EQ(l.got.back().values[0], 0x10);
        }
    }
}

TEST_F(DriveLinkTest, LeftoverRepetitionDoesNotBlockTheQueue) {
    Open();
    link->SetPollRange(1, 1);
    Listener l;
    Monitor(1, {0x10}, &l);
    Tick(2);  // X, Y
    drives.badChecksumNext = 1;
    Tick();  // Y fails: a repeat is pending
    EXPECT_EQ(l.got.back().errorCode, kErrSum);
    Unmonitor(1, {0x10});
    link->RemoveListener(1, &l);
    Sink sink;
    link->QueueRead(1, 0x100, &sink);
    Tick();
    EXPECT_EQ(Payload(line->last()), "01R01001");
    ASSERT_EQ(sink.got.size(), 1u);
    EXPECT_EQ(sink.got[0].errorCode, kErrNone);
    EXPECT_EQ(sink.got[0].retryCounter, 0);
}

TEST_F(DriveLinkTest, NothingIsDeliveredToDestroyedReceivers) {
    Open();
    link->SetPollRange(1, 1);
    auto sink = std::make_unique<Sink>();
    link->QueueWrite(1, 0x100, 3, sink.get());
    sink.reset();
    auto listener = std::make_unique<Listener>();
    Monitor(1, {0x10}, listener.get());
    listener.reset();
    Tick(3);
    // The write still went out; its result and the monitor results were dropped (ASan would
    // report a call into the freed objects).
    EXPECT_EQ(Payload(line->sent[0]),
              "01W01001"
              "0003");
    EXPECT_EQ(drives.words[1][0x100], 3);
    EXPECT_EQ(line->sent.size(), 3u);
    // A new listener at the old one's address is a different object, not a duplicate.
    Listener fresh;
    EXPECT_TRUE(link->AddListener(1, &fresh));
    EXPECT_FALSE(link->AddListener(1, &fresh));
}

TEST_F(DriveLinkTest, ListenersMayChangeRegistrationsWhileBeingServed) {
    Open();
    link->SetPollRange(1, 1);
    Listener first, second, third;
    Monitor(1, {0x10}, &first);
    link->AddListener(1, &second);
    link->AddListener(1, &third);
    Sink sink;
    // The first removes itself and the third, and queues a request.
    first.onMonitor = [&](const DriveReply&) {
        EXPECT_TRUE(link->RemoveListener(1, &first));
        EXPECT_TRUE(link->RemoveListener(1, &third));
        link->QueueRead(1, 0x100, &sink);
    };
    Tick();
    EXPECT_EQ(first.got.size(), 1u);
    EXPECT_EQ(second.got.size(), 1u);
    EXPECT_TRUE(third.got.empty());
    Tick(2);
    EXPECT_EQ(first.got.size(), 1u);
    EXPECT_EQ(sink.got.size(), 1u);
    ASSERT_EQ(second.got.size(), 2u);  // the queued read went before the next poll
    EXPECT_EQ(second.got[1].command, 'Y');
}

TEST_F(DriveLinkTest, GraphWatchModeServesOnlyListenersThatAskForIt) {
    Open();
    link->SetPollRange(1, 1);
    Listener plain, mainFrame(true);
    Monitor(1, {0x10}, &plain);
    link->AddListener(1, &mainFrame);
    link->SetGraphWatchActive(true);
    Tick(2);
    EXPECT_TRUE(plain.got.empty());
    EXPECT_EQ(mainFrame.got.size(), 2u);
    link->SetGraphWatchActive(false);
    Tick();
    EXPECT_EQ(plain.got.size(), 1u);
}

TEST_F(DriveLinkTest, BytesFromAReplacedPortOrAfterTheLinkIsGoneAreIgnored) {
    Open();
    answer = false;
    Sink sink;
    link->QueueRead(1, 0x100, &sink);
    Tick();
    Port::ByteHandler old = line->handler;
    Open();
    EXPECT_EQ(line->portsClosed, 1);
    line->InjectWith(old, tk485::BuildAckReply(1, 'R', std::vector<int>{5}.data(), 1));
    ex.drain();
    EXPECT_TRUE(sink.got.empty());

    // Bytes and activity notices still queued when the link goes away.
    Tick();
    line->Inject(tk485::BuildAckReply(1, 'R', std::vector<int>{5}.data(), 1));
    link.reset();
    std::size_t notices = activity.size();
    ex.drain();
    EXPECT_TRUE(sink.got.empty());
    EXPECT_EQ(activity.size(), notices);
}

TEST_F(DriveLinkTest, FailedOpenLeavesNoTimerAndExecutesNothing) {
    struct Case {
        bool failOpen, failStart;
    } cases[] = {{true, false}, {false, true}};
    for (const auto& c : cases) {
        line->failOpen = c.failOpen;
        line->failStart = c.failStart;
        EXPECT_EQ(link->Open(nullptr, kCommTk485, PortSettings{}, 1000, 30, 2),
                  kLinkOpenPortFailed);
        EXPECT_FALSE(link->IsTimerRunning());
        link->QueueRead(1, 0x100, nullptr);
        Tick(3);
        EXPECT_TRUE(line->sent.empty());
    }
    line->failOpen = line->failStart = false;
    Open();
    EXPECT_TRUE(link->IsTimerRunning());
    EXPECT_EQ(line->opened.back().queueSize, 512u);
    Tick(2);
    EXPECT_EQ(line->sent.size(), 2u);  // both queued reads, one per tick
}

// Drives slower than the time-out, on a line whose ticks the test counts: each transmission is
// answered a chosen number of ticks after it went out (TK485 R and Y, and MODBUS reads, carry no
// address, so a late answer taken for the next request would be a plausible wrong value).
struct LateCase {
    const char* name;
    int commMode;
    bool monitoring;
    std::vector<int> firstDelays;  // ticks, per transmission; then laterDelay for the rest
    int laterDelay;
    enum { kNoneGood, kAllGood, kSomeGood } outcome;
};

int WordAt(int address) {
    return 0x1000 + address * 7;
}

class LateReplies : public ::testing::TestWithParam<LateCase> {
protected:
    // Time-out 300 ms at 30 ms ticks: a reply is missing after 11 ticks.
    void SetUp() override {
        line->responder = [this](const std::string& f) -> std::optional<std::string> {
            const LateCase& c = GetParam();
            std::size_t n = line->sent.size() - 1;
            int delay = n < c.firstDelays.size() ? c.firstDelays[n] : c.laterDelay;
            rig.AnswerAfter(delay, Answer(f));
            return std::nullopt;
        };
        ASSERT_EQ(link->Open(nullptr, GetParam().commMode, PortSettings{}, 300, 30, 2),
                  kLinkOpenOk);
        for (int a = 1; a <= 10; ++a) drives.words[1][a] = WordAt(a);
    }

    std::string Answer(const std::string& f) {
        if (GetParam().commMode == kCommTk485) return *drives.Answer(f);
        const test::LineRequest r = test::ParseRequest(kCommModbus, f);
        return test::ReadReply(kCommModbus, r.station, WordAt(r.address));
    }

    void Tick() { rig.Tick(); }

    test::TickedLink rig;
    std::shared_ptr<FakeLine>& line = rig.line;
    std::unique_ptr<CDriveLink>& link = rig.link;
    Tk485Drives drives;
};

TEST_P(LateReplies, EveryResultIsTheRightValueOrAReportedFailure) {
    const LateCase& c = GetParam();
    std::size_t good = 0, failed = 0;
    auto check = [&](const DriveReply& r) {
        for (int w = 0; w < r.wordCount; ++w) {
            if (r.errorCode == kErrNone) {
                ++good;
                EXPECT_EQ(r.values[w], WordAt(r.addresses[w])) << "address " << r.addresses[w];
            }
        }
        if (r.errorCode == kErrRetriesExhausted) ++failed;
    };
    Sink sink;
    Listener listener;
    sink.onReply = check;
    listener.onMonitor = [&](const DriveReply& r) {
        if (r.command != 'X') check(r);
    };
    if (c.monitoring) {
        link->SetPollRange(1, 1);
        std::vector<int> all = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
        link->AddMonitorAddresses(1, all.data(), 10);
        link->AddListener(1, &listener);
    } else {
        for (int i = 0; i < 20; ++i) link->QueueRead(1, 1 + i % 10, &sink);
    }
    for (int i = 0; i < 1500; ++i) Tick();
    EXPECT_EQ(good > 0, c.outcome != LateCase::kNoneGood);
    EXPECT_EQ(failed > 0, c.outcome != LateCase::kAllGood);
}

void PrintTo(const LateCase& c, std::ostream* os) {
    *os << c.name;
}

INSTANTIATE_TEST_SUITE_P(
    BothProtocols, LateReplies,
    ::testing::Values(
        // Always slower than the time-out: each repeat takes the answer to the transmission
        // before it, the same question, and the next question waits for the repeat's own.
        LateCase{"tk485_reads_1_2x", kCommTk485, false, {}, 12, LateCase::kAllGood},
        LateCase{"tk485_reads_1_8x", kCommTk485, false, {}, 18, LateCase::kAllGood},
        LateCase{"tk485_reads_2x", kCommTk485, false, {}, 20, LateCase::kAllGood},
        LateCase{"modbus_reads_1_2x", kCommModbus, false, {}, 12, LateCase::kAllGood},
        LateCase{"modbus_reads_1_8x", kCommModbus, false, {}, 18, LateCase::kAllGood},
        // The drive answers X and the first Y in time, then slows down.
        LateCase{"tk485_monitor_1_2x", kCommTk485, true, {0, 0}, 12, LateCase::kAllGood},
        LateCase{"modbus_monitor_1_8x", kCommModbus, true, {0}, 18, LateCase::kAllGood},
        // One answer later than time-out plus guard: the repeat is answered first, and the
        // first transmission's answer, still owed, must not complete the next request.
        LateCase{"tk485_reads_one_very_late", kCommTk485, false, {25}, 0, LateCase::kAllGood},
        LateCase{"modbus_reads_one_very_late", kCommModbus, false, {25}, 0, LateCase::kAllGood},
        LateCase{"tk485_monitor_one_very_late", kCommTk485, true, {0, 22}, 0, LateCase::kAllGood},
        LateCase{"modbus_monitor_one_very_late", kCommModbus, true, {25}, 0, LateCase::kAllGood}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(DriveLinkTest, TraceSeesFramesSentAndRepliesReceived) {
    Open();
    std::vector<std::pair<bool, std::string>> seen;
    link->SetFrameTrace([&](bool sent, const std::uint8_t* b, std::size_t n) {
        seen.emplace_back(sent, std::string(reinterpret_cast<const char*>(b), n));
    });
    link->QueueRead(1, 0x100, nullptr);
    Tick();
    int v = 0x100;
    EXPECT_EQ(seen, (std::vector<std::pair<bool, std::string>>{
                        {true, tk485::BuildRead(1, 0x100)},
                        {false, tk485::BuildAckReply(1, 'R', &v, 1)}}));
}

}  // namespace
}  // namespace korvane
