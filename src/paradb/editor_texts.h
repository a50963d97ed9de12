#pragma once
// Texts the parameter editor shows around its values and files. Kept apart so that the codec,
// the file objects and korvane-cli can all use them in one translation unit.

namespace korvane {

// Caption of every message box of the parameter editor.
inline constexpr const char* kParameterEditorCaption = "Parameter Editor";

// A parameter set that cannot be read (after any archive error text has been shown).
inline constexpr const char* kParaFileOpenFailedText = "パラメータファイルを開くことができません";

}  // namespace korvane
