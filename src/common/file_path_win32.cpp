#include "common/file_path.h"
#include "common/wide_text.h"

namespace korvane {

std::filesystem::path PathFromUtf8(std::string_view utf8) {
    return std::filesystem::path(WideFromUtf8(utf8));
}

std::string Utf8FromPath(const std::filesystem::path& path) {
    return Utf8FromWide(path.native());
}

std::FILE* OpenFile(const std::string& path, const char* mode) {
    return _wfopen(WideFromUtf8(path).c_str(), WideFromUtf8(mode).c_str());
}

}  // namespace korvane
