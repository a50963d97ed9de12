// Whole-set upload and download of a simulated Kapok drive, and the editor's read of all its
// groups: the transfer dialog's chain and the group reader on the
// drive link, a real PosixSerialPort and the simulator behind a pseudo-terminal with its line
// timing, in both pacings. Printed beside the bound the link's 30 ms tick sets (one exchange
// per tick at best, each rounded up to whole ticks of line time) and the line's own bound
// (every exchange back to back: its characters at the baud rate plus the drive's turnaround).
#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>

#include "bench_executor.h"
#include "comm/drive_link.h"
#include "comm/posix_serial_port.h"
#include "comm/tk485_codec.h"
#include "common/executor.h"
#include "common/prompter.h"
#include "editor/group_reader.h"
#include "editor/transfer_run.h"
#include "paradb/data_file.h"
#include "paradb/drive_record.h"
#include "sim/pty_pair.h"
#include "sim/sim_engine.h"
#include "sim/sim_server.h"

using namespace korvane;
using Clock = std::chrono::steady_clock;

namespace {

constexpr int kTickMs = 30;
constexpr double kTurnaroundMs = 2.0;
constexpr int kStation = 3;

struct Result {
    double seconds = -1;
    int exchanges = 0;
    std::string status;
};

class Rig {
public:
    Rig(int baud, Pacing pacing) : pacing_(pacing) {
        sim::SimConfig config;
        config.protocol = sim::SimProtocol::Tk485;
        config.line.baud = baud;
        config.line.turnaroundMs = kTurnaroundMs;
        config.dataDir = KORVANE_TEST_DATA_DIR;
        engine_ = std::make_unique<sim::SimEngine>(config);
        engine_->addDrive({kStation, 11, 0x0310, 5, 1});
        std::string error;
        if (!pty_.open(error)) {
            std::fprintf(stderr, "transfer_bench: %s\n", error.c_str());
            return;
        }
        server_ = std::make_unique<sim::SimServer>(*engine_, pty_.masterFd());
        if (!server_->start()) return;
        link_ = std::make_unique<CDriveLink>(executor_, [this] {
            return std::make_unique<PosixSerialPort>(executor_, ReportThroughPrompter(prompter_));
        });
        PortSettings settings;
        settings.portName = pty_.slavePath();
        settings.baudRate = baud;
        if (link_->Open([](int) {}, kCommTk485, settings, 1000, kTickMs, 3) != kLinkOpenOk) return;
        link_->SetPacing(pacing);
        drive_.connected = drive_.supported = 1;
        drive_.seriesCode = 11;
        drive_.version = 0x0310;
        drive_.driveData = std::make_shared<CDataFile>();
        ready_ = drive_.driveData->Load(&drive_, KORVANE_TEST_DATA_DIR) == 1;
    }

    bool ready() const { return ready_; }
    int entries() const { return drive_.driveData->GetTotalItemCount(); }

    Result run(TransferMode mode, const std::string& path) {
        Result r;
        TransferFileChoice choice;
        TransferRun dlg(TransferContext{*link_, drive_, prompter_, executor_, choice}, mode);
        dlg.SetPathText(path);
        const auto start = Clock::now();
        dlg.Start();
        pumpWhile([&] { return dlg.IsRunning(); });
        if (dlg.LastEnd() == TransferEnd::kDone)
            r.seconds = std::chrono::duration<double>(Clock::now() - start).count();
        r.exchanges = dlg.ProgressPosition();
        r.status = dlg.StatusText();
        return r;
    }

    // The editor's Refresh on the "all groups" node: every parameter, one request at a time.
    Result readAllGroups() {
        Result r;
        GroupReader reader(*link_, kStation, drive_.driveData,
                           ReadTargetsOf(ReadNode{}, *drive_.driveData));
        const auto start = Clock::now();
        if (!reader.Start()) return r;
        pumpWhile([&] { return reader.IsRunning(); });
        if (reader.state() == GroupReader::State::kFinished)
            r.seconds = std::chrono::duration<double>(Clock::now() - start).count();
        r.exchanges = static_cast<int>(reader.Answered());
        r.status = reader.FrameText();
        return r;
    }

private:
    // The link's 30 ms timer and the received bytes, as the program's event loop runs them; in
    // fast pacing the link is stepped after each batch of bytes and at its next deadline.
    template <typename Running>
    void pumpWhile(Running running) {
        const auto start = Clock::now();
        if (pacing_ == Pacing::kFast) {
            while (running() && Clock::now() - start < std::chrono::minutes(5)) {
                executor_.drain();
                link_->OnTick();
                executor_.waitUntil(Clock::now() +
                                    std::chrono::microseconds(link_->MicrosecondsUntilDue()));
            }
            return;
        }
        auto next = start + std::chrono::milliseconds(kTickMs);
        while (running() && Clock::now() - start < std::chrono::minutes(5)) {
            const auto now = Clock::now();
            if (now >= next) {
                link_->OnTick();
                next += std::chrono::milliseconds(kTickMs);
                continue;
            }
            executor_.waitUntil(next);
            executor_.drain();
        }
    }

