#pragma once
// What the editor's window shows around its views: the title and the status panes.
#include <optional>
#include <string>
#include <vector>

#include "editor/editor_context.h"

namespace korvane {

class ParaFileCommands;

// The panes in the order EditorChrome::Panes gives them.
struct ParaStatusPane {
    int width = 0;
    std::string tip;
    std::string text;
    std::optional<Rgb> colour;
};

class EditorChrome {
public:
    EditorChrome(const EditorContext& context, const ParaFileCommands& files)
        : context_(context), files_(files) {}

    std::string Title() const;
    std::vector<ParaStatusPane> Panes() const;

private:
    const EditorContext& context_;
    const ParaFileCommands& files_;
};

}  // namespace korvane
