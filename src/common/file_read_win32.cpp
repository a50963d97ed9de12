#include <windows.h>

#include "common/file_read.h"
#include "common/format.h"
#include "common/wide_text.h"

namespace korvane {
namespace {

std::string systemError(const char* what, const std::string& path) {
    return strprintf("%s %s: %s", what, path.c_str(), SystemErrorText(GetLastError()).c_str());
}

class Handle {
public:
    explicit Handle(HANDLE h) : h_(h) {}
    ~Handle() {
        if (valid()) CloseHandle(h_);
    }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    bool valid() const { return h_ != INVALID_HANDLE_VALUE; }
    HANDLE get() const { return h_; }

private:
    HANDLE h_;
};

// Reads until the end of the file or one byte past `limit`, as on POSIX.
bool readAll(HANDLE h, std::vector<std::uint8_t>& out, std::size_t limit) {
    std::uint8_t buffer[65536];
    for (;;) {
        DWORD n = 0;
        if (!ReadFile(h, buffer, sizeof buffer, &n, nullptr)) return false;
        if (n == 0) return true;
        out.insert(out.end(), buffer, buffer + n);
        if (out.size() > limit) return true;
    }
}

}  // namespace

bool ReadRegularFile(const std::string& path, std::vector<std::uint8_t>& out, std::size_t maxBytes,
                     std::string* error) {
    out.clear();
    // FILE_SHARE_WRITE and DELETE: a file another program is writing or replacing still reads.
    Handle file(CreateFileW(WideFromUtf8(path).c_str(), GENERIC_READ,
                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_BACKUP_SEMANTICS,
                            nullptr));
    if (!file.valid()) {
        if (error) *error = systemError("cannot open", path);
        return false;
    }
    // A directory (opened thanks to the backup flag), a pipe or a device is not a file.
    BY_HANDLE_FILE_INFORMATION info{};
    if (GetFileType(file.get()) != FILE_TYPE_DISK ||
        !GetFileInformationByHandle(file.get(), &info) ||
        (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
        if (error) *error = strprintf("%s is not a regular file", path.c_str());
        return false;
    }
    const std::uint64_t size =
        (static_cast<std::uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
    if (size > maxBytes) {
        if (error) *error = strprintf("%s is larger than %zu bytes", path.c_str(), maxBytes);
        return false;
    }
    out.reserve(static_cast<std::size_t>(size));
    if (!readAll(file.get(), out, maxBytes)) {
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
