#include "paradb/data_dir.h"

#include <filesystem>
#include <system_error>

namespace korvane {
namespace fs = std::filesystem;

std::optional<std::string> InstalledDataDir(const std::string& executableDir) {
    if (executableDir.empty()) return std::nullopt;
    std::error_code ec;
    const fs::path bin(executableDir);
    if (bin.filename() != "bin") return std::nullopt;
    const fs::path data = bin.parent_path() / "share" / "korvane" / "Data";
    if (!fs::is_directory(data, ec)) return std::nullopt;
    return data.lexically_normal().string();
}

std::string DefaultDataDir(const std::string& buildDataDir, const std::string& installedDataDir) {
    std::error_code ec;
    if (fs::is_directory(buildDataDir, ec) || !fs::is_directory(installedDataDir, ec))
        return buildDataDir;
    return installedDataDir;
}

}  // namespace korvane
