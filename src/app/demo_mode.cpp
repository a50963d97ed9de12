#include "app/demo_mode.h"

#include <cstdint>
#include <vector>

#include "app/settings.h"
#include "comm/port_enumeration.h"

namespace korvane {

void SeedDemoSettings(SettingsStore& store) {
    store.setString(kSettingsSectionMain, "Port", kSimulatedPortName);
    std::vector<std::uint8_t> ids;
    for (int id = kDemoFirstStation; id <= kDemoLastStation; ++id)
        ids.push_back(static_cast<std::uint8_t>(id));
    store.setBytes(kSettingsSectionMain, "ConIDs", ids);
}

}  // namespace korvane
