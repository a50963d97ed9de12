#include "app/ui/interface_language_ui.h"

#include <QApplication>
#include <QFontDatabase>
#include <QLibraryInfo>
#include <QTranslator>

namespace korvane {

void UseInterfaceLanguage(QApplication& app, Language language) {
    if (language != Language::Japanese) return;
    InstallJapaneseQtTexts(app);
    UseJapaneseFont(app);
}

QTranslator* InstallJapaneseQtTexts(QApplication& app) {
    auto* translator = new QTranslator(&app);
    if (!translator->load(QStringLiteral("qtbase_ja"),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath)) ||
        !QApplication::installTranslator(translator)) {
        delete translator;
        return nullptr;
    }
    return translator;
}

void UseJapaneseFont(QApplication& app) {
    (void)app;
    const QStringList installed = QFontDatabase::families();
    for (const char* family : {"IPAPGothic", "IPAGothic", "Noto Sans CJK JP", "Noto Sans JP",
                               "VL PGothic", "TakaoPGothic"}) {
        const QString name = QString::fromLatin1(family);
        if (!installed.contains(name)) continue;
        QFont font = QApplication::font();
        font.setFamily(name);
        QApplication::setFont(font);
        return;
    }
}

}  // namespace korvane
