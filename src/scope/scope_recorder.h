#pragma once
// The graph monitor's CSV record: started during a run, one line per record tick with the
// channels' live values, a blinking LED while it runs. A resumed run appends to the file.
#include <string>

#include "scope/record_file.h"
#include "scope/scope_channels.h"
#include "scope/scope_state.h"

namespace korvane::scope {

class ScopeRecorder {
public:
    ScopeRecorder(ScopeState& state, const ScopeChannels& channels)
        : state_(state), channels_(channels) {}

    // The user starts or stops it; only this start replaces the file.
    void start();
    void stop();
    // A saved run that was recording goes on appending; false (told to the user) if the file
    // cannot be opened.
    bool reopen();
    // The resumed recording's clocks and first line, once the run's first sample is taken.
    void resumeClocks();
    // The run stopped, or the window closes: clocks stopped and file closed.
    void endRun();
    void shutDown();
    // A new run or a file on the chart starts the line count over.
    void newRun();

    // The clocks.
    void onRecord();
    void onBlink();

    void setPath(const std::string& path);
    void setTimeColumn(bool on);
    void setRecordTime(int index);

    bool recording() const { return recording_; }
    bool led() const { return led_; }
    int lines() const { return lines_; }
    int flushes() const { return file_.flushCount(); }

private:
    void startClocks();
    void stopClocks();

    ScopeState& state_;
    const ScopeChannels& channels_;
    RecordFile file_;
    bool recording_ = false;
    bool led_ = false;
    int lines_ = 0;
};

}  // namespace korvane::scope
