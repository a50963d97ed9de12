#pragma once
// The program's persistent line and program settings: read once at start-up, written back at
// close. Values out of range in the store are clamped, never rejected, so a hand-edited or
// stale store always yields a usable line set-up.
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "comm/port.h"
#include "comm/port_enumeration.h"
#include "host/app_directories.h"

namespace korvane {

class SettingsStore;
class DriveRecords;

inline constexpr char kSettingsCompany[] = "ORVA";
inline constexpr char kAppTitle[] = "Korvane 3.3";
inline constexpr char kSettingsSectionMain[] = "Main";
inline constexpr char kSettingsSectionInvName[] = "InvName";
// Settings of this program's own that the original tool never had.
inline constexpr char kSettingsSectionComm[] = "Comm";
inline constexpr char kFastPacingKey[] = "Fast Pacing";
inline constexpr char kRecentAddressesKey[] = "Recent Addresses";
inline constexpr std::size_t kMaxRecentAddresses = 8;
// Main-window placement and its docking-pane layout, both opaque bytes in section "Main".
inline constexpr char kMainPlacementKey[] = "MAIN";
inline constexpr char kMainPaneLayoutKey[] = "Main PaneLayout";

inline constexpr unsigned kCommModeModbusRtu = 0;
inline constexpr unsigned kCommModeTk485 = 1;

inline constexpr unsigned kMinTimeOut = 500;
inline constexpr unsigned kMaxTimeOut = 3000;
inline constexpr unsigned kMinRetryCount = 2;
inline constexpr unsigned kMaxRetryCount = 5;

inline constexpr int kDeviceNameCount = 256;
// The key of a station's device name in section "InvName".
std::string DeviceNameKey(int station);
inline constexpr char kDefaultFaultFileName[] = "history1.log";
inline constexpr char kDefaultLogFileName[] = "event.txt";

struct AppSettings {
    unsigned commMode = kCommModeTk485;
    std::string port = DefaultPortName();  // ttyS0, COM1 on Windows
    unsigned baudRate = 9600;
    unsigned dataBits = 8;
    unsigned parity = 0;    // Parity numbering
    unsigned stopBits = 0;  // StopBits numbering
    int autoTxEnable = 1;
    int txActiveHigh = 1;
    unsigned timeOut = 1000;  // milliseconds per request
    unsigned retryCount = 3;
    unsigned requestTick = 30;  // the drive link's timer period; fixed, never stored
    // The next request follows as soon as the line is idle instead of on the next tick.
    bool fastPacing = false;
    int logEnable = 1;
    unsigned scanMode = 0;
    unsigned scanIdOne = 1;
    unsigned scanIdFrom = 1;
    unsigned scanIdTo = 255;
    // The connect dialog's quick scan: each ID asked once with a short time-out.
    bool scanQuick = false;
    std::string faultFilePath;
    std::string logFilePath;
    std::array<std::string, kDeviceNameCount> deviceNames;  // by station ID; empty = none
    // Network ports (tcp://, rfc2217://, modbus-tcp://) used before, the latest first.
    std::vector<std::string> recentAddresses;

    PortSettings portSettings() const;
    // "" for a station outside 0..255.
    const std::string& deviceName(int station) const;
    void setDeviceName(int station, const std::string& name);
};

// Reads every key with its default, then clamps: the port must be one of `ports` (or an
// existing device path typed by the user), the file paths must name existing files.
AppSettings LoadSettings(const SettingsStore& store, const PortNameList& ports,
                         const AppDirectories& dirs);
// Writes every key, "ConIDs" included, and all 256 device names.
void SaveSettings(const AppSettings& settings, const std::vector<std::uint8_t>& connectedIds,
                  SettingsStore& store);

// "ConIDs": the stations (1..255, ascending) connected and supported at close.
std::vector<std::uint8_t> ConnectedStationIds(const DriveRecords& records);
// The stations to identify again at start-up, nullopt when none were saved. Station 0 and
// repeats in a damaged value are dropped.
std::optional<std::vector<int>> ReadConnectedIds(const SettingsStore& store);

// Puts a network address first among the recent ones (once, at most kMaxRecentAddresses).
void RememberAddress(std::vector<std::string>& recent, const std::string& address);
// Whether `port` may stay the configured port: a listed name, a typed device that is present
// (see IsPresentTypedPort), or a well-formed network address (whose server may well be down
// now).
bool IsKnownPort(const std::string& port, const PortNameList& ports);

}  // namespace korvane
