#include "editor/compare_result.h"

#include "comm/drive_reply.h"
#include "paradb/data_file.h"
#include "paradb/value_codec.h"

namespace korvane {
namespace {

CompareRow rowOf(const CItem& item) {
    CompareRow row;
    row.group = item.GetGroup() ? item.GetGroup()->name : std::string();
    row.address = item.address;
    row.name = item.displayName;
    row.unit = GetUnitText(item);
    return row;
}

// Values shown as words: a file may hold a signed value sign-extended to 32 bits, and one that
// fits no word shows all its bits.
std::string valueText(const CItem& item, std::uint32_t raw) {
    return FormatFileValue(item, raw);
}

}  // namespace

CompareRow MakeCompareRow(const CItem& item, std::optional<std::uint32_t> driveValue,
                          std::uint32_t fileValue) {
    CompareRow row = rowOf(item);
    if (driveValue) row.drive = valueText(item, *driveValue);
    row.file = valueText(item, fileValue);
    return row;
}

CompareRow MakeRefusedRow(const CItem& item, std::uint32_t fileValue, int errorCode) {
    CompareRow row = rowOf(item);
    row.drive = ErrorText(errorCode);
    row.file = valueText(item, fileValue);
    return row;
}

std::array<std::string, 6> CompareResult::Cells(const CompareRow& row) {
    return {row.group, std::to_string(row.number()), row.name, row.drive.value_or(""), row.file,
            row.unit};
}

}  // namespace korvane
