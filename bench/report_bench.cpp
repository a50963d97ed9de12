// What a report of all groups costs on the largest sample data file (Kapok 0x0311): building the
// sheet, rendering the web page in memory, and writing the workbook and the page to disk. Each
// figure is the median of several repetitions, with the fastest.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "paradb/data_file.h"
#include "paradb/drive_record.h"
#include "paradb/model_tables.h"
#include "paradb/para_array.h"
#include "paradb/user_group.h"
#include "report/report_document.h"
#include "report/report_writers.h"

using namespace korvane;
using Steady = std::chrono::steady_clock;

namespace {

struct Timing {
    double medianMs = 0;
    double fastestMs = 0;
};

Timing measure(int repetitions, const std::function<void()>& run) {
    run();
    std::vector<double> ms;
    for (int i = 0; i < repetitions; ++i) {
        const auto start = Steady::now();
        run();
        ms.push_back(std::chrono::duration<double, std::milli>(Steady::now() - start).count());
    }
    std::sort(ms.begin(), ms.end());
    return {ms[ms.size() / 2], ms.front()};
}

void print(const char* what, const Timing& t) {
    std::printf("%-34s median %9.3f ms   fastest %9.3f ms\n", what, t.medianMs, t.fastestMs);
}

}  // namespace

int main() {
    DriveRecord record(kStationRecordCount);
    record.seriesCode = kSeriesKapok;
    record.version = 0x0311;
    record.driveData = std::make_shared<CDataFile>();
    if (!record.driveData->Load(&record, KORVANE_TEST_DATA_DIR)) {
        std::fprintf(stderr, "%s\n", record.driveData->GetStatusText());
        return 1;
    }
    ReportSource source;
    source.drive = &record;
    source.dataFile = record.driveData.get();
    source.header = {"Company", "Division", "Author"};
    ReportDocument doc;
    doc.setNode({record.station, ReportKind::kAllGroups, ""});
    doc.refresh(source);
    std::printf("Kapok 0x0311, all groups: %d groups, %d parameters, %d rows\n",
                record.driveData->GetGroupCount(), record.driveData->GetTotalItemCount(),
                doc.sheet().rowCount());

    const auto dir = std::filesystem::temp_directory_path() / "korvane-report-bench";
    std::filesystem::create_directories(dir);
    std::size_t sink = 0;
    print("refresh (build the sheet)", measure(50, [&] { doc.refresh(source); }));
    print("render web page in memory",
          measure(50, [&] { sink += RenderReportHtml(doc.sheet(), "r").size(); }));
    print("export .htm (write + rename)", measure(20, [&] {
              sink += WriteReportHtml(doc.sheet(), (dir / "r.htm").string(), "r").ok;
          }));
    print("export .xlsx (write + rename)",
          measure(20, [&] { sink += WriteReportXlsx(doc.sheet(), (dir / "r.xlsx").string()).ok; }));

    // A user group far larger than any made by hand: the sheet and its writers must stay linear
    // in its rows.
    for (int entries : {16000, 70000}) {
        UserGroup group;
        group.seriesCode = record.seriesCode;
        group.version = record.version;
        group.title = "large";
        const CParaArray all = BuildParaArray(*record.driveData);
        for (int i = 0; i < entries; ++i)
            group.AddEntry(all.addresses[static_cast<std::size_t>(i) % all.addresses.size()], 0);
        group.Bind(*record.driveData);
        ReportSource big = source;
        big.userGroups = {&group};
        ReportDocument large;
        large.setNode({record.station, ReportKind::kUserGroup, "large"});
        const std::string label = "user group of " + std::to_string(entries) + ", build + .htm";
        print(label.c_str(), measure(3, [&] {
                  large.refresh(big);
                  sink += WriteReportHtml(large.sheet(), (dir / "g.htm").string(), "g").ok;
              }));
    }
    std::filesystem::remove_all(dir);
    return sink == 0 ? 1 : 0;
}
