#pragma once
// The tool windows this build can open, by kind. Each window's file registers its creator in
// RegisterToolWindows (tool_windows.cpp), one line per kind, so that neither the main window
// nor the controller changes when a window is added.
#include <functional>
#include <map>

#include "host/tool_frames.h"
#include "host/tool_services.h"

namespace korvane {

class UiToolWindowFactory : public ToolWindowFactory {
public:
    // Makes and shows the window; nullptr when the user cancelled (a mode dialog) or it failed.
    // The window calls services.host.toolFrameClosing(frame) when it closes.
    using Creator = std::function<ToolFrame*(ToolServices& services, int stationKey)>;

    explicit UiToolWindowFactory(ToolServices services) : services_(services) {}

    void add(int kind, Creator creator) { creators_[kind] = std::move(creator); }

    bool provides(int kind) const override { return creators_.count(kind) != 0; }
    ToolFrame* create(int kind, int stationKey) override;

private:
    ToolServices services_;
    std::map<int, Creator> creators_;
};

// Every kind of tool window in this build.
void RegisterToolWindows(UiToolWindowFactory& factory);

}  // namespace korvane
