#include "cli/parameter_json.h"

#include <nlohmann/json.hpp>

#include "comm/drive_reply.h"
#include "paradb/data_file.h"
#include "paradb/value_codec.h"

namespace korvane::cli {

namespace {

nlohmann::ordered_json ParameterObject(const CItem& item, const std::string& group,
                                       const nlohmann::ordered_json& value) {
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
    return j;
}

// A file name need not be UTF-8; one bad byte must not cost the whole listing.
std::string Dump(const nlohmann::ordered_json& j) {
    return j.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
}

}  // namespace

std::string ParameterJson(const CItem& item, const std::string& group, const std::string& value) {
    return Dump(ParameterObject(item, group, value));
}

std::string FileParameterJson(const CItem& item, const std::string& group, std::uint32_t value) {
    nlohmann::ordered_json j = ParameterObject(item, group, FormatFileValue(item, value));
    j["fits"] = FitsItemWord(item, value);
    return Dump(j);
}

std::string FailedParameterJson(const CItem& item, const std::string& group, int errorCode,
                                int failingCode) {
    nlohmann::ordered_json j = ParameterObject(item, group, nullptr);
    j["error"] = errorCode;
    j["error_text"] = ErrorText(failingCode);
    return Dump(j);
}

}  // namespace korvane::cli
