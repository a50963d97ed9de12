#pragma once
// The byte layout of a drive data file, from a plain description. The program itself only reads
// data files; this is for the build-time data-file builder and for tests that need files.
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "paradb/data_file.h"

namespace korvane {

struct DataFileImage {
    struct Type {
        std::string name;
        std::string unit;
        std::uint32_t numerator = 1;
        std::uint32_t denominator = 1;
        std::uint8_t flags = 0;
    };
    struct OptionList {
        std::string name;
        std::vector<std::string> texts;
    };
    struct Item {
        std::uint16_t address = 0;
        std::uint32_t placeholder = 0;
        std::uint32_t writable = 1;
        std::uint32_t runWritable = 0;
        std::int32_t minimum = 0;
        std::int32_t maximum = 0;
        std::uint32_t defaultValue = 0;
        std::string name;
        std::string typeName;
        std::string optionListName;
    };
    struct Group {
        std::string name;
        std::vector<Item> items;
    };

    std::string signature = kDataFileSignature;
    std::uint16_t format = kDataFileFormat;
    std::string title;
    std::uint16_t series = 0;
    std::array<std::uint16_t, 4> headerWords{};
    std::uint32_t version = 0;
    std::vector<Type> types;
    std::vector<OptionList> optionLists;
    std::vector<Group> groups;
};

std::vector<std::uint8_t> WriteDataFile(const DataFileImage& image);

}  // namespace korvane
