#include <windows.h>
// shellapi.h needs windows.h before it.
#include <shellapi.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "common/process.h"
#include "common/wide_text.h"

namespace korvane {

std::uint32_t CurrentProcessId() {
    return static_cast<std::uint32_t>(GetCurrentProcessId());
}

std::string ProgramDirectory() {
    std::wstring buffer(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n =
            GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (n == 0) return {};
        if (n < buffer.size()) {
            buffer.resize(n);
            break;
        }
        if (buffer.size() >= 32768) return {};
        buffer.resize(buffer.size() * 2);
    }
    return Utf8FromWide(std::filesystem::path(buffer).parent_path().wstring());
}

std::vector<std::string> ProgramArguments(int argc, char** argv) {
    int count = 0;
    LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count);
    if (!wide) return std::vector<std::string>(argv, argv + argc);
    std::vector<std::string> args;
    args.reserve(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) args.push_back(Utf8FromWide(wide[i]));
    LocalFree(wide);
    return args;
}

namespace {

UINT consoleCodePageBefore = 0;

void restoreConsoleCodePage() {
    std::fflush(nullptr);  // what is still buffered was written for UTF-8
    SetConsoleOutputCP(consoleCodePageBefore);
}

}  // namespace

// The console outlives the program: its own code page is given back at the end.
void UseUtf8Console() {
    const UINT before = GetConsoleOutputCP();  // 0 without a console
    if (before == 0 || before == CP_UTF8 || !SetConsoleOutputCP(CP_UTF8)) return;
    consoleCodePageBefore = before;
    std::atexit(restoreConsoleCodePage);
}

}  // namespace korvane
