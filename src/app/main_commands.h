#pragma once
// The main window's commands, how its menus and tool bar group them, and the fixed texts of its
// panes. The Qt window builds its menus from these tables so that ids, texts and order are
// decided in one place.
#include <array>
#include <span>

#include "host/shared_texts.h"

namespace korvane {

enum MainCommand : int {
    kCmdNone = 0,  // a separator in the tables below
    kCmdConnect = 32771,
    kCmdStopScan = 32772,
    kCmdInformation = 32773,
    kCmdRefresh = 32774,
    kCmdOnlineEditor = 32775,
    kCmdOfflineEditor = 32776,
    kCmdKeypad = 32777,
    kCmdGraphMonitor = 32778,
    kCmdPortSetup = 32779,
    kCmdClearHistory = 32780,
    kCmdReconnect = 32781,
    kCmdStartLog = 32782,
    kCmdStopLog = 32783,
    kCmdLogFilePath = 32784,
    kCmdFaultFilePath = 32785,
    kCmdDisconnect = 32835,
    kCmdExit = 57665,
};

struct MainCommandText {
    MainCommand id;
    const char* menuText;  // "\t" separates the shortcut shown in menus
    const char* toolTip;
};

// The text of every command; nullptr for an unknown id.
const MainCommandText* FindMainCommand(int id);

struct MainMenu {
    const char* title;
    std::span<const MainCommand> commands;
};
std::span<const MainMenu> MainMenuBar();
std::span<const MainCommand> MainToolBar();
// The drive list's right-click menu.
std::span<const MainCommand> DriveContextMenu();
// The event-log pane's own tool bar.
std::span<const MainCommand> EventLogToolBar();

inline constexpr char kDriveListTabText[] = "接続情報";
inline constexpr char kHistoryTabText[] = "アラーム来歴";
inline constexpr char kEventLogPaneTitle[] = "イベントログ";
inline constexpr int kEventLogPaneId = 61204;
inline constexpr int kEventLogPaneWidth = 200;
inline constexpr int kEventLogPaneHeight = 120;
inline constexpr int kIndicatorTimerMs = 200;

// Tool windows that are not part of this build yet answer their command with this.
inline constexpr char kToolWindowUnavailableText[] = "このウィンドウはまだ使用できません";

// The status bar, left of the message pane's free space. Widths are the least each pane gets.
struct StatusPane {
    int id;
    int width;
    const char* toolTip;
};
inline constexpr StatusPane kScanProgressPane{61226, 150, ""};
inline constexpr StatusPane kGraphWatchPane{61359, 100, kGraphWatchPaneText};
inline constexpr StatusPane kCommModePane{61227, 90, "通信モード"};
inline constexpr StatusPane kPortPane{61228, 50, "通信ポート"};
inline constexpr StatusPane kBaudPane{61229, 50, "通信ボーレート"};
inline constexpr StatusPane kIndicatorPane{61230, 50, "通信RX/TXステータス"};

}  // namespace korvane
