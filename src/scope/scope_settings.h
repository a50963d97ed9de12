#pragma once
// The graph monitor's keys in section "Scope" of the settings store. Every value read is
// clamped to what the window can use; the key names are the ones stored files already carry.
#include <array>
#include <cstdint>
#include <string>

#include "scope/scope_tables.h"

namespace korvane {
class SettingsStore;
struct AppDirectories;
}  // namespace korvane

namespace korvane::scope {

inline constexpr char kScopeSection[] = "Scope";
inline constexpr char kScopeFileDirKey[] = "Scope File Dir";
inline constexpr char kScopeGraphFileDirKey[] = "ScopeGraph File Dir";

struct ChannelSettings {
    int on = 0;
    int station = 0;
    int address = kNoAddress;
    int itemIndex = 0;
    int offsetIndex = kDefaultOffset;
    int divIndex = kDefaultDiv;
    int widthIndex = 0;
    std::uint32_t colour = 0;
};

struct ScopeSettings {
    int first = 1;
    int monitorRun = 0;
    int recordRun = 0;
    int triggerRun = 0;
    int graphWatchMode = 0;
    int timeSpan = kDefaultTimeSpan;
    int scanTime = kDefaultScanTime;
    int recordTime = kDefaultRecordTime;
    std::array<ChannelSettings, kChannelCount> channels;
    std::uint32_t backgroundColour = 0x000000;
    std::uint32_t textColour = 0xFFFFFF;
    std::uint32_t gridColour = 0x008000;
    std::uint32_t cursorColour = 0x00FFFF;
    int triggerEdge = 0;
    int triggerChannel = 0;
    int snapShot = 0;
    std::string triggerLevel = "0.0";
    std::string recordPath;
    std::string snapshotPath;
    int snapshotFilterIndex = 3;
    int autoScale = 1;
    double yMin = 0.0;
    double yMax = 100.0;
    int showLegend = 1;
    int showGrid = 1;
    int currentCursor = 0;
    // The record's first column is the tick's local time; off keeps the four-value layout.
    int recordTimeColumn = 0;

    ScopeSettings();
};

// A record or snapshot path whose file is gone falls back to its file in the Temp directory.
ScopeSettings LoadScopeSettings(const SettingsStore& store, const AppDirectories& dirs);
void SaveScopeSettings(const ScopeSettings& settings, SettingsStore& store);

// printf's "%f" in the C locale: six decimals, a point whatever the user's locale.
std::string FormatF6(double value);
// A whole decimal number in the C locale (trimmed); false leaves `value` alone.
bool ParseDecimal(const std::string& text, double& value);

}  // namespace korvane::scope
