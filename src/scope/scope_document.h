#pragma once
// The graph monitor's scope files: the chart and channel setup written to a file, a file put
// back on the chart, and the window title that names the file shown.
#include <functional>
#include <string>

#include "scope/scope_channels.h"
#include "scope/scope_recorder.h"
#include "scope/scope_sampler.h"
#include "scope/scope_state.h"
#include "scope/scope_style.h"
#include "scope/scope_trigger_run.h"

namespace korvane::scope {

struct ScoFile;

class ScopeDocument {
public:
    struct Parts {
        ScopeChannels& channels;
        ScopeStyle& style;
        ScopeSampler& sampler;
        TriggerRun& trigger;
        ScopeRecorder& recorder;
        // The station lists meet the drives connected now.
        std::function<void()> refreshStations;
    };
    ScopeDocument(ScopeState& state, Parts parts) : state_(state), parts_(std::move(parts)) {}

    // Both tell the user the outcome; neither runs while monitoring.
    bool open(const std::string& path);
    bool save(const std::string& path);
    ScoFile snapshot() const;
    // Puts a parsed file on the view and the chart.
    void apply(const ScoFile& file);
    // A new run: the chart no longer shows the file, and a save must not write over it unasked.
    void newRun();

    const std::string& path() const { return path_; }
    bool loadedFromFile() const { return state_.fromFile; }
    // The window title: the caption, and the scope file's name while the chart shows it.
    std::string titleText() const;

private:
    void plot(const ScoFile& file);

    ScopeState& state_;
    Parts parts_;
    std::string path_;
};

}  // namespace korvane::scope
