// What the window stores through Qt, korvane-cli must read back unchanged without Qt.
#include <gtest/gtest.h>

#include <QTemporaryDir>

#include "app/ui/qt_settings_store.h"
#include "common/ini_settings_store.h"
#include "gui_rig.h"

namespace korvane::gui {
namespace {

TEST(SettingsFile, TextsAndNumbersTheWindowStoresReadBackWithoutQt) {
    TestApp();
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Korvane.conf"));
    const std::vector<std::string> texts = {
        "",
        "plain",
        "株式会社 オルバ",
        " lead, trail ; x=y ",
        "a\\b\"c\nd\te",
        "@start",
        "@ByteArray(x)",
        "x\x01"
        "ab\x7f"
        "9z",
        "  ",
        "#hash;",
        "é😀",
        "=equals=",
        "'single'",
        "[bracket]",
        "tail\\",
    };
    const std::vector<int> numbers = {0, -7, 42, 2147483647, -2147483647 - 1};
    {
        QtSettingsStore store(path);
        for (std::size_t i = 0; i < texts.size(); ++i)
            store.setString("Main", "Text " + std::to_string(i), texts[i]);
        for (std::size_t i = 0; i < numbers.size(); ++i)
            store.setInt("Sec tion %", "Number=" + std::to_string(i), numbers[i]);
        store.setString("日本", "キー", "値");
        store.sync();
    }
    const auto read = IniSettingsStore::Load(path.toStdString());
    for (std::size_t i = 0; i < texts.size(); ++i)
        EXPECT_EQ(read.getString("Main", "Text " + std::to_string(i), "absent"), texts[i]) << i;
    for (std::size_t i = 0; i < numbers.size(); ++i)
        EXPECT_EQ(read.getInt("Sec tion %", "Number=" + std::to_string(i), 99), numbers[i]) << i;
    EXPECT_EQ(read.getString("日本", "キー", "absent"), "値");
}

}  // namespace
}  // namespace korvane::gui
