#include "cli/parameter_json.h"

#include <nlohmann/json.hpp>

#include "paradb/data_file.h"
#include "paradb/value_codec.h"

namespace korvane::cli {

std::string ParameterJson(const CItem& item, const std::string& group, const std::string& value) {
    nlohmann::ordered_json j;
    j["group"] = group;
    j["address"] = item.address;
    j["number"] = item.address & 0xFF;
    j["name"] = item.displayName;
    j["value"] = value;
    j["default"] = FormatDefault(item);
    j["min"] = FormatMinimum(item);
    j["max"] = FormatMaximum(item);
    j["unit"] = GetUnitText(item);
    j["writable"] = item.writable != 0;
    j["run_writable"] = item.runWritable != 0;
    // A file name need not be UTF-8; one bad byte must not cost the whole listing.
    return j.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
}

}  // namespace korvane::cli
