#include "paradb/monitor_list.h"

#include <gtest/gtest.h>

#include <climits>
#include <regex>
#include <string>
#include <vector>

namespace korvane {
namespace {

// The expected lists are kept in the form the drive documentation prints them: value rows
// "| name | address | writable | divisor | minimum | maximum | unit |" and bit items
// "name" <hex address>h.<bit>, so a single changed character in the tables shows up.
std::vector<MonitorItem> parseValueRows(const std::string& text) {
    static const std::regex row(
        R"re(\| "([^"]*)" \| 0x([0-9A-F]{4}) \| (\d+) \| (\d+) \| (-?\d+) \| (-?\d+) \| "([^"]*)" \|)re");
    std::vector<MonitorItem> items;
    for (auto it = std::sregex_iterator(text.begin(), text.end(), row);
         it != std::sregex_iterator(); ++it) {
        const std::smatch& m = *it;
        MonitorItem item;
        item.name = m[1];
        item.address = static_cast<std::uint16_t>(std::stoi(m[2], nullptr, 16));
        item.writable = std::stoi(m[3]);
        item.divisor = std::stoi(m[4]);
        item.minimum = std::stoi(m[5]);
        item.maximum = std::stoi(m[6]);
        item.unit = m[7];
        items.push_back(item);
    }
    return items;
}

std::vector<MonitorItem> parseBitItems(const std::string& text) {
    static const std::regex entry(R"re("([^"]*)" ([0-9A-F]+)h\.(\d+))re");
    std::vector<MonitorItem> items;
    for (auto it = std::sregex_iterator(text.begin(), text.end(), entry);
         it != std::sregex_iterator(); ++it) {
        const std::smatch& m = *it;
        MonitorItem item;
        item.name = m[1];
        item.address = static_cast<std::uint16_t>(std::stoi(m[2], nullptr, 16));
        item.bitItem = 1;
        item.bit = static_cast<std::uint16_t>(std::stoi(m[3]));
        items.push_back(item);
    }
    return items;
}

std::size_t countOf(const std::string& text, const std::string& what) {
    std::size_t n = 0;
    for (auto pos = text.find(what); pos != std::string::npos; pos = text.find(what, pos + 1)) ++n;
    return n;
}

// Guards the parsers themselves: a row they skip would go untested.
std::vector<MonitorItem> values(const std::string& text) {
    auto items = parseValueRows(text);
    EXPECT_EQ(items.size(), countOf(text, "\n") + 1);
    return items;
}

std::vector<MonitorItem> bits(const std::string& text) {
    auto items = parseBitItems(text);
    EXPECT_EQ(items.size() * 2, countOf(text, "\""));
    return items;
}

std::vector<MonitorItem> build(int series, int version, int kind) {
    std::vector<MonitorItem> items;
    const std::size_t appended = BuildMonitorList(series, version, kind, items);
    EXPECT_EQ(appended, items.size());
    return items;
}

std::vector<std::string> names(const std::vector<MonitorItem>& items) {
    std::vector<std::string> out;
    for (const auto& item : items) out.push_back(item.name);
    return out;
}

struct SeriesLists {
    int series;
    int version;
    const char* values;
    const char* inputs;
    const char* outputs;
    const char* trips;
};

const SeriesLists kLists[] =
    {
        {4, 0x0100,
         R"doc(| "周波数コマンド" | 0x0005 | 1 | 100 | 0 | 40000 | "Hz" |
| "加速時間" | 0x0007 | 1 | 10 | 0 | 6000 | "sec" |
| "減速時間" | 0x0008 | 1 | 10 | 0 | 6000 | "sec" |
| "出力電流" | 0x0009 | 0 | 10 | 0 | 0 | "A" |
| "出力周波数" | 0x000A | 0 | 100 | 0 | 40000 | "Hz" |
| "出力電圧" | 0x000B | 0 | 1 | 0 | 0 | "V" |
| "DC-リンク電圧" | 0x000C | 0 | 1 | 0 | 0 | "V" |
| "出力電力" | 0x000D | 0 | 10 | 0 | 0 | "kW" |
| "V1" | 0x0012 | 0 | 10 | 0 | 100 | "V" |
| "V2" | 0x0013 | 0 | 10 | 0 | 100 | "V" |
| "I" | 0x0014 | 0 | 10 | 0 | 200 | "mA" |
| "RPM" | 0x0015 | 0 | 1 | 0 | 0 | "rpm" |)doc",
         R"doc("FX" 10h.0, "RX" 10h.1, "BX" 10h.2, "RST" 10h.3, "JOG" 10h.4, "P1" 10h.8, "P2" 10h.9, "P3" 10h.10, "P4" 10h.11, "P5" 10h.12, "P6" 10h.13.)doc",
         R"doc("Q1(OC1)" 11h.0, "Q2(OC2)" 11h.1, "Q3(OC3)" 11h.2, "AUX" 11h.3, "30AC" 11h.4.)doc",
         R"doc("過電流 (OCT)" Fh.0, "過電圧 (OV)" Fh.1, "外部-A＜通常開放＞ (EXTA)" Fh.2, "緊急停止 (BX)" Fh.3, "低電圧 (LV)" Fh.4, "ヒューズ開放 (FO)" Fh.5, "接地故障 (GF)" Fh.6, "駆動過熱 (OH)" Fh.7, "電気モータ過熱 (ETH)" Fh.8, "モータ過負荷 (OLT)" Fh.9, "ハードウェア障害 (HW-DIAG)" Fh.10, "外部-B＜通常閉鎖＞ (EXTB)" Fh.11, "アーム不足 (OCT2)" Fh.12, "通信カードトリップ (OPT)" Fh.13, "出力位相開放 (PO)" Fh.14, "駆動過負荷 (IOLT)" Fh.15.)doc"},
        {5, 0x0100,
         R"doc(| "出力電流" | 0x0009 | 0 | 10 | 0 | 4500 | "A" |
| "出力電圧" | 0x000B | 0 | 10 | 0 | 4800 | "V" |
| "DC-リンク電圧" | 0x000C | 0 | 10 | 0 | 8200 | "V" |
| "出力電力" | 0x000D | 0 | 10 | 0 | 2200 | "kW" |
| "アナログ入力1" | 0x0012 | 0 | 10 | -1000 | 1000 | "%" |
| "アナログ入力2" | 0x0013 | 0 | 10 | -1000 | 1000 | "%" |
| "アナログ入力3" | 0x0014 | 0 | 10 | -1000 | 1000 | "%" |
| "駆動速度フィードバック" | 0x0015 | 0 | 1 | 0 | 3600 | "rpm" |
| "ターゲット速度コマンド" | 0x001D | 0 | 1 | 0 | 3600 | "rpm" |
| "ランプ速度コマンド" | 0x001E | 0 | 1 | 0 | 3600 | "rpm" |
| "速度制御入力コマンド" | 0x001F | 0 | 1 | 0 | 3600 | "rpm" |
| "RPM" | 0x0020 | 0 | 1 | 0 | 3600 | "rpm" |
| "トルク基準" | 0x0021 | 0 | 10 | 0 | 2500 | "%" |
| "トルクフィードバック" | 0x0022 | 0 | 10 | 0 | 2500 | "%" |
| "負荷電流なし" | 0x0023 | 0 | 10 | 0 | 1000 | "%" |
| "PID基準" | 0x0024 | 0 | 10 | -1000 | 1000 | "%" |
| "PID基準フィードバック" | 0x0025 | 0 | 10 | -1000 | 1000 | "%" |
| "PID出力" | 0x0026 | 0 | 10 | -2500 | 2500 | "%" |
| "インバータ温度" | 0x0027 | 0 | 1 | -10 | 130 | "deg" |
| "PRMコマンド" | 0x0502 | 1 | 10 | 0 | 36000 | "rpm" |
| "加速時間" | 0x0503 | 1 | 10 | 0 | 6000 | "sec" |
| "減速時間" | 0x0504 | 1 | 10 | 0 | 6000 | "sec" |
| "トルクコマンド" | 0x0505 | 1 | 10 | -1800 | 1800 | "%" |
| "順方向トルク限度" | 0x0506 | 1 | 10 | -2500 | 2500 | "%" |
| "逆方向トルク限度" | 0x0507 | 1 | 10 | -2500 | 2500 | "%" |
| "復元トルク限度" | 0x0508 | 1 | 10 | -2500 | 2500 | "%" |
| "トルクバイアス" | 0x0509 | 1 | 10 | -1500 | 1500 | "%" |
| "負荷電流コマンドなし" | 0x050A | 1 | 10 | 0 | 1000 | "%" |
| "PID入力コマンド" | 0x050B | 1 | 10 | -1000 | 1000 | "%" |
| "描画入力コマンド" | 0x050C | 1 | 10 | -1000 | 1000 | "%" |)doc",
         R"doc("FX" 10h.0, "RX" 10h.1, "BX" 10h.2, "RST" 10h.3, "P1" 10h.8, "P2" 10h.9, "P3" 10h.10, "P4" 10h.11, "P5" 10h.12, "P6" 10h.13, "P7" 10h.14.)doc",
         R"doc("30A-30C" 11h.0, "1A-1B" 11h.1, "2A-2B" 11h.2, "OC1-EG" 11h.3.)doc",
         R"doc("過電流 (OCT1)" Fh.0, "過電圧 (OV)" Fh.1, "緊急停止 (BX)" Fh.3, "低電圧 (LV)" Fh.4, "ヒューズ開放 (FO)" Fh.5, "接地故障 (GF)" Fh.6, "駆動過熱(OH)" Fh.7, "電気モータ過熱 (ETH)" Fh.8, "モータ過負荷 (IOLT)" Fh.9, "ハードウェア障害 (HW-DIAG)" Fh.10, "外部-B＜通常閉鎖＞ (EXTB)" Fh.11, "アーム不足 (OCT2)" Fh.12, "通信カードトリップ (OPT)" Fh.13, "出力位相開放 (PO)" Fh.14, "駆動過負荷 (IOLT)" Fh.15.)doc"},
        {8, 0x0100,
         R"doc(| "周波数コマンド" | 0x0005 | 1 | 100 | 0 | 40000 | "Hz" |
| "加速時間" | 0x0007 | 1 | 10 | 0 | 6000 | "sec" |
| "減速時間" | 0x0008 | 1 | 10 | 0 | 6000 | "sec" |
| "出力電流" | 0x0009 | 0 | 10 | 0 | 0 | "A" |
| "出力周波数" | 0x000A | 0 | 100 | 0 | 40000 | "Hz" |
| "出力電圧" | 0x000B | 0 | 1 | 0 | 0 | "V" |
| "DC-リンク電圧" | 0x000C | 0 | 1 | 0 | 0 | "V" |
| "出力電力" | 0x000D | 0 | 10 | 0 | 0 | "kW" |
| "V1" | 0x0012 | 0 | 10 | 0 | 100 | "V" |
| "V2" | 0x0013 | 0 | 10 | 0 | 100 | "V" |
| "I" | 0x0014 | 0 | 10 | 0 | 200 | "mA" |
| "RPM" | 0x0015 | 0 | 1 | 0 | 0 | "rpm" |)doc",
         R"doc("FX" 10h.0, "RX" 10h.1, "EST" 10h.2, "RST" 10h.3, "JOG" 10h.4.)doc",
         R"doc("Q1(OC1)" 11h.0, "30AC" 11h.1.)doc",
         R"doc("過電流 (OCT1)" Fh.0, "過電圧 (OV)" Fh.1, "外部-A＜通常開放＞ (EXTA)" Fh.2, "緊急停止 (BX)" Fh.3, "通信カードトリップ (OPT)" Fh.4, "接地故障 (GF)" Fh.5, "駆動過熱 (OH)" Fh.6, "電気モータ過熱 (ETH)" Fh.7, "モータ過負荷 (OLT)" Fh.8, "ハードウェア障害 (HW-DIAG)" Fh.9, "外部-B＜通常閉鎖＞ (EXTB)" Fh.10, "EEPROM故障 (EEP)" Fh.11, "ファン故障 (FAN)" Fh.12, "アウト位相開放 (PO)" Fh.13, "駆動過負荷 (IOLT)" Fh.14, "低電圧 (LV)" Fh.15.)doc"},
        {9, 0x0100,
         R"doc(| "周波数コマンド" | 0x0005 | 1 | 100 | 0 | 12000 | "Hz" |
| "加速時間" | 0x0007 | 1 | 10 | 0 | 6000 | "sec" |
| "減速時間" | 0x0008 | 1 | 10 | 0 | 6000 | "sec" |
| "出力電流" | 0x0009 | 0 | 10 | 0 | 0 | "A" |
| "出力周波数" | 0x000A | 0 | 100 | 0 | 12000 | "Hz" |
| "出力電圧" | 0x000B | 0 | 1 | 0 | 0 | "V" |
| "DC-リンク電圧" | 0x000C | 0 | 1 | 0 | 0 | "V" |
| "出力電力" | 0x000D | 0 | 10 | 0 | 0 | "kW" |
| "V1" | 0x0012 | 0 | 10 | 0 | 150 | "V" |
| "V2" | 0x0013 | 0 | 10 | 0 | 150 | "V" |
| "I" | 0x0014 | 0 | 10 | 0 | 200 | "mA" |
| "RPM" | 0x0015 | 0 | 1 | 0 | 0 | "rpm" |)doc",
         R"doc("M1" 10h.0, "M2" 10h.1, "M3" 10h.2, "M4" 10h.3, "M5" 10h.4, "M6" 10h.5, "M7" 10h.6, "M8" 10h.7, "P4" 10h.8, "P5" 10h.9, "P6" 10h.10.)doc", R"doc("AUX1" 11h.0, "AUX2" 11h.1, "AUX3" 11h.2, "AUX4" 11h.3, "Q1(OC1)" 11h.4, "Q2(OC2)" 11h.5, "Q3(OC3)" 11h.6, "30AC" 11h.7.)doc", R"doc("過電流 (OCT)" Fh.0, "過電圧 (OV)" Fh.1, "外部-A＜通常開放＞ (EXTA)" Fh.2, "緊急停止 (BX)" Fh.3, "低電圧 (LV)" Fh.4, "接地故障 (GF)" Fh.6, "駆動過熱 (OH)" Fh.7, "電気モータ過熱 (ETH)" Fh.8, "モータ過負荷 (OLT)" Fh.9, "ハードウェア障害 (HW-DIAG)" Fh.10, "アーム不足 (OCT2)" Fh.12, "通信カードトリップ (OPT)" Fh.13, "出力位相開放 (PO)" Fh.14, "駆動過負荷 (IOLT)" Fh.15.)doc"},
        // The Juniper V2 row runs from -100 up to 0: the input reads 0..-10 V, and the range as
        // first written (minimum 0, maximum -100) was inverted.
        {10, 0x0015,
         R"doc(| "周波数コマンド" | 0x0005 | 1 | 100 | 0 | 40000 | "Hz" |
| "加速時間" | 0x0007 | 1 | 10 | 0 | 6000 | "sec" |
| "減速時間" | 0x0008 | 1 | 10 | 0 | 6000 | "sec" |
| "出力電流" | 0x0009 | 0 | 10 | 0 | 0 | "A" |
| "出力周波数" | 0x000A | 0 | 100 | 0 | 40000 | "Hz" |
| "出力電圧" | 0x000B | 0 | 1 | 0 | 0 | "V" |
| "DC-リンク電圧" | 0x000C | 0 | 1 | 0 | 0 | "V" |
| "出力電力" | 0x000D | 0 | 10 | 0 | 0 | "kW" |
| "V1" | 0x0012 | 0 | 10 | 0 | 100 | "V" |
| "V2" | 0x0013 | 0 | 10 | -100 | 0 | "V" |
| "I" | 0x0014 | 0 | 10 | 0 | 200 | "mA" |
| "RPM" | 0x0015 | 0 | 1 | 0 | 0 | "rpm" |)doc",
         R"doc("P1" 10h.0, "P2" 10h.1, "P3" 10h.2, "P4" 10h.3, "P5" 10h.4, "P6" 10h.5, "P7" 10h.6, "P8" 10h.7.)doc",
         R"doc("MO" 11h.4, "3ABC" 11h.7.)doc",
         R"doc("過電流 (OCT)" Fh.0, "過電圧 (OV)" Fh.1, "外部-A＜通常開放＞ (EXTA)" Fh.2, "緊急停止 (BX)" Fh.3, "入力段階開放 (COL)" Fh.4, "接地故障 (GF)" Fh.5, "駆動過熱 (OH)" Fh.6, "電気モータ過熱 (ETH)" Fh.7, "モータ過負荷 (OLT)" Fh.8, "ハードウェア障害 (HW-DIAG)" Fh.9, "外部-B＜通常閉鎖＞ (EXTB)" Fh.10, "EEPROM故障 (EEP)" Fh.11, "ファン故障 (FAN)" Fh.12, "アウト位相開放 (PO)" Fh.13, "駆動過負荷 (IOLT)" Fh.14, "低電圧 (LV)" Fh.15, "ローダ故障 (COM)" 1Dh.0, "自己診断故障 (FLTL)" 1Dh.1, "駆動NTC開放 (NTC)" 1Dh.2, "コピー装置故障 (REEP)" 1Dh.3.)doc"},
        {11, 0x0100,
         R"doc(| "周波数コマンド" | 0x0005 | 1 | 100 | 0 | 40000 | "Hz" |
| "加速時間" | 0x0007 | 1 | 10 | 0 | 6000 | "sec" |
| "減速時間" | 0x0008 | 1 | 10 | 0 | 6000 | "sec" |
| "出力電流" | 0x0009 | 0 | 10 | 0 | 0 | "A" |
| "出力周波数" | 0x000A | 0 | 100 | 0 | 40000 | "Hz" |
| "出力電圧" | 0x000B | 0 | 1 | 0 | 0 | "V" |
| "DC-リンク電圧" | 0x000C | 0 | 1 | 0 | 0 | "V" |
| "出力電力" | 0x000D | 0 | 10 | 0 | 0 | "kW" |
| "V1" | 0x0012 | 0 | 10 | 0 | 100 | "V" |
| "V2" | 0x0013 | 0 | 10 | 0 | 100 | "V" |
| "I" | 0x0014 | 0 | 10 | 0 | 200 | "mA" |
| "RPM" | 0x0015 | 0 | 1 | 0 | 0 | "rpm" |)doc",
         R"doc("P1" 10h.0, "P2" 10h.1, "P3" 10h.2, "P4" 10h.3, "P5" 10h.4, "P6" 10h.5, "P7" 10h.6, "P8" 10h.7, "P9" 10h.8, "P10" 10h.9, "P11" 10h.10.)doc",
         R"doc("30AC" 11h.0, "AUX" 11h.1, "Q1" 11h.2, "Q2" 11h.3, "Q3" 11h.4, "Q4" 11h.5, "Q5" 11h.6.)doc",
         R"doc("ヒューズ開放 (FO)" 330h.15, "過熱" 330h.14, "アーム不足" 330h.13, "外部トリップ" 330h.12, "過電圧 (OV)" 330h.11, "過電流 (OC)" 330h.10, "NTCトリップ" 330h.9, "過速度偏差" 330h.8, "過速度" 330h.7, "入力段階開放" 330h.6, "出力位相開放" 330h.5, "接地故障 (GF)" 330h.4, "電気モータ過熱 (ETH)" 330h.3, "駆動過負荷 (IOLT)" 330h.2, "アンダーロード" 330h.1, "過負荷トリップ" 330h.0, "スロット3オプションカードトリップ" 331h.12, "スロット2オプションカードトリップ" 331h.11, "スロット1オプションカードトリップ" 331h.10, "モータトリップなし" 331h.9, "外部ブレーキトリップ" 331h.8, "IO基板トリップ" 331h.7, "事前PID故障" 331h.6, "パラメータ書込みのエラー" 331h.5, "FANトリップ" 331h.3, "PTC（熱センサー）トリップ" 331h.2, "エンコーダエラートリップ" 331h.1, "MC故障トリップ" 331h.0, "キーパッド損失コマンド" 332h.3, "損失コマンド" 332h.2, "LV" 332h.1, "BX" 332h.0, "ゲート駆動電力損失" 333h.4, "ウォッチドッグエラー2" 333h.3, "ウォッチドッグエラー1" 333h.2, "EEPROM故障" 333h.1, "ADCエラー" 333h.0.)doc"},
        {13, 0x0100,
         R"doc(| "周波数コマンド" | 0x0005 | 1 | 100 | 0 | 40000 | "Hz" |
| "加速時間" | 0x0007 | 1 | 10 | 0 | 6000 | "sec" |
| "減速時間" | 0x0008 | 1 | 10 | 0 | 6000 | "sec" |
| "出力電流" | 0x0009 | 0 | 10 | 0 | 0 | "A" |
| "出力周波数" | 0x000A | 0 | 100 | 0 | 40000 | "Hz" |
| "出力電圧" | 0x000B | 0 | 1 | 0 | 0 | "V" |
| "DC-リンク電圧" | 0x000C | 0 | 1 | 0 | 0 | "V" |
| "RPM" | 0x0015 | 0 | 1 | 0 | 0 | "rpm" |)doc",
         R"doc("P1" 10h.0, "P2" 10h.1, "P3" 10h.2, "P4" 10h.3, "P5" 10h.4.)doc",
         R"doc("30AC" 11h.7.)doc",
         R"doc("過電流 (OCT)" Fh.0, "過電圧 (OV)" Fh.1, "外部-A＜通常開放＞ (EXTA)" Fh.2, "緊急停止 (EST)" Fh.3, "入力段階開放 (COL)" Fh.4, "接地故障 (GF)" Fh.5, "駆動過熱 (OH)" Fh.6, "グランド電流トリップ (GCT)" Fh.7, "モータ過負荷 (OLT)" Fh.8, "ハードウェア障害 (HW-DIAG)" Fh.9, "外部-B＜通常閉鎖＞ (EXTB)" Fh.10, "EEPROM故障 (EEP)" Fh.11, "アウト位相開放 (PO)" Fh.13, "駆動過負荷 (IOLT)" Fh.14, "低電圧 (LV)" Fh.15.)doc"},
};

