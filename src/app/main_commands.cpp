#include "app/main_commands.h"

#include <algorithm>

namespace korvane {

namespace {

constexpr std::array<MainCommandText, 17> kCommandTexts{{
    {kCmdConnect, "接続...", "インバータを検索して接続します"},
    {kCmdStopScan, "検索停止", "インバータの検索を停止します"},
    {kCmdRefresh, "リフレッシュ", "一覧のインバータをもう一度検索します"},
    {kCmdReconnect, "再接続", "選択したインバータをもう一度検索します"},
    {kCmdDisconnect, "切断", "選択したインバータを切断します"},
    {kCmdInformation, "インバータ情報", "選択したインバータの情報を表示します"},
    {kCmdKeypad, "キーパッド\tF6", "キーパッド"},
    {kCmdOnlineEditor, "オンラインパラメータエディタ\tF7", "オンラインパラメータエディタ"},
    {kCmdOfflineEditor, "オフラインパラメータエディタ", "オフラインパラメータエディタ"},
    {kCmdGraphMonitor, "グラフモニタ\tF8", "グラフモニタ"},
    {kCmdPortSetup, "通信設定...", "通信ポートと通信モードを設定します"},
    {kCmdClearHistory, "アラーム来歴消去", "全てのアラーム来歴を消去します"},
    {kCmdStartLog, "イベントログ開始", "イベントログの記録を開始します"},
    {kCmdStopLog, "イベントログ停止", "イベントログの記録を停止します"},
    {kCmdLogFilePath, "イベントログファイルパス...", "イベントログファイルを変更します"},
    {kCmdFaultFilePath, "アラーム来歴ファイルパス...", "アラーム来歴ファイルを変更します"},
    {kCmdExit, "終了", "アプリケーションを終了します"},
}};

constexpr MainCommand kFileMenu[] = {kCmdPortSetup,   kCmdNone, kCmdFaultFilePath,
                                     kCmdLogFilePath, kCmdNone, kCmdExit};
constexpr MainCommand kConnectMenu[] = {kCmdConnect, kCmdStopScan,  kCmdRefresh,
                                        kCmdNone,    kCmdReconnect, kCmdDisconnect};
constexpr MainCommand kToolMenu[] = {kCmdInformation, kCmdKeypad, kCmdOnlineEditor,
                                     kCmdOfflineEditor, kCmdGraphMonitor};
constexpr MainCommand kLogMenu[] = {kCmdStartLog, kCmdStopLog, kCmdNone, kCmdClearHistory};

constexpr std::array<MainMenu, 4> kMenuBar{{
    {"ファイル(&F)", kFileMenu},
    {"接続(&C)", kConnectMenu},
    {"ツール(&T)", kToolMenu},
    {"ログ(&L)", kLogMenu},
}};

constexpr MainCommand kToolBar[] = {
    kCmdConnect,      kCmdStopScan,      kCmdRefresh,      kCmdNone, kCmdInformation, kCmdKeypad,
    kCmdOnlineEditor, kCmdOfflineEditor, kCmdGraphMonitor, kCmdNone, kCmdPortSetup};

constexpr MainCommand kContextMenu[] = {kCmdReconnect, kCmdDisconnect,   kCmdNone,
                                        kCmdKeypad,    kCmdOnlineEditor, kCmdGraphMonitor};

constexpr MainCommand kLogToolBar[] = {kCmdStartLog, kCmdStopLog};

}  // namespace

const MainCommandText* FindMainCommand(int id) {
    auto it = std::find_if(kCommandTexts.begin(), kCommandTexts.end(),
                           [id](const MainCommandText& c) { return c.id == id; });
    return it == kCommandTexts.end() ? nullptr : &*it;
}

std::span<const MainMenu> MainMenuBar() {
    return kMenuBar;
}
std::span<const MainCommand> MainToolBar() {
    return kToolBar;
}
std::span<const MainCommand> DriveContextMenu() {
    return kContextMenu;
}
std::span<const MainCommand> EventLogToolBar() {
    return kLogToolBar;
}

}  // namespace korvane
