#pragma once
// Built-in knowledge of the drive family that no data file carries: series names, capacity and
// version texts, and the run-status text. Every code here comes from the drive and is untrusted;
// a code outside a table gives the "unknown" word, never a read past the table.
#include <string>

namespace korvane {

constexpr int kSeriesCodeCount = 14;

// Series codes whose drives have data files and monitor lists.
constexpr int kSeriesElm = 4;
constexpr int kSeriesFir = 5;
constexpr int kSeriesGum = 7;
constexpr int kSeriesHazel = 8;
constexpr int kSeriesIvy = 9;
constexpr int kSeriesJuniper = 10;
constexpr int kSeriesKapok = 11;
constexpr int kSeriesLarch = 13;

// Indexes of the general words the drive list shows.
enum GeneralWordIndex : int {
    kWordUnknown = 0,
    kWordNoConnection = 1,
    kWordNotSupported = 2,
};

// The series name for codes 0..13, else the unknown word.
std::string SeriesName(int seriesCode);

// "未知", "接続なし", "サポートなし"; any other index gives "未知".
std::string GeneralWord(int index);

// The capacity text with its voltage-class suffix ("5.5kW-4"); the unknown word carries no
// suffix. `inputVoltageCode` nonzero means the 400 V class.
std::string CapacityText(int seriesCode, int version, int capacityCode, int inputVoltageCode);

// The software version as the series shows it ("3.18", "1.2"); unknown series give "未知".
std::string VersionText(int seriesCode, int version);

// The run state of the status word, with the ramp or braking state appended when not tripped.
std::string StatusText(int seriesCode, int statusWord);

}  // namespace korvane