const char* const kJuniperTripsBeforeSecondWord =
    R"doc("過電流 (OCT)" Fh.0, "過電圧 (OV)" Fh.1, "外部-A＜通常開放＞ (EXTA)" Fh.2, "緊急停止 (BX)" Fh.3, "入力段階開放 (COL)" Fh.4, "接地故障 (GF)" Fh.5, "駆動過熱 (OH)" Fh.6, "電気モータ過熱 (ETH)" Fh.7, "モータ過負荷 (OLT)" Fh.8, "ハードウェア障害 (HW-DIAG)" Fh.9, "外部-B＜通常閉鎖＞ (EXTB)" Fh.10, "EEPROM故障 (EEP)" Fh.11, "ファン故障 (FAN)" Fh.12, "アウト位相開放 (PO)" Fh.13, "駆動過負荷 (IOLT)" Fh.14, "低電圧 (LV)" Fh.15.)doc";

TEST(BuildMonitorList, EachKindCopiesTheSeriesTableInOrder) {
    for (const SeriesLists& s : kLists) {
        SCOPED_TRACE(testing::Message() << "series " << s.series);
        EXPECT_EQ(build(s.series, s.version, kMonitorListValues), values(s.values));
        EXPECT_EQ(build(s.series, s.version, kMonitorListInputs), bits(s.inputs));
        EXPECT_EQ(build(s.series, s.version, kMonitorListOutputs), bits(s.outputs));
        EXPECT_EQ(build(s.series, s.version, kMonitorListTrips), bits(s.trips));
    }
}

