#include "paradb/monitor_tables.h"

#include <array>
#include <initializer_list>

#include "paradb/model_tables.h"

namespace korvane {
namespace {

// Elm, Hazel and Kapok drives report the same values at the same addresses.
constexpr MonitorValueDef kStandardValues[] = {
    {"周波数コマンド", 0x0005, 1, 100, 0, 40000, "Hz"},
    {"加速時間", 0x0007, 1, 10, 0, 6000, "sec"},
    {"減速時間", 0x0008, 1, 10, 0, 6000, "sec"},
    {"出力電流", 0x0009, 0, 10, 0, 0, "A"},
    {"出力周波数", 0x000A, 0, 100, 0, 40000, "Hz"},
    {"出力電圧", 0x000B, 0, 1, 0, 0, "V"},
    {"DC-リンク電圧", 0x000C, 0, 1, 0, 0, "V"},
    {"出力電力", 0x000D, 0, 10, 0, 0, "kW"},
    {"V1", 0x0012, 0, 10, 0, 100, "V"},
    {"V2", 0x0013, 0, 10, 0, 100, "V"},
    {"I", 0x0014, 0, 10, 0, 200, "mA"},
    {"RPM", 0x0015, 0, 1, 0, 0, "rpm"},
};
constexpr MonitorBitDef kElmInputs[] = {
    {"FX", 0x0010, 0},  {"RX", 0x0010, 1},  {"BX", 0x0010, 2},  {"RST", 0x0010, 3},
    {"JOG", 0x0010, 4}, {"P1", 0x0010, 8},  {"P2", 0x0010, 9},  {"P3", 0x0010, 10},
    {"P4", 0x0010, 11}, {"P5", 0x0010, 12}, {"P6", 0x0010, 13},
};
constexpr MonitorBitDef kElmOutputs[] = {
    {"Q1(OC1)", 0x0011, 0}, {"Q2(OC2)", 0x0011, 1}, {"Q3(OC3)", 0x0011, 2},
    {"AUX", 0x0011, 3},     {"30AC", 0x0011, 4},
};
constexpr MonitorValueDef kFirValues[] = {
    {"出力電流", 0x0009, 0, 10, 0, 4500, "A"},
    {"出力電圧", 0x000B, 0, 10, 0, 4800, "V"},
    {"DC-リンク電圧", 0x000C, 0, 10, 0, 8200, "V"},
    {"出力電力", 0x000D, 0, 10, 0, 2200, "kW"},
    {"アナログ入力1", 0x0012, 0, 10, -1000, 1000, "%"},
    {"アナログ入力2", 0x0013, 0, 10, -1000, 1000, "%"},
    {"アナログ入力3", 0x0014, 0, 10, -1000, 1000, "%"},
    {"駆動速度フィードバック", 0x0015, 0, 1, 0, 3600, "rpm"},
    {"ターゲット速度コマンド", 0x001D, 0, 1, 0, 3600, "rpm"},
    {"ランプ速度コマンド", 0x001E, 0, 1, 0, 3600, "rpm"},
    {"速度制御入力コマンド", 0x001F, 0, 1, 0, 3600, "rpm"},
    {"RPM", 0x0020, 0, 1, 0, 3600, "rpm"},
    {"トルク基準", 0x0021, 0, 10, 0, 2500, "%"},
    {"トルクフィードバック", 0x0022, 0, 10, 0, 2500, "%"},
    {"負荷電流なし", 0x0023, 0, 10, 0, 1000, "%"},
    {"PID基準", 0x0024, 0, 10, -1000, 1000, "%"},
    {"PID基準フィードバック", 0x0025, 0, 10, -1000, 1000, "%"},
    {"PID出力", 0x0026, 0, 10, -2500, 2500, "%"},
    {"インバータ温度", 0x0027, 0, 1, -10, 130, "deg"},
    {"PRMコマンド", 0x0502, 1, 10, 0, 36000, "rpm"},
    {"加速時間", 0x0503, 1, 10, 0, 6000, "sec"},
    {"減速時間", 0x0504, 1, 10, 0, 6000, "sec"},
    {"トルクコマンド", 0x0505, 1, 10, -1800, 1800, "%"},
    {"順方向トルク限度", 0x0506, 1, 10, -2500, 2500, "%"},
    {"逆方向トルク限度", 0x0507, 1, 10, -2500, 2500, "%"},
    {"復元トルク限度", 0x0508, 1, 10, -2500, 2500, "%"},
    {"トルクバイアス", 0x0509, 1, 10, -1500, 1500, "%"},
    {"負荷電流コマンドなし", 0x050A, 1, 10, 0, 1000, "%"},
    {"PID入力コマンド", 0x050B, 1, 10, -1000, 1000, "%"},
    {"描画入力コマンド", 0x050C, 1, 10, -1000, 1000, "%"},
};
constexpr MonitorBitDef kFirInputs[] = {
    {"FX", 0x0010, 0},  {"RX", 0x0010, 1},  {"BX", 0x0010, 2},  {"RST", 0x0010, 3},
    {"P1", 0x0010, 8},  {"P2", 0x0010, 9},  {"P3", 0x0010, 10}, {"P4", 0x0010, 11},
    {"P5", 0x0010, 12}, {"P6", 0x0010, 13}, {"P7", 0x0010, 14},
};
constexpr MonitorBitDef kFirOutputs[] = {
    {"30A-30C", 0x0011, 0},
    {"1A-1B", 0x0011, 1},
    {"2A-2B", 0x0011, 2},
    {"OC1-EG", 0x0011, 3},
};
constexpr MonitorBitDef kHazelInputs[] = {
    {"FX", 0x0010, 0},  {"RX", 0x0010, 1},  {"EST", 0x0010, 2},
    {"RST", 0x0010, 3}, {"JOG", 0x0010, 4},
};
constexpr MonitorBitDef kHazelOutputs[] = {
    {"Q1(OC1)", 0x0011, 0},
    {"30AC", 0x0011, 1},
};
constexpr MonitorValueDef kIvyValues[] = {
    {"周波数コマンド", 0x0005, 1, 100, 0, 12000, "Hz"},
    {"加速時間", 0x0007, 1, 10, 0, 6000, "sec"},
    {"減速時間", 0x0008, 1, 10, 0, 6000, "sec"},
    {"出力電流", 0x0009, 0, 10, 0, 0, "A"},
    {"出力周波数", 0x000A, 0, 100, 0, 12000, "Hz"},
    {"出力電圧", 0x000B, 0, 1, 0, 0, "V"},
    {"DC-リンク電圧", 0x000C, 0, 1, 0, 0, "V"},
    {"出力電力", 0x000D, 0, 10, 0, 0, "kW"},
    {"V1", 0x0012, 0, 10, 0, 150, "V"},
    {"V2", 0x0013, 0, 10, 0, 150, "V"},
    {"I", 0x0014, 0, 10, 0, 200, "mA"},
    {"RPM", 0x0015, 0, 1, 0, 0, "rpm"},
};
constexpr MonitorBitDef kIvyInputs[] = {
    {"M1", 0x0010, 0}, {"M2", 0x0010, 1}, {"M3", 0x0010, 2},  {"M4", 0x0010, 3},
    {"M5", 0x0010, 4}, {"M6", 0x0010, 5}, {"M7", 0x0010, 6},  {"M8", 0x0010, 7},
    {"P4", 0x0010, 8}, {"P5", 0x0010, 9}, {"P6", 0x0010, 10},
};
constexpr MonitorBitDef kIvyOutputs[] = {
    {"AUX1", 0x0011, 0},    {"AUX2", 0x0011, 1},    {"AUX3", 0x0011, 2},    {"AUX4", 0x0011, 3},
    {"Q1(OC1)", 0x0011, 4}, {"Q2(OC2)", 0x0011, 5}, {"Q3(OC3)", 0x0011, 6}, {"30AC", 0x0011, 7},
};
constexpr MonitorValueDef kJuniperValues[] = {
    {"周波数コマンド", 0x0005, 1, 100, 0, 40000, "Hz"},
    {"加速時間", 0x0007, 1, 10, 0, 6000, "sec"},
    {"減速時間", 0x0008, 1, 10, 0, 6000, "sec"},
    {"出力電流", 0x0009, 0, 10, 0, 0, "A"},
    {"出力周波数", 0x000A, 0, 100, 0, 40000, "Hz"},
    {"出力電圧", 0x000B, 0, 1, 0, 0, "V"},
    {"DC-リンク電圧", 0x000C, 0, 1, 0, 0, "V"},
    {"出力電力", 0x000D, 0, 10, 0, 0, "kW"},
    {"V1", 0x0012, 0, 10, 0, 100, "V"},
    // The Juniper V2 input reads 0..-10 V; the range runs from -10 V up so that a display or
    // chart scaled by it is not inverted and shows the sign.
    {"V2", 0x0013, 0, 10, -100, 0, "V"},
    {"I", 0x0014, 0, 10, 0, 200, "mA"},
    {"RPM", 0x0015, 0, 1, 0, 0, "rpm"},
};
constexpr MonitorBitDef kJuniperInputs[] = {
    {"P1", 0x0010, 0}, {"P2", 0x0010, 1}, {"P3", 0x0010, 2}, {"P4", 0x0010, 3},
    {"P5", 0x0010, 4}, {"P6", 0x0010, 5}, {"P7", 0x0010, 6}, {"P8", 0x0010, 7},
};
constexpr MonitorBitDef kJuniperOutputs[] = {
    {"MO", 0x0011, 4},
    {"3ABC", 0x0011, 7},
};
constexpr MonitorBitDef kKapokInputs[] = {
    {"P1", 0x0010, 0}, {"P2", 0x0010, 1},  {"P3", 0x0010, 2},   {"P4", 0x0010, 3},
    {"P5", 0x0010, 4}, {"P6", 0x0010, 5},  {"P7", 0x0010, 6},   {"P8", 0x0010, 7},
    {"P9", 0x0010, 8}, {"P10", 0x0010, 9}, {"P11", 0x0010, 10},
};
constexpr MonitorBitDef kKapokOutputs[] = {
    {"30AC", 0x0011, 0}, {"AUX", 0x0011, 1}, {"Q1", 0x0011, 2}, {"Q2", 0x0011, 3},
    {"Q3", 0x0011, 4},   {"Q4", 0x0011, 5},  {"Q5", 0x0011, 6},
};
constexpr MonitorBitDef kKapokTrips[] = {
    {"ヒューズ開放 (FO)", 0x0330, 15},
    {"過熱", 0x0330, 14},
    {"アーム不足", 0x0330, 13},
    {"外部トリップ", 0x0330, 12},
    {"過電圧 (OV)", 0x0330, 11},
    {"過電流 (OC)", 0x0330, 10},
    {"NTCトリップ", 0x0330, 9},
    {"過速度偏差", 0x0330, 8},
    {"過速度", 0x0330, 7},
    {"入力段階開放", 0x0330, 6},
    {"出力位相開放", 0x0330, 5},
    {"接地故障 (GF)", 0x0330, 4},
    {"電気モータ過熱 (ETH)", 0x0330, 3},
    {"駆動過負荷 (IOLT)", 0x0330, 2},
    {"アンダーロード", 0x0330, 1},
    {"過負荷トリップ", 0x0330, 0},
    {"スロット3オプションカードトリップ", 0x0331, 12},
    {"スロット2オプションカードトリップ", 0x0331, 11},
    {"スロット1オプションカードトリップ", 0x0331, 10},
    {"モータトリップなし", 0x0331, 9},
    {"外部ブレーキトリップ", 0x0331, 8},
    {"IO基板トリップ", 0x0331, 7},
    {"事前PID故障", 0x0331, 6},
    {"パラメータ書込みのエラー", 0x0331, 5},
    {"FANトリップ", 0x0331, 3},
    {"PTC（熱センサー）トリップ", 0x0331, 2},
    {"エンコーダエラートリップ", 0x0331, 1},
    {"MC故障トリップ", 0x0331, 0},
    {"キーパッド損失コマンド", 0x0332, 3},
    {"損失コマンド", 0x0332, 2},
    {"LV", 0x0332, 1},
    {"BX", 0x0332, 0},
    {"ゲート駆動電力損失", 0x0333, 4},
    {"ウォッチドッグエラー2", 0x0333, 3},
    {"ウォッチドッグエラー1", 0x0333, 2},
    {"EEPROM故障", 0x0333, 1},
    {"ADCエラー", 0x0333, 0},
};
constexpr MonitorValueDef kLarchValues[] = {
    {"周波数コマンド", 0x0005, 1, 100, 0, 40000, "Hz"}, {"加速時間", 0x0007, 1, 10, 0, 6000, "sec"},
    {"減速時間", 0x0008, 1, 10, 0, 6000, "sec"},        {"出力電流", 0x0009, 0, 10, 0, 0, "A"},
    {"出力周波数", 0x000A, 0, 100, 0, 40000, "Hz"},     {"出力電圧", 0x000B, 0, 1, 0, 0, "V"},
    {"DC-リンク電圧", 0x000C, 0, 1, 0, 0, "V"},         {"RPM", 0x0015, 0, 1, 0, 0, "rpm"},
};
constexpr MonitorBitDef kLarchInputs[] = {
    {"P1", 0x0010, 0}, {"P2", 0x0010, 1}, {"P3", 0x0010, 2}, {"P4", 0x0010, 3}, {"P5", 0x0010, 4},
};
constexpr MonitorBitDef kLarchOutputs[] = {
    {"30AC", 0x0011, 7},
};

// A series' changes to a shared trip word: the trip on `bit` named otherwise, or, with no name,
// not reported by that series at all.
struct TripChange {
    std::uint16_t bit;
    std::string_view name;
};

// The rows of `base` with `changes` made, followed by `more`; N is the count the series ends up
// with, so that a change that does not land is a compile error rather than a shorter list.
template <std::size_t N>
constexpr std::array<MonitorBitDef, N> TripWord(std::span<const MonitorBitDef> base,
                                                std::initializer_list<TripChange> changes,
                                                std::span<const MonitorBitDef> more = {}) {
    std::array<MonitorBitDef, N> out{};
    std::size_t n = 0;
    auto add = [&](const MonitorBitDef& row) {
        if (n == N) throw "more trips than the series declares";
        out[n++] = row;
    };
    for (MonitorBitDef row : base) {
        bool reported = true;
        for (const TripChange& change : changes) {
            if (change.bit != row.bit) continue;
            reported = !change.name.empty();
            row.name = change.name;
        }
        if (reported) add(row);
    }
    for (const MonitorBitDef& row : more) add(row);
    if (n != N) throw "fewer trips than the series declares";
    return out;
}

// The first trip word (0x000F) as Elm, Fir and Ivy lay it out.
constexpr MonitorBitDef kTripWord[] = {
    {"過電流 (OCT)", 0x000F, 0},
    {"過電圧 (OV)", 0x000F, 1},
    {"外部-A＜通常開放＞ (EXTA)", 0x000F, 2},
    {"緊急停止 (BX)", 0x000F, 3},
    {"低電圧 (LV)", 0x000F, 4},
    {"ヒューズ開放 (FO)", 0x000F, 5},
    {"接地故障 (GF)", 0x000F, 6},
    {"駆動過熱 (OH)", 0x000F, 7},
    {"電気モータ過熱 (ETH)", 0x000F, 8},
    {"モータ過負荷 (OLT)", 0x000F, 9},
    {"ハードウェア障害 (HW-DIAG)", 0x000F, 10},
    {"外部-B＜通常閉鎖＞ (EXTB)", 0x000F, 11},
    {"アーム不足 (OCT2)", 0x000F, 12},
    {"通信カードトリップ (OPT)", 0x000F, 13},
    {"出力位相開放 (PO)", 0x000F, 14},
    {"駆動過負荷 (IOLT)", 0x000F, 15},
};
// Hazel, Juniper and Larch moved low voltage to the top bit and the trips after it down.
constexpr MonitorBitDef kMovedTripWord[] = {
    {"過電流 (OCT)", 0x000F, 0},
    {"過電圧 (OV)", 0x000F, 1},
    {"外部-A＜通常開放＞ (EXTA)", 0x000F, 2},
    {"緊急停止 (BX)", 0x000F, 3},
    {"入力段階開放 (COL)", 0x000F, 4},
    {"接地故障 (GF)", 0x000F, 5},
    {"駆動過熱 (OH)", 0x000F, 6},
    {"電気モータ過熱 (ETH)", 0x000F, 7},
    {"モータ過負荷 (OLT)", 0x000F, 8},
    {"ハードウェア障害 (HW-DIAG)", 0x000F, 9},
    {"外部-B＜通常閉鎖＞ (EXTB)", 0x000F, 10},
    {"EEPROM故障 (EEP)", 0x000F, 11},
    {"ファン故障 (FAN)", 0x000F, 12},
    {"アウト位相開放 (PO)", 0x000F, 13},
    {"駆動過負荷 (IOLT)", 0x000F, 14},
    {"低電圧 (LV)", 0x000F, 15},
};
constexpr MonitorBitDef kJuniperSecondTripWord[] = {
    {"ローダ故障 (COM)", 0x001D, 0},
    {"自己診断故障 (FLTL)", 0x001D, 1},
    {"駆動NTC開放 (NTC)", 0x001D, 2},
    {"コピー装置故障 (REEP)", 0x001D, 3},
};

constexpr auto kFirTrips = TripWord<15>(
    kTripWord, {{0, "過電流 (OCT1)"}, {2, {}}, {7, "駆動過熱(OH)"}, {9, "モータ過負荷 (IOLT)"}});
constexpr auto kIvyTrips = TripWord<14>(kTripWord, {{5, {}}, {11, {}}});
constexpr auto kHazelTrips =
    TripWord<16>(kMovedTripWord, {{0, "過電流 (OCT1)"}, {4, "通信カードトリップ (OPT)"}});
constexpr auto kJuniperTrips = TripWord<20>(kMovedTripWord, {}, kJuniperSecondTripWord);
constexpr auto kLarchTrips = TripWord<15>(
    kMovedTripWord, {{3, "緊急停止 (EST)"}, {7, "グランド電流トリップ (GCT)"}, {12, {}}});

constexpr std::array<SeriesMonitorTables, 7> kSeriesTables = {{
    {kSeriesElm, kStandardValues, kElmInputs, kElmOutputs, kTripWord, {}},
    {kSeriesFir, kFirValues, kFirInputs, kFirOutputs, kFirTrips, {}},
    {kSeriesHazel, kStandardValues, kHazelInputs, kHazelOutputs, kHazelTrips, {}},
    {kSeriesIvy, kIvyValues, kIvyInputs, kIvyOutputs, kIvyTrips, {}},
    // Firmware before the second trip word knows only the first word's sixteen trips.
    {kSeriesJuniper, kJuniperValues, kJuniperInputs, kJuniperOutputs, kJuniperTrips,
     std::span<const MonitorBitDef>(kJuniperTrips).first(16)},
    {kSeriesKapok, kStandardValues, kKapokInputs, kKapokOutputs, kKapokTrips, {}},
    {kSeriesLarch, kLarchValues, kLarchInputs, kLarchOutputs, kLarchTrips, {}},
}};

}  // namespace

const SeriesMonitorTables* FindMonitorTables(int seriesCode) {
    for (const SeriesMonitorTables& tables : kSeriesTables) {
        if (tables.seriesCode == seriesCode) return &tables;
    }
    return nullptr;
}

std::span<const MonitorBitDef> TripListFor(const SeriesMonitorTables& tables, int version) {
    if (!tables.tripsBeforeSecondWord.empty() && version < kJuniperSecondTripWordVersion) {
        return tables.tripsBeforeSecondWord;
    }
    return tables.trips;
}

}  // namespace korvane
