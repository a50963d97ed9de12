#pragma once
// A first look without hardware: the program starts on the simulated line and identifies the
// drives at stations 1..5, as if they had been connected when it last closed. Only ever applied
// to a throw-away settings store, never to the user's own.
#include <string>

#include "common/settings_store.h"
#include "host/settings.h"

namespace korvane {

inline constexpr int kDemoFirstStation = 1;
inline constexpr int kDemoLastStation = 5;

void SeedDemoSettings(SettingsStore& store);

// A demo's directories: the real data files, and log and temporary files below `scratch`, so a
// demo beside the real program never writes into its alarm history, event log or records.
// Creates the two directories.
AppDirectories DemoDirectories(const AppDirectories& dirs, const std::string& scratch);

}  // namespace korvane
