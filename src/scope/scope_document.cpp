#include "scope/scope_document.h"

#include "common/file_path.h"
#include "common/prompter.h"
#include "common/translation.h"
#include "paradb/drive_record.h"
#include "scope/sco_file.h"

namespace korvane::scope {

ScoFile ScopeDocument::snapshot() const {
    const ScopeChart& chart = state_.chart;
    ScoFile f;
    f.elapsedSeconds = parts_.sampler.elapsedSeconds();
    f.timeSpan = state_.settings.timeSpan;
    f.yMax = chart.yMax();
    f.yMin = chart.yMin();
    for (int i = 0; i < kChannelCount; ++i) {
        const ScopeChannel& c = parts_.channels.at(i);
        const ChannelSettings& s = state_.channelSettings(i);
        ScoChannel& out = f.channels[static_cast<std::size_t>(i)];
        out.on = c.on;
        out.station = c.station;
        const DriveRecord& record = state_.services.records[c.station];
        // A chart opened from a file while its drive is away keeps the drive it came from.
        const bool fromDrive = !state_.fromFile && c.station != 0 && record.isConnected();
        out.series = fromDrive ? record.seriesCode : c.savedSeries;
        out.version = fromDrive ? record.version : c.savedVersion;
        out.address = static_cast<std::uint16_t>(c.address);
        out.itemIndex = c.itemIndex;
        out.offsetIndex = s.offsetIndex;
        out.divIndex = s.divIndex;
        NormaliseSeries(out);
    }
    const int n = chart.pointCount();
    f.stamps.reserve(static_cast<std::size_t>(n));
    for (int p = 0; p < n; ++p) f.stamps.push_back(chart.stamp(p));
    for (int i = 0; i < kChannelCount; ++i) {
        auto& column = f.y[static_cast<std::size_t>(i)];
        column.reserve(static_cast<std::size_t>(n));
        for (int p = 0; p < n; ++p) column.push_back(chart.y(i, p));
    }
    return f;
}

bool ScopeDocument::save(const std::string& path) {
    if (state_.monitoring) return false;
    if (!WriteScoFile(path, snapshot())) {
        state_.services.prompter.error(Tr(kMsgScoSaveFailed), kCaption);
        return false;
    }
    path_ = path;
    state_.services.prompter.info(Tr(kMsgScoSaved), kCaption);
    state_.changed();
    return true;
}

bool ScopeDocument::open(const std::string& path) {
    if (state_.monitoring) return false;
    ScoFile file;
    // A damaged file changes nothing: the chart on screen stays as it was.
    if (!ReadScoFile(path, file)) {
        state_.services.prompter.error(Tr(kMsgScoOpenFailed), kCaption);
        return false;
    }
    apply(file);
    path_ = path;
    state_.changed();
    state_.services.prompter.info(Tr(kMsgScoOpened), kCaption);
    return true;
}

void ScopeDocument::apply(const ScoFile& file) {
    // The trigger of an earlier run is not this file's.
    parts_.trigger.forget();
    parts_.recorder.newRun();
    parts_.sampler.setElapsed(file.elapsedSeconds);
    state_.settings.timeSpan = file.timeSpan;
    state_.settings.yMin = file.yMin;
    state_.settings.yMax = file.yMax;
    parts_.channels.takeFile(file);
    for (int i = 0; i < kChannelCount; ++i) {
        const ScoChannel& in = file.channels[static_cast<std::size_t>(i)];
        state_.channelSettings(i).offsetIndex = in.offsetIndex;
        state_.channelSettings(i).divIndex = in.divIndex;
    }
    state_.fromFile = true;
    parts_.style.buildChart();
    parts_.refreshStations();
    plot(file);
    state_.chart.setMode(ChartMode::kCursor);
    state_.changed();
}

void ScopeDocument::plot(const ScoFile& file) {
    ScopeChart& chart = state_.chart;
    chart.beginUpdate();
    for (std::size_t p = 0; p < file.stamps.size(); ++p) {
        const int point = chart.appendPoint(file.stamps[p]);
        for (int i = 0; i < kChannelCount; ++i)
            chart.setY(i, point, file.y[static_cast<std::size_t>(i)][p]);
    }
    chart.endUpdate();
}

void ScopeDocument::newRun() {
    path_.clear();
}

std::string ScopeDocument::titleText() const {
    if (path_.empty()) return kCaption;
    return std::string(kCaption) + " - " + Utf8FromPath(PathFromUtf8(path_).filename());
}

}  // namespace korvane::scope
