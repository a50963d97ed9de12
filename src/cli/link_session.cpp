#include "cli/link_session.h"

#include <atomic>
#include <chrono>
#include <csignal>
#include <ostream>

#include "comm/network_port.h"
#include "comm/serial_port.h"
#include "common/clock.h"
#include "common/format.h"

namespace korvane::cli {

namespace {

std::atomic<bool> gInterrupted{false};

extern "C" void onInterrupt(int) {
    gInterrupted = true;
}

std::string timeStamp() {
    LocalTime t = SystemClock().now();
    return strprintf("%02d:%02d:%02d.%03d", t.hour, t.minute, t.second, t.millisecond);
}

std::string hexBytes(const std::uint8_t* bytes, std::size_t n) {
    std::string text;
    for (std::size_t i = 0; i < n; ++i) text += strprintf(i ? " %02X" : "%02X", bytes[i]);
    return text;
}

}  // namespace

LinkSession::LinkSession(const GlobalOptions& options, std::ostream& err)
    : options_(options), err_(err) {
    std::ostream* errStream = &err_;
    PortErrorReport report = [errStream](const std::string& text, const std::string& caption) {
        *errStream << caption << ": " << text << std::flush;
    };
    Executor* executor = &executor_;
    link_ = std::make_unique<CDriveLink>(executor_, [executor, report] {
        return std::make_unique<NetworkAwarePort>(*executor, report,
                                                  MakeSerialPort(*executor, report));
    });
    if (options_.trace) {
        link_->SetFrameTrace([errStream](bool sent, const std::uint8_t* bytes, std::size_t n) {
            *errStream << timeStamp() << (sent ? " TX " : " RX ") << hexBytes(bytes, n)
                       << std::endl;
        });
    }
}

LinkSession::~LinkSession() {
    link_.reset();
}

bool LinkSession::open() {
    if (options_.port.portName.empty()) throw UsageError("--port is required");
    link_->SetPacing(options_.pacing);
    int result = link_->Open([](int) {}, options_.commMode, options_.port, options_.timeoutMs,
                             kTickMs, options_.retries);
    if (result != kLinkOpenOk) {
        err_ << "korvane-cli: cannot open port " << options_.port.portName << std::endl;
        return false;
    }
    nextTick_ = QueueExecutor::Clock::now() + std::chrono::milliseconds(link_->TickMs());
    return true;
}

ToolServices LinkSession::services(DriveRecords& records, SettingsStore& settings,
                                   Prompter& prompter, AppDirectories dirs) {
    return ToolServices{*link_, records,   settings, prompter,
                        clock_, executor_, host_,    std::move(dirs)};
}

bool LinkSession::runUntil(const std::function<bool()>& done) {
    static bool handlersInstalled = false;
    if (!handlersInstalled) {
        std::signal(SIGINT, onInterrupt);
        std::signal(SIGTERM, onInterrupt);
        handlersInstalled = true;
    }
    if (link_->CurrentPacing() == Pacing::kFast) return runFast(done);
    using Clock = QueueExecutor::Clock;
    const auto tick = std::chrono::milliseconds(link_->TickMs());
    while (!done()) {
        if (gInterrupted) return false;
        auto now = Clock::now();
        if (now >= nextTick_) {
            // Bytes that came before the tick are the line's state at the tick.
            executor_.runPosted();
            link_->OnTick();
            nextTick_ += tick;
            if (nextTick_ < now) nextTick_ = now + tick;  // a stalled loop fires no burst
            continue;
        }
        executor_.runUntil(nextTick_);
    }
    return true;
}

// No tick grid: the link is stepped after every batch of work and whenever its next deadline
// (a gap, a time-out, a guard) comes, so a request follows its predecessor's reply at once.
bool LinkSession::runFast(const std::function<bool()>& done) {
    using Clock = QueueExecutor::Clock;
    while (!done()) {
        if (gInterrupted) return false;
        executor_.runPosted();
        link_->OnTick();
        if (done()) break;
        executor_.waitForWork(Clock::now() +
                              std::chrono::microseconds(link_->MicrosecondsUntilDue()));
    }
    return true;
}

void LinkSession::traceNotice(const DriveReply& reply) {
    if (!options_.trace) return;
    err_ << timeStamp() << " retry " << reply.retryCounter << ": station " << reply.station << " "
         << static_cast<char>(reply.command) << strprintf(" 0x%04X", reply.addresses[0] & 0xFFFF)
         << ": " << ErrorText(reply.errorCode) << std::endl;
}

}  // namespace korvane::cli
