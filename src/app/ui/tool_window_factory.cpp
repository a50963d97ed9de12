#include "app/ui/tool_window_factory.h"

namespace korvane {

ToolFrame* UiToolWindowFactory::create(int kind, int stationKey) {
    auto it = creators_.find(kind);
    return it == creators_.end() || !it->second ? nullptr : it->second(services_, stationKey);
}

}  // namespace korvane
