#pragma once
// Which serial ports exist, found once per run for the port setup dialog. The OS is asked for
// port records; each record is then reduced to the plain name the user picks and the line opens.
#include <functional>
#include <string>
#include <vector>

namespace korvane {

struct SerialPortInfo {
    std::string devicePath;    // what to open: "/dev/ttyUSB0", \\.\COM3
    std::string portName;      // "ttyUSB0", "COM3"
    std::string friendlyName;  // "usb-FTDI_FT232R_USB_UART_A1-if00-port0 (ttyUSB0)"
    bool isUsb = false;
    std::string description;
};

using SerialPortInfoList = std::vector<SerialPortInfo>;
using PortNameList = std::vector<std::string>;

// The built-in simulated line; offered in every port list, after the real ports.
inline constexpr char kSimulatedPortName[] = "SIM";

// Where the OS publishes its ports. Tests point these at fake trees.
struct PortEnumerationRoots {
    std::string sysClassTty = "/sys/class/tty";
    std::string serialById = "/dev/serial/by-id";
    std::string devDir = "/dev";
};

struct PortEnumerationResult {
    SerialPortInfoList ports;  // empty whenever error is set: partial walks are not used
    std::string error;
    bool ok() const { return error.empty(); }
};

// Present serial ports in natural name order (ttyS2 before ttyS10), post-processed. On
// Windows the registry's list, and `roots` does not matter.
[[nodiscard]] PortEnumerationResult EnumerateSerialPorts(const PortEnumerationRoots& roots = {});

// One value of the registry key where Windows lists its serial ports
// (HKLM\HARDWARE\DEVICEMAP\SERIALCOMM): the driver's device name and the port name.
struct SerialCommEntry {
    std::string deviceName;  // "\Device\Serial0", "\Device\VCP0"
    std::string portName;    // "COM3"
};

// Reads that key; tests give a fake.
class SerialCommRegistry {
public:
    virtual ~SerialCommRegistry() = default;
    // False with `error` set when the key cannot be read. A missing key (no serial driver
    // loaded) is an empty list, not an error.
    [[nodiscard]] virtual bool read(std::vector<SerialCommEntry>& entries, std::string& error) = 0;
};

// The registry's ports as records, sorted by number (COM2 before COM10), post-processed.
[[nodiscard]] PortEnumerationResult EnumerateRegistryPorts(SerialCommRegistry& registry);

// Natural order of port names: ttyS2 before ttyS10, COM2 before COM10.
bool PortNameLess(const std::string& a, const std::string& b);

// Fills empty friendly names and descriptions so that every record can be shown.
void PostProcessPortRecords(SerialPortInfoList& list);

// The OS port name inside a friendly name ("... (ttyUSB0)" -> "ttyUSB0"); empty when none.
std::string ReducePortName(const std::string& friendlyName);

// The names the port setup dialog offers: one per record whose friendly name carries a port
// name, or the sixteen standard UARTs when none does; the simulated line always comes last.
PortNameList BuildPortNameList(const SerialPortInfoList& records);
// Enumerates and reduces; an enumeration failure leaves the standard fallback list.
PortNameList BuildPortNameList(const PortEnumerationRoots& roots = {});

// The list offered when the OS names no port at all (ttyS0 .. ttyS15, on Windows COM1 ..
// COM16), simulated line excluded.
PortNameList FallbackPortNames();
// The port of a set-up that stores none: the first of that list.
std::string DefaultPortName();

// Whether a port the user typed instead of picking it from the list names a serial device that
// is there now. POSIX: an absolute path that exists (a pseudo-terminal, a /dev/serial/by-id
// link); Windows: COMn or \\.\COMn that the system has a device for.
bool IsPresentTypedPort(const std::string& port);
// The Windows port a typed name stands for: "COM12" for COM12, com12 or \\.\COM12, "" for
// anything else (a file, COM0, a number out of 1..255).
std::string ComPortOfTypedName(const std::string& typed);
// Whether the system has a device of that DOS name ("COM12"); tests give a fake.
using DosDeviceQuery = std::function<bool(const std::string& name)>;
// The Windows rule of IsPresentTypedPort: a typed COM port the system has a device for.
bool IsPresentComPort(const std::string& typed, const DosDeviceQuery& deviceExists);

// What this system's serial ports look like, for the hint beside the port field: "ttyUSB0,
// /dev/serial/by-id/..." on POSIX, "COM3, \\.\COM12" on Windows.
const char* LocalPortExamples();

}  // namespace korvane
