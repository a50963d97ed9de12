#include "host/settings.h"

#include <algorithm>
#include <sstream>

#include "comm/port_address.h"
#include "common/file_path.h"
#include "common/format.h"
#include "common/settings_store.h"
#include "paradb/drive_record.h"

namespace korvane {

namespace {

constexpr const char* kMain = kSettingsSectionMain;

// The store keeps these as unsigned words; a negative int read back is a huge word and is
// clamped from above, as a value written by an older build would be.
unsigned readUnsigned(const SettingsStore& store, const char* key, unsigned fallback) {
    return static_cast<unsigned>(store.getInt(kMain, key, static_cast<int>(fallback)));
}

void writeUnsigned(SettingsStore& store, const char* key, unsigned value) {
    store.setInt(kMain, key, static_cast<int>(value));
}

unsigned clampStation(unsigned id) {
    return id == 0 ? 1 : std::min(id, 255u);
}

bool fileExists(const std::string& path) {
    return !path.empty() && IsRegularFile(path);
}

std::string existingOrDefault(const std::string& path, const AppDirectories& dirs,
                              const char* defaultName) {
    return fileExists(path) ? path : JoinPath(dirs.log, defaultName);
}

// Space-separated (no address holds a space); anything malformed is dropped.
void readRecentAddresses(const SettingsStore& store, AppSettings& s) {
    std::istringstream in(store.getString(kSettingsSectionComm, kRecentAddressesKey, ""));
    std::vector<std::string> read;
    for (std::string a; in >> a && read.size() < kMaxRecentAddresses;) read.push_back(a);
    for (auto it = read.rbegin(); it != read.rend(); ++it) RememberAddress(s.recentAddresses, *it);
}

void readMain(const SettingsStore& store, AppSettings& s) {
    s.commMode = readUnsigned(store, "CommMode", 1);
    s.port = store.getString(kMain, "Port", DefaultPortName());
    s.baudRate = readUnsigned(store, "BaudRate", 9600);
    s.dataBits = readUnsigned(store, "DataBit", 8);
    s.parity = readUnsigned(store, "Parity", 0);
    s.stopBits = readUnsigned(store, "StopBit", 0);
    s.autoTxEnable = store.getInt(kMain, "Auto Tx Enalbe", 1);
    s.txActiveHigh = store.getInt(kMain, "Tx Active High", 1);
    s.timeOut = readUnsigned(store, "TimeOut", 1000);
    s.retryCount = readUnsigned(store, "Retry Count", 3);
    s.logEnable = store.getInt(kMain, "Log Enable", 1);
    s.scanIdOne = readUnsigned(store, "ScanIDOne", 1);
    s.scanIdFrom = readUnsigned(store, "ScanIDFrom", 1);
    s.scanIdTo = readUnsigned(store, "ScanIDTo", 255);
    s.scanMode = readUnsigned(store, "ScanMode", 0);
    s.scanQuick = store.getInt(kMain, "ScanQuick", 0) == 1;
    s.faultFilePath = store.getString(kMain, "Fault File Path", "");
    s.logFilePath = store.getString(kMain, "Log File Path", "");
    s.fastPacing = store.getInt(kSettingsSectionComm, kFastPacingKey, 0) == 1;
    readRecentAddresses(store, s);
}

// The order matters: "ScanIDTo" is compared with the already clamped "ScanIDFrom".
void clampMain(AppSettings& s, const PortNameList& ports, const AppDirectories& dirs) {
    if (s.commMode > 1) s.commMode = 1;
    if (!IsKnownPort(s.port, ports) && !ports.empty()) s.port = ports.front();
    if (s.dataBits < 5 || s.dataBits > 8) s.dataBits = 8;
    if (s.parity > 4) s.parity = 0;
    if (s.stopBits > 2) s.stopBits = 0;
    s.timeOut = std::clamp(s.timeOut, kMinTimeOut, kMaxTimeOut);
    s.retryCount = std::clamp(s.retryCount, kMinRetryCount, kMaxRetryCount);
    s.scanIdOne = clampStation(s.scanIdOne);
    s.scanIdFrom = clampStation(s.scanIdFrom);
    s.scanIdTo = std::max(clampStation(s.scanIdTo), s.scanIdFrom);
    if (s.scanMode > 2) s.scanMode = 2;
    s.faultFilePath = existingOrDefault(s.faultFilePath, dirs, kDefaultFaultFileName);
    s.logFilePath = existingOrDefault(s.logFilePath, dirs, kDefaultLogFileName);
}

void writeMain(const AppSettings& s, SettingsStore& store) {
    writeUnsigned(store, "CommMode", s.commMode);
    store.setString(kMain, "Port", s.port);
    writeUnsigned(store, "BaudRate", s.baudRate);
    writeUnsigned(store, "DataBit", s.dataBits);
    writeUnsigned(store, "Parity", s.parity);
    writeUnsigned(store, "StopBit", s.stopBits);
    store.setInt(kMain, "Auto Tx Enalbe", s.autoTxEnable);
    store.setInt(kMain, "Tx Active High", s.txActiveHigh);
    writeUnsigned(store, "TimeOut", s.timeOut);
    writeUnsigned(store, "Retry Count", s.retryCount);
    store.setInt(kMain, "Log Enable", s.logEnable);
    writeUnsigned(store, "ScanIDOne", s.scanIdOne);
    writeUnsigned(store, "ScanIDFrom", s.scanIdFrom);
    writeUnsigned(store, "ScanIDTo", s.scanIdTo);
    writeUnsigned(store, "ScanMode", s.scanMode);
    store.setInt(kMain, "ScanQuick", s.scanQuick ? 1 : 0);
    store.setString(kMain, "Fault File Path", s.faultFilePath);
    store.setString(kMain, "Log File Path", s.logFilePath);
    // Written only once it was switched on, so a store that never had it is left as it was.
    if (s.fastPacing || store.getInt(kSettingsSectionComm, kFastPacingKey, -1) != -1)
        store.setInt(kSettingsSectionComm, kFastPacingKey, s.fastPacing ? 1 : 0);
    if (!s.recentAddresses.empty() ||
        !store.getString(kSettingsSectionComm, kRecentAddressesKey, "").empty()) {
        std::string joined;
        for (const auto& a : s.recentAddresses) joined += (joined.empty() ? "" : " ") + a;
        store.setString(kSettingsSectionComm, kRecentAddressesKey, joined);
    }
}

}  // namespace

PortSettings AppSettings::portSettings() const {
    PortSettings ps;
    ps.portName = port;
    ps.baudRate = static_cast<int>(baudRate);
    ps.parity = static_cast<Parity>(std::min(parity, 4u));
    ps.dataBits = static_cast<int>(dataBits);
    ps.stopBits = static_cast<StopBits>(std::min(stopBits, 2u));
    ps.autoTxEnable = autoTxEnable;
    ps.txActiveHigh = txActiveHigh;
    return ps;
}

std::string DeviceNameKey(int station) {
    return strprintf("Inv Name%d", station);
}

const std::string& AppSettings::deviceName(int station) const {
    static const std::string none;
    if (station < 0 || station >= kDeviceNameCount) return none;
    return deviceNames[static_cast<std::size_t>(station)];
}

void AppSettings::setDeviceName(int station, const std::string& name) {
    if (station < 0 || station >= kDeviceNameCount) return;
    deviceNames[static_cast<std::size_t>(station)] = name;
}

void RememberAddress(std::vector<std::string>& recent, const std::string& address) {
    std::string error;
    auto parsed = ParsePortAddress(address, error);
    if (!parsed || parsed->transport == PortTransport::Serial) return;
    std::erase(recent, address);
    recent.insert(recent.begin(), address);
    if (recent.size() > kMaxRecentAddresses) recent.resize(kMaxRecentAddresses);
}

bool IsKnownPort(const std::string& port, const PortNameList& ports) {
    if (std::find(ports.begin(), ports.end(), port) != ports.end()) return true;
    std::string error;
    auto address = ParsePortAddress(port, error);
    if (address && address->transport != PortTransport::Serial) return true;
    return IsPresentTypedPort(port);
}

AppSettings LoadSettings(const SettingsStore& store, const PortNameList& ports,
                         const AppDirectories& dirs) {
    AppSettings settings;
    readMain(store, settings);
    clampMain(settings, ports, dirs);
    for (int station = 0; station < kDeviceNameCount; ++station) {
        settings.setDeviceName(
            station, store.getString(kSettingsSectionInvName, DeviceNameKey(station), ""));
    }
    return settings;
}

void SaveSettings(const AppSettings& settings, const std::vector<std::uint8_t>& connectedIds,
                  SettingsStore& store) {
    writeMain(settings, store);
    store.setBytes(kMain, "ConIDs", connectedIds);
    for (int station = 0; station < kDeviceNameCount; ++station) {
        store.setString(kSettingsSectionInvName, DeviceNameKey(station),
                        settings.deviceName(station));
    }
}

std::vector<std::uint8_t> ConnectedStationIds(const DriveRecords& records) {
    std::vector<std::uint8_t> ids;
    for (int station = 1; station <= 255; ++station) {
        if (records[station].isConnected()) ids.push_back(static_cast<std::uint8_t>(station));
    }
    return ids;
}

std::optional<std::vector<int>> ReadConnectedIds(const SettingsStore& store) {
    std::vector<std::uint8_t> bytes;
    if (!store.getBytes(kMain, "ConIDs", bytes)) return std::nullopt;
    std::vector<int> stations;
    std::array<bool, 256> seen{};
    for (std::uint8_t id : bytes) {
        if (id == 0 || seen[id]) continue;
        seen[id] = true;
        stations.push_back(id);
    }
    return stations;
}

}  // namespace korvane
