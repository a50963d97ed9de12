#include <windows.h>

#include <atomic>
#include <filesystem>

#include "common/file_write.h"
#include "common/format.h"
#include "common/wide_text.h"

namespace korvane {
namespace {

namespace fs = std::filesystem;

std::string systemError(const char* what, const std::string& path, DWORD code) {
    return strprintf("%s %s: %s", what, path.c_str(), SystemErrorText(code).c_str());
}

// A hidden name beside the target that no other save, in this process or another, is using:
// created with CREATE_NEW, so a clash only means another try.
HANDLE createTemporary(const fs::path& dir, const std::wstring& stem, DWORD flags,
                       std::wstring& name) {
    static std::atomic<unsigned> counter{0};
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::wstring suffix = WideFromUtf8(
            strprintf(".%lx.%lx", GetCurrentProcessId(), counter.fetch_add(1) ^ GetTickCount()));
        name = ((dir.empty() ? fs::path(L".") : dir) / (L"." + stem + suffix)).wstring();
        const DWORD access = GENERIC_WRITE | ((flags & FILE_FLAG_DELETE_ON_CLOSE) ? DELETE : 0);
        HANDLE h = CreateFileW(name.c_str(), access, 0, nullptr, CREATE_NEW,
                               FILE_ATTRIBUTE_NORMAL | flags, nullptr);
        if (h != INVALID_HANDLE_VALUE || GetLastError() != ERROR_FILE_EXISTS) return h;
    }
    return INVALID_HANDLE_VALUE;
}

bool writeAll(HANDLE h, std::span<const std::uint8_t> bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const DWORD chunk =
            static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 1u << 20));
        DWORD n = 0;
        if (!WriteFile(h, bytes.data() + done, chunk, &n, nullptr) || n == 0) return false;
        done += n;
    }
    return true;
}

bool isDirectory(const std::wstring& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

}  // namespace

bool SafeSaveFile(const std::string& path, std::span<const std::uint8_t> bytes,
                  std::string* error) {
    const fs::path target(WideFromUtf8(path));
    std::wstring temporary;
    HANDLE h = createTemporary(target.parent_path(), target.filename().wstring(), 0, temporary);
    if (h == INVALID_HANDLE_VALUE) {
        if (error) *error = systemError("cannot create a temporary file for", path, GetLastError());
        return false;
    }
    bool ok = writeAll(h, bytes) && FlushFileBuffers(h);
    if (!ok && error) *error = systemError("cannot write", path, GetLastError());
    if (!CloseHandle(h) && ok) {
        ok = false;
        if (error) *error = systemError("cannot write", path, GetLastError());
    }
    // WRITE_THROUGH: the call returns once the rename is on the disk, as the directory's fsync
    // does on POSIX.
    if (ok && !MoveFileExW(temporary.c_str(), target.c_str(),
                           MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        ok = false;
        if (error) *error = systemError("cannot replace", path, GetLastError());
    }
    if (!ok) DeleteFileW(temporary.c_str());
    return ok;
}

bool CanSaveFile(const std::string& path, std::string* error) {
    const fs::path target(WideFromUtf8(path));
    if (isDirectory(target.wstring())) {
        if (error) *error = strprintf("%s is a directory", path.c_str());
        return false;
    }
    std::wstring probe;
    HANDLE h =
        createTemporary(target.parent_path(), L"korvane-probe", FILE_FLAG_DELETE_ON_CLOSE, probe);
    if (h == INVALID_HANDLE_VALUE) {
        if (error) *error = systemError("cannot create a file for", path, GetLastError());
        return false;
    }
    CloseHandle(h);
    return true;
}

}  // namespace korvane
