#pragma once
// Where the program keeps its files: the application directory and its Log, Temp and Data
// directories, for a program run from its build tree or installed as a package.
#include <optional>
#include <string>

// Callers that build an InstalledLayout find its data directory there.
#include "paradb/data_dir.h"

namespace korvane {

struct AppDirectories {
    std::string app;  // no trailing separator; "" when the application directory is "/"
    std::string log;
    std::string temp;
    std::string data;
};

std::string JoinPath(const std::string& dir, const std::string& name);
// The directories below appDir, with one trailing '/' dropped as the current directory may
// carry one.
AppDirectories MakeAppDirectories(std::string appDir);
// An installed program reads the sample data shipped with it and keeps its own files (Log, Temp)
// in the user's data directory, since it may not write beside its executable.
struct InstalledLayout {
    std::string data;
    std::string user;
};
// Uses appDirOverride (--app-dir) when given, else the installed layout when there is one, else
// the current directory, and creates Log and Temp. A directory that cannot be made is not
// reported here: the files placed in it report their own failure when they are opened.
AppDirectories PrepareAppDirectories(const std::optional<std::string>& appDirOverride,
                                     const std::optional<InstalledLayout>& installed = {});

}  // namespace korvane
