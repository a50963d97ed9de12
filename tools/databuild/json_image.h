#pragma once
// Turns the human-readable description of a drive data file into a DataFileImage, checking
// everything the loader and the value codec rely on.
#include <nlohmann/json.hpp>
#include <stdexcept>
#include <string>
#include <vector>

#include "paradb/data_file_writer.h"

namespace korvane::databuild {

// A description that cannot become a data file; what() names the offending field by its path,
// e.g. "groups[2].items[5].min: expected an integer or a \"0x..\" string".
class BuildError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Throws BuildError. Warnings (suspicious but loadable) are appended to `warnings`.
DataFileImage ImageFromJson(const nlohmann::json& doc, std::vector<std::string>& warnings);

}  // namespace korvane::databuild
