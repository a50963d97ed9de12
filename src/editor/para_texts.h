#pragma once
// Texts of the parameter editor's window, tree, list and files, exactly as the user sees them.
// The message-box caption lives with the codec (paradb/editor_texts.h).

#include "host/shared_texts.h"

namespace korvane {

// Title suffix of every editor window.
inline constexpr const char* kParaEditorTitleSuffix = "Parameter Editor";

// Tree roots.
inline constexpr const char* kAllGroupsNodeText = "パラメータグループ";
inline constexpr const char* kUserGroupRootNodeText = "ユーザグループ";

// Status panes.
inline constexpr const char* kParameterCountFormat = "パラメータ量 : %d";

// User groups.
inline constexpr const char* kUserGroupModifiedFormat =
    "ユーザグループ[%s]が修正されています\n保存しますか？";
inline constexpr const char* kUserGroupPathOpenText =
    "選択されたユーザグループファイルの名前はすでに開かれています.\n"
    "再度別の名前で選択してください";
// An offline editor closing with values changed since its last parameter file.
inline constexpr const char* kOfflineValuesModifiedText =
    "パラメータデータが修正されています\nパラメータファイルに保存しますか？";
inline constexpr const char* kUserGroupSaveFailedText = "ユーザグループ名を保存できません";

// Files.
inline constexpr const char* kOverwriteFormat =
    "%s ファイルはすでに存在します.\n上書きを希望しますか？";
inline constexpr const char* kParaFileSaveFailedText = "パラメータファイルを保存できません";
inline constexpr const char* kFileValuesPaneText = "ファイルの値";
inline constexpr const char* kParaFileReadText = "パラメータファイルは無事に読み取られました";
inline constexpr const char* kParaFileSavedText = "パラメータファイルは無事に保存されました";
inline constexpr const char* kTextExportFailedText = "テキストファイルでパラメータを保存できません";
inline constexpr const char* kTextExportDoneText =
    "テキストファイルへのパラメータの保存が成功しました";

// File dialogs: filter and title of each kind.
inline constexpr const char* kParaFileFilter = "パラメータファイル (*.par)|*.par||";
inline constexpr const char* kParaFileSaveTitle = "パラメータファイルを保存する";
inline constexpr const char* kParaFileOpenTitle = "パラメータファイルを開く";
inline constexpr const char* kUserGroupFilter = "ユーザグループファイル (*.usr)|*.usr||";
// The string table's texts of these two titles are not known; these say the same.
inline constexpr const char* kUserGroupOpenTitle = "ユーザグループファイルを開く";
inline constexpr const char* kUserGroupSaveTitle = "ユーザグループファイルを保存する";
inline constexpr const char* kParaTextFilter = "パラメータテキストファイル (*.txt)|*.txt||";
inline constexpr const char* kParaTextSaveTitle = "パラメータテキストファイルを保存してください";

// Settings: section "Main" keeps the last directory of each file kind.
inline constexpr const char* kParaFileDirKey = "Para File Dir";
inline constexpr const char* kCustomFileDirKey = "Custom File Dir";
inline constexpr const char* kParaTextFileDirKey = "ParaText File Dir";

// Mode dialog.
inline constexpr const char* kModeDialogTitle = "パラメータエディタモードセットアップ";
inline constexpr const char* kNoDataObjectText = "パラメータオブジェクトを初期化できません";
inline constexpr const char* kNoDataFileForModelText =
    "このモデルに対するデータファイルはありません";

// Upload, download and compare.
inline constexpr const char* kTransferFileFilter =
    "パラメータファイル (*.par)|*.par|ユーザグループファイル (*.usr)|*.usr||";
inline constexpr const char* kStartLabel = "開始";
inline constexpr const char* kCloseLabel = "閉じる";
inline constexpr const char* kCancelLabel = "Cancel";
inline constexpr const char* kCloseAgainLabel = "閉じます";
inline constexpr const char* kStopQuestion = "停止しますか？";
inline constexpr const char* kUserGroupVersionQuestion =
    "ユーザグループファイルとインバータのバージョンが違います\n\n続行しますか？";
inline constexpr const char* kDriveDisconnectedText = "選択されたインバータが切断されました";
inline constexpr const char* kNoDataFileText =
    "インバータモデルとバージョンに対応するデータファイルがありません";
inline constexpr const char* kCommErrorText =
    "[%s] %d : %s\nCommunicationエラーが発生しました\n\n*** %s ***";
inline constexpr const char* kUndefinedErrorText = "未定義エラー";
inline constexpr const char* kRetryText = "%dth 再試行中…";
inline constexpr const char* kStepText = "[%s] %d : %s";
inline constexpr const char* kUploadDoneText = "アップロードアクションが終了しました";
inline constexpr const char* kDownloadDoneText = "ダウンロードアクションが終了しました";
inline constexpr const char* kCompareDoneText = "比較アクションが終了しました";
inline constexpr const char* kAllSameText = "全てのパラメータデータは同じです";
// Appended to the end-of-run text when parameters were not read or writes were refused.
inline constexpr const char* kUnreadCountText = "\n%d 個のパラメータは読み取れませんでした";
inline constexpr const char* kRefusedCountText = "\n%d 個のパラメータは書き込みを拒否されました";
// Appended after an upload into a user group when some of its entries were not read.
inline constexpr const char* kUnreadKeptText =
    "\n読み取れなかったパラメータはファイルの以前の値のままです";
// The list of those entries, in the form of the compare results.
inline constexpr const char* kUnreadEntriesTitle = "読み取れなかったパラメータ";
// An upload that read only part of the parameters, over a parameter file holding values it
// lacks: nothing is saved until the user agrees to lose them.
inline constexpr const char* kPartialHeldText =
    "一部のパラメータが読み取れなかったため、ファイルは上書きされませんでした";
inline constexpr const char* kPartialReplaceQuestion =
    "%s ファイルには読み取れなかったパラメータの値があります.\n"
    "読み取れたパラメータだけで上書きを希望しますか？";

}  // namespace korvane
