#include "editor/transfer_path.h"

#include <algorithm>

#include "common/path_text.h"
#include "common/text.h"

namespace korvane {
namespace {

const char* extensionOf(int choice) {
    return choice == 2 ? ".usr" : ".par";
}

}  // namespace

TransferFileChoice& TransferFileChoice::Process() {
    static TransferFileChoice choice;
    return choice;
}

TransferPath ResolveTransferPath(const std::string& typed, TransferFileChoice& choice) {
    TransferPath result;
    result.path = TrimWhitespace(typed);
    if (result.path.empty()) return result;
    const auto slash = result.path.find_last_of(kPathSeparators);
    if (slash == std::string::npos || slash + 1 == result.path.size()) {
        result.outcome = TransferPathOutcome::kNoFileName;
        return result;
    }
    result.outcome = TransferPathOutcome::kOk;
    const std::string name = result.path.substr(slash + 1);
    const auto dot = name.rfind('.');
    const std::string ext =
        dot == std::string::npos ? std::string() : AsciiLower(name.substr(dot + 1));
    if (ext == "par") {
        choice.set(1);
    } else if (ext == "usr") {
        choice.set(2);
    } else {
        // A foreign extension stays part of the name, so "a.txt" becomes "a.txt.par".
        result.path += extensionOf(choice.get());
    }
    result.kind = choice.get() == 2 ? TransferFileKind::kUserGroup : TransferFileKind::kParaSet;
    return result;
}

}  // namespace korvane
