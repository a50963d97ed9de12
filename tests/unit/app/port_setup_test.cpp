#include "app/port_setup.h"

#include <gtest/gtest.h>

namespace korvane {
namespace {

const PortNameList kPorts{"ttyS0", "ttyUSB0", "SIM"};

TEST(PortSetupForm, ValuesMissingFromAListShowAsItsDefaultEntry) {
    struct Row {
        unsigned baud, dataBits, retry;
        int baudIndex, dataBitsIndex, retryIndex;
    };
    const Row rows[] = {
        {1200, 5, 2, 0, 0, 0},
        {38400, 8, 5, 5, 3, 3},
        {115200, 8, 3, 3, 3, 1},  // a rate the dialog does not offer shows as 9600
        {9600, 7, 4, 3, 2, 2},
    };
    for (const Row& row : rows) {
        AppSettings s;
        s.baudRate = row.baud;
        s.dataBits = row.dataBits;
        s.retryCount = row.retry;
        PortSetupForm f = MakePortSetupForm(s, kPorts);
        EXPECT_EQ(f.baudRateIndex, row.baudIndex) << row.baud;
        EXPECT_EQ(f.dataBitsIndex, row.dataBitsIndex) << row.dataBits;
        EXPECT_EQ(f.retryIndex, row.retryIndex) << row.retry;
    }
}

TEST(PortSetupForm, UnknownRetryCountShowsAndKeepsTheDefault) {
    AppSettings s;
    s.retryCount = 9;  // only reachable through settings built by hand
    PortSetupForm f = MakePortSetupForm(s, kPorts);
    EXPECT_EQ(kRetryChoices[static_cast<std::size_t>(f.retryIndex)], 3u);
    ASSERT_TRUE(ApplyPortSetupForm(f, s).accepted);
    EXPECT_EQ(s.retryCount, 3u);
}

TEST(PortSetupForm, AVanishedPortShowsAsTheFirstOffered) {
    AppSettings s;
    s.port = "ttyUSB4";
    EXPECT_EQ(MakePortSetupForm(s, kPorts).port, "ttyS0");
    s.port = "SIM";
    EXPECT_EQ(MakePortSetupForm(s, kPorts).port, "SIM");
}

TEST(PortSetupForm, OpeningAndAcceptingUnchangedKeepsEverySetting) {
    AppSettings s;
    s.commMode = 0;
    s.port = "ttyUSB0";
    s.baudRate = 38400;
    s.dataBits = 7;
    s.parity = 3;
    s.stopBits = 1;
    s.timeOut = 750;
    s.retryCount = 5;
    s.autoTxEnable = 0;
    s.txActiveHigh = 0;
    AppSettings after = s;
    ASSERT_TRUE(ApplyPortSetupForm(MakePortSetupForm(s, kPorts), after).accepted);
    EXPECT_EQ(after.commMode, 0u);
    EXPECT_EQ(after.port, "ttyUSB0");
    EXPECT_EQ(after.baudRate, 38400u);
    EXPECT_EQ(after.dataBits, 7u);
    EXPECT_EQ(after.parity, 3u);
    EXPECT_EQ(after.stopBits, 1u);
    EXPECT_EQ(after.timeOut, 750u);
    EXPECT_EQ(after.retryCount, 5u);
    EXPECT_EQ(after.autoTxEnable, 0);
    EXPECT_EQ(after.txActiveHigh, 0);
}

TEST(PortSetupForm, FastPacingShowsAndIsTakenAsChosen) {
    for (bool stored : {false, true}) {
        for (bool chosen : {false, true}) {
            AppSettings s;
            s.fastPacing = stored;
            PortSetupForm f = MakePortSetupForm(s, kPorts);
            EXPECT_EQ(f.fastPacing, stored);
            f.fastPacing = chosen;
            ASSERT_TRUE(ApplyPortSetupForm(f, s).accepted);
            EXPECT_EQ(s.fastPacing, chosen);
        }
    }
    // A refused form changes nothing, the pacing included.
    AppSettings s;
    PortSetupForm f = MakePortSetupForm(s, kPorts);
    f.fastPacing = true;
    f.timeOutText = "x";
    EXPECT_FALSE(ApplyPortSetupForm(f, s).accepted);
    EXPECT_FALSE(s.fastPacing);
}

TEST(PortSetupForm, TxLevelIsOnlyOfferedInRtsMode) {
    AppSettings s;
    EXPECT_FALSE(MakePortSetupForm(s, kPorts).txLevelEnabled());
    s.autoTxEnable = 0;
    EXPECT_TRUE(MakePortSetupForm(s, kPorts).txLevelEnabled());
}

TEST(PortSetupForm, TimeOutOutsideItsRangeIsRefusedAndNothingChanges) {
    struct Row {
        const char* text;
        bool ok;
        unsigned value;
        const char* message;
    };
    const char* range = "500 から 3000 までの整数を入力してください。";
    const char* integer = "整数を入力してください。";
    const Row rows[] = {
        {"500", true, 500, ""},     {"3000", true, 3000, ""},
        {" 800 ", true, 800, ""},   {"499", false, 0, range},
        {"0", false, 0, range},     {"3001", false, 0, range},
        {"-500", false, 0, range},  {"99999999999999999999", false, 0, range},
        {"", false, 0, integer},    {"  ", false, 0, integer},
        {"1e3", false, 0, integer}, {"abc", false, 0, integer},
        {"+", false, 0, integer},
    };
    for (const Row& row : rows) {
        TimeOutCheck check = CheckTimeOutText(row.text);
        EXPECT_EQ(check.ok, row.ok) << row.text;
        EXPECT_EQ(check.message, row.message) << row.text;
        if (row.ok) {
            EXPECT_EQ(check.value, row.value) << row.text;
        }

        AppSettings s;
        PortSetupForm f = MakePortSetupForm(s, kPorts);
        f.timeOutText = row.text;
        f.baudRateIndex = 0;
        PortSetupOutcome outcome = ApplyPortSetupForm(f, s);
        EXPECT_EQ(outcome.accepted, row.ok) << row.text;
        EXPECT_EQ(s.baudRate, row.ok ? 1200u : 9600u) << row.text;
    }
}

TEST(PortSetupForm, IndexesOutsideTheListsFallBackToDefaults) {
    AppSettings s;
    PortSetupForm f = MakePortSetupForm(s, kPorts);
    f.protocolIndex = 7;
    f.baudRateIndex = -1;
    f.dataBitsIndex = 4;
    f.parityIndex = 5;
    f.stopBitsIndex = -3;
    f.retryIndex = 99;
    f.port.clear();
    s.port = "ttyUSB0";
    ASSERT_TRUE(ApplyPortSetupForm(f, s).accepted);
    EXPECT_EQ(s.commMode, 1u);
    EXPECT_EQ(s.port, "ttyUSB0");
    EXPECT_EQ(s.baudRate, 9600u);
    EXPECT_EQ(s.dataBits, 8u);
    EXPECT_EQ(s.parity, 0u);
    EXPECT_EQ(s.stopBits, 0u);
    EXPECT_EQ(s.retryCount, 3u);
}

TEST(PortSetupTexts, PortOpenFailureNamesThePort) {
    EXPECT_EQ(PortOpenFailedText("ttyUSB0"), "ttyUSB0ポートを開くことができません");
}

}  // namespace
}  // namespace korvane

