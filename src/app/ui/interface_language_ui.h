#pragma once
// Qt's own texts (the standard buttons of message boxes, the file dialog) speak the interface's
// language, in the same typeface as the program's texts. In Japanese that needs Qt's Japanese
// translations and a font with Japanese glyphs: with the platform's default font, Latin and
// Japanese text in one box are drawn from two fonts. English is Qt's own language and the
// platform's default font suits it.
#include "common/translation.h"

class QApplication;
class QTranslator;

namespace korvane {

// Sets Qt up for `language`; called once, before any window is built.
void UseInterfaceLanguage(QApplication& app, Language language);

// Loads Qt's Japanese translations from Qt's translation directory and installs them (owned by
// `app`). nullptr when they are not installed: the texts then stay English.
QTranslator* InstallJapaneseQtTexts(QApplication& app);

// Makes the first installed font with Japanese glyphs the application font, at its size.
void UseJapaneseFont(QApplication& app);

}  // namespace korvane
