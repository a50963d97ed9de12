#include "host/app_directories.h"

#include <filesystem>
#include <system_error>

#include "common/file_path.h"

namespace korvane {
namespace fs = std::filesystem;

std::string JoinPath(const std::string& dir, const std::string& name) {
    return dir + '/' + name;
}

AppDirectories MakeAppDirectories(std::string appDir) {
    if (!appDir.empty() && appDir.back() == '/') appDir.pop_back();
    AppDirectories dirs;
    dirs.log = JoinPath(appDir, "Log");
    dirs.temp = JoinPath(appDir, "Temp");
    dirs.data = JoinPath(appDir, "Data");
    dirs.app = std::move(appDir);
    return dirs;
}

AppDirectories PrepareAppDirectories(const std::optional<std::string>& appDirOverride,
                                     const std::optional<InstalledLayout>& installed) {
    AppDirectories dirs;
    if (appDirOverride && !appDirOverride->empty()) {
        dirs = MakeAppDirectories(*appDirOverride);
    } else if (installed && !installed->user.empty()) {
        dirs = MakeAppDirectories(installed->user);
        dirs.data = installed->data;
    } else {
        std::error_code ec;
        dirs = MakeAppDirectories(Utf8FromPath(fs::current_path(ec)));
    }
    std::error_code ignored;
    fs::create_directories(PathFromUtf8(dirs.log), ignored);
    fs::create_directories(PathFromUtf8(dirs.temp), ignored);
    return dirs;
}

}  // namespace korvane
