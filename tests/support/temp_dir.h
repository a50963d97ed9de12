#pragma once
// A fresh directory under the system's temporary folder, as mkdtemp makes one, on every system:
// ctest runs tests in parallel processes, where a fixed name or an object address would repeat.
#include <filesystem>
#include <random>
#include <string>
#include <system_error>

namespace korvane::testing {

inline std::string MakeTempDirectory(const std::string& prefix) {
    std::random_device random;
    for (int attempt = 0; attempt < 100; ++attempt) {
        const auto path = std::filesystem::temp_directory_path() /
                          (prefix + std::to_string(random()) + std::to_string(random()));
        std::error_code ec;
        if (std::filesystem::create_directory(path, ec)) {
            const std::u8string utf8 = path.u8string();  // the program's paths are UTF-8
            return std::string(utf8.begin(), utf8.end());
        }
    }
    return {};
}

}  // namespace korvane::testing
