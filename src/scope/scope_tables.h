#pragma once
// The graph monitor's fixed tables. Settings and scope files store indexes into them, so their
// order never changes.
#include <array>
#include <cstdint>
#include <string>

namespace korvane::scope {

constexpr int kChannelCount = 4;

constexpr std::array<int, 16> kTimeSpanSeconds = {10,  20,  30,  40,   50,   60,   120,  180,
                                                  240, 300, 600, 1200, 1800, 2400, 3000, 3600};
// Periods in milliseconds; the shortest scan is a tenth of a second.
constexpr std::array<int, 8> kScanPeriodMs = {100, 200, 500, 1000, 2000, 3000, 4000, 5000};
constexpr std::array<int, 19> kRecordPeriodSeconds = {
    1, 2, 5, 10, 20, 30, 40, 50, 60, 120, 180, 240, 300, 600, 1200, 1800, 2400, 3000, 3600};
constexpr std::array<double, 17> kOffsetTable = {100, 50, 40,  30,  20,  10,  5,   1,   0,
                                                 -1,  -5, -10, -20, -30, -40, -50, -100};
constexpr std::array<double, 15> kDivTable = {0.01, 0.02, 0.05, 0.1, 0.5, 1,   2,   5,
                                              10,   20,   50,   100, 200, 500, 1000};
constexpr std::array<int, 4> kLineWidths = {1, 2, 3, 4};

// Defaults of the stored indexes.
constexpr int kDefaultTimeSpan = 5;    // 60 s
constexpr int kDefaultScanTime = 3;    // 1 s
constexpr int kDefaultRecordTime = 2;  // 5 s
constexpr int kDefaultOffset = 8;      // 0
constexpr int kDefaultDiv = 5;         // 1

constexpr std::uint16_t kNoAddress = 0xFFFF;

// The index when it lies in [0, size), else the fallback: what the settings store and a scope
// file may hold is never trusted to index a table.
template <typename Table>
int ClampIndex(long long index, const Table& table, int fallback) {
    return index >= 0 && index < static_cast<long long>(table.size()) ? static_cast<int>(index)
                                                                      : fallback;
}

inline double OffsetValue(int index) {
    return kOffsetTable[static_cast<std::size_t>(ClampIndex(index, kOffsetTable, kDefaultOffset))];
}
inline double DivValue(int index) {
    return kDivTable[static_cast<std::size_t>(ClampIndex(index, kDivTable, kDefaultDiv))];
}
inline int TimeSpanSeconds(int index) {
    return kTimeSpanSeconds[static_cast<std::size_t>(
        ClampIndex(index, kTimeSpanSeconds, kDefaultTimeSpan))];
}
inline int ScanPeriodMs(int index) {
    return kScanPeriodMs[static_cast<std::size_t>(
        ClampIndex(index, kScanPeriodMs, kDefaultScanTime))];
}
inline int RecordPeriodMs(int index) {
    return 1000 * kRecordPeriodSeconds[static_cast<std::size_t>(
                      ClampIndex(index, kRecordPeriodSeconds, kDefaultRecordTime))];
}

// Windows colour words, 0x00BBGGRR, as the settings store keeps them.
constexpr std::uint32_t Rgb(int r, int g, int b) {
    return static_cast<std::uint32_t>(r) | (static_cast<std::uint32_t>(g) << 8) |
           (static_cast<std::uint32_t>(b) << 16);
}
constexpr int RedOf(std::uint32_t c) {
    return static_cast<int>(c & 0xFF);
}
constexpr int GreenOf(std::uint32_t c) {
    return static_cast<int>((c >> 8) & 0xFF);
}
constexpr int BlueOf(std::uint32_t c) {
    return static_cast<int>((c >> 16) & 0xFF);
}

constexpr std::array<std::uint32_t, kChannelCount> kDefaultChannelColours = {
    Rgb(231, 255, 181), Rgb(148, 255, 222), Rgb(255, 105, 255), Rgb(214, 215, 214)};

// Picture formats by the snapshot dialog's filter index. The vector format stands where a
// Windows build writes a metafile; PNG comes last so stored indexes keep their meaning.
enum class ImageFormat : int { kVector = 1, kJpeg = 2, kBmp = 3, kPng = 4 };
constexpr int kLastImageFilter = 4;
inline const char* ImageExtension(ImageFormat format) {
    switch (format) {
        case ImageFormat::kVector:
            return "svg";
        case ImageFormat::kJpeg:
            return "jpg";
        case ImageFormat::kBmp:
            return "bmp";
        case ImageFormat::kPng:
            return "png";
    }
    return "bmp";
}

// Chart modes as the chart numbers them.
enum class ChartMode : int { kNormal = 0, kScroll = 3, kCursor = 4, kZoom = 8 };

// Message ids and their texts; every message box carries the caption kCaption.
inline constexpr char kCaption[] = "Graph Monitor";
// A line of the question asked when the program closes while a recording runs.
inline constexpr char kRecordingOnCloseText[] = "グラフモニタは記録中です";
inline constexpr char kMsgRecordOpen[] = "レコードファイルを開くことができません";  // 61275
inline constexpr char kMsgRecordWrite[] =
    "レコードファイルにデータを書き込むことができません";                           // 61276
inline constexpr char kMsgTriggerLevel[] = "トリガレベルデータ入力が誤っています";  // 61277
inline constexpr char kMsgTriggerChannel[] =
    "選択されたトリガチャネルが監視のために活性化されていません";  // 61278
inline constexpr char kMsgNoChannel[] =
    "1つまたは複数の監視するためのチャネルを選択します";  // 61279
inline constexpr char kMsgGraphWatch[] =
    "グラフ監視モードでは、モニタ開始時にメインウィンドウキーパッドとパラメータエディタでオンラ"
    "イ"
    "\nンアクションとデータ監視アクションは起動されません。\n\nグラフ監視モードを使用しますか"
    "？";                                                                              // 61360
inline constexpr char kMsgScoOpenFailed[] = "範囲ファイルを開くことができません";      // 61271
inline constexpr char kMsgScoOpened[] = "範囲ファイルを無事に開きます";                // 61272
inline constexpr char kMsgScoSaveFailed[] = "範囲ファイルを保存することができません";  // 61273
inline constexpr char kMsgScoSaved[] = "範囲ファイルを無事に保存します";               // 61274
// A snapshot that could not be written is reported rather than lost without a word.
inline constexpr char kMsgSnapshotFailed[] = "スナップショットを保存することができません";

// Status pane texts and colours.
inline constexpr char kStatusTriggered[] = "発生したトリガ !!!";
inline constexpr char kStatusRecording[] = "記録...";

}  // namespace korvane::scope
