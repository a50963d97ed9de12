#include "paradb/typed_value.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdlib>

#include "common/format.h"
#include "common/text.h"
#include "common/translation.h"
#include "paradb/data_file.h"
#include "paradb/editor_texts.h"
#include "paradb/value_codec.h"

namespace korvane {
namespace {

// A 16-bit word needs no more; data-file numbers are untrusted.
constexpr int kMaxHexDigits = 8;
constexpr int kMaxBits = 32;
constexpr int kFieldWidth = 5;

int Clamp(std::uint32_t v, int low, int high) {
    return static_cast<int>(std::clamp<std::uint32_t>(v, static_cast<std::uint32_t>(low),
                                                      static_cast<std::uint32_t>(high)));
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
    if (text.size() < prefix.size()) return false;
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(text[i])) != prefix[i]) return false;
    }
    return true;
}

std::optional<double> ParseDigits(std::string_view digits, int base, int maxDigits) {
    if (digits.empty() || static_cast<int>(digits.size()) > maxDigits) return std::nullopt;
    std::uint64_t v = 0;
    for (char c : digits) {
        int d = std::isdigit(static_cast<unsigned char>(c))    ? c - '0'
                : std::isxdigit(static_cast<unsigned char>(c)) ? std::tolower(c) - 'a' + 10
                                                               : base;
        if (d >= base) return std::nullopt;
        v = v * static_cast<std::uint64_t>(base) + static_cast<std::uint64_t>(d);
    }
    return static_cast<double>(v);
}

std::optional<double> ParseDecimal(const std::string& text) {
    if (text.empty() || std::isspace(static_cast<unsigned char>(text.front()))) return std::nullopt;
    // Only plain decimal notation: no hexadecimal floats, no "inf" or "nan".
    bool digit = false;
    for (char c : text) {
        if (std::isdigit(static_cast<unsigned char>(c)))
            digit = true;
        else if (c != '-' && c != '+' && c != '.')
            return std::nullopt;
    }
    if (!digit) return std::nullopt;
    char* end = nullptr;
    errno = 0;
    double v = std::strtod(text.c_str(), &end);
    if (end != text.c_str() + text.size() || errno == ERANGE || !std::isfinite(v))
        return std::nullopt;
    return v;
}

// Decimals typed after the point, trailing zeros not counted ("12.30" has one).
int TypedDecimals(std::string_view number) {
    const auto dot = number.find('.');
    if (dot == std::string_view::npos) return 0;
    std::string_view fraction = number.substr(dot + 1);
    while (!fraction.empty() && fraction.back() == '0') fraction.remove_suffix(1);
    return static_cast<int>(fraction.size());
}

// The text without the parameter's unit (optionally after a blank); nullopt when it carries
// another unit that this parameter is not shown in.
std::optional<std::string> WithoutUnit(const CItem& item, const std::string& text) {
    std::string unit = GetUnitText(item);
    if (!unit.empty() && text.size() > unit.size() &&
        text.compare(text.size() - unit.size(), unit.size(), unit) == 0) {
        return TrimWhitespace(text.substr(0, text.size() - unit.size()));
    }
    if (unit != "rpm" && text.size() > 3 && text.ends_with("rpm")) return std::nullopt;
    return text;
}

}  // namespace

std::string FieldPattern::text() const {
    switch (kind) {
        case Kind::kHex:
            return "0x1.1";
        case Kind::kBits:
            return "b1.1";
        case Kind::kDecimal:
            break;
    }
    return negative ? "-1.1" : "1.1";
}

FieldPattern NumericFieldPattern(const CItem& item) {
    FieldPattern p;
    const CType* type = item.isOption() ? nullptr : item.type;
    if (type != nullptr && (type->flags & kTypeFlagHex)) {
        p.kind = FieldPattern::Kind::kHex;
        p.digits = Clamp(type->numerator, 1, kMaxHexDigits);
        return p;
    }
    if (type != nullptr && (type->flags & kTypeFlagBinary)) {
        p.kind = FieldPattern::Kind::kBits;
        p.digits = Clamp(type->numerator, 1, kMaxBits);
        return p;
    }
    p.decimals = GetDecimals(item);
    p.digits = kFieldWidth - p.decimals;
    p.negative = IsSignedItem(item);
    return p;
}

std::optional<double> ParseFieldNumber(const FieldPattern& pattern, std::string_view text) {
    std::string t = TrimWhitespace(text);
    std::string_view v = t;
    switch (pattern.kind) {
        case FieldPattern::Kind::kHex:
            if (StartsWithNoCase(v, "0x")) v.remove_prefix(2);
            return ParseDigits(v, 16, kMaxHexDigits);
        case FieldPattern::Kind::kBits:
            if (StartsWithNoCase(v, "b")) v.remove_prefix(1);
            return ParseDigits(v, 2, kMaxBits);
        case FieldPattern::Kind::kDecimal:
            break;
    }
    return ParseDecimal(t);
}

