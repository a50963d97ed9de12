#include "paradb/value_codec.h"

#include <cmath>
#include <cstddef>
#include <limits>

#include "common/format.h"
#include "paradb/drive_record.h"

namespace korvane {
namespace {

// A display type's name for frequencies that follow the drive's Hz/rpm selection.
constexpr const char* kRpmTypeName = "FREQ3";
constexpr int kRpmSpeedDisplayMode = 1;
// Widths come from the data file; no 32-bit word needs more digits than these.
constexpr std::uint32_t kMaxHexWidth = 16;
constexpr std::uint32_t kMaxBitCount = 32;

// The codec walks the back pointers itself so that it needs nothing but the object model.
const DriveRecord* DriveOf(const CItem& item) {
    if (item.group == nullptr || item.group->dataFile == nullptr) return nullptr;
    return item.group->dataFile->drive;
}

// A live drive's unread values are blank; an item with no drive at all is never live.
bool IsLiveDrive(const DriveRecord* drive) {
    return drive != nullptr && drive->isOnline();
}

const CType* NumericType(const CItem& item) {
    return item.isOption() ? nullptr : item.type;
}

bool IsBinary(const CItem& item) {
    const CType* type = NumericType(item);
    return type != nullptr && (type->flags & kTypeFlagBinary) != 0;
}

// A zero numerator or denominator in a data file would turn every value into infinity or
// NaN; it scales by 1 instead, like a type that never set them.
struct Scale {
    double n = 1.0;
    double d = 1.0;
};

Scale ScaleOf(const CType* type) {
    Scale s;
    if (type == nullptr) return s;
    if (type->numerator != 0) s.n = static_cast<double>(type->numerator);
    if (type->denominator != 0) s.d = static_cast<double>(type->denominator);
    return s;
}

double AsSigned16(std::uint32_t raw) {
    return static_cast<std::int16_t>(static_cast<std::uint16_t>(raw));
}

// Truncates toward zero without the undefined behaviour of converting an out-of-range double.
std::int64_t TruncToInt64(double x) {
    if (std::isnan(x)) return 0;
    if (x >= 0x1p63) return std::numeric_limits<std::int64_t>::max();
    if (x < -0x1p63) return std::numeric_limits<std::int64_t>::min();
    return static_cast<std::int64_t>(x);
}

std::int32_t ClampToInt32(double x) {
    if (std::isnan(x)) return 0;
    if (x >= 0x1p31) return std::numeric_limits<std::int32_t>::max();
    if (x < -0x1p31) return std::numeric_limits<std::int32_t>::min();
    return static_cast<std::int32_t>(x);
}

// 64-bit arithmetic: r × 120 no longer wraps for large stored limits.
double ToRpm(std::uint32_t raw, bool isSigned, int poles) {
    std::int64_t r = isSigned ? static_cast<std::int16_t>(static_cast<std::uint16_t>(raw))
                              : static_cast<std::int64_t>(raw);
    return static_cast<double>(r * 120 / poles / 100);
}

std::string BinaryText(std::uint32_t raw, std::uint32_t bitCount) {
    std::uint32_t count = bitCount < kMaxBitCount ? bitCount : kMaxBitCount;
    std::string text = "b";
    for (std::uint32_t bit = count; bit-- > 0;) text += ((raw >> bit) & 1u) ? '1' : '0';
    return text;
}

std::string HexText(double x, std::uint32_t width) {
    int w = static_cast<int>(width < kMaxHexWidth ? width : kMaxHexWidth);
    std::int64_t t = TruncToInt64(x);
    if (t >= 0) return strprintf("0x%0*llX", w, static_cast<unsigned long long>(t));
    // A negative value shows as its 32-bit two's complement.
    return strprintf("0x%0*X", w, static_cast<unsigned>(static_cast<std::uint32_t>(t)));
}

std::string OptionOrNumber(const CItem& item, std::uint32_t raw) {
    const auto& texts = item.mess->texts;
    bool listed = raw >= static_cast<std::uint32_t>(item.minimum) &&
                  raw <= static_cast<std::uint32_t>(item.maximum) && raw < texts.size();
    if (listed) return texts[raw];
    return strprintf("%d", static_cast<std::int32_t>(raw));
}

std::string FormatLimit(const CItem& item, std::int32_t limit) {
    if (!item.hasFormat()) return {};
    if (item.isOption()) return strprintf("%d", limit);
    return FormatRaw(item, static_cast<std::uint32_t>(limit), IsSignedItem(item));
}

double ScaledAndRounded(const CType* type, double r) {
    Scale s = ScaleOf(type);
    return std::floor((r * s.n / s.d) * s.d + 0.5) / s.d;
}

}  // namespace

bool IsSignedItem(const CItem& item) {
    return item.minimum < 0;
}

int RpmPoleCount(const CItem& item) {
    if (NumericType(item) == nullptr || item.typeName != kRpmTypeName) return 0;
    const DriveRecord* drive = DriveOf(item);
    if (!IsLiveDrive(drive) || drive->speedDisplayMode != kRpmSpeedDisplayMode) return 0;
    return drive->motorPoles > 0 ? drive->motorPoles : 0;
}

int GetDecimals(const CItem& item) {
    const CType* type = NumericType(item);
    if (type == nullptr || UsesRpmDisplay(item)) return 0;
    switch (type->denominator) {
        case 10:
            return 1;
        case 100:
            return 2;
        case 1000:
            return 3;
        case 10000:
            return 4;
        default:
            return 0;
    }
}

std::string FormatRaw(const CItem& item, std::uint32_t raw, bool isSigned) {
    const CType* type = NumericType(item);
    if (type == nullptr) return {};
    if (!isSigned && (type->flags & kTypeFlagBinary)) return BinaryText(raw, type->numerator);

    double x;
    // A signed frequency follows the rpm display too, so the unit "rpm" never labels Hz.
    if (int poles = RpmPoleCount(item); poles > 0) {
        x = ToRpm(raw, isSigned, poles);
    } else {
        Scale s = ScaleOf(type);
        x = (isSigned ? AsSigned16(raw) : static_cast<double>(raw)) * s.n / s.d;
    }

    if (type->flags & kTypeFlagHex) return HexText(x, type->numerator);
    int decimals = GetDecimals(item);
    if (decimals == 0) return strprintf("%lld", static_cast<long long>(TruncToInt64(x)));
    return strprintf("%.*f", decimals, x);
}

std::string FormatValue(const CItem& item, std::uint32_t raw, bool force) {
    if (!item.hasFormat()) return {};
    if (!force && item.readState != 1 && IsLiveDrive(DriveOf(item))) return {};
    if (item.isOption()) return OptionOrNumber(item, raw);
    return FormatRaw(item, raw, IsSignedItem(item));
}

std::string FormatUserGroupValue(const CItem& item, std::uint32_t raw) {
    return FormatValue(item, raw, true);
}

std::string FormatMinimum(const CItem& item) {
    return FormatLimit(item, item.minimum);
}

std::string FormatMaximum(const CItem& item) {
    return FormatLimit(item, item.maximum);
}

std::string FormatDefault(const CItem& item) {
    if (!item.hasFormat()) return {};
    if (item.isOption()) return OptionOrNumber(item, item.defaultValue);
    return FormatRaw(item, item.defaultValue, IsSignedItem(item));
}

std::string GetUnitText(const CItem& item) {
    const CType* type = NumericType(item);
    if (type == nullptr) return {};
    if (UsesRpmDisplay(item)) return "rpm";
    return type->unit;
}

double RawToDisplay(const CItem& item, std::uint32_t raw) {
    if (!item.hasFormat()) return 0.0;
    if (item.isOption() || IsBinary(item)) return static_cast<double>(raw);
    return ScaledAndRounded(item.type, static_cast<double>(raw));
}

double SignedRawToDisplay(const CItem& item, std::uint32_t raw) {
    if (!item.hasFormat()) return 0.0;
    if (item.isOption() || IsBinary(item)) return static_cast<std::int32_t>(raw);
    return ScaledAndRounded(item.type, AsSigned16(raw));
}

std::int32_t DisplayToRaw(const CItem& item, double display) {
    if (item.isOption() || IsBinary(item)) return ClampToInt32(std::trunc(display));
    Scale s = ScaleOf(NumericType(item));
    return ClampToInt32(std::floor(display * s.d / s.n + 0.5));
}

void SetValueFromDisplay(CItem& item, double display) {
    if (!item.hasFormat()) return;
    item.value = static_cast<std::uint32_t>(DisplayToRaw(item, display));
}

int FindOptionIndex(const CItem& item, const std::string& text) {
    if (!item.isOption() || item.mess == nullptr) return -1;
    const auto& texts = item.mess->texts;
    for (std::size_t i = 0; i < texts.size(); ++i) {
        if (texts[i] == text) return static_cast<int>(i);
    }
    return -1;
}

bool IsInEntryRange(const CItem& item, double display) {
    if (!item.hasFormat()) return false;
    // Option and bit-string values are entered raw, so their limits are not scaled: a bit
    // count in the numerator would otherwise widen the range by that factor.
    Scale s;
    if (!item.isOption() && !IsBinary(item)) s = ScaleOf(item.type);
    double low = s.n * static_cast<double>(item.minimum) / s.d;
    double high = static_cast<double>(item.maximum) * s.n / s.d;
    return display <= high && display >= low;
}

bool FitsItemWord(const CItem& item, std::uint32_t value) {
    const bool isSigned = IsSignedItem(item);
    const bool signExtended = isSigned && value >= 0xFFFF8000u;
    if (value > 0xFFFF && !signExtended) return false;
    if (item.minimum > item.maximum) return true;
    const std::int64_t word =
        isSigned ? static_cast<std::int64_t>(AsSigned16(value)) : static_cast<std::int64_t>(value);
    return word >= item.minimum && word <= item.maximum;
}

std::string FormatFileValue(const CItem& item, std::uint32_t value) {
    const bool wide = value > 0xFFFF && !(IsSignedItem(item) && value >= 0xFFFF8000u);
    if (wide) return strprintf("0x%08X", static_cast<unsigned>(value));
    return FormatValue(item, value & 0xFFFF, true);
}

const char* FrequencyModeText(int frequencyMode) {
    return frequencyMode != 0 ? "FREQ MODE" : "RPM MODE";
}

const char* Time1ModeText(int time1Divisor) {
    switch (time1Divisor) {
        case 1:
            return "TIME1 : 1 sec";
        case 100:
            return "TIME1 : 0.01 sec";
        default:
            return "TIME1 : 0.1 sec";
    }
}

}  // namespace korvane
