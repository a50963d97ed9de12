#include "app/ui/interface_language_ui.h"

#include <gtest/gtest.h>

#include <QMessageBox>
#include <QPushButton>
#include <QTranslator>
#include <memory>

#include "gui_rig.h"

namespace korvane::gui {
namespace {

TEST(JapaneseUi, StandardButtonsOfMessageBoxesSpeakJapanese) {
    QApplication& app = TestApp();
    std::unique_ptr<QTranslator> translator(InstallJapaneseQtTexts(app));
    if (!translator) GTEST_SKIP() << "Qt's Japanese translations are not installed";
    QMessageBox box(QMessageBox::Question, QStringLiteral("Korvane"), QStringLiteral("?"),
                    QMessageBox::Yes | QMessageBox::No);
    EXPECT_TRUE(box.button(QMessageBox::Yes)->text().contains(QString::fromUtf8("はい")))
        << box.button(QMessageBox::Yes)->text().toStdString();
    EXPECT_TRUE(box.button(QMessageBox::No)->text().contains(QString::fromUtf8("いいえ")))
        << box.button(QMessageBox::No)->text().toStdString();
    // Other tests read the English texts of their own dialogs.
    QApplication::removeTranslator(translator.get());
}

TEST(InterfaceLanguageUi, EnglishKeepsQtsOwnTextsAndThePlatformFont) {
    QApplication& app = TestApp();
    const QFont before = QApplication::font();
    UseInterfaceLanguage(app, Language::English);
    EXPECT_EQ(QApplication::font(), before);
    QMessageBox box(QMessageBox::Question, QStringLiteral("Korvane"), QStringLiteral("?"),
                    QMessageBox::Yes | QMessageBox::No);
    EXPECT_EQ(box.button(QMessageBox::Yes)->text().remove('&'), QStringLiteral("Yes"));
}

}  // namespace
}  // namespace korvane::gui
