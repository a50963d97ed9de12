#pragma once
// A file dialog as a tool asks for it. The window opens it without waiting and answers with the
// path chosen; the core never sees a dialog.
#include <string>
#include <vector>

namespace korvane {

struct FileDialogRequest {
    std::string extension{};  // without the dot: what a name typed without one gets
    // The types offered, as the program writes them: "Description (*.ext)|*.ext|...||".
    std::string filter{};
    std::string title{};
    std::string startDir{};        // a directory, or a path to start on
    std::string defaultPath{};     // where a save dialog starts, when given
    bool overwritePrompt = false;  // the dialog asks itself before an existing file is chosen
    bool save = false;
    int selectedFilter = 0;  // 1-based; 0 is the first
    // The extension of each type, followed as the user picks a type.
    std::vector<std::string> filterExtensions{};
};

}  // namespace korvane
