#pragma once
// The drive link's serial port on POSIX systems: an exclusively opened tty in raw mode, one
// worker thread that writes the frames handed to it and reads whatever arrives, and RTS
// switching for RS-485 adapters that do not switch their transmitter themselves.
#include <poll.h>
#include <termios.h>

#include <atomic>
#include <chrono>
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

// "ttyUSB0" -> "/dev/ttyUSB0"; anything with a '/' is a path already.
std::string DevicePathForPort(const std::string& name);

// The error box text for a failed call (`operation` such as "open()", `err` an errno value).
// Permission problems get a hint about the device's group.
std::string PortErrorText(const char* operation, int err, const std::string& portName,
                          const std::string& devicePath = {});

// Raw mode plus the line settings. False for settings a tty cannot take (data bits outside
// 5..8, a baud rate without a speed constant). POSIX has no 1.5 stop bits: they become 2, which
// every receiver set to 1 or 1.5 accepts.
[[nodiscard]] bool ApplyLineSettings(const PortSettings& settings, termios& t);

// The system calls the port makes, so tests can fail them on purpose.
class SerialSys {
public:
    virtual ~SerialSys() = default;
    virtual int open(const char* path, int flags);
    virtual int close(int fd);
    virtual int ioctl(int fd, unsigned long request, int* arg);
    virtual int flock(int fd, int operation);
    virtual int tcgetattr(int fd, termios* t);
    virtual int tcsetattr(int fd, const termios* t);
    virtual int tcflush(int fd, int queue);
    virtual int tcdrain(int fd);
    virtual long read(int fd, void* buffer, std::size_t length);
    virtual long write(int fd, const void* buffer, std::size_t length);
    virtual int poll(struct pollfd* fds, unsigned long count, int timeoutMs);
    virtual void sleepMs(int ms);
};
SerialSys& RealSerialSys();

class PosixSerialPort : public Port {
public:
    PosixSerialPort(Executor& executor, PortErrorReport report, SerialSys& sys = RealSerialSys());
    ~PosixSerialPort() override;
    PosixSerialPort(const PosixSerialPort&) = delete;
    PosixSerialPort& operator=(const PosixSerialPort&) = delete;

    [[nodiscard]] bool Open(const PortSettings& settings, ByteHandler onByte) override;
    [[nodiscard]] bool Start() override;
    bool Stop() override;
    [[nodiscard]] bool SendBytes(const std::uint8_t* data, std::size_t length) override;
    [[nodiscard]] bool SendText(const char* text) override;
    bool IsOpen() const override { return fd_ >= 0; }
    void Close() override;

    // Writes one frame as the worker does: purge, RTS to transmit, write, drain, RTS back.
    // Public for tests that check the RTS order with a scripted SerialSys.
    void TransmitFrame(const std::vector<std::uint8_t>& frame);

private:
    // What posted work may still reach: gone once the port is closed or destroyed.
    struct Session {
        ByteHandler onByte;
        PortErrorReport report;
    };

    [[nodiscard]] int openExclusive(const std::string& path);
    [[nodiscard]] bool configure();
    // 0, or the errno of a failed switch. A tty without modem lines ends RTS control.
    int setRts(bool transmit);
    const char* rtsCall(bool transmit) const;
    void reportNow(const char* operation, int err);
    void reportFromWorker(const char* operation, int err);
    void workerLoop();
    void readAvailable();
    void batchDone();
    // Waits up to ms for a wake-up; true if Stop() asked the worker to end.
    bool waitForStop(int ms);
    bool stopRequested();
    // 0, or the errno of a write that did not get the frame out in time.
    int writeFrame(const std::vector<std::uint8_t>& frame,
                   std::chrono::steady_clock::time_point deadline);
    int drainOutput(std::chrono::steady_clock::time_point deadline);
    void lineLost(const char* operation, int err);
    void wake();

    Executor& executor_;
    PortErrorReport report_;
    SerialSys& sys_;
    PortSettings settings_;
    std::string devicePath_;
    int fd_ = -1;
    int wakeFd_ = -1;

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

    // Touched by the worker only while it runs, by Open otherwise.
    bool rtsControl_ = false;
    bool rtsReported_ = false;
    bool lineLost_ = false;
};

}  // namespace korvane
