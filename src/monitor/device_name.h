#pragma once
// The user's name for the drive at a station, as kept in the settings store's "InvName" section.
#include <string>

namespace korvane {

class SettingsStore;

// Longest name the information sheet accepts, in characters.
constexpr std::size_t kDeviceNameMaxChars = 15;

// The stored name, trimmed; "" for none or a station outside 1..255.
std::string ReadDeviceName(const SettingsStore& store, int station);

// Trims `text`, cuts it to kDeviceNameMaxChars characters and stores it when it differs from
// the stored name. True when the store changed.
bool StoreDeviceName(SettingsStore& store, int station, const std::string& text);

}  // namespace korvane
