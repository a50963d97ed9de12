#pragma once
// Turns a parameter's raw word into the texts the editor, export and report show, and an
// entered number or option text back into a raw word. Everything is driven by the item's
// display type or option list from the data file; data-file numbers are untrusted, so a zero
// numerator or denominator scales by 1 and widths are capped.
#include <cstdint>
#include <string>

#include "paradb/data_file.h"
#include "paradb/editor_texts.h"

namespace korvane {

// Shown when an entered number lies outside the item's range (information icon, OK only).
inline constexpr const char* kEntryRangeErrorText =
    "有効なデータ範囲エラーがありません\n再度データを入力しますか？";

// The raw word is read as signed 16-bit wherever the item's minimum is negative.
bool IsSignedItem(const CItem& item);

// The drive's pole count when the item is shown in rpm, else 0. Rpm needs an online drive
// (station below 256), type "FREQ3", speed display mode 1 (common word 0x001A) and a known
// pole count (common word 0x001B); while the pole count is 0 the item stays in its own unit.
int RpmPoleCount(const CItem& item);
inline bool UsesRpmDisplay(const CItem& item) {
    return RpmPoleCount(item) > 0;
}

int GetDecimals(const CItem& item);
std::string FormatRaw(const CItem& item, std::uint32_t raw, bool isSigned);
// A live value that was not read (or was read with an error) is blank unless forced.
std::string FormatValue(const CItem& item, std::uint32_t raw, bool force = false);
// A user-group entry's stored value. Signed exactly where the item is (a negative minimum), so
// a word above 0x7FFF of an unsigned item is never shown negative, and an option item shows
// its option text as the parameter list does rather than nothing.
std::string FormatUserGroupValue(const CItem& item, std::uint32_t raw);
std::string FormatMinimum(const CItem& item);
std::string FormatMaximum(const CItem& item);
std::string FormatDefault(const CItem& item);
std::string GetUnitText(const CItem& item);

double RawToDisplay(const CItem& item, std::uint32_t raw);
double SignedRawToDisplay(const CItem& item, std::uint32_t raw);
// Rounds half up; results beyond 32 bits are clamped and a NaN gives 0.
std::int32_t DisplayToRaw(const CItem& item, double display);
void SetValueFromDisplay(CItem& item, double display);
[[nodiscard]] int FindOptionIndex(const CItem& item, const std::string& text);

// Whether an entered number may be converted with DisplayToRaw. On false the editor shows
// kEntryRangeErrorText with kParameterEditorCaption and keeps the old value.
[[nodiscard]] bool IsInEntryRange(const CItem& item, double display);

// Whether a value stored in a file can be the item's word: it fits 16 bits (a signed item's
// value may also be stored sign-extended to 32) and, read as the item reads it, lies within the
// item's range. A value that does not fit is never written to the drive, never equal to what
// the drive holds, and is marked wherever it is shown. A data file whose range is reversed
// gives no range to check.
[[nodiscard]] bool FitsItemWord(const CItem& item, std::uint32_t value);
// A file's value as the lists show it: the item's text for a value that fits its word, the
// whole stored word in hexadecimal for one that does not, so that the upper bits are not hidden.
std::string FormatFileValue(const CItem& item, std::uint32_t value);

// Status pane texts of the parameter editor.
const char* FrequencyModeText(int frequencyMode);
const char* Time1ModeText(int time1Divisor);

}  // namespace korvane
