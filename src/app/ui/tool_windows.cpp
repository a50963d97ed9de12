// One line per kind of tool window: factory.add(kKind..., MakeSomeWindow);
#include "app/ui/tool_window_factory.h"

namespace korvane {

void RegisterToolWindows(UiToolWindowFactory& factory) {
    (void)factory;
}

}  // namespace korvane
