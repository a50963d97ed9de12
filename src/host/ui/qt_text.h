#pragma once
// The core keeps UTF-8 std::string; Qt wants QString.
#include <QString>
#include <string>

#include "common/translation.h"

namespace korvane {

inline QString qtText(const std::string& text) {
    return QString::fromStdString(text);
}
inline QString qtText(const char* text) {
    return QString::fromUtf8(text);
}
// A text of the program's own (a Japanese source text) in the interface language.
inline QString qtTr(const char* source) {
    return QString::fromUtf8(Tr(source));
}

}  // namespace korvane
