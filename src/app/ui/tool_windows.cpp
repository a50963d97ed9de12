// One line per kind of tool window: factory.add(kKind..., MakeSomeWindow);
#include "app/ui/tool_window_factory.h"
#include "editor/ui/para_editor_window.h"

namespace korvane {

void RegisterToolWindows(UiToolWindowFactory& factory) {
    factory.add(kKindParaEditor, ParaEditorWindow::Open);
}

}  // namespace korvane
