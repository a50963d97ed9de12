// What an offline editor on the largest sample data file costs before the user sees a value:
// loading the file, filling the list with every group and formatting every cell the table asks
// for, and then re-sorting it by name both ways. Each figure is the median of many repetitions.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "common/settings_store.h"
#include "editor/para_list_model.h"
#include "editor/para_tree_model.h"
#include "editor/write_history.h"
#include "paradb/data_file.h"
#include "paradb/drive_record.h"

using namespace korvane;
using Clock = std::chrono::steady_clock;

namespace {

constexpr int kRepetitions = 50;
constexpr int kKapok = 11;
constexpr int kLargestVersion = 0x0311;

double medianMs(const std::function<void()>& run) {
    run();
    std::vector<double> ms;
    for (int i = 0; i < kRepetitions; ++i) {
        const auto start = Clock::now();
        run();
        ms.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
    }
    std::sort(ms.begin(), ms.end());
    return ms[ms.size() / 2];
}

// Every text the table shows: the widget asks each visible cell, a full list asks them all.
std::size_t formatAll(const CParaListModel& list) {
    std::size_t chars = 0;
    for (std::size_t row = 0; row < list.RowCount(); ++row)
        for (std::size_t column = 0; column < list.ColumnCount(); ++column)
            chars += list.CellText(row, column).size();
    return chars;
}

}  // namespace

int main() {
    DriveRecord drive(kStationRecordCount);
    drive.seriesCode = kKapok;
    drive.version = kLargestVersion;
    auto data = std::make_shared<CDataFile>();
    if (data->Load(&drive, KORVANE_TEST_DATA_DIR) != 1) {
        std::printf("editor_list_bench: %s\n", data->GetStatusText());
        return 1;
    }
    MemorySettingsStore settings;
    CWriteHistory history;
    std::size_t rows = 0;
    std::size_t chars = 0;

    const double open = medianMs([&] {
        DriveRecord fresh(kStationRecordCount);
        fresh.seriesCode = kKapok;
        fresh.version = kLargestVersion;
        CDataFile file;
        (void)file.Load(&fresh, KORVANE_TEST_DATA_DIR);
        CParaListModel list(file, history, settings, kStationRecordCount);
        list.ShowNode(ParaNode{});
        rows = list.RowCount();
        chars = formatAll(list);
    });

    CParaListModel list(*data, history, settings, kStationRecordCount);
    list.ShowNode(ParaNode{});
    const std::size_t nameColumn = static_cast<std::size_t>(list.NameColumn());
    const double sort = medianMs([&] {
        list.ClickHeader(nameColumn);
        chars = formatAll(list);
    });

    std::printf("Offline editor on Kapok 0x%04X: %zu parameters in the all-groups list\n\n",
                kLargestVersion, rows);
    std::printf("%-52s %9s\n", "step (median of 50)", "ms");
    std::printf("%-52s %9.2f\n", "load the data file, fill and format the whole list", open);
    std::printf("%-52s %9.2f\n", "re-sort by name (alternating direction) and reformat", sort);
    std::printf("\n(%zu characters of cell text per pass)\n", chars);
    return 0;
}
