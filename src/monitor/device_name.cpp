#include "monitor/device_name.h"

#include "common/format.h"
#include "common/settings_store.h"
#include "common/text.h"
#include "host/settings.h"

namespace korvane {
namespace {

bool validStation(int station) {
    return station >= 1 && station < kDeviceNameCount;
}

// Cuts after `chars` characters without splitting a UTF-8 sequence.
std::string firstChars(const std::string& text, std::size_t chars) {
    std::size_t count = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const bool starts = (static_cast<unsigned char>(text[i]) & 0xC0) != 0x80;
        if (starts && count++ == chars) return text.substr(0, i);
    }
    return text;
}

}  // namespace

std::string ReadDeviceName(const SettingsStore& store, int station) {
    if (!validStation(station)) return {};
    return TrimWhitespace(store.getString(kSettingsSectionInvName, DeviceNameKey(station), ""));
}

bool StoreDeviceName(SettingsStore& store, int station, const std::string& text) {
    if (!validStation(station)) return false;
    // Cutting may leave blanks at the end again.
    const std::string name = TrimWhitespace(firstChars(TrimWhitespace(text), kDeviceNameMaxChars));
    if (name == ReadDeviceName(store, station)) return false;
    store.setString(kSettingsSectionInvName, DeviceNameKey(station), name);
    return true;
}

}  // namespace korvane