namespace korvane {
namespace {

TEST(PortSetupForm, NetworkPortsGreyOutWhatTheServerOwnsAndRefuseBadForms) {
    struct Case {
        const char* port;
        int protocolIndex;
        bool framing;
        bool tk485;
        bool accepted;
    } cases[] = {
        {"ttyUSB0", 1, true, true, true},
        {"rfc2217://ds1:2217", 1, true, true, true},
        {"tcp://ds1:4001", 1, false, true, true},
        {"modbus-tcp://gw:502", 0, false, false, true},
        {"modbus-tcp://gw:502", 1, false, false, false},  // TK485 in MBAP frames
        {"tcp://ds1", 0, false, true, false},
        {"tcp://[::1:4001", 0, false, true, false},
    };
    for (const auto& c : cases) {
        PortSetupForm form = MakePortSetupForm(AppSettings{}, {"ttyUSB0"});
        form.port = c.port;
        form.protocolIndex = c.protocolIndex;
        EXPECT_EQ(form.tk485Offered(), c.tk485) << c.port;
        if (c.accepted || std::string(c.port).find("modbus") != std::string::npos) {
            EXPECT_EQ(form.framingEnabled(), c.framing) << c.port;
        }
        AppSettings settings;
        settings.port = "ttyS0";
        const PortSetupOutcome outcome = ApplyPortSetupForm(form, settings);
        EXPECT_EQ(outcome.accepted, c.accepted) << c.port;
        EXPECT_EQ(settings.port, c.accepted ? c.port : "ttyS0") << c.port;
        if (!c.accepted) {
            EXPECT_FALSE(outcome.message.empty());
        }
    }
}

TEST(PortSetupForm, AnAcceptedAddressIsOfferedAgainNextTime) {
    AppSettings settings;
    PortSetupForm form = MakePortSetupForm(settings, {"ttyUSB0"});
    form.port = "tcp://10.0.0.7:4001";
    ASSERT_TRUE(ApplyPortSetupForm(form, settings).accepted);
    form.port = "ttyUSB0";
    ASSERT_TRUE(ApplyPortSetupForm(form, settings).accepted);
    const PortSetupForm next = MakePortSetupForm(settings, {"ttyUSB0"});
    EXPECT_EQ(next.recentAddresses, std::vector<std::string>{"tcp://10.0.0.7:4001"});
}

}  // namespace
}  // namespace korvane
