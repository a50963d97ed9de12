// The graph monitor's scope files: what the open chart and channel setup become in a file, and
// a file put back on the chart.
#include "common/prompter.h"
#include "paradb/drive_record.h"
#include "scope/sco_file.h"
#include "scope/scope_monitor.h"

namespace korvane::scope {

ScoFile ScopeMonitor::snapshotFile() const {
    ScoFile f;
    f.elapsedSeconds = elapsed_;
    f.timeSpan = settings_.timeSpan;
    f.yMax = chart_.yMax();
    f.yMin = chart_.yMin();
    for (int i = 0; i < kChannelCount; ++i) {
        const ScopeChannel& c = ch(i);
        const ChannelSettings& s = settings_.channels[static_cast<std::size_t>(i)];
        ScoChannel& out = f.channels[static_cast<std::size_t>(i)];
        out.on = c.on;
        out.station = c.station;
        const DriveRecord& record = services_.records[c.station];
        // A chart opened from a file while its drive is away keeps the drive it came from.
        const bool fromDrive = !loadedFromFile_ && c.station != 0 && record.isConnected();
        out.series = fromDrive ? record.seriesCode : c.savedSeries;
        out.version = fromDrive ? record.version : c.savedVersion;
        out.address = static_cast<std::uint16_t>(c.address);
        out.itemIndex = c.itemIndex;
        out.offsetIndex = s.offsetIndex;
        out.divIndex = s.divIndex;
        NormaliseSeries(out);
    }
    const int n = chart_.pointCount();
    f.stamps.reserve(static_cast<std::size_t>(n));
    for (int p = 0; p < n; ++p) f.stamps.push_back(chart_.stamp(p));
    for (int i = 0; i < kChannelCount; ++i) {
        auto& column = f.y[static_cast<std::size_t>(i)];
        column.reserve(static_cast<std::size_t>(n));
        for (int p = 0; p < n; ++p) column.push_back(chart_.y(i, p));
    }
    return f;
}

bool ScopeMonitor::saveScoFile(const std::string& path) {
    if (monitoring_) return false;
    if (!WriteScoFile(path, snapshotFile())) {
        services_.prompter.error(kMsgScoSaveFailed, kCaption);
        return false;
    }
    scoPath_ = path;
    services_.prompter.info(kMsgScoSaved, kCaption);
    changed();
    return true;
}

bool ScopeMonitor::openScoFile(const std::string& path) {
    if (monitoring_) return false;
    ScoFile file;
    // A damaged file changes nothing: the chart on screen stays as it was.
    if (!ReadScoFile(path, file)) {
        services_.prompter.error(kMsgScoOpenFailed, kCaption);
        return false;
    }
    applyScoFile(file);
    scoPath_ = path;
    changed();
    services_.prompter.info(kMsgScoOpened, kCaption);
    return true;
}

void ScopeMonitor::applyScoFile(const ScoFile& file) {
    withdrawAll();
    // The trigger of an earlier run is not this file's.
    detector_.reset();
    triggerLed_ = false;
    snapshotFailed_ = false;
    elapsed_ = file.elapsedSeconds;
    settings_.timeSpan = file.timeSpan;
    settings_.yMin = file.yMin;
    settings_.yMax = file.yMax;
    recordLines_ = 0;
    for (int i = 0; i < kChannelCount; ++i) {
        const ScoChannel& in = file.channels[static_cast<std::size_t>(i)];
        ScopeChannel& c = ch(i);
        ChannelSettings& s = settings_.channels[static_cast<std::size_t>(i)];
        c.on = in.on;
        c.station = in.station;
        c.address = in.address;
        c.itemIndex = in.itemIndex;
        c.savedSeries = in.series;
        c.savedVersion = in.version;
        c.value = 0.0;
        c.valueLabel.clear();
        c.valueStale = false;
        c.items.clear();
        if (c.on && c.savedSeries != kNoSeries)
            BuildMonitorList(c.savedSeries, c.savedVersion, kMonitorListAll, c.items);
        s.offsetIndex = in.offsetIndex;
        s.divIndex = in.divIndex;
    }
    loadedFromFile_ = true;
    buildChart();
    refreshStations();
    const std::size_t n = file.stamps.size();
    chart_.beginUpdate();
    for (std::size_t p = 0; p < n; ++p) {
        const int point = chart_.appendPoint(file.stamps[p]);
        for (int i = 0; i < kChannelCount; ++i)
            chart_.setY(i, point, file.y[static_cast<std::size_t>(i)][p]);
    }
    chart_.endUpdate();
    chart_.setMode(ChartMode::kCursor);
    changed();
}

}  // namespace korvane::scope
