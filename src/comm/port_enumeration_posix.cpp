// Linux stands in for the Windows device-interface walk: a tty class entry with a "device" link
// is a present port, as a present device of the COM-port interface class is there.
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <system_error>

#include "comm/port_enumeration.h"
#include "common/format.h"

namespace korvane {
namespace fs = std::filesystem;

namespace {

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
    std::sort(names.begin(), names.end(), PortNameLess);
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

PortNameList FallbackPortNames() {
    PortNameList names;
    for (int i = 0; i < 16; ++i) names.push_back(strprintf("ttyS%d", i));
    return names;
}

bool IsPresentTypedPort(const std::string& port) {
    // A bare name is opened under /dev and is offered in the list when it is there; a typed
    // path is not, and is kept while it exists as a listed port is kept while it is found.
    std::error_code ec;
    return port.starts_with('/') && fs::exists(port, ec);
}

const char* LocalPortExamples() {
    return "ttyUSB0, /dev/serial/by-id/...";
}

}  // namespace korvane
