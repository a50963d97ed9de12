#include "comm/port_enumeration.h"

#include <algorithm>
#include <string_view>
#include <tuple>

#include "common/format.h"
#include "common/text.h"

namespace korvane {

namespace {

bool isAsciiDigit(char c) {
    return c >= '0' && c <= '9';
}
bool isAsciiLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}
bool isAsciiAlnum(char c) {
    return isAsciiDigit(c) || isAsciiLetter(c);
}

// A port name must stand alone: "tty" or "COM", the driver's letters, then at least one digit.
std::size_t portNameLengthAt(const std::string& text, std::size_t at) {
    if (at > 0 && isAsciiAlnum(text[at - 1])) return 0;
    std::size_t end = at + 3;
    while (end < text.size() && isAsciiLetter(text[end])) ++end;
    std::size_t digits = end;
    while (end < text.size() && isAsciiDigit(text[end])) ++end;
    if (end == digits) return 0;
    if (end < text.size() && isAsciiAlnum(text[end])) return 0;
    return end - at;
}

}  // namespace

bool PortNameLess(const std::string& a, const std::string& b) {
    auto split = [](const std::string& s) {
        std::size_t digits = s.size();
        while (digits > 0 && isAsciiDigit(s[digits - 1])) --digits;
        std::string stem = s.substr(0, digits);
        std::string number = s.substr(digits);
        number.erase(0, std::min(number.find_first_not_of('0'), number.size()));
        return std::make_tuple(stem, number.size(), number, s);
    };
    return split(a) < split(b);
}

PortEnumerationResult EnumerateRegistryPorts(SerialCommRegistry& registry) {
    PortEnumerationResult result;
    std::vector<SerialCommEntry> entries;
    if (!registry.read(entries, result.error)) {
        if (result.error.empty()) result.error = "Could not read the serial port registry";
        return result;
    }
    for (SerialCommEntry& entry : entries) {
        // The port name is whatever the driver wrote: trusted no further than being a name
        // that CreateFile can take after \\.\ .
        const std::string name = TrimWhitespace(entry.portName);
        if (name.empty() || name.find_first_of("\\/:") != std::string::npos) continue;
        SerialPortInfo info;
        info.portName = name;
        info.devicePath = "\\\\.\\" + name;
        info.friendlyName = entry.deviceName.empty() ? name : entry.deviceName + " (" + name + ")";
        info.isUsb = AsciiLower(entry.deviceName).find("usb") != std::string::npos ||
                     AsciiLower(entry.deviceName).find("vcp") != std::string::npos;
        result.ports.push_back(std::move(info));
    }
    std::sort(result.ports.begin(), result.ports.end(),
              [](const SerialPortInfo& a, const SerialPortInfo& b) {
                  return PortNameLess(a.portName, b.portName);
              });
    // Two drivers naming the same port: the first in order keeps it.
    result.ports.erase(std::unique(result.ports.begin(), result.ports.end(),
                                   [](const SerialPortInfo& a, const SerialPortInfo& b) {
                                       return AsciiLower(a.portName) == AsciiLower(b.portName);
                                   }),
                       result.ports.end());
    PostProcessPortRecords(result.ports);
    return result;
}

void PostProcessPortRecords(SerialPortInfoList& list) {
    for (SerialPortInfo& info : list) {
        if (info.friendlyName.empty()) info.friendlyName = info.portName;
        if (!info.description.empty()) continue;
        info.description = info.friendlyName;
        std::size_t paren = info.description.find('(');
        if (paren == std::string::npos || paren == 0) continue;
        std::string before = info.description.substr(0, paren);
        std::size_t first = before.find_first_not_of(" \t");
        std::size_t last = before.find_last_not_of(" \t");
        info.description = first == std::string::npos ? "" : before.substr(first, last - first + 1);
    }
}

std::string ReducePortName(const std::string& friendlyName) {
    // Friendly names end in the port name in parentheses, and the text before it is a product
    // string that may hold anything ("Pretty_ttyAdapter2"), so the search runs from the end.
    // POSIX names start with "tty", Windows names with "COM".
    for (std::size_t at = friendlyName.size(); at-- > 0;) {
        if (friendlyName.compare(at, 3, "tty") != 0 && friendlyName.compare(at, 3, "COM") != 0)
            continue;
        if (std::size_t length = portNameLengthAt(friendlyName, at)) {
            return friendlyName.substr(at, length);
        }
    }
    return {};
}

PortNameList BuildPortNameList(const SerialPortInfoList& records) {
    PortNameList names;
    for (const SerialPortInfo& info : records) {
        std::string name = ReducePortName(info.friendlyName);
        if (!name.empty()) names.push_back(std::move(name));
    }
    if (names.empty()) names = FallbackPortNames();
    names.push_back(kSimulatedPortName);
    return names;
}

std::string DefaultPortName() {
    return FallbackPortNames().front();
}

std::string ComPortOfTypedName(const std::string& typed) {
    std::string_view name = typed;
    if (name.starts_with("\\\\.\\")) name.remove_prefix(4);
    if (name.size() < 4 || name.size() > 6) return {};
    for (std::size_t i = 0; i < 3; ++i)
        if ((name[i] & ~0x20) != "COM"[i]) return {};
    const std::string_view digits = name.substr(3);
    if (digits.front() == '0' || !std::all_of(digits.begin(), digits.end(), isAsciiDigit))
        return {};
    // Windows numbers its COM ports up to 255; a longer number opens no port.
    if (std::stoi(std::string(digits)) > 255) return {};
    return "COM" + std::string(digits);
}

bool IsPresentComPort(const std::string& typed, const DosDeviceQuery& deviceExists) {
    const std::string name = ComPortOfTypedName(typed);
    return !name.empty() && deviceExists(name);
}

PortNameList BuildPortNameList(const PortEnumerationRoots& roots) {
    PortEnumerationResult found = EnumerateSerialPorts(roots);
    return BuildPortNameList(found.ports);  // a failed walk has no records: the fallback list
}

}  // namespace korvane
