#include "cli/reply_json.h"

#include <algorithm>
#include <nlohmann/json.hpp>

namespace korvane::cli {

namespace {

using Json = nlohmann::ordered_json;

// A final failure carries the code that made it fail; retries exhausted give 100 with the last
// real code in the failing field.
void addFailure(Json& j, const DriveReply& reply) {
    int failing = reply.failingCode ? reply.failingCode : reply.errorCode;
    j["failing"] = failing;
    j["error_text"] = ErrorText(failing);
}

std::string commandText(const DriveReply& reply) {
    return std::string(1, static_cast<char>(reply.command));
}

}  // namespace

std::string RequestJson(const DriveReply& reply) {
    Json j;
    j["station"] = reply.station;
    j["command"] = commandText(reply);
    j["address"] = reply.addresses[0];
    if (reply.errorCode == kErrNone) {
        j["value"] = reply.values[0];
    } else {
        j["value"] = nullptr;  // never a number that a script could take for the drive's word
    }
    j["error"] = reply.errorCode;
    if (reply.errorCode != kErrNone) addFailure(j, reply);
    return j.dump();
}

std::string MonitorJson(const DriveReply& reply) {
    Json j;
    j["station"] = reply.station;
    j["command"] = commandText(reply);
    const int n = std::clamp(reply.wordCount, 0, kMaxReplyWords);
    Json addresses = Json::array(), values = Json::array();
    for (int i = 0; i < n; ++i) {
        addresses.push_back(reply.addresses[static_cast<std::size_t>(i)]);
        if (reply.errorCode == kErrNone)
            values.push_back(reply.values[static_cast<std::size_t>(i)]);
    }
    j["addresses"] = addresses;
    j["values"] = values;
    j["error"] = reply.errorCode;
    if (reply.errorCode != kErrNone) addFailure(j, reply);
    return j.dump();
}

}  // namespace korvane::cli
