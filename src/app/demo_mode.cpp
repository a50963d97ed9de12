#include "app/demo_mode.h"

#include <cstdint>
#include <filesystem>
#include <vector>

#include "comm/port_enumeration.h"
#include "common/file_path.h"
#include "host/settings.h"

namespace korvane {

void SeedDemoSettings(SettingsStore& store) {
    store.setString(kSettingsSectionMain, "Port", kSimulatedPortName);
    std::vector<std::uint8_t> ids;
    for (int id = kDemoFirstStation; id <= kDemoLastStation; ++id)
        ids.push_back(static_cast<std::uint8_t>(id));
    store.setBytes(kSettingsSectionMain, "ConIDs", ids);
}

AppDirectories DemoDirectories(const AppDirectories& dirs, const std::string& scratch) {
    AppDirectories demo = MakeAppDirectories(scratch);
    demo.app = dirs.app;
    demo.data = dirs.data;
    std::error_code ignored;
    std::filesystem::create_directories(PathFromUtf8(demo.log), ignored);
    std::filesystem::create_directories(PathFromUtf8(demo.temp), ignored);
    return demo;
}

}  // namespace korvane
