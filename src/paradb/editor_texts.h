#pragma once
// Texts the parameter editor shows around its values and files. Kept apart so that the codec,
// the file objects and korvane-cli can all use them in one translation unit.

namespace korvane {

// Caption of every message box of the parameter editor.
inline constexpr const char* kParameterEditorCaption = "Parameter Editor";

// A parameter set that cannot be read, or is not one.
inline constexpr const char* kParaFileOpenFailedText = "パラメータファイルを開くことができません";

// A value field's text that cannot be written as typed (the status line shows it as "*** %s ***").
inline constexpr const char* kEntryNotNumberText = "数値ではありません";
inline constexpr const char* kEntryDecimalsFormat = "小数点以下は%d桁まで入力できます";
inline constexpr const char* kEntryNoDecimalsText = "小数点以下は入力できません";

}  // namespace korvane
