#pragma once
// The ids the editor's commands and status panes have always had. The window names its actions
// and panes by them; the core knows the commands by name only.
#include <array>
#include <optional>

#include "editor/para_editor.h"

namespace korvane {

struct EditorCommandId {
    ParaCommand command;
    int id;
};

inline constexpr EditorCommandId kEditorCommandIds[] = {
    {kCmdNewUserGroup, 32814},   {kCmdOpenUserGroup, 32815}, {kCmdSaveUserGroup, 32816},
    {kCmdCloseUserGroup, 32817}, {kCmdUpload, 32818},        {kCmdDownload, 32819},
    {kCmdCompare, 32820},        {kCmdSaveParaFile, 32821},  {kCmdSaveTextFile, 32822},
    {kCmdOnlineEdit, 32823},     {kCmdRefreshGroup, 32824},  {kCmdParameterMode, 32825},
    {kCmdReport, 32826},         {kCmdReportHeader, 32827},  {kCmdReportExtra1, 32828},
    {kCmdReportExtra2, 32829},   {kCmdReadParaFile, 32831},  {kCmdUndo, 32833},
    {kCmdRedo, 32834},
};

constexpr int EditorCommandIdOf(ParaCommand command) {
    for (const auto& c : kEditorCommandIds)
        if (c.command == command) return c.id;
    return 0;
}

constexpr std::optional<ParaCommand> EditorCommandWithId(int id) {
    for (const auto& c : kEditorCommandIds)
        if (c.id == id) return c.command;
    return std::nullopt;
}

// The status panes' ids, in the order of EditorChrome::Panes.
inline constexpr std::array<int, 8> kEditorPaneIds{61359, 61281, 61282, 61283,
                                                   61284, 61285, 61286, 61287};

}  // namespace korvane
