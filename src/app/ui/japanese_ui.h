#pragma once
// The program speaks Japanese, so Qt's own texts (the standard buttons of message boxes, the
// file dialog) must too, and in the same typeface: with the platform's default font, Latin and
// Japanese text in one box are drawn from two fonts.
class QApplication;
class QTranslator;

namespace korvane {

// Loads Qt's Japanese translations from Qt's translation directory and installs them (owned by
// `app`). nullptr when they are not installed: the texts then stay English.
QTranslator* InstallJapaneseQtTexts(QApplication& app);

// Makes the first installed font with Japanese glyphs the application font, at its size.
void UseJapaneseFont(QApplication& app);

}  // namespace korvane
