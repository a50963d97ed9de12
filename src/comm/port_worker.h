#pragma once
// A port whose line is served by one worker thread: it writes the frames handed to it and reads
// whatever arrives, and hands the received bytes to the protocol thread in bounded batches.
// What touches the line belongs to the platform and the transport (a tty, a socket, an
// overlapped handle): a LineIo. The worker itself makes no system call.
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "comm/port.h"

namespace korvane {

class Executor;
class Prompter;

// How a port failure reaches the user: the text and caption of an error box. Always called on
// the protocol thread.
using PortErrorReport = std::function<void(const std::string& text, const std::string& caption)>;

PortErrorReport ReportThroughPrompter(Prompter& prompter);

extern const char kPortErrorCaption[];  // "Application Error"

// What a LineIo may tell its worker while it writes a frame, on the worker thread (or on the
// thread a test transmits from while no worker runs).
class LineEvents {
public:
    // An error box, shown later on the protocol thread; the worker never waits for the user.
    virtual void report(const std::string& text) = 0;
    // The line is gone rather than disturbed: said once, then neither read nor written until
    // the port is opened again. The link's time-outs tell the rest.
    virtual void lose(const std::string& text) = 0;
    // Stop() asked the worker to end: a write still waiting gives up without a report.
    [[nodiscard]] virtual bool stopping() = 0;

protected:
    ~LineEvents() = default;
};

// The platform's side of a worker port. open() and close() run on the protocol thread while no
// worker runs; wait(), read() and transmit() on the worker; interrupt() on any thread.
class LineIo {
public:
    enum class Wait { Input, Woken, TimedOut, Failed };
    enum class Read { Data, Nothing, Lost };

    virtual ~LineIo() = default;

    // Opens and configures the line. Every failure, and anything worth saying on a line that
    // opened all the same, goes to `say` as an error box text.
    [[nodiscard]] virtual bool open(const PortSettings& settings,
                                    const std::function<void(const std::string&)>& say) = 0;
    virtual void close() = 0;

    // Blocks until the line has something to read (only while watchLine), interrupt() was
    // called since the last wait, or timeoutMs passed (negative: no limit). Failed sets `error`
    // to the text for the user.
    virtual Wait wait(bool watchLine, int timeoutMs, std::string& error) = 0;
    // Ends the current wait, or the next one if none runs.
    virtual void interrupt() = 0;
    // Takes up to `size` received bytes without blocking and appends what the link should see
    // to `data` (possibly nothing: transport chatter). Nothing: no byte was waiting. Lost sets
    // `error`: the line is gone.
    virtual Read read(std::size_t size, std::vector<std::uint8_t>& data, std::string& error) = 0;
    // Puts one frame on the line, having dropped what an earlier exchange left unread.
    virtual void transmit(const std::vector<std::uint8_t>& frame, LineEvents& events) = 0;
};

class PortWorker : public Port, private LineEvents {
public:
    PortWorker(Executor& executor, PortErrorReport report, std::unique_ptr<LineIo> io);
    ~PortWorker() override;
    PortWorker(const PortWorker&) = delete;
    PortWorker& operator=(const PortWorker&) = delete;

    [[nodiscard]] bool Open(const PortSettings& settings, ByteHandler onByte) override;
    [[nodiscard]] bool Start() override;
    bool Stop() override;
    // A frame handed over before the previous one was written replaces it.
    [[nodiscard]] bool SendBytes(const std::uint8_t* data, std::size_t length) override;
    [[nodiscard]] bool SendText(const char* text) override;
    bool IsOpen() const override { return open_; }
    void Close() override;

protected:
    // Writes one frame as the worker does, on the calling thread. For tests of a LineIo.
    void transmitNow(const std::vector<std::uint8_t>& frame);

private:
    // What posted work may still reach: gone once the port is closed or destroyed.
    struct Session {
        ByteHandler onByte;
        PortErrorReport report;
    };

    void report(const std::string& text) override;
    void lose(const std::string& text) override;
    bool stopping() override;

    void workerLoop();
    bool takeFrame(std::vector<std::uint8_t>& frame);
    void readAvailable();
    void deliver(std::vector<std::uint8_t> bytes);
    void batchDone();

    Executor& executor_;
    PortErrorReport report_;
    std::unique_ptr<LineIo> io_;
    std::size_t queueSize_ = 0;
    bool open_ = false;

    std::shared_ptr<Session> session_;  // owned on the protocol thread
    std::weak_ptr<Session> workerSession_;

    std::thread worker_;
    std::mutex mutex_;  // guards the transmit buffer and the stop request
    std::vector<std::uint8_t> txBuffer_;
    bool txPending_ = false;
    bool stopRequested_ = false;
    // Batches of received bytes posted but not yet handled: while the protocol thread is
    // behind, the worker stops reading, so a flood can neither grow memory nor crowd out the
    // link's ticks; the driver's buffer takes the overflow.
    std::atomic<int> batchesInFlight_{0};
    // The worker's while it runs, Open's otherwise.
    bool lineLost_ = false;
};

}  // namespace korvane
