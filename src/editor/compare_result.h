#pragma once
// The rows of the compare-results list: one parameter each, with the drive's and the file's
// value. A download lists the writes the drive refused in the same form, with the drive's
// answer in the drive column.
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "common/word.h"

namespace korvane {

class CItem;

struct CompareRow {
    std::string group;
    std::uint16_t address = 0;
    std::string name;
    std::optional<std::string> drive;  // none: the drive's value was not read
    std::string file;
    std::string unit;

    int number() const { return address & 0xFF; }
    bool operator==(const CompareRow&) const = default;
};

// A difference between the value read from the drive (none when it was not read) and the
// file's value. Both are compared and shown as 16-bit words.
CompareRow MakeCompareRow(const CItem& item, std::optional<std::uint32_t> driveValue,
                          std::uint32_t fileValue);
// A write the drive refused: the file's value with the drive's error text.
CompareRow MakeRefusedRow(const CItem& item, std::uint32_t fileValue, int errorCode);

struct CompareColumn {
    const char* heading;
    int width;  // pixels
};

class CompareResult {
public:
    static constexpr const char* kTitle = "結果を比較する";
    static constexpr std::array<CompareColumn, 6> kColumns{{{"グループ名", 80},
                                                            {"アドレス", 50},
                                                            {"パラメータ名", 130},
                                                            {"インバータ", 80},
                                                            {"ファイル", 120},
                                                            {"単位", 50}}};

    explicit CompareResult(std::vector<CompareRow> rows) : rows_(std::move(rows)) {}
    const std::vector<CompareRow>& rows() const { return rows_; }
    // The six cells of a row, as the list shows them.
    static std::array<std::string, 6> Cells(const CompareRow& row);

private:
    std::vector<CompareRow> rows_;
};

}  // namespace korvane
