#pragma once
// Texts that the main window and several tool windows show alike, kept in one place so that
// they cannot drift apart.

namespace korvane {

// The status pane (and the information sheet's title) while the graph monitor watches.
inline constexpr char kGraphWatchPaneText[] = "グラフ警戒モード";
// Whether a window shows a connected drive or a file's values.
inline constexpr char kOnlinePaneText[] = "ON-LINE";
inline constexpr char kOfflinePaneText[] = "OFF-LINE";

}  // namespace korvane
