// What opening a parameter editor costs: loading the largest sample data file (from disk, and
// from bytes already in memory) and formatting every text of its list (value, minimum,
// maximum, default, unit) once. Each figure is the median of many repetitions, with the fastest.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "paradb/data_catalogue.h"
#include "paradb/data_file.h"
#include "paradb/drive_record.h"
#include "paradb/value_codec.h"

using namespace korvane;
using Clock = std::chrono::steady_clock;

namespace {

constexpr int kRepetitions = 300;

struct Largest {
    int seriesCode = 0;
    int version = 0;
    std::string path;
    std::uintmax_t bytes = 0;
};

Largest findLargest(const std::string& dataDir) {
    VersionCatalogue catalogue;
    catalogue.Build(dataDir);
    Largest best;
    for (int code : kDataFileSeriesCodes) {
        for (std::uint16_t version : catalogue.Versions(code)) {
            std::string path = DataFilePath(dataDir, code, version);
            std::error_code ec;
            auto size = std::filesystem::file_size(path, ec);
            if (!ec && size > best.bytes) best = {code, version, path, size};
        }
    }
    return best;
}

struct Timing {
    double medianUs = 0;
    double fastestUs = 0;
};

// `run` must leave something the compiler cannot drop; each call is timed on its own.
Timing measure(const std::function<void()>& run) {
    run();  // warm the caches and the allocator first
    std::vector<double> us;
    us.reserve(kRepetitions);
    for (int i = 0; i < kRepetitions; ++i) {
        auto start = Clock::now();
        run();
        us.push_back(std::chrono::duration<double, std::micro>(Clock::now() - start).count());
    }
    std::sort(us.begin(), us.end());
    return {us[us.size() / 2], us.front()};
}

std::size_t formatAll(const CDataFile& file) {
    std::size_t chars = 0;
    for (const CGroup& group : file.groups->elements) {
        for (const CItem& item : group.items) {
            chars += FormatValue(item, item.value, true).size() + FormatMinimum(item).size() +
                     FormatMaximum(item).size() + FormatDefault(item).size() +
                     GetUnitText(item).size();
        }
    }
    return chars;
}

}  // namespace

int main() {
    const std::string dataDir = KORVANE_TEST_DATA_DIR;
    const Largest largest = findLargest(dataDir);
    if (largest.path.empty()) {
        std::fprintf(stderr, "paradb_bench: no data files under %s\n", dataDir.c_str());
        return 1;
    }
    DriveRecord record(kStationRecordCount);  // an offline editor's record
    record.seriesCode = largest.seriesCode;
    record.version = largest.version;

    CDataFile file;
    if (!file.Load(&record, dataDir)) {
        std::fprintf(stderr, "paradb_bench: %s: %s\n", largest.path.c_str(), file.GetStatusText());
        return 1;
    }
    const int items = file.GetTotalItemCount();
    std::printf("data file %s: %ju bytes, %d groups, %d items\n", largest.path.c_str(),
                largest.bytes, file.GetGroupCount(), items);

    std::size_t sink = 0;
    Timing fromDisk = measure([&] {
        CDataFile f;
        sink += static_cast<std::size_t>(f.Load(&record, dataDir));
    });
    std::ifstream in(largest.path, std::ios::binary);
    const std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(in),
                                          std::istreambuf_iterator<char>()};
    Timing fromBytes = measure([&] {
        CDataFile f;
        sink += static_cast<std::size_t>(f.LoadFromBytes(&record, bytes));
    });
    file.SetSpeedMode(1, 10);
    Timing format = measure([&] { sink += formatAll(file); });

    auto row = [&](const char* what, const Timing& t) {
        std::printf("%-34s median %9.1f us  fastest %9.1f us  (%6.0f ns per item)\n", what,
                    t.medianUs, t.fastestUs, t.medianUs * 1000.0 / std::max(items, 1));
    };
    std::printf("%d repetitions each\n", kRepetitions);
    row("load from disk", fromDisk);
    row("load from bytes in memory", fromBytes);
    row("format value/min/max/default/unit", format);
    std::printf("(checksum %zu)\n", sink);
    return 0;
}
