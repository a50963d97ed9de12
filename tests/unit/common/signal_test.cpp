#include "common/signal.h"

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace korvane {
namespace {

TEST(Signal, CallsConnectedFunctionsInOrderUntilTheirConnectionGoes) {
    Signal<int, const std::string&> signal;
    std::vector<std::string> seen;
    Connection a = signal.connect(
        [&](int n, const std::string& s) { seen.push_back("a" + std::to_string(n) + s); });
    {
        Connection b = signal.connect(
            [&](int n, const std::string&) { seen.push_back("b" + std::to_string(n)); });
        signal(1, "x");
    }
    signal(2, "y");
    a.disconnect();
    signal(3, "z");
    EXPECT_EQ(seen, (std::vector<std::string>{"a1x", "b1", "a2y"}));
    EXPECT_FALSE(signal.hasConnections());
}

// The cases a view meets when it goes away while it is being told of a change.
TEST(Signal, NeverCallsWhatWasTakenDownDuringAnEmission) {
    struct Case {
        const char* name;
        bool destroySignal;  // else the first function drops the second's connection
        std::vector<int> expected;
    };
    const Case cases[] = {
        {"a view closed by an earlier view", false, {1}},
        {"the core object destroyed by its view", true, {1}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto signal = std::make_unique<Signal<>>();
        std::vector<int> seen;
        std::optional<Connection> second;
        Connection first = signal->connect([&] {
            seen.push_back(1);
            if (c.destroySignal)
                signal.reset();
            else
                second.reset();
        });
        second = signal->connect([&] { seen.push_back(2); });
        (*signal)();
        EXPECT_EQ(seen, c.expected);
    }
}

TEST(Signal, AConnectionOutlivingItsSignalIsHarmless) {
    Connection kept;
    {
        Signal<> signal;
        kept = signal.connect([] {});
        EXPECT_TRUE(kept.connected());
    }
    EXPECT_FALSE(kept.connected());
    kept.disconnect();
}

TEST(Signal, AFunctionConnectedDuringAnEmissionHearsOnlyTheNextOne) {
    Signal<> signal;
    int late = 0;
    std::optional<Connection> added;
    Connection first = signal.connect([&] {
        if (!added) added = signal.connect([&] { ++late; });
    });
    signal();
    EXPECT_EQ(late, 0);
    signal();
    EXPECT_EQ(late, 1);
}

TEST(Signal, MovingAConnectionKeepsOneSubscription) {
    Signal<> signal;
    int calls = 0;
    Connection a = signal.connect([&] { ++calls; });
    Connection b = std::move(a);
    signal();
    Connection c = signal.connect([&] { calls += 10; });
    b = std::move(c);  // b's first subscription ends
    signal();
    EXPECT_EQ(calls, 11);
}

}  // namespace
}  // namespace korvane
