#pragma once
// The port setup dialog without its widgets: the fixed choice lists, the texts, the form's
// values as the dialog shows them, and the check made on OK. A widget renders a PortSetupForm
// and hands it back; nothing here knows how it is drawn.
#include <array>
#include <string>
#include <vector>

#include "host/settings.h"

namespace korvane {

inline constexpr char kPortSetupCaption[] = "通信ポストセットアップ";
inline constexpr char kProtocolModeLabel[] = "プロトコルモード";
inline constexpr char kCommPortLabel[] = "通信ポート";
inline constexpr char kBaudRateLabel[] = "通信速度";
inline constexpr char kBaudRateUnit[] = "BPS";
inline constexpr char kDataBitsLabel[] = "データビット";
inline constexpr char kParityLabel[] = "パリティビット";
inline constexpr char kStopBitsLabel[] = "停止ビット";
inline constexpr char kTimeOutLabel[] = "タイムアウト";
inline constexpr char kTimeOutUnit[] = "msec";
inline constexpr char kRetryLabel[] = "再試行番号";
inline constexpr char kTxEnableLabel[] = "RS485 TXイネーブル制御";
inline constexpr char kTxAutomaticChoice[] = "自動モード";
inline constexpr char kTxRtsChoice[] = "RTSモード";
inline constexpr char kFastPacingLabel[] = "高速通信（応答後すぐに次の要求を送信する）";
inline constexpr char kPortSetupNote[] =
    "適切な動作のために、通信ポートと、ネットワーク環境への動作モード適合をセットアップしてくださ"
    "い";
inline constexpr char kProtocolNoteHeading[] = "[ [ プロトコルモード選択時の注意 ] ]";
inline constexpr char kProtocolNote[] =
    "MODBUS-RTUモード選択時、監視速度はＲＳ485モードよりも遅くなります。したがって、ＲＳ485モード"
    "の方がMODBUS-RTUモードよりも好ましくなります。";

inline constexpr std::array<const char*, 2> kProtocolModeChoices{"MODBUS-RTU", "TK485"};
inline constexpr std::array<unsigned, 6> kBaudRateChoices{1200, 2400, 4800, 9600, 19200, 38400};
inline constexpr std::array<unsigned, 4> kDataBitsChoices{5, 6, 7, 8};
inline constexpr std::array<const char*, 5> kParityChoices{"None", "Odd", "Even", "Mark", "Space"};
inline constexpr std::array<const char*, 3> kStopBitsChoices{"1", "1.5", "2"};
inline constexpr std::array<unsigned, 4> kRetryChoices{2, 3, 4, 5};
inline constexpr std::array<const char*, 2> kTxLevelChoices{"アクティブ高", "アクティブ低"};
inline constexpr int kTimeOutMaxChars = 4;

// The port field's hint: what may be typed there besides the listed names, this system's
// port names on the first line, the network forms on the second.
std::string PortFieldHint();

// Shown when the drive link cannot open the configured port.
std::string PortOpenFailedText(const std::string& port);

// Every field as a list index, except the port (a name, or a typed device path) and the
// time-out (the edit's text).
struct PortSetupForm {
    int protocolIndex = 1;
    std::string port;
    int baudRateIndex = 3;
    int dataBitsIndex = 3;
    int parityIndex = 0;
    int stopBitsIndex = 0;
    std::string timeOutText;
    int retryIndex = 1;
    bool automaticTx = true;
    int txLevelIndex = 0;
    bool fastPacing = false;
    // Network addresses used before, offered beside the enumerated ports.
    std::vector<std::string> recentAddresses;

    // The level only matters when the program drives RTS itself.
    bool txLevelEnabled() const { return !automaticTx; }
    // Baud rate and framing belong to the server behind a raw TCP port or a MODBUS TCP
    // gateway; a local port and an RFC 2217 server take them from here.
    bool framingEnabled() const;
    // TK485 cannot travel in MODBUS TCP frames.
    bool tk485Offered() const;
};

// Why the port field cannot be taken with this protocol; "" when it can.
std::string CheckPortName(const std::string& port, int protocolIndex);

// The form as the dialog opens: a current value missing from a list shows as that list's
// default entry; a port that is no longer offered shows as the first one offered.
PortSetupForm MakePortSetupForm(const AppSettings& settings, const PortNameList& ports);

// A number typed into an edit field, checked when the dialog is closed with OK.
struct NumberCheck {
    bool ok = false;
    unsigned value = 0;
    std::string message;  // why the text was refused
};
NumberCheck CheckNumberText(const std::string& text, unsigned min, unsigned max);

using TimeOutCheck = NumberCheck;
TimeOutCheck CheckTimeOutText(const std::string& text);

struct PortSetupOutcome {
    bool accepted = false;  // false: show message (caption kAppTitle) and keep the dialog open
    std::string message;
};
// On OK: a refused form leaves settings untouched.
[[nodiscard]] PortSetupOutcome ApplyPortSetupForm(const PortSetupForm& form, AppSettings& settings);

}  // namespace korvane
