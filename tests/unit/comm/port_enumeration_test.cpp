#include "comm/port_enumeration.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace korvane {
namespace {

// Registry values as a driver set might leave them; `fail` makes the read itself fail.
class FakeRegistry : public SerialCommRegistry {
public:
    explicit FakeRegistry(std::vector<SerialCommEntry> entries, bool fail = false)
        : entries_(std::move(entries)), fail_(fail) {}
    bool read(std::vector<SerialCommEntry>& entries, std::string& error) override {
        if (fail_) {
            error = "access denied";
            return false;
        }
        entries = entries_;
        return true;
    }

private:
    std::vector<SerialCommEntry> entries_;
    bool fail_;
};

TEST(EnumerateRegistryPorts, SortsByNumberAndKeepsOnlyUsableNames) {
    struct Row {
        const char* what;
        std::vector<SerialCommEntry> entries;
        std::vector<std::string> ports;
    };
    const Row rows[] = {
        {"empty key", {}, {}},
        {"numeric order",
         {{"\\Device\\VCP1", "COM10"}, {"\\Device\\Serial0", "COM1"}, {"\\Device\\VCP0", "COM3"}},
         {"COM1", "COM3", "COM10"}},
        {"blank, padded and path-like data",
         {{"\\Device\\A", ""},
          {"\\Device\\B", " COM4 "},
          {"\\Device\\C", "..\\x"},
          {"\\Device\\D", "C:"},
          {"\\Device\\E", "a/b"}},
         {"COM4"}},
        {"one port named twice", {{"\\Device\\A", "COM5"}, {"\\Device\\B", "com5"}}, {"COM5"}},
    };
    for (const Row& row : rows) {
        FakeRegistry registry(row.entries);
        PortEnumerationResult found = EnumerateRegistryPorts(registry);
        ASSERT_TRUE(found.ok()) << row.what;
        std::vector<std::string> names;
        for (const SerialPortInfo& info : found.ports) names.push_back(info.portName);
        EXPECT_EQ(names, row.ports) << row.what;
    }
}

TEST(EnumerateRegistryPorts, RecordsOpenThePortAndReduceToItsName) {
    FakeRegistry registry({{"\\Device\\VCP0", "COM3"}, {"\\Device\\Serial0", "COM1"}});
    PortEnumerationResult found = EnumerateRegistryPorts(registry);
    ASSERT_EQ(found.ports.size(), 2u);
    EXPECT_EQ(found.ports[0].devicePath, "\\\\.\\COM1");
    EXPECT_FALSE(found.ports[0].isUsb);
    EXPECT_EQ(found.ports[1].friendlyName, "\\Device\\VCP0 (COM3)");
    EXPECT_EQ(found.ports[1].description, "\\Device\\VCP0");
    EXPECT_TRUE(found.ports[1].isUsb);
    EXPECT_EQ(BuildPortNameList(found.ports), (PortNameList{"COM1", "COM3", "SIM"}));
}

TEST(EnumerateRegistryPorts, AnUnreadableKeyIsAnErrorWithNoRecords) {
    FakeRegistry registry({{"\\Device\\Serial0", "COM1"}}, true);
    PortEnumerationResult found = EnumerateRegistryPorts(registry);
    EXPECT_FALSE(found.ok());
    EXPECT_NE(found.error.find("access denied"), std::string::npos);
    EXPECT_TRUE(found.ports.empty());
}

TEST(ReducePortName, TakesTheStandAlonePortNameNearestTheEnd) {
    struct Row {
        const char* friendlyName;
        const char* expected;
    };
    const Row rows[] = {
        {"usb-FTDI_FT232R_USB_UART_A1-if00-port0 (ttyUSB0)", "ttyUSB0"},
        {"Serial (ttyS12)", "ttyS12"},
        {"ttyS0", "ttyS0"},
        {"ttymxc3", "ttymxc3"},
        {"usb-Acme_ttyAdapter2-if00 (ttyACM3)", "ttyACM3"},
        {"usb-Pretty_Serial2-if00", ""},
        {"ttyS5 (Pretty2 tty)", "ttyS5"},
        {"Pretty2", ""},
        {"tty", ""},
        {"ttyUSB", ""},
        {"ttyUSB0x", ""},
        {"", ""},
        {"usb-\xe6\x97\xa5\xe6\x9c\xac (ttyUSB1)", "ttyUSB1"},
        {"USB Serial Port (COM12)", "COM12"},
        {"\\Device\\Serial0 (COM1)", "COM1"},
        {"COMPORT (COM)", ""},
        {"COM3x", ""},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(ReducePortName(row.friendlyName), row.expected) << row.friendlyName;
    }
}

TEST(BuildPortNameList, SkipsRecordsWithoutAPortNameAndAlwaysOffersTheSimulatedLine) {
    SerialPortInfoList records(3);
    records[0].friendlyName = "Bluetooth link";
    records[1].friendlyName = "usb-X (ttyUSB1)";
    records[2].friendlyName = "ttyS4";
    EXPECT_EQ(BuildPortNameList(records), (PortNameList{"ttyUSB1", "ttyS4", "SIM"}));

    records.erase(records.begin() + 1, records.end());
    PortNameList fallback = FallbackPortNames();
    ASSERT_EQ(fallback.size(), 16u);
    fallback.push_back("SIM");
    EXPECT_EQ(BuildPortNameList(records), fallback);
}

TEST(PostProcessPortRecords, FillsFriendlyNameAndDescription) {
    struct Row {
        const char* portName;
        const char* friendlyName;
        const char* description;
        const char* expectedFriendly;
        const char* expectedDescription;
    };
    const Row rows[] = {
        {"ttyS0", "", "", "ttyS0", "ttyS0"},
        {"ttyUSB0", "FT232R USB UART  (ttyUSB0)", "", "FT232R USB UART  (ttyUSB0)",
         "FT232R USB UART"},
        {"ttyS1", "(ttyS1)", "", "(ttyS1)", "(ttyS1)"},
        {"ttyS2", " \t(ttyS2)", "", " \t(ttyS2)", ""},
        {"ttyS3", "Board (ttyS3)", "on-board UART", "Board (ttyS3)", "on-board UART"},
    };
    for (const Row& row : rows) {
        SerialPortInfoList list(1);
        list[0].portName = row.portName;
        list[0].friendlyName = row.friendlyName;
        list[0].description = row.description;
        PostProcessPortRecords(list);
        EXPECT_EQ(list[0].friendlyName, row.expectedFriendly) << row.portName;
        EXPECT_EQ(list[0].description, row.expectedDescription) << row.portName;
    }
}

TEST(IsPresentComPort, TakesComNamesInBothFormsAndAsksOnlyForThose) {
    const struct Row {
        const char* typed;
        const char* asked;  // the DOS name asked for, "" when none may be
        bool present;
    } rows[] = {
        {"COM3", "COM3", true},
        {"com12", "COM12", true},
        {"\\\\.\\COM7", "COM7", true},
        {"\\\\.\\com255", "COM255", true},
        {"COM9", "COM9", false},  // the system has no such device
        {"COM0", "", false},
        {"COM256", "", false},
        {"COM007", "", false},
        {"COM", "", false},
        {"COM3 ", "", false},
        {"COM3:", "", false},
        {"COMx3", "", false},
        {"\\\\?\\COM3", "", false},
        {"\\\\.\\", "", false},
        {"/dev/ttyS0", "", false},
        {"C:\\ports\\COM3", "", false},
        {"", "", false},
    };
    for (const Row& row : rows) {
        std::vector<std::string> asked;
        const bool present = IsPresentComPort(row.typed, [&](const std::string& name) {
            asked.push_back(name);
            return name != "COM9";
        });
        EXPECT_EQ(present, row.present) << row.typed;
        EXPECT_EQ(asked,
                  *row.asked ? std::vector<std::string>{row.asked} : std::vector<std::string>{})
            << row.typed;
    }
}

}  // namespace
}  // namespace korvane
