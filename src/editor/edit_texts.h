#pragma once
// Texts of the parameter editor's read and edit dialogs and of its in-place value editing.

namespace korvane {

// The read dialog's caption, frame text (group name) and static text (number, name).
inline constexpr const char* kReadDialogCaption = "読み取りパラメータ情報...";
inline constexpr const char* kReadFrameFormat = "[%sパラメータ読み取り…";
inline constexpr const char* kReadItemFormat = "%d : %s";

// The edit dialog's title (group name, station, series name) and heading (number, name).
inline constexpr const char* kEditTitleFormat = "[%s] - %d:%s";
inline constexpr const char* kEditHeadingFormat = "%d : %s";
// Status line of a refused or failed request, and the cleared line.
inline constexpr const char* kEditStatusErrorFormat = "*** %s ***";
inline constexpr const char* kEditStatusClearFormat = " %s ";

inline constexpr const char* kUnboundEntryText =
    "このエラーは、インバータの切断またはデータファイルがないために発生しました";
inline constexpr const char* kRunLockText = "インバータ実行ステータスでパラメータを修正できません";
inline constexpr const char* kUnsavedEditText =
    "パラメータデータはインバータに保存されません\n保存しますか？";

}  // namespace korvane
