#include "paradb/data_dir.h"

#include <filesystem>
#include <system_error>

#include "common/file_path.h"

namespace korvane {
namespace fs = std::filesystem;

std::optional<std::string> InstalledDataDir(const std::string& executableDir) {
    if (executableDir.empty()) return std::nullopt;
    std::error_code ec;
    const fs::path bin = PathFromUtf8(executableDir);
    if (bin.filename() != "bin") return std::nullopt;
    const fs::path data = bin.parent_path() / "share" / "korvane" / "Data";
    if (!fs::is_directory(data, ec)) return std::nullopt;
    return Utf8FromPath(data.lexically_normal());
}

std::string DefaultDataDir(const std::string& buildDataDir, const std::string& installedDataDir) {
    if (IsDirectory(buildDataDir) || !IsDirectory(installedDataDir)) return buildDataDir;
    return installedDataDir;
}

}  // namespace korvane
