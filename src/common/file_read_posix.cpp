#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "common/file_read.h"
#include "common/format.h"

namespace korvane {
namespace {

std::string systemError(const char* what, const std::string& path) {
    return strprintf("%s %s: %s", what, path.c_str(), std::strerror(errno));
}

class Descriptor {
public:
    explicit Descriptor(int fd) : fd_(fd) {}
    ~Descriptor() {
        if (fd_ >= 0) ::close(fd_);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return fd_; }

private:
    int fd_;
};

// Reads until the end of the file or one byte past `limit`, whichever comes first, so a file
// that grew since it was measured is still refused.
bool readAll(int fd, std::vector<std::uint8_t>& out, std::size_t limit) {
    std::uint8_t buffer[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return false;
        if (n == 0) return true;
        out.insert(out.end(), buffer, buffer + n);
        if (out.size() > limit) return true;
    }
}

}  // namespace

bool ReadRegularFile(const std::string& path, std::vector<std::uint8_t>& out, std::size_t maxBytes,
                     std::string* error) {
    out.clear();
    // Non-blocking, so that opening a FIFO with no writer returns at once; the flag has no
    // effect on the reads of a regular file.
    Descriptor fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
    if (fd.get() < 0) {
        if (error) *error = systemError("cannot open", path);
        return false;
    }
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0) {
        if (error) *error = systemError("cannot read", path);
        return false;
    }
    if (!S_ISREG(st.st_mode)) {
        if (error) *error = strprintf("%s is not a regular file", path.c_str());
        return false;
    }
    const auto size = static_cast<std::uint64_t>(st.st_size);
    if (size > maxBytes) {
        if (error) *error = strprintf("%s is larger than %zu bytes", path.c_str(), maxBytes);
        return false;
    }
    out.reserve(static_cast<std::size_t>(size));
    if (!readAll(fd.get(), out, maxBytes)) {
        if (error) *error = systemError("cannot read", path);
        out.clear();
        return false;
    }
    if (out.size() > maxBytes) {
        if (error) *error = strprintf("%s is larger than %zu bytes", path.c_str(), maxBytes);
        out.clear();
        return false;
    }
    return true;
}

}  // namespace korvane
