#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>

#include "comm/port_enumeration.h"

namespace korvane {
namespace {
namespace fs = std::filesystem;

// A fake /sys/class/tty and /dev/serial/by-id in a temporary directory, laid out as the
// kernel and udev lay them out: class entries are links into a device tree.
class FakeTree {
public:
    FakeTree() {
        root_ =
            fs::temp_directory_path() / ("korvane-ports-" + std::to_string(std::random_device{}()));
        fs::create_directories(classDir());
        fs::create_directories(root_ / "bus" / "usb");
        fs::create_directories(root_ / "bus" / "usb-serial");
        fs::create_directories(root_ / "bus" / "platform");
    }
    ~FakeTree() {
        std::error_code ec;
        fs::remove_all(root_, ec);
    }

    PortEnumerationRoots roots() const {
        return {classDir().string(), (root_ / "by-id").string(), "/dev"};
    }

    // A tty with a device behind it, on the given bus; uartType < 0 writes no type file.
    void addPort(const std::string& name, const std::string& bus, int uartType = -1) {
        fs::path node = root_ / "devices" / name / "tty" / name;
        fs::create_directories(node / "device");
        fs::create_directory_symlink(root_ / "bus" / bus, node / "device" / "subsystem");
        if (uartType >= 0) std::ofstream(node / "type") << uartType << "\n";
        fs::create_directory_symlink(node, classDir() / name);
    }
    // A tty the kernel lists without a device (virtual consoles, the pty master).
    void addVirtual(const std::string& name) { fs::create_directories(classDir() / name); }

    void addById(const std::string& link, const std::string& port) {
        fs::create_directories(root_ / "by-id");
        fs::create_symlink("../../" + port, root_ / "by-id" / link);
    }

    void removeClassDir() { fs::remove_all(classDir()); }

private:
    fs::path classDir() const { return root_ / "class" / "tty"; }
    fs::path root_;
};

TEST(EnumerateSerialPorts, FindsPresentPortsWithUsbFriendlyNames) {
    FakeTree tree;
    tree.addPort("ttyS0", "platform", 4);
    tree.addPort("ttyS1", "platform", 0);  // registered by the driver, no UART behind it
    tree.addPort("ttyS2", "platform", 4);
    tree.addPort("ttyS10", "platform", 4);
    tree.addPort("ttyUSB0", "usb-serial");
    tree.addPort("ttyACM0", "usb");
    tree.addVirtual("tty1");
    tree.addVirtual("ptmx");
    tree.addById("usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0", "ttyUSB0");
    tree.addById("usb-FTDI_FT232R_USB_UART_A50285BI-if00-port1", "ttyUSB0");
    tree.addById("usb-Arduino_Uno_7563-if00", "ttyACM0");

    PortEnumerationResult found = EnumerateSerialPorts(tree.roots());
    ASSERT_TRUE(found.ok()) << found.error;

    struct Row {
        const char* portName;
        const char* friendlyName;
        bool isUsb;
        const char* description;
    };
    const Row expected[] = {
        {"ttyACM0", "usb-Arduino_Uno_7563-if00 (ttyACM0)", true, "usb-Arduino_Uno_7563-if00"},
        {"ttyS0", "ttyS0", false, "ttyS0"},
        {"ttyS2", "ttyS2", false, "ttyS2"},
        {"ttyS10", "ttyS10", false, "ttyS10"},
        {"ttyUSB0", "usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0 (ttyUSB0)", true,
         "usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0"},
    };
    ASSERT_EQ(found.ports.size(), std::size(expected));
    for (std::size_t i = 0; i < found.ports.size(); ++i) {
        const SerialPortInfo& p = found.ports[i];
        EXPECT_EQ(p.portName, expected[i].portName) << i;
        EXPECT_EQ(p.devicePath, std::string("/dev/") + expected[i].portName) << i;
        EXPECT_EQ(p.friendlyName, expected[i].friendlyName) << i;
        EXPECT_EQ(p.isUsb, expected[i].isUsb) << i;
        EXPECT_EQ(p.description, expected[i].description) << i;
    }
    EXPECT_EQ(BuildPortNameList(tree.roots()),
              (PortNameList{"ttyACM0", "ttyS0", "ttyS2", "ttyS10", "ttyUSB0", "SIM"}));
}

TEST(EnumerateSerialPorts, NoByIdDirectoryIsNotAnError) {
    FakeTree tree;
    tree.addPort("ttyUSB3", "usb-serial");
    PortEnumerationResult found = EnumerateSerialPorts(tree.roots());
    ASSERT_TRUE(found.ok()) << found.error;
    ASSERT_EQ(found.ports.size(), 1u);
    EXPECT_TRUE(found.ports[0].isUsb);
    EXPECT_EQ(found.ports[0].friendlyName, "ttyUSB3");
    EXPECT_EQ(BuildPortNameList(tree.roots()), (PortNameList{"ttyUSB3", "SIM"}));
}

TEST(EnumerateSerialPorts, NothingFoundOrUnreadableGivesTheStandardList) {
    const PortNameList standard{"ttyS0",  "ttyS1",  "ttyS2",  "ttyS3",  "ttyS4",  "ttyS5",
                                "ttyS6",  "ttyS7",  "ttyS8",  "ttyS9",  "ttyS10", "ttyS11",
                                "ttyS12", "ttyS13", "ttyS14", "ttyS15", "SIM"};
    FakeTree tree;
    tree.addVirtual("tty0");
    tree.addPort("ttyS0", "platform", 0);
    EXPECT_EQ(BuildPortNameList(tree.roots()), standard);

    tree.removeClassDir();
    PortEnumerationResult found = EnumerateSerialPorts(tree.roots());
    EXPECT_FALSE(found.ok());
    EXPECT_TRUE(found.ports.empty());
    EXPECT_EQ(BuildPortNameList(tree.roots()), standard);
}

}  // namespace
}  // namespace korvane