    Pacing pacing_;
    BenchExecutor executor_;
    RecordingPrompter prompter_;
    std::unique_ptr<sim::SimEngine> engine_;
    sim::PtyPair pty_;
    std::unique_ptr<sim::SimServer> server_;
    std::unique_ptr<CDriveLink> link_;
    DriveRecord drive_{kStation};
    bool ready_ = false;
};

double LineMs(std::size_t chars, int baud) {
    return static_cast<double>(chars) * 10.0 * 1000.0 / baud + kTurnaroundMs;
}

// The least time `exchanges` requests can take: each starts on a tick and the next starts on
// the first tick after its reply is in.
double tickBoundSeconds(int exchanges, std::size_t chars, int baud) {
    return exchanges * kTickMs * std::ceil(LineMs(chars, baud) / kTickMs) / 1000.0;
}

double lineBoundSeconds(int exchanges, std::size_t chars, int baud) {
    return exchanges * LineMs(chars, baud) / 1000.0;
}

void PrintRow(const char* what, Pacing pacing, int baud, const Result& r, std::size_t chars) {
    const double tick = tickBoundSeconds(r.exchanges, chars, baud);
    const double line = lineBoundSeconds(r.exchanges, chars, baud);
    const char* pacingName = pacing == Pacing::kFast ? "fast" : "tick";
    if (r.seconds < 0) {
        std::printf("%-9s %-6s %6d %9d %11s %8.2f %8.2f  (%s)\n", what, pacingName, baud,
                    r.exchanges, "failed", tick, line, r.status.c_str());
        return;
    }
    std::printf("%-9s %-6s %6d %9d %11.2f %8.2f %8.2f %7.2f %7.2f\n", what, pacingName, baud,
                r.exchanges, r.seconds, tick, line, r.seconds / tick, r.seconds / line);
}

}  // namespace

int main() {
    const std::string dir =
        (std::filesystem::temp_directory_path() / "korvane-transfer-bench").string();
    std::filesystem::create_directories(dir);
    const int word[1] = {0x1234};
    const std::size_t readChars = tk485::BuildRead(kStation, 0x1003).size() +
                                  tk485::BuildAckReply(kStation, 'R', word, 1).size();
    const std::size_t writeChars = tk485::BuildWrite(kStation, 0x1003, 0x1234).size() +
                                   tk485::BuildAckReply(kStation, 'W', word, 1).size();
    std::printf(
        "Whole-set transfers of a simulated Kapok drive (TK485 over a pty, 8N1, turnaround %.0f "
        "ms, link tick %d ms)\n\n",
        kTurnaroundMs, kTickMs);
    std::printf("%-9s %-6s %6s %9s %11s %8s %8s %7s %7s\n", "transfer", "pacing", "baud",
                "exchanges", "measured s", "tick s", "line s", "/tick", "/line");
    for (Pacing pacing : {Pacing::kTick, Pacing::kFast}) {
        for (int baud : {9600, 38400}) {
            Rig rig(baud, pacing);
            if (!rig.ready()) {
                std::printf("%-9s %-6s %6d  (no simulated line)\n", "-", "-", baud);
                continue;
            }
            const std::string path = dir + "/kapok_" + std::to_string(baud) + ".par";
            std::filesystem::remove(path);
            for (TransferMode mode : {TransferMode::kUpload, TransferMode::kDownload}) {
                const bool up = mode == TransferMode::kUpload;
                PrintRow(up ? "upload" : "download", pacing, baud, rig.run(mode, path),
                         up ? readChars : writeChars);
            }
            PrintRow("read all", pacing, baud, rig.readAllGroups(), readChars);
        }
    }
    std::filesystem::remove_all(dir);
    std::printf(
        "\ntick s: the bound of the 30 ms tick; line s: every exchange back to back on the line;\n"
        "/tick and /line: measured against each. The download writes only the writable\n"
        "parameters outside the series' excluded list, so it has fewer exchanges than the "
        "upload.\n");
    return 0;
}
