#include "scope/scope_settings.h"

#include <charconv>
#include <cmath>
#include <utility>

#include "common/file_path.h"
#include "common/format.h"
#include "common/settings_store.h"
#include "common/text.h"
#include "host/settings.h"

namespace korvane::scope {
namespace {

bool fileExists(const std::string& path) {
    return !path.empty() && IsRegularFile(path);
}

int getFlag(const SettingsStore& s, const char* key, int fallback) {
    return s.getInt(kScopeSection, key, fallback) != 0 ? 1 : 0;
}

template <typename Table>
int getIndex(const SettingsStore& s, const std::string& key, const Table& table, int fallback) {
    return ClampIndex(s.getInt(kScopeSection, key, fallback), table, fallback);
}

int getRange(const SettingsStore& s, const char* key, int low, int high, int fallback) {
    const int v = s.getInt(kScopeSection, key, fallback);
    return v >= low && v <= high ? v : fallback;
}

std::uint32_t getColour(const SettingsStore& s, const std::string& key, std::uint32_t fallback) {
    return static_cast<std::uint32_t>(s.getInt(kScopeSection, key, static_cast<int>(fallback))) &
           0x00FFFFFF;
}

double getNumber(const SettingsStore& s, const char* key, const char* fallback) {
    double value = 0.0;
    if (ParseDecimal(s.getString(kScopeSection, key, fallback), value)) return value;
    (void)ParseDecimal(fallback, value);
    return value;
}

std::string channelKey(int channel, const char* suffix) {
    return strprintf("Ch%d-%s", channel, suffix);
}

ChannelSettings loadChannel(const SettingsStore& s, int ch) {
    ChannelSettings c;
    c.on = s.getInt(kScopeSection, channelKey(ch, "On"), 0) != 0 ? 1 : 0;
    const auto station = static_cast<unsigned>(s.getInt(kScopeSection, channelKey(ch, "ID"), 0));
    c.station = station > 255 ? 0 : static_cast<int>(station);
    const int address = s.getInt(kScopeSection, channelKey(ch, "Addr"), kNoAddress);
    c.address = address >= 0 && address <= 0xFFFF ? address : kNoAddress;
    const int item = s.getInt(kScopeSection, channelKey(ch, "AddrIndex"), 0);
    c.itemIndex = item >= 0 ? item : 0;
    c.offsetIndex = getIndex(s, channelKey(ch, "Offset"), kOffsetTable, kDefaultOffset);
    c.divIndex = getIndex(s, channelKey(ch, "Div"), kDivTable, kDefaultDiv);
    c.widthIndex = getIndex(s, channelKey(ch, "Width"), kLineWidths, 0);
    c.colour = getColour(s, channelKey(ch, "Color"), kDefaultChannelColours[ch]);
    return c;
}

void saveChannel(SettingsStore& s, int ch, const ChannelSettings& c) {
    s.setInt(kScopeSection, channelKey(ch, "On"), c.on);
    s.setInt(kScopeSection, channelKey(ch, "ID"), c.station);
    s.setInt(kScopeSection, channelKey(ch, "Addr"), c.address);
    s.setInt(kScopeSection, channelKey(ch, "AddrIndex"), c.itemIndex);
    s.setInt(kScopeSection, channelKey(ch, "Offset"), c.offsetIndex);
    s.setInt(kScopeSection, channelKey(ch, "Div"), c.divIndex);
    s.setInt(kScopeSection, channelKey(ch, "Color"), static_cast<int>(c.colour));
    s.setInt(kScopeSection, channelKey(ch, "Width"), c.widthIndex);
}

}  // namespace

ScopeSettings::ScopeSettings() {
    for (int ch = 0; ch < kChannelCount; ++ch)
        channels[static_cast<std::size_t>(ch)].colour = kDefaultChannelColours[ch];
}

std::string FormatF6(double value) {
    if (!std::isfinite(value)) value = 0.0;
    char buffer[400];
    auto [end, ec] =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, 6);
    return ec == std::errc() ? std::string(buffer, end) : std::string("0.000000");
}

bool ParseDecimal(const std::string& text, double& value) {
    std::string t = TrimWhitespace(text);
    if (!t.empty() && t.front() == '+') t.erase(0, 1);
    if (t.empty()) return false;
    double v = 0.0;
    const char* end = t.data() + t.size();
    auto [ptr, ec] = std::from_chars(t.data(), end, v, std::chars_format::general);
    if (ec != std::errc() || ptr != end || !std::isfinite(v)) return false;
    value = v;
    return true;
}

