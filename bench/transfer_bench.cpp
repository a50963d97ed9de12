// Whole-set upload and download of a simulated Kapok drive, and the editor's read of all its
// groups: the transfer dialog's chain and the group reader on the
// drive link, a real PosixSerialPort and the simulator behind a pseudo-terminal with its line
// timing. Printed beside the bound the link's 30 ms tick sets: one exchange per tick at best,
// each rounded up to whole ticks of line time.
#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>

#include "comm/drive_link.h"
#include "comm/posix_serial_port.h"
#include "comm/tk485_codec.h"
#include "common/executor.h"
#include "common/prompter.h"
#include "editor/group_reader.h"
#include "editor/transfer_dialog.h"
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
    explicit Rig(int baud) {
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
        CParaTransferDlg dlg(TransferContext{*link_, drive_, prompter_, executor_, choice}, mode);
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
    // The link's 30 ms timer and the received bytes, as the program's event loop runs them.
    template <typename Running>
    void pumpWhile(Running running) {
        const auto start = Clock::now();
        auto next = start + std::chrono::milliseconds(kTickMs);
        while (running() && Clock::now() - start < std::chrono::minutes(5)) {
            const auto now = Clock::now();
            if (now >= next) {
                link_->OnTick();
                next += std::chrono::milliseconds(kTickMs);
                continue;
            }
            executor_.waitAndDrain(
                std::chrono::duration_cast<std::chrono::milliseconds>(next - now) +
                std::chrono::milliseconds(1));
        }
    }

    QueueExecutor executor_;
    RecordingPrompter prompter_;
    std::unique_ptr<sim::SimEngine> engine_;
    sim::PtyPair pty_;
    std::unique_ptr<sim::SimServer> server_;
    std::unique_ptr<CDriveLink> link_;
    DriveRecord drive_{kStation};
    bool ready_ = false;
};

// The least time `exchanges` requests can take: each starts on a tick and the next starts on
// the first tick after its reply is in.
double tickBoundSeconds(int exchanges, std::size_t chars, int baud) {
    const double lineMs = static_cast<double>(chars) * 10.0 * 1000.0 / baud + kTurnaroundMs;
    return exchanges * kTickMs * std::ceil(lineMs / kTickMs) / 1000.0;
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
    std::printf("%-9s %6s %9s %11s %12s %8s\n", "transfer", "baud", "exchanges", "measured s",
                "tick bound s", "ratio");
    for (int baud : {9600, 38400}) {
        Rig rig(baud);
        if (!rig.ready()) {
            std::printf("%-9s %6d  (no simulated line)\n", "-", baud);
            continue;
        }
        const std::string path = dir + "/kapok_" + std::to_string(baud) + ".par";
        std::filesystem::remove(path);
        for (TransferMode mode : {TransferMode::kUpload, TransferMode::kDownload}) {
            const bool up = mode == TransferMode::kUpload;
            Result r = rig.run(mode, path);
            const double bound = tickBoundSeconds(r.exchanges, up ? readChars : writeChars, baud);
            if (r.seconds < 0) {
                std::printf("%-9s %6d %9d %11s %12.2f  (%s)\n", up ? "upload" : "download", baud,
                            r.exchanges, "failed", bound, r.status.c_str());
                continue;
            }
            std::printf("%-9s %6d %9d %11.2f %12.2f %8.2f\n", up ? "upload" : "download", baud,
                        r.exchanges, r.seconds, bound, r.seconds / bound);
        }
        const Result read = rig.readAllGroups();
        const double readBound = tickBoundSeconds(read.exchanges, readChars, baud);
        if (read.seconds < 0)
            std::printf("%-9s %6d %9d %11s %12.2f  (%s)\n", "read all", baud, read.exchanges,
                        "failed", readBound, read.status.c_str());
        else
            std::printf("%-9s %6d %9d %11.2f %12.2f %8.2f\n", "read all", baud, read.exchanges,
                        read.seconds, readBound, read.seconds / readBound);
    }
    std::filesystem::remove_all(dir);
    std::printf(
        "\nThe download writes only the writable parameters outside the series' excluded list,\n"
        "so it has fewer exchanges than the upload.\n");
    return 0;
}
