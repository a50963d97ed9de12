#include "scope/scope_trigger_run.h"

#include <algorithm>
#include <filesystem>

#include "common/file_path.h"
#include "common/prompter.h"
#include "common/translation.h"

namespace korvane::scope {

bool TriggerRun::armFromLevel(bool tellUser) {
    const std::optional<double> number = ParseTriggerLevel(state_.settings.triggerLevel);
    Prompter& prompter = state_.services.prompter;
    if (!number) {
        if (tellUser) prompter.info(Tr(kMsgTriggerLevel), kCaption);
        return false;
    }
    if (!channels_.isLive(state_.settings.triggerChannel)) {
        if (tellUser) prompter.info(Tr(kMsgTriggerChannel), kCaption);
        return false;
    }
    // A bit channel keeps the level as typed: 0.5 is the level between its two states.
    detector_.arm(*number, static_cast<TriggerEdge>(state_.settings.triggerEdge));
    return true;
}

void TriggerRun::arm() {
    if (!state_.monitoring || armed_) return;
    armed_ = armFromLevel(true);
    if (armed_) led_ = false;
    state_.changed();
}

void TriggerRun::disarm() {
    armed_ = false;
    state_.changed();
}

void TriggerRun::resume(bool armed) {
    armed_ = armed && armFromLevel(false);
}

void TriggerRun::newRun() {
    detector_.reset();
    armed_ = false;
    led_ = false;
    snapshotFailed_ = false;
}

void TriggerRun::endRun() {
    detector_.endRun();
    armed_ = false;
}

void TriggerRun::forget() {
    detector_.reset();
    led_ = false;
    snapshotFailed_ = false;
}

bool TriggerRun::check(int point) {
    const int channel = state_.settings.triggerChannel;
    if (!armed_ || !channels_.isLive(channel)) return false;
    const double value = channels_.at(channel).value;
    const TriggerDetector::Result result =
        channels_.hasLiveValue(channel) ? detector_.onSample(value, point) : detector_.onGap();
    if (result.detected) {
        led_ = true;
        state_.events.triggerDetected(channel, point, value);
    }
    return result.stop;
}

void TriggerRun::takeSnapshotIfAsked() {
    if (state_.settings.snapShot) saveSnapshot();
}

// The picture goes to a temporary file first: a failed save keeps the previous snapshot and
// is reported, not lost without a word.
void TriggerRun::saveSnapshot() {
    const std::string& path = state_.settings.snapshotPath;
    const std::string temp = path + ".part";
    auto format = static_cast<ImageFormat>(std::clamp(state_.settings.snapshotFilterIndex, 1, 4));
    std::error_code ec;
    const bool ok = state_.chart.saveImage(temp, format);
    if (ok) std::filesystem::rename(PathFromUtf8(temp), PathFromUtf8(path), ec);
    if (!ok || ec) {
        std::filesystem::remove(PathFromUtf8(temp), ec);
        snapshotFailed_ = true;
        state_.changed();
        state_.services.prompter.error(Tr(kMsgSnapshotFailed), kCaption);
    }
}

// ---- settings: fixed while armed --------------------------------------------------------------

void TriggerRun::setChannel(int channel) {
    if (armed_ || !ScopeState::ValidChannel(channel)) return;
    state_.settings.triggerChannel = channel;
    state_.changed();
}

void TriggerRun::setEdge(TriggerEdge edge) {
    if (armed_) return;
    state_.settings.triggerEdge = edge == TriggerEdge::kFalling ? 1 : 0;
    state_.changed();
}

void TriggerRun::setLevelText(const std::string& text) {
    if (armed_) return;
    state_.settings.triggerLevel = text;
}

void TriggerRun::setSnapshot(bool on) {
    if (armed_) return;
    state_.settings.snapShot = on ? 1 : 0;
}

void TriggerRun::setSnapshotPath(const std::string& path, int filterIndex) {
    if (armed_) return;
    state_.settings.snapshotPath = path;
    state_.settings.snapshotFilterIndex = std::clamp(filterIndex, 1, kLastImageFilter);
    state_.changed();
}

}  // namespace korvane::scope
