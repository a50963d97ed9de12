#include "comm/port_worker.h"

#include <cstring>

#include "common/executor.h"
#include "common/prompter.h"

namespace korvane {

const char kPortErrorCaption[] = "Application Error";

namespace {

constexpr std::size_t kReadBatchBytes = 256;
constexpr int kMaxBatchesInFlight = 4;
// After a failed wait the worker pauses this long rather than spin on the failure.
constexpr int kWaitFailurePauseMs = 100;

}  // namespace

PortErrorReport ReportThroughPrompter(Prompter& prompter) {
    return [&prompter](const std::string& text, const std::string& caption) {
        prompter.error(text, caption);
    };
}

PortWorker::PortWorker(Executor& executor, PortErrorReport report, std::unique_ptr<LineIo> io)
    : executor_(executor), report_(std::move(report)), io_(std::move(io)) {}

PortWorker::~PortWorker() {
    Close();
}

bool PortWorker::Open(const PortSettings& settings, ByteHandler onByte) {
    Close();
    queueSize_ = settings.queueSize;
    lineLost_ = false;
    batchesInFlight_ = 0;
    auto say = [this](const std::string& text) {
        if (report_) report_(text, kPortErrorCaption);
    };
    if (!io_->open(settings, say)) {
        io_->close();
        return false;
    }
    open_ = true;
    session_ = std::make_shared<Session>(Session{std::move(onByte), report_});
    workerSession_ = session_;
    return true;
}

bool PortWorker::Start() {
    if (!open_) return false;
    if (worker_.joinable()) return true;
    {
        std::lock_guard lock(mutex_);
        stopRequested_ = false;
    }
    worker_ = std::thread([this] { workerLoop(); });
    return true;
}

bool PortWorker::Stop() {
    if (!worker_.joinable()) return open_;
    {
        std::lock_guard lock(mutex_);
        stopRequested_ = true;
    }
    io_->interrupt();
    worker_.join();
    return true;
}

bool PortWorker::SendBytes(const std::uint8_t* data, std::size_t length) {
    // A frame longer than the transmit buffer would be cut; no drive frame comes near it.
    if (!open_ || data == nullptr || length == 0 || length > queueSize_) return false;
    {
        std::lock_guard lock(mutex_);
        txBuffer_.assign(data, data + length);
        txPending_ = true;
    }
    io_->interrupt();
    return true;
}

bool PortWorker::SendText(const char* text) {
    if (text == nullptr) return false;
    return SendBytes(reinterpret_cast<const std::uint8_t*>(text), std::strlen(text));
}

void PortWorker::Close() {
    Stop();
    if (open_) io_->close();
    open_ = false;
    session_.reset();
    workerSession_.reset();
    std::lock_guard lock(mutex_);
    txBuffer_.clear();
    txPending_ = false;
}

void PortWorker::transmitNow(const std::vector<std::uint8_t>& frame) {
    if (lineLost_) return;  // the line is gone; the link's time-out tells the rest
    io_->transmit(frame, *this);
}

void PortWorker::report(const std::string& text) {
    executor_.post([weak = workerSession_, text] {
        if (auto session = weak.lock()) {
            if (session->report) session->report(text, kPortErrorCaption);
        }
    });
}

void PortWorker::lose(const std::string& text) {
    if (lineLost_) return;
    lineLost_ = true;
    report(text);
}

bool PortWorker::stopping() {
    std::lock_guard lock(mutex_);
    return stopRequested_;
}

bool PortWorker::takeFrame(std::vector<std::uint8_t>& frame) {
    std::lock_guard lock(mutex_);
    if (!txPending_) return false;
    frame.swap(txBuffer_);
    txPending_ = false;
    return true;
}

void PortWorker::deliver(std::vector<std::uint8_t> bytes) {
    ++batchesInFlight_;
    executor_.post([this, weak = workerSession_, bytes = std::move(bytes)] {
        for (std::uint8_t b : bytes) {
            // Checked per byte: a handler may close the port halfway through.
            auto session = weak.lock();
            if (!session) return;
            if (session->onByte) session->onByte(b);
        }
        // The port (this) lives at least as long as its session.
        if (!weak.expired()) batchDone();
    });
}

void PortWorker::batchDone() {
    // The worker stopped listening to the line when the limit was reached.
    if (batchesInFlight_.fetch_sub(1) == kMaxBatchesInFlight) io_->interrupt();
}

void PortWorker::readAvailable() {
    while (batchesInFlight_ < kMaxBatchesInFlight && !lineLost_) {
        std::vector<std::uint8_t> data;
        std::string error;
        switch (io_->read(kReadBatchBytes, data, error)) {
            case LineIo::Read::Data:
                if (!data.empty()) deliver(std::move(data));
                break;
            case LineIo::Read::Nothing:
                return;
            case LineIo::Read::Lost:
                lose(error);
                return;
        }
    }
}

void PortWorker::workerLoop() {
    bool waitReported = false;
    for (;;) {
        const bool behind = batchesInFlight_ >= kMaxBatchesInFlight;
        std::string error;
        const auto woke = io_->wait(!lineLost_ && !behind, -1, error);
        if (woke == LineIo::Wait::Failed) {
            if (!waitReported) report(error);
            waitReported = true;
            io_->wait(false, kWaitFailurePauseMs, error);
        }
        if (stopping()) return;
        // Write before reading: the purge in front of the write is what drops stale bytes,
        // and what arrived meanwhile is read on the next round. A write's own wait may have
        // taken the wake-up of the stop or of the next frame: both are looked for after it.
        std::vector<std::uint8_t> frame;
        bool wrote = false;
        while (takeFrame(frame)) {
            transmitNow(frame);
            wrote = true;
            if (stopping()) return;
        }
        if (wrote) continue;
        if (woke == LineIo::Wait::Input && !lineLost_) readAvailable();
    }
}

}  // namespace korvane
