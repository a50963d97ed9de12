#pragma once
// Which file a transfer works on: the path typed into the transfer dialog, checked and completed
// with the extension of the chosen file type.
#include <string>

namespace korvane {

enum class TransferFileKind { kParaSet = 0, kUserGroup = 1 };

// The file type last chosen in any transfer dialog (1 parameter file, 2 user group). Shared by
// every transfer dialog of one run; unset or out of range counts as a parameter file.
class TransferFileChoice {
public:
    int get() const { return choice_ == 2 ? 2 : 1; }
    void set(int choice) { choice_ = choice; }
    static TransferFileChoice& Process();

private:
    int choice_ = 0;
};

enum class TransferPathOutcome {
    kOk,
    kEmpty,      // nothing typed
    kNoFileName  // no directory, or nothing after the last separator
};

struct TransferPath {
    TransferPathOutcome outcome = TransferPathOutcome::kEmpty;
    std::string path;  // completed; written back into the path field
    TransferFileKind kind = TransferFileKind::kParaSet;
};

inline constexpr const char* kSelectFileText =
    "パラメータまたはユーザグループファイルを選択してください";
inline constexpr const char* kBadPathText =
    "ファイルパス入力が間違っています\nファイルパスを再入力してください";

// A name without an extension, or with one other than .par or .usr (in any case), gets the
// extension of `choice`; .par and .usr set `choice` for the next transfer.
TransferPath ResolveTransferPath(const std::string& typed, TransferFileChoice& choice);

}  // namespace korvane
