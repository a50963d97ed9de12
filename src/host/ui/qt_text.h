#pragma once
// The core keeps UTF-8 std::string; Qt wants QString.
#include <QString>
#include <string>

namespace korvane {

inline QString qtText(const std::string& text) {
    return QString::fromStdString(text);
}
inline QString qtText(const char* text) {
    return QString::fromUtf8(text);
}

}  // namespace korvane
