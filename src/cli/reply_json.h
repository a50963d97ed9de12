#pragma once
// The JSON lines korvane-cli prints for results, one object per line.
#include <string>

#include "comm/drive_reply.h"

namespace korvane::cli {

// {"station":1,"command":"R","address":256,"value":4660,"error":0}; a failure has
// "value":null and adds "failing" and "error_text".
std::string RequestJson(const DriveReply& reply);

// A monitoring result: "addresses" and "values" arrays in place of address and value.
std::string MonitorJson(const DriveReply& reply);

}  // namespace korvane::cli
