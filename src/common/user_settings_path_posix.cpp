// QSettings keeps a user's settings under the XDG base directory; korvane-cli reads the same
// file the window program writes.
#include <cstdlib>

#include "common/ini_settings_store.h"

namespace korvane {

std::string UserSettingsPath(const std::string& organisation, const std::string& application) {
    std::string base;
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    if (xdg && xdg[0] == '/') {
        base = xdg;
    } else {
        const char* home = std::getenv("HOME");
        if (!home || !*home) return {};
        base = std::string(home) + "/.config";
    }
    return base + '/' + organisation + '/' + application + ".conf";
}

}  // namespace korvane
