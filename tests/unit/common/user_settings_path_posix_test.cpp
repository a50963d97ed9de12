#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "common/ini_settings_store.h"

namespace korvane {
namespace {

TEST(UserSettingsPath, FollowsXdgConfigHomeThenHome) {
    const char* savedXdg = std::getenv("XDG_CONFIG_HOME");
    const std::string keepXdg = savedXdg ? savedXdg : "";
    const char* savedHome = std::getenv("HOME");
    const std::string keepHome = savedHome ? savedHome : "";
    setenv("XDG_CONFIG_HOME", "/tmp/cfg", 1);
    EXPECT_EQ(UserSettingsPath("ORVA", "Korvane 3.3"), "/tmp/cfg/ORVA/Korvane 3.3.conf");
    setenv("XDG_CONFIG_HOME", "relative", 1);  // not a base directory: ignored
    setenv("HOME", "/home/u", 1);
    EXPECT_EQ(UserSettingsPath("ORVA", "Korvane 3.3"), "/home/u/.config/ORVA/Korvane 3.3.conf");
    if (savedXdg)
        setenv("XDG_CONFIG_HOME", keepXdg.c_str(), 1);
    else
        unsetenv("XDG_CONFIG_HOME");
    if (savedHome) setenv("HOME", keepHome.c_str(), 1);
}

}  // namespace
}  // namespace korvane
