// The graph monitor's chart over long runs: four channels at the fastest scan with the longest
// span (36,000 visible points each) on top of a day of stored samples (864,000 each). Prints
// the time of one append-and-replot, the memory per stored point, and the scope file's save
// and load times for that day. Offscreen; never fails on a time.
#include <qcustomplot.h>

#include <QApplication>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "scope/sco_file.h"
#include "scope/ui/qcp_scope_chart.h"

using namespace korvane::scope;
using Clock = std::chrono::steady_clock;

namespace {

long residentKiB() {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6));
    return 0;
}

double msSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    constexpr int kDay = 864000;  // a day at 0.1 s
    constexpr double kStep = 0.1 / 86400.0;
    const double t0 = OleDateFromLocal({2026, 12, 8, 0, 0, 0, 0});

    QCustomPlot plot;
    plot.resize(1200, 600);
    QcpScopeChart chart(&plot);
    ChartStyle style;
    style.autoScale = false;
    chart.setStyle(style);
    for (int ch = 0; ch < kChannelCount; ++ch) chart.setChannelVisible(ch, true);
    chart.setXSpanDays(3600.0 / 86400.0);

    const long before = residentKiB();
    auto start = Clock::now();
    chart.beginUpdate();
    for (int p = 0; p < kDay; ++p) {
        const int point = chart.appendPoint(t0 + p * kStep);
        for (int ch = 0; ch < kChannelCount; ++ch)
            chart.setY(ch, point, 50 + 40 * std::sin(p * 0.001 * (ch + 1)));
    }
    chart.endUpdate();
    const double fillMs = msSince(start);
    const long after = residentKiB();
    std::printf("stored points per channel: %d, fill %.0f ms\n", kDay, fillMs);
    std::printf("memory per stored point per channel: %.1f bytes (resident growth)\n",
                (after - before) * 1024.0 / (static_cast<double>(kDay) * kChannelCount));

    plot.replot(QCustomPlot::rpImmediateRefresh);
    constexpr int kRounds = 100;
    start = Clock::now();
    for (int i = 0; i < kRounds; ++i) {
        const int point = chart.appendPoint(t0 + (kDay + i) * kStep);
        for (int ch = 0; ch < kChannelCount; ++ch) chart.setY(ch, point, 50.0 + i % 7);
        plot.replot(QCustomPlot::rpImmediateRefresh);
    }
    std::printf("append and replot, 4 x 36000 visible: %.2f ms each\n", msSince(start) / kRounds);

    ScoFile file;
    for (int p = 0; p < kDay; ++p) file.stamps.push_back(chart.stamp(p));
    for (int ch = 0; ch < kChannelCount; ++ch) {
        auto& column = file.y[static_cast<std::size_t>(ch)];
        column.reserve(kDay);
        for (int p = 0; p < kDay; ++p) column.push_back(chart.y(ch, p));
    }
    const std::string path =
        (std::filesystem::temp_directory_path() / "korvane_scope_bench.sco").string();
    start = Clock::now();
    const bool saved = WriteScoFile(path, file);
    std::printf(".sco save of a day (%zu bytes): %.0f ms%s\n",
                kScoHeaderBytes + kDay * kScoBytesPerPoint, msSince(start), saved ? "" : " FAILED");
    ScoFile back;
    start = Clock::now();
    const bool loaded = ReadScoFile(path, back);
    std::printf(".sco load of a day: %.0f ms%s\n", msSince(start), loaded ? "" : " FAILED");
    std::filesystem::remove(path);
    return 0;
}
