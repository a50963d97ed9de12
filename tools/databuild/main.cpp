// korvane-databuild <in.json> <out.dat>: compiles the readable description of one drive data
// file into the binary file the program loads.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>

#include "json_image.h"
#include "paradb/archive.h"
#include "paradb/data_file_writer.h"

namespace {

int build(const std::string& inPath, const std::string& outPath) {
    std::ifstream in(inPath, std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "%s: cannot open\n", inPath.c_str());
        return 1;
    }
    nlohmann::json doc;
    try {
        doc = nlohmann::json::parse(in);
    } catch (const nlohmann::json::exception& e) {
        std::fprintf(stderr, "%s: %s\n", inPath.c_str(), e.what());
        return 1;
    }

    std::vector<std::string> warnings;
    korvane::DataFileImage image;
    try {
        image = korvane::databuild::ImageFromJson(doc, warnings);
    } catch (const korvane::databuild::BuildError& e) {
        std::fprintf(stderr, "%s: %s\n", inPath.c_str(), e.what());
        return 1;
    }
    for (const auto& w : warnings)
        std::fprintf(stderr, "%s: warning: %s\n", inPath.c_str(), w.c_str());

    std::filesystem::path out(outPath);
    std::error_code ec;
    if (out.has_parent_path()) std::filesystem::create_directories(out.parent_path(), ec);
    std::string error;
    if (!korvane::SafeSaveFile(outPath, korvane::WriteDataFile(image), &error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: korvane-databuild <in.json> <out.dat>\n");
        return 2;
    }
    return build(argv[1], argv[2]);
}