TEST(BuildMonitorList, JuniperTripListFollowsTheSecondTripWordVersion) {
    const auto before = bits(kJuniperTripsBeforeSecondWord);
    ASSERT_EQ(before.size(), 16u);
    for (int version : {0x0000, 0x0010, 0x0014}) {
        EXPECT_EQ(build(10, version, kMonitorListTrips), before) << version;
    }
    for (int version : {0x0015, 0x0016, 0x0100, 0xFFFF}) {
        const auto trips = build(10, version, kMonitorListTrips);
        ASSERT_EQ(trips.size(), 20u) << version;
        EXPECT_EQ(std::vector<MonitorItem>(trips.begin(), trips.begin() + 16), before);
        for (std::size_t i = 16; i < 20; ++i) EXPECT_EQ(trips[i].address, 0x001D);
    }
    // Other series keep one list whatever the version.
    EXPECT_EQ(build(4, 0x0000, kMonitorListTrips), build(4, 0xFFFF, kMonitorListTrips));
}

TEST(BuildMonitorList, AllKindLeavesOutRampTimesAndEndsWithOneFaultItem) {
    MonitorItem fault;
    fault.name = "障害";
    fault.address = 0x000F;
    struct Case {
        int series;
        std::vector<std::string> expectedNames;
    };
    const Case cases[] = {
        {13,
         {"周波数コマンド", "出力電流", "出力周波数", "出力電圧", "DC-リンク電圧", "RPM", "P1",
          "P2", "P3", "P4", "P5", "30AC", "障害"}},
        {8,
         {"周波数コマンド", "出力電流", "出力周波数", "出力電圧", "DC-リンク電圧", "出力電力", "V1",
          "V2", "I", "RPM", "FX", "RX", "EST", "RST", "JOG", "Q1(OC1)", "30AC", "障害"}},
    };
    for (const Case& c : cases) {
        const auto all = build(c.series, 0x0100, kMonitorListAll);
        EXPECT_EQ(names(all), c.expectedNames) << c.series;
        ASSERT_FALSE(all.empty());
        EXPECT_EQ(all.back(), fault);
    }

    // Fir's ramp times live at 0x0503 and 0x0504; its other command values stay.
    const auto fir = build(5, 0x0100, kMonitorListAll);
    EXPECT_EQ(fir.size(), 28u + 11u + 4u + 1u);
    for (const auto& item : fir) {
        EXPECT_NE(item.address, 0x0503);
        EXPECT_NE(item.address, 0x0504);
    }
    EXPECT_EQ(fir.front().name, "出力電流");
    EXPECT_EQ(fir[19].name, "PRMコマンド");
    EXPECT_EQ(fir[20].name, "トルクコマンド");
    EXPECT_EQ(fir.back(), fault);

    // A trip list is never part of "all", whatever the version.
    EXPECT_EQ(build(10, 0x0015, kMonitorListAll).size(), 10u + 8u + 2u + 1u);
    EXPECT_EQ(build(11, 0x0100, kMonitorListAll).size(), 10u + 11u + 7u + 1u);
}

