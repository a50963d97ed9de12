// One line per kind of tool window: factory.add(kKind..., MakeSomeWindow);
#include "app/ui/tool_window_factory.h"
#include "monitor/ui/monitor_tool_windows.h"
#include "scope/ui/scope_window.h"

namespace korvane {

void RegisterToolWindows(UiToolWindowFactory& factory) {
    factory.add(kKindInformation, MakeInformationSheet);
    factory.add(kKindKeypad, MakeKeypad);
    factory.add(kKindGraphMonitor, scope::MakeScopeWindow);
}

}  // namespace korvane
