#include "paradb/data_catalogue.h"

#include <algorithm>
#include <cctype>
#include <filesystem>

#include "common/file_path.h"
#include "common/format.h"
#include "paradb/drive_record.h"
#include "paradb/model_tables.h"

namespace korvane {

std::string DataFileSeriesName(int seriesCode) {
    // The directories carry the series' own names.
    return IsSupportedSeries(seriesCode) ? SeriesName(seriesCode) : std::string();
}

std::string DataFilePath(const std::string& dataDir, int seriesCode, int version) {
    const std::string series = DataFileSeriesName(seriesCode);
    if (series.empty()) return {};
    return strprintf("%s/%s/%s_%04X.dat", dataDir.c_str(), series.c_str(), series.c_str(),
                     static_cast<unsigned>(version));
}

void VersionCatalogue::Build(const std::string& dataDir) {
    namespace fs = std::filesystem;
    versions_.clear();
    for (int code : kDataFileSeriesCodes) {
        const std::string series = DataFileSeriesName(code);
        const std::string prefix = series + "_";
        std::error_code ec;
        fs::directory_iterator it(PathFromUtf8(dataDir) / series, ec);
        for (; !ec && it != fs::directory_iterator(); it.increment(ec)) {
            const std::string name = Utf8FromPath(it->path().filename());
            bool matches = name.size() >= prefix.size() + 4 && name.starts_with(prefix) &&
                           name.ends_with(".dat");
            if (matches && it->is_regular_file(ec)) AddFileName(code, name);
        }
    }
}

void VersionCatalogue::AddFileName(int seriesCode, const std::string& fileName) {
    std::string stem = Utf8FromPath(PathFromUtf8(fileName).stem());
    if (stem.size() < 4) return;
    std::string digits = stem.substr(stem.size() - 4);
    if (!std::all_of(digits.begin(), digits.end(),
                     [](unsigned char c) { return std::isxdigit(c) != 0; })) {
        return;
    }
    auto version = static_cast<std::uint16_t>(std::stoul(digits, nullptr, 16));
    std::vector<std::uint16_t>& list = versions_[seriesCode];
    list.insert(std::upper_bound(list.begin(), list.end(), version), version);
}

const std::vector<std::uint16_t>& VersionCatalogue::Versions(int seriesCode) const {
    static const std::vector<std::uint16_t> kNone;
    auto it = versions_.find(seriesCode);
    return it == versions_.end() ? kNone : it->second;
}

std::vector<SeriesChoice> SeriesChoices() {
    std::vector<SeriesChoice> choices;
    for (int code : kDataFileSeriesCodes) choices.push_back({SeriesName(code), code});
    return choices;
}

std::vector<VersionChoice> VersionChoices(const VersionCatalogue& catalogue, int seriesCode,
                                          const VersionFormatter& format) {
    std::vector<VersionChoice> choices;
    for (std::uint16_t v : catalogue.Versions(seriesCode)) {
        choices.push_back({format ? format(seriesCode, v) : VersionText(seriesCode, v), v});
    }
    return choices;
}

}  // namespace korvane