TEST(BuildMonitorList, AppendsToTheCallersListAndIgnoresUnknownSeriesAndKinds) {
    std::vector<MonitorItem> items(1);
    items[0].name = "kept";
    EXPECT_EQ(BuildMonitorList(4, 0x0100, kMonitorListOutputs, items), 5u);
    ASSERT_EQ(items.size(), 6u);
    EXPECT_EQ(items[0].name, "kept");
    EXPECT_EQ(items[1].name, "Q1(OC1)");

    for (int series : {0, 1, 2, 3, 6, 7, 12, 14, -1, 255, INT_MIN}) {
        for (int kind = 0; kind <= 4; ++kind) {
            EXPECT_TRUE(build(series, 0x0100, kind).empty()) << series << " kind " << kind;
        }
    }
    for (int kind : {5, -1, INT_MAX}) EXPECT_TRUE(build(4, 0x0100, kind).empty()) << kind;
}

TEST(TripName, FirstListedTripWhoseBitIsSetInTheWordOfThatAddress) {
    struct Case {
        int series;
        int version;
        int address;
        int word;
        const char* expected;
    };
    const Case cases[] = {
        {4, 0x0100, 0x000F, 0x0006, "過電圧 (OV)"},
        {4, 0x0100, 0x000F, 0x8000, "駆動過負荷 (IOLT)"},
        {4, 0x0100, 0x000F, 0x0000, ""},
        {4, 0x0100, 0x000F, -1, "過電流 (OCT)"},
        {4, 0x0100, 0x000F, 0x10000, ""},  // no trip lives above bit 15
        {4, 0x0100, 0x0330, 0x0001, ""},
        {5, 0x0100, 0x000F, 0x0004, ""},  // Fir lists no trip on bit 2
        {5, 0x0100, 0x000F, 0x0084, "駆動過熱(OH)"},
        {9, 0x0100, 0x000F, 0x0820, ""},
        {8, 0x0010, 0x000F, 0x0800, "EEPROM故障 (EEP)"},
        {13, 0x0100, 0x000F, 0x1000, ""},
        {13, 0x0100, 0x000F, 0x3000, "アウト位相開放 (PO)"},
        {10, 0x0014, 0x000F, 0x8000, "低電圧 (LV)"},
        {10, 0x0015, 0x000F, 0x8000, "低電圧 (LV)"},
        {10, 0x0015, 0x001D, 0x0004, "駆動NTC開放 (NTC)"},
        {10, 0x0015, 0x001D, 0x000C, "駆動NTC開放 (NTC)"},
        {10, 0x0015, 0x001D, 0x0010, ""},
        {10, 0x0014, 0x001D, 0x0001, ""},
        {10, 0x0015, 0x000F, 0x0000, ""},
        // Kapok lists its words from the highest bit down.
        {11, 0x0100, 0x0330, 0x8001, "ヒューズ開放 (FO)"},
        {11, 0x0100, 0x0330, 0x0003, "アンダーロード"},
        {11, 0x0100, 0x0331, 0x1001, "スロット3オプションカードトリップ"},
        {11, 0x0100, 0x0331, 0x0010, ""},
        {11, 0x0100, 0x0332, 0x0003, "LV"},
        {11, 0x0100, 0x0333, 0x0011, "ゲート駆動電力損失"},
        {11, 0x0100, 0x000F, 0xFFFF, ""},
        {11, 0x0100, 0x0334, 0xFFFF, ""},
        {7, 0x0500, 0x000F, 0xFFFF, ""},
        {-1, 0x0100, 0x000F, 0xFFFF, ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(TripName(c.series, c.version, c.address, c.word), c.expected)
            << "series " << c.series << " version " << c.version << " address " << c.address
            << " word " << c.word;
    }
}

}  // namespace
}  // namespace korvane
