// sco FILE.sco [--csv OUT.csv]: what a scope file holds, as one JSON object, and optionally its
// points as CSV lines (local time stamp with milliseconds, then the four Y values).
#include <charconv>
#include <cmath>
#include <nlohmann/json.hpp>
#include <ostream>
#include <string>
#include <vector>

#include "cli/cli_command.h"
#include "common/translation.h"
#include "paradb/archive.h"
#include "scope/sco_file.h"

namespace korvane::cli {
namespace {

using namespace korvane::scope;

// The shortest text that reads back as the same double, in the C locale; a gap (no live value)
// is an empty field.
std::string numberText(double value) {
    if (std::isnan(value)) return {};
    char buffer[64];
    auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value);
    return ec == std::errc() ? std::string(buffer, end) : std::string("0");
}

std::string scoJson(const ScoFile& f) {
    nlohmann::ordered_json j;
    j["elapsed"] = f.elapsedSeconds;
    j["span"] = kTimeSpanSeconds[static_cast<std::size_t>(f.timeSpan)];
    j["y_min"] = f.yMin;
    j["y_max"] = f.yMax;
    j["samples"] = f.stamps.size();
    j["first"] = f.stamps.empty() ? nlohmann::ordered_json()
                                  : nlohmann::ordered_json(IsoLocalText(f.stamps.front()));
    j["last"] = f.stamps.empty() ? nlohmann::ordered_json()
                                 : nlohmann::ordered_json(IsoLocalText(f.stamps.back()));
    nlohmann::ordered_json channels = nlohmann::ordered_json::array();
    for (const ScoChannel& c : f.channels) {
        nlohmann::ordered_json cj;
        cj["on"] = c.on != 0;
        cj["station"] = c.station;
        cj["series"] = c.series;
        cj["version"] = c.version;
        cj["address"] = c.address;
        cj["item"] = c.itemIndex;
        cj["offset"] = OffsetValue(c.offsetIndex);
        cj["div"] = DivValue(c.divIndex);
        channels.push_back(cj);
    }
    j["channels"] = channels;
    return j.dump();
}

std::string scoCsv(const ScoFile& f) {
    std::string text;
    for (std::size_t p = 0; p < f.stamps.size(); ++p) {
        text += IsoLocalText(f.stamps[p]);
        for (const auto& column : f.y) text += ", " + numberText(column[p]);
        text += "\r\n";
    }
    return text;
}

int runSco(CommandContext& context) {
    std::string path;
    std::string csv;
    const auto& args = context.args;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--csv") {
            if (i + 1 >= args.size()) throw UsageError("--csv needs a file");
            csv = args[++i];
        } else if (path.empty() && !args[i].starts_with("--")) {
            path = args[i];
        } else {
            throw UsageError("unexpected argument " + args[i]);
        }
    }
    if (path.empty()) throw UsageError("sco needs a scope file");
    ScoFile file;
    if (!ReadScoFile(path, file)) {
        context.err << Tr(kMsgScoOpenFailed) << std::endl;
        return 1;
    }
    context.out << scoJson(file) << std::endl;
    if (csv.empty()) return 0;
    const std::string text = scoCsv(file);
    const std::vector<std::uint8_t> bytes(text.begin(), text.end());
    std::string error;
    if (!SafeSaveFile(csv, bytes, &error)) {
        context.err << "korvane-cli: " << error << std::endl;
        return 1;
    }
    return 0;
}

const CommandRegistrar registrar({"sco", "sco FILE.sco [--csv OUT.csv]", runSco});

}  // namespace
}  // namespace korvane::cli
