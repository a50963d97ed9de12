#include "scope/scope_recorder.h"

#include "common/clock.h"
#include "common/prompter.h"
#include "common/translation.h"
#include "scope/sco_file.h"

namespace korvane::scope {

void ScopeRecorder::startClocks() {
    state_.timers.start(ScopeClock::kRecord, RecordPeriodMs(state_.settings.recordTime));
    state_.timers.start(ScopeClock::kBlink, 500);
}

void ScopeRecorder::stopClocks() {
    state_.timers.stop(ScopeClock::kRecord);
    state_.timers.stop(ScopeClock::kBlink);
}

void ScopeRecorder::start() {
    if (!state_.monitoring || recording_) return;
    if (!file_.open(state_.settings.recordPath, RecordFile::Mode::kReplace)) {
        state_.services.prompter.error(Tr(kMsgRecordOpen), kCaption);
        state_.changed();
        return;
    }
    recording_ = true;
    lines_ = 0;
    led_ = false;
    startClocks();
    onRecord();
    state_.changed();
}

void ScopeRecorder::stop() {
    if (!recording_) return;
    recording_ = false;
    stopClocks();
    file_.close();
    led_ = false;
    state_.changed();
}

bool ScopeRecorder::reopen() {
    recording_ = file_.open(state_.settings.recordPath, RecordFile::Mode::kAppend);
    if (!recording_) state_.services.prompter.error(Tr(kMsgRecordOpen), kCaption);
    return recording_;
}

void ScopeRecorder::resumeClocks() {
    if (!recording_) return;
    startClocks();
    onRecord();
}

void ScopeRecorder::endRun() {
    if (recording_) stopClocks();
    file_.close();
    recording_ = false;
    led_ = false;
}

void ScopeRecorder::shutDown() {
    if (recording_) stopClocks();
    file_.close();
}

void ScopeRecorder::newRun() {
    recording_ = false;
    lines_ = 0;
    led_ = false;
}

void ScopeRecorder::onRecord() {
    if (!recording_) return;
    // A channel that is not set up keeps the file's 0.00; one whose value is not live has none.
    RecordValues values;
    for (int i = 0; i < kChannelCount; ++i) {
        auto& value = values[static_cast<std::size_t>(i)];
        if (!channels_.isLive(i)) {
            value = 0.0;
        } else if (channels_.hasLiveValue(i)) {
            value = channels_.at(i).value;
        }
    }
    const std::string time = state_.settings.recordTimeColumn
                                 ? IsoLocalText(OleDateFromLocal(state_.services.clock.now()))
                                 : std::string();
    if (!file_.writeLine(values, time)) {
        stop();
        state_.services.prompter.error(Tr(kMsgRecordWrite), kCaption);
        return;
    }
    ++lines_;
    state_.changed();
}

void ScopeRecorder::onBlink() {
    if (!recording_) return;
    led_ = !led_;
    state_.changed();
}

void ScopeRecorder::setPath(const std::string& path) {
    if (recording_) return;
    state_.settings.recordPath = path;
    state_.changed();
}

void ScopeRecorder::setTimeColumn(bool on) {
    if (recording_) return;
    state_.settings.recordTimeColumn = on ? 1 : 0;
    state_.changed();
}

void ScopeRecorder::setRecordTime(int index) {
    state_.settings.recordTime = ClampIndex(index, kRecordPeriodSeconds, kDefaultRecordTime);
    if (recording_) {
        state_.timers.stop(ScopeClock::kRecord);
        state_.timers.start(ScopeClock::kRecord, RecordPeriodMs(state_.settings.recordTime));
    }
    state_.changed();
}

}  // namespace korvane::scope
