#pragma once
// How a parameter value is typed: the numeric field's pattern ("0x1.1", "b1.1", "1.1",
// "-1.1"), the field text of a value, and typed text back to the raw word to write. The edit
// dialogs, the offline in-place edit and korvane-cli all take typed text through
// TypedTextToWord, so that one text means one word wherever it is typed.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace korvane {

class CItem;

struct FieldPattern {
    enum class Kind { kDecimal, kHex, kBits };
    Kind kind = Kind::kDecimal;
    int digits = 5;    // integer digits, hex digits or bits
    int decimals = 0;  // kDecimal only
    bool negative = false;

    // The pattern as the masked edit control takes it: "0x1.1", "b1.1", "-1.1" or "1.1".
    std::string text() const;
};

// Hexadecimal for a hex type, a bit string for a bit-string type, else a decimal number with
// 5 - d integer digits and d decimals (signed when the minimum is negative).
FieldPattern NumericFieldPattern(const CItem& item);

// The number a field's text stands for; nullopt for text that is not one.
std::optional<double> ParseFieldNumber(const FieldPattern& pattern, std::string_view text);

// Field speeds shown in rpm: rpm = Hz × kRpmFactor / poles.
inline constexpr double kRpmFactor = 120.0;

// Why typed text is not taken as the value to write.
enum class EntryProblem { kNone, kNotANumber, kTooManyDecimals, kOutOfRange };

// Typed text as a value to write: the number, or the problem. More decimals than the pattern
// has (trailing zeros aside) are refused: the drive would get a rounded value that nobody
// typed.
struct FieldNumber {
    std::optional<double> value;
    EntryProblem problem = EntryProblem::kNone;
};
FieldNumber ReadFieldNumber(const FieldPattern& pattern, std::string_view text);
// The status-line text of a problem ("" for none, and for kOutOfRange, which each caller
// words as it always has).
std::string EntryProblemText(EntryProblem problem, const FieldPattern& pattern);
// The field text of a number (rounded to the pattern's decimals).
std::string FieldText(const FieldPattern& pattern, double value);

// Typed text as a number: an option text or index, a bit string "b0101" (or its "0x..."
// word), "0x..." hexadecimal (with or without the prefix for a hexadecimal parameter), or a
// number with or without the unit the parameter is shown in. A raw value (option index, bit
// word) is entered as it is; any other number is in display units, in rpm where the parameter
// is shown in rpm.
struct EnteredValue {
    bool raw = false;
    double number = 0.0;
    // kTooManyDecimals for a number in display units typed more exactly than the parameter
    // holds; such a value is refused, not rounded.
    EntryProblem problem = EntryProblem::kNone;
};
std::optional<EnteredValue> ParseEnteredValue(const CItem& item, std::string_view text);

// The raw word typed text stands for, or why there is none: not a value of the item, more
// decimals than it holds, or outside its limits.
struct TypedWord {
    std::uint32_t word = 0;
    EntryProblem problem = EntryProblem::kNone;
    bool ok() const { return problem == EntryProblem::kNone; }
};
TypedWord TypedTextToWord(const CItem& item, std::string_view text);
// The same for a number already entered (a list's index, a bit word, a field's number).
TypedWord EnteredToWord(const CItem& item, const EnteredValue& value);

}  // namespace korvane