ScopeSettings LoadScopeSettings(const SettingsStore& s, const AppDirectories& dirs) {
    ScopeSettings r;
    r.first = getFlag(s, "First", 1);
    r.monitorRun = getFlag(s, "Monitor Run", 0);
    r.recordRun = r.monitorRun ? getFlag(s, "Record Run", 0) : 0;
    r.triggerRun = r.monitorRun ? getFlag(s, "Trigger Run", 0) : 0;
    r.graphWatchMode = getFlag(s, "Graph Watch Mode", 0);
    r.timeSpan = getIndex(s, "Time Span", kTimeSpanSeconds, kDefaultTimeSpan);
    r.scanTime = getIndex(s, "Scan Time", kScanPeriodMs, kDefaultScanTime);
    r.recordTime = getIndex(s, "Record Time", kRecordPeriodSeconds, kDefaultRecordTime);
    bool anyOn = false;
    for (int ch = 0; ch < kChannelCount; ++ch) {
        r.channels[static_cast<std::size_t>(ch)] = loadChannel(s, ch);
        anyOn = anyOn || r.channels[static_cast<std::size_t>(ch)].on;
    }
    if (r.monitorRun && !anyOn) {
        r.monitorRun = r.recordRun = r.triggerRun = 0;
        r.graphWatchMode = 0;
    }
    r.backgroundColour = getColour(s, "Background Color", 0x000000);
    r.textColour = getColour(s, "Text Color", 0xFFFFFF);
    r.gridColour = getColour(s, "Grid Color", 0x008000);
    r.cursorColour = getColour(s, "Corsor Color", 0x00FFFF);
    r.triggerEdge = getRange(s, "Trigger Edge", 0, 1, 0);
    r.triggerChannel = getRange(s, "Trigger Channel", 0, kChannelCount - 1, 0);
    r.snapShot = getFlag(s, "Snap Shot", 0);
    r.triggerLevel = s.getString(kScopeSection, "Trigger Level", "0.0");
    r.recordPath = s.getString(kScopeSection, "Record Path", "");
    if (!fileExists(r.recordPath)) r.recordPath = JoinPath(dirs.temp, "scope.csv");
    r.snapshotFilterIndex = getRange(s, "SnapShot Filter Index", 1, kLastImageFilter, 3);
    r.snapshotPath = s.getString(kScopeSection, "SnapShot Path", "");
    if (!fileExists(r.snapshotPath)) {
        r.snapshotPath = JoinPath(dirs.temp, "snapshot.bmp");
        r.snapshotFilterIndex = 3;
    }
    r.autoScale = getFlag(s, "Auto Scale", 1);
    r.yMin = getNumber(s, "YAxis Min", "0.0");
    r.yMax = getNumber(s, "YAxis Max", "100.0");
    if (r.yMax < r.yMin) std::swap(r.yMin, r.yMax);
    r.showLegend = getFlag(s, "Show Legend", 1);
    r.showGrid = getFlag(s, "Show Grid", 1);
    r.currentCursor = getRange(s, "Current Cursor", 0, kChannelCount - 1, 0);
    r.recordTimeColumn = getFlag(s, "Record Time Column", 0);
    return r;
}

void SaveScopeSettings(const ScopeSettings& r, SettingsStore& s) {
    s.setInt(kScopeSection, "First", r.first);
    s.setInt(kScopeSection, "Monitor Run", r.monitorRun);
    s.setInt(kScopeSection, "Record Run", r.recordRun);
    s.setInt(kScopeSection, "Trigger Run", r.triggerRun);
    s.setInt(kScopeSection, "Graph Watch Mode", r.graphWatchMode);
    s.setInt(kScopeSection, "Time Span", r.timeSpan);
    s.setInt(kScopeSection, "Scan Time", r.scanTime);
    s.setInt(kScopeSection, "Record Time", r.recordTime);
    for (int ch = 0; ch < kChannelCount; ++ch)
        saveChannel(s, ch, r.channels[static_cast<std::size_t>(ch)]);
    s.setInt(kScopeSection, "Background Color", static_cast<int>(r.backgroundColour));
    s.setInt(kScopeSection, "Text Color", static_cast<int>(r.textColour));
    s.setInt(kScopeSection, "Grid Color", static_cast<int>(r.gridColour));
    s.setInt(kScopeSection, "Corsor Color", static_cast<int>(r.cursorColour));
    s.setInt(kScopeSection, "Trigger Edge", r.triggerEdge);
    s.setInt(kScopeSection, "Trigger Channel", r.triggerChannel);
    s.setInt(kScopeSection, "Snap Shot", r.snapShot);
    double level = 0.0;
    s.setString(kScopeSection, "Trigger Level",
                ParseDecimal(r.triggerLevel, level) ? FormatF6(level) : r.triggerLevel);
    s.setString(kScopeSection, "Record Path", r.recordPath);
    s.setString(kScopeSection, "SnapShot Path", r.snapshotPath);
    s.setInt(kScopeSection, "SnapShot Filter Index", r.snapshotFilterIndex);
    s.setInt(kScopeSection, "Auto Scale", r.autoScale);
    s.setString(kScopeSection, "YAxis Min", FormatF6(r.yMin));
    s.setString(kScopeSection, "YAxis Max", FormatF6(r.yMax));
    s.setInt(kScopeSection, "Show Legend", r.showLegend);
    s.setInt(kScopeSection, "Show Grid", r.showGrid);
    s.setInt(kScopeSection, "Current Cursor", r.currentCursor);
    s.setInt(kScopeSection, "Record Time Column", r.recordTimeColumn);
}

}  // namespace korvane::scope