FieldNumber ReadFieldNumber(const FieldPattern& pattern, std::string_view text) {
    const std::optional<double> value = ParseFieldNumber(pattern, text);
    if (!value) return {std::nullopt, EntryProblem::kNotANumber};
    if (pattern.kind == FieldPattern::Kind::kDecimal &&
        TypedDecimals(TrimWhitespace(text)) > pattern.decimals)
        return {std::nullopt, EntryProblem::kTooManyDecimals};
    return {value, EntryProblem::kNone};
}

std::string EntryProblemText(EntryProblem problem, const FieldPattern& pattern) {
    switch (problem) {
        case EntryProblem::kNone:
        case EntryProblem::kOutOfRange:
            break;
        case EntryProblem::kNotANumber:
            return Tr(kEntryNotNumberText);
        case EntryProblem::kTooManyDecimals:
            if (pattern.decimals <= 0) return Tr(kEntryNoDecimalsText);
            return strprintf(Tr(kEntryDecimalsFormat), pattern.decimals);
    }
    return {};
}

std::string FieldText(const FieldPattern& pattern, double value) {
    switch (pattern.kind) {
        case FieldPattern::Kind::kHex:
            return strprintf("0x%0*llX", pattern.digits,
                             static_cast<unsigned long long>(std::max(0.0, std::trunc(value))));
        case FieldPattern::Kind::kBits: {
            auto word = static_cast<std::uint64_t>(std::max(0.0, std::trunc(value)));
            std::string text = "b";
            for (int bit = pattern.digits; bit-- > 0;) text += ((word >> bit) & 1u) ? '1' : '0';
            return text;
        }
        case FieldPattern::Kind::kDecimal:
            break;
    }
    return strprintf("%.*f", pattern.decimals, value);
}

std::optional<EnteredValue> ParseEnteredValue(const CItem& item, std::string_view text) {
    std::string t = TrimWhitespace(text);
    if (t.empty() || !item.hasFormat()) return std::nullopt;
    if (item.isOption()) {
        if (int index = FindOptionIndex(item, t); index >= 0)
            return EnteredValue{true, double(index)};
        auto n = ParseDecimal(t);
        if (!n || *n != std::trunc(*n)) return std::nullopt;
        return EnteredValue{true, *n};
    }
    FieldPattern pattern = NumericFieldPattern(item);
    if (pattern.kind == FieldPattern::Kind::kHex) {
        // Digits alone are read as the field shows them: hexadecimal.
        auto n = ParseFieldNumber(pattern, t);
        return n ? std::optional(EnteredValue{false, *n}) : std::nullopt;
    }
    if (pattern.kind == FieldPattern::Kind::kBits) {
        if (StartsWithNoCase(t, "0x")) {
            auto n = ParseDigits(std::string_view(t).substr(2), 16, kMaxHexDigits);
            return n ? std::optional(EnteredValue{true, *n}) : std::nullopt;
        }
        auto n = ParseFieldNumber(pattern, t);
        return n ? std::optional(EnteredValue{true, *n}) : std::nullopt;
    }
    auto number = WithoutUnit(item, t);
    if (!number) return std::nullopt;
    if (StartsWithNoCase(*number, "0x")) {
        auto n = ParseDigits(std::string_view(*number).substr(2), 16, kMaxHexDigits);
        return n ? std::optional(EnteredValue{false, *n}) : std::nullopt;
    }
    auto n = ParseDecimal(*number);
    if (!n) return std::nullopt;
    const bool exact = TypedDecimals(*number) <= pattern.decimals;
    return EnteredValue{false, *n, exact ? EntryProblem::kNone : EntryProblem::kTooManyDecimals};
}

TypedWord TypedTextToWord(const CItem& item, std::string_view text) {
    const std::optional<EnteredValue> entered = ParseEnteredValue(item, text);
    if (!entered) return {0, EntryProblem::kNotANumber};
    return EnteredToWord(item, *entered);
}

TypedWord EnteredToWord(const CItem& item, const EnteredValue& value) {
    if (value.problem != EntryProblem::kNone) return {0, value.problem};
    double v = value.number;
    // The field shows rpm; the drive keeps the frequency. A pole count of 0 never gets here:
    // the item is then shown in its own unit.
    if (int poles = RpmPoleCount(item); poles > 0 && !value.raw) v = v * poles / kRpmFactor;
    if (!IsInEntryRange(item, v)) return {0, EntryProblem::kOutOfRange};
    const auto word = value.raw
                          ? static_cast<std::uint32_t>(static_cast<std::int64_t>(std::trunc(v)))
                          : static_cast<std::uint32_t>(DisplayToRaw(item, v));
    return {word, EntryProblem::kNone};
}

}  // namespace korvane
