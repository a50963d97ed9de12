#include "common/translation.h"

namespace korvane {

// A POSIX system says its language only through the environment.
std::optional<Language> SystemLanguage() {
    return std::nullopt;
}

}  // namespace korvane
