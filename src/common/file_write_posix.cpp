#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <vector>

#include "common/file_write.h"
#include "common/format.h"

namespace korvane {
namespace {

std::string systemError(const char* what, const std::string& path) {
    return strprintf("%s %s: %s", what, path.c_str(), std::strerror(errno));
}

}  // namespace

namespace {

bool writeAll(int fd, std::span<const std::uint8_t> bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

// The rename is only durable once the directory entry itself is on disk.
void syncDirectory(const std::filesystem::path& dir) {
    int fd = ::open(dir.empty() ? "." : dir.c_str(), O_RDONLY | O_DIRECTORY);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
}

}  // namespace

bool SafeSaveFile(const std::string& path, std::span<const std::uint8_t> bytes,
                  std::string* error) {
    namespace fs = std::filesystem;
    fs::path target(path);
    fs::path dir = target.parent_path();
    // Appended rather than "." + name: g++ 12 at -O3 warns falsely about that concatenation.
    std::string hidden = target.filename().string();
    hidden.insert(hidden.begin(), '.');
    hidden += ".XXXXXX";
    std::string pattern = (dir.empty() ? fs::path(".") : dir) / hidden;
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    int fd = ::mkstemp(name.data());
    if (fd < 0) {
        if (error) *error = systemError("cannot create a temporary file for", path);
        return false;
    }
    // mkstemp makes the file private; a saved file should keep the mode the old one had, or get
    // the usual mode of a new document.
    struct stat old {};
    ::fchmod(fd, ::stat(path.c_str(), &old) == 0 ? (old.st_mode & 07777) : 0644);

    bool ok = writeAll(fd, bytes) && ::fsync(fd) == 0;
    if (!ok && error) *error = systemError("cannot write", path);
    if (::close(fd) != 0 && ok) {
        ok = false;
        if (error) *error = systemError("cannot write", path);
    }
    if (ok && ::rename(name.data(), path.c_str()) != 0) {
        ok = false;
        if (error) *error = systemError("cannot replace", path);
    }
    if (!ok) {
        ::unlink(name.data());
        return false;
    }
    syncDirectory(dir);
    return true;
}

bool CanSaveFile(const std::string& path, std::string* error) {
    namespace fs = std::filesystem;
    std::error_code ec;
    if (fs::is_directory(path, ec)) {
        if (error) *error = strprintf("%s is a directory", path.c_str());
        return false;
    }
    const fs::path dir = fs::path(path).parent_path();
    std::string pattern = ((dir.empty() ? fs::path(".") : dir) / ".korvane-probe.XXXXXX").string();
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    const int fd = ::mkstemp(name.data());
    if (fd < 0) {
        if (error) *error = systemError("cannot create a file for", path);
        return false;
    }
    ::close(fd);
    ::unlink(name.data());
    return true;
}

}  // namespace korvane
