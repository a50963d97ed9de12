#pragma once
// The JSON line korvane-cli prints for one parameter of a data file.
#include <cstdint>
#include <string>

namespace korvane {
class CItem;
}

namespace korvane::cli {

// {"group":..,"address":..,"number":..,"name":..,"value":..,"default":..,"min":..,"max":..,
// "unit":..,"writable":..,"run_writable":..}; the texts other than `group` and `value` are the
// item's own, as the value codec formats them.
std::string ParameterJson(const CItem& item, const std::string& group, const std::string& value);
// The same for a value from a parameter or user-group file, followed by "fits": whether the value
// can be the item's word (16 bits and within its range); one that cannot shows all its bits.
std::string FileParameterJson(const CItem& item, const std::string& group, std::uint32_t value);
// The same for a parameter whose read failed: "value":null, then "error" (the final code) and
// "error_text" (the text of the code that made it fail).
std::string FailedParameterJson(const CItem& item, const std::string& group, int errorCode,
                                int failingCode);

}  // namespace korvane::cli
