#pragma once
// Where the data files of each drive series live, which versions are on disk, and the series
// and version choices offered when an offline editor is opened.
#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace korvane {

// The series that have data files, in series-code order.
inline constexpr std::array<int, 7> kDataFileSeriesCodes = {4, 5, 8, 9, 10, 11, 13};

// The directory and file-name stem of a series with data files, or "" for any other code.
std::string DataFileSeriesName(int seriesCode);

// <dataDir>/<Series>/<Series>_<VVVV>.dat with four or more upper-case hexadecimal digits.
// Empty for a series without data files.
std::string DataFilePath(const std::string& dataDir, int seriesCode, int version);

// The versions for which a data file exists, ascending, per series. Built once at start-up.
class VersionCatalogue {
public:
    void Build(const std::string& dataDir);
    // Adds the version a file name stands for ("Kapok_0310.dat" → 0x0310) if its last four
    // characters before the extension are hexadecimal digits; other names are ignored.
    void AddFileName(int seriesCode, const std::string& fileName);
    const std::vector<std::uint16_t>& Versions(int seriesCode) const;

private:
    std::map<int, std::vector<std::uint16_t>> versions_;
};

struct SeriesChoice {
    std::string name;
    int seriesCode = 0;
};

struct VersionChoice {
    std::string text;
    std::uint16_t version = 0;
};

// Formats a version word the way the drive's series shows it.
using VersionFormatter = std::function<std::string(int seriesCode, int version)>;

// The model list of the parameter-editor mode dialog.
std::vector<SeriesChoice> SeriesChoices();
// The version list for one model, in catalogue order; texts by the model tables unless `format`
// is given.
std::vector<VersionChoice> VersionChoices(const VersionCatalogue& catalogue, int seriesCode,
                                          const VersionFormatter& format = {});

}  // namespace korvane
