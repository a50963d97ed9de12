#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>

#include "common/ini_settings_store.h"

namespace korvane {
namespace {

// A user name outside the ANSI code page must reach the path as it is.
TEST(UserSettingsPath, IsAnIniFileUnderTheWideAppData) {
    const wchar_t* saved = _wgetenv(L"APPDATA");
    const std::optional<std::wstring> keep =
        saved ? std::optional<std::wstring>(saved) : std::nullopt;
    _wputenv_s(L"APPDATA", L"C:\\Users\\\u592a\u90ce\\AppData\\Roaming");
    EXPECT_EQ(UserSettingsPath("ORVA", "Korvane 3.3"),
              "C:\\Users\\太郎\\AppData\\Roaming\\ORVA\\Korvane 3.3.ini");
    _wputenv_s(L"APPDATA", L"");
    EXPECT_EQ(UserSettingsPath("ORVA", "Korvane 3.3"), "");
    _wputenv_s(L"APPDATA", keep ? keep->c_str() : L"");
}

}  // namespace
}  // namespace korvane
