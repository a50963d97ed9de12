#include "comm/port_enumeration.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <system_error>
#include <tuple>

#include "common/format.h"

// Linux stands in for the Windows device-interface walk: a tty class entry with a "device" link
// is a present port, as a present device of the COM-port interface class is there. A later
// Windows build keeps the same record, post-processing and reduction; only the walk differs
// (device-interface class from NT 5 on, COM1..COM16 probed by opening them on NT 4, the
// Enum registry tree on the 9x family, where a port found twice keeps the later key's values).

namespace korvane {
namespace fs = std::filesystem;

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

// A port name must stand alone: "tty", the driver's letters, then at least one digit.
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

// Orders ttyS2 before ttyS10, so that the first port offered is the lowest-numbered one.
bool naturalLess(const std::string& a, const std::string& b) {
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

// The 8250 driver registers ttyS0..ttyS31 whether or not a UART answers at the address; the
// serial core publishes the probed UART type, and 0 means nothing is there.
bool isPhantomUart(const fs::path& ttyEntry) {
    std::ifstream in(ttyEntry / "type");
    int type = 0;
    return (in >> type) && type == 0;
}

bool sitsOnUsb(const fs::path& ttyEntry) {
    std::error_code ec;
    fs::path bus = fs::read_symlink(ttyEntry / "device" / "subsystem", ec);
    return !ec && bus.filename().string().starts_with("usb");
}

// Port name -> the by-id link naming it. udev may leave several links to one port (one per
// interface alias); taking the smallest name keeps the choice stable between runs.
std::map<std::string, std::string> friendlyLinks(const fs::path& byIdDir) {
    std::map<std::string, std::string> links;
    std::error_code ec;
    fs::directory_iterator it(byIdDir, ec);
    if (ec) return links;  // no USB adapter plugged in: udev has not made the directory
    for (const fs::directory_entry& entry : it) {  // a failure later on throws
        std::error_code linkEc;
        fs::path target = fs::read_symlink(entry.path(), linkEc);
        if (linkEc) continue;
        std::string port = target.filename().string();
        std::string link = entry.path().filename().string();
        auto [slot, inserted] = links.emplace(port, link);
        if (!inserted && link < slot->second) slot->second = link;
    }
    return links;
}

// Present tty names in natural order; throws filesystem_error when the class directory goes
// bad in the middle of the walk.
std::vector<std::string> presentPortNames(const fs::path& classDir) {
    std::vector<std::string> names;
    for (const fs::directory_entry& entry : fs::directory_iterator(classDir)) {
        std::error_code presentEc;
        if (!fs::exists(entry.path() / "device", presentEc)) continue;  // virtual consoles, ptys
        if (isPhantomUart(entry.path())) continue;
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end(), naturalLess);
    return names;
}

}  // namespace

PortEnumerationResult EnumerateSerialPorts(const PortEnumerationRoots& roots) {
    PortEnumerationResult result;
    try {
        const std::vector<std::string> names = presentPortNames(roots.sysClassTty);
        const std::map<std::string, std::string> links = friendlyLinks(roots.serialById);
        for (const std::string& name : names) {
            SerialPortInfo info;
            info.devicePath = roots.devDir + '/' + name;
            info.portName = name;
            info.isUsb = sitsOnUsb(fs::path(roots.sysClassTty) / name);
            if (auto link = links.find(name); link != links.end()) {
                info.friendlyName = link->second + " (" + name + ")";
                info.isUsb = info.isUsb || link->second.starts_with("usb-");
            }
            result.ports.push_back(std::move(info));
        }
    } catch (const fs::filesystem_error& e) {
        result.ports.clear();
        result.error = strprintf("Could not read %s (err=%x)", e.path1().c_str(),
                                 static_cast<unsigned>(e.code().value()));
        return result;
    }
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
    for (std::size_t at = friendlyName.rfind("tty"); at != std::string::npos;) {
        if (std::size_t length = portNameLengthAt(friendlyName, at)) {
            return friendlyName.substr(at, length);
        }
        if (at == 0) break;
        at = friendlyName.rfind("tty", at - 1);
    }
    return {};
}

PortNameList FallbackPortNames() {
    PortNameList names;
    for (int i = 0; i < 16; ++i) names.push_back(strprintf("ttyS%d", i));
    return names;
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

PortNameList BuildPortNameList(const PortEnumerationRoots& roots) {
    PortEnumerationResult found = EnumerateSerialPorts(roots);
    return BuildPortNameList(found.ports);  // a failed walk has no records: the fallback list
}

}  // namespace korvane
