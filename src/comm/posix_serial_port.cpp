#include "comm/posix_serial_port.h"

#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>

#include "common/executor.h"
#include "common/format.h"
#include "common/prompter.h"

namespace korvane {

const char kPortErrorCaption[] = "Application Error";

namespace {

// A frame that cannot leave within this time (plus its own time on the line) is reported as a
// failed write: a stalled adapter must not hold the worker, and with it Stop(), for ever.
constexpr int kWriteTimeoutMs = 1000;
// How often a full transmit queue is looked at again while draining.
constexpr int kDrainPollMs = 2;

constexpr std::size_t kReadBatchBytes = 256;
constexpr int kMaxBatchesInFlight = 4;

// The time a frame needs on the line, with room for a slow driver, plus the fixed allowance.
std::chrono::steady_clock::time_point writeDeadline(const PortSettings& s, std::size_t bytes) {
    const long bitsPerChar = 1 + s.dataBits + (s.parity == Parity::None ? 0 : 1) + 2;
    const long lineMs = static_cast<long>(bytes) * bitsPerChar * 1000 / std::max(1, s.baudRate);
    return std::chrono::steady_clock::now() +
           std::chrono::milliseconds(kWriteTimeoutMs + 2 * lineMs);
}

struct BaudConstant {
    int rate;
    speed_t speed;
};

constexpr BaudConstant kBauds[] = {
    {50, B50},           {75, B75},           {110, B110},         {134, B134},
    {150, B150},         {200, B200},         {300, B300},         {600, B600},
    {1200, B1200},       {1800, B1800},       {2400, B2400},       {4800, B4800},
    {9600, B9600},       {19200, B19200},     {38400, B38400},     {57600, B57600},
    {115200, B115200},   {230400, B230400},   {460800, B460800},   {500000, B500000},
    {576000, B576000},   {921600, B921600},   {1000000, B1000000}, {1152000, B1152000},
    {1500000, B1500000}, {2000000, B2000000}, {2500000, B2500000}, {3000000, B3000000},
    {3500000, B3500000}, {4000000, B4000000},
};

std::string errnoText(int err) {
    char buffer[256];
    return strerror_r(err, buffer, sizeof buffer);  // the GNU form returns the text
}

std::string groupHint(const std::string& devicePath) {
    struct stat st {};
    std::string owner = "usually dialout";
    if (!devicePath.empty() && ::stat(devicePath.c_str(), &st) == 0) {
        char buffer[1024];
        struct group g {};
        struct group* found = nullptr;
        if (getgrgid_r(st.st_gid, &g, buffer, sizeof buffer, &found) == 0 && found)
            owner = found->gr_name;
    }
    return strprintf("Add your user to the group that owns the port (%s) and log in again.\n",
                     owner.c_str());
}

// The line is gone rather than merely disturbed: stop reading it until the port is re-opened.
bool meansUnplugged(int err) {
    return err == EIO || err == ENXIO || err == ENODEV || err == EBADF;
}

}  // namespace

PortErrorReport ReportThroughPrompter(Prompter& prompter) {
    return [&prompter](const std::string& text, const std::string& caption) {
        prompter.error(text, caption);
    };
}

std::string DevicePathForPort(const std::string& name) {
    if (name.find('/') != std::string::npos) return name;
    return "/dev/" + name;
}

std::string PortErrorText(const char* operation, int err, const std::string& portName,
                          const std::string& devicePath) {
    std::string text = strprintf("WARNING:  %s Failed with the following error: \n%s\nPort: %s\n",
                                 operation, errnoText(err).c_str(), portName.c_str());
    if (err == EACCES || err == EPERM) text += groupHint(devicePath);
    return text;
}

bool ApplyLineSettings(const PortSettings& settings, termios& t) {
    const BaudConstant* baud = nullptr;
    for (const auto& b : kBauds) {
        if (b.rate == settings.baudRate) baud = &b;
    }
    if (!baud) return false;
    tcflag_t size = 0;
    switch (settings.dataBits) {
        case 5:
            size = CS5;
            break;
        case 6:
            size = CS6;
            break;
        case 7:
            size = CS7;
            break;
        case 8:
            size = CS8;
            break;
        default:
            return false;
    }
    cfmakeraw(&t);
    t.c_cflag &= ~(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS);
    t.c_cflag |= size | CLOCAL | CREAD;
    switch (settings.parity) {
        case Parity::None:
            break;
        case Parity::Odd:
            t.c_cflag |= PARENB | PARODD;
            break;
        case Parity::Even:
            t.c_cflag |= PARENB;
            break;
        case Parity::Mark:
            t.c_cflag |= PARENB | CMSPAR | PARODD;
            break;
        case Parity::Space:
            t.c_cflag |= PARENB | CMSPAR;
            break;
    }
    if (settings.stopBits != StopBits::One) t.c_cflag |= CSTOPB;
    t.c_iflag &= ~(IXON | IXOFF | IXANY);
    t.c_cc[VMIN] = 1;
    t.c_cc[VTIME] = 0;
    return cfsetispeed(&t, baud->speed) == 0 && cfsetospeed(&t, baud->speed) == 0;
}

// ---- the real system calls -------------------------------------------------------------

int SerialSys::open(const char* path, int flags) {
    return ::open(path, flags);
}
int SerialSys::close(int fd) {
    return ::close(fd);
}
int SerialSys::ioctl(int fd, unsigned long request, int* arg) {
    return ::ioctl(fd, request, arg);
}
int SerialSys::flock(int fd, int operation) {
    return ::flock(fd, operation);
}
int SerialSys::tcgetattr(int fd, termios* t) {
    return ::tcgetattr(fd, t);
}
int SerialSys::tcsetattr(int fd, const termios* t) {
    return ::tcsetattr(fd, TCSANOW, t);
}
int SerialSys::tcflush(int fd, int queue) {
    return ::tcflush(fd, queue);
}
int SerialSys::tcdrain(int fd) {
    return ::tcdrain(fd);
}
long SerialSys::read(int fd, void* buffer, std::size_t length) {
    return ::read(fd, buffer, length);
}
long SerialSys::write(int fd, const void* buffer, std::size_t length) {
    return ::write(fd, buffer, length);
}
int SerialSys::poll(struct pollfd* fds, unsigned long count, int timeoutMs) {
    return ::poll(fds, count, timeoutMs);
}
void SerialSys::sleepMs(int ms) {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

SerialSys& RealSerialSys() {
    static SerialSys sys;
    return sys;
}

// ---- the port ------------------------------------------------------------------------------

PosixSerialPort::PosixSerialPort(Executor& executor, PortErrorReport report, SerialSys& sys)
    : executor_(executor), report_(std::move(report)), sys_(sys) {}

PosixSerialPort::~PosixSerialPort() {
    Close();
}

void PosixSerialPort::reportNow(const char* operation, int err) {
    if (report_)
        report_(PortErrorText(operation, err, settings_.portName, devicePath_), kPortErrorCaption);
}

void PosixSerialPort::reportFromWorker(const char* operation, int err) {
    // Never block the worker on a message box: the box is the protocol thread's business.
    std::string text = PortErrorText(operation, err, settings_.portName, devicePath_);
    executor_.post([weak = workerSession_, text] {
        if (auto session = weak.lock()) {
            if (session->report) session->report(text, kPortErrorCaption);
        }
    });
}

int PosixSerialPort::openExclusive(const std::string& path) {
    const char* failed = "open()";
    int err = 0;
    // A port that was just released may still be held for a moment: one more try after 1 ms.
    for (int attempt = 0; attempt < 2; ++attempt) {
        if (attempt > 0) sys_.sleepMs(1);
        int fd = sys_.open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) {
            err = errno;
            continue;
        }
        // TIOCEXCL keeps other programs out but not root; the lock also keeps out a second
        // copy of this program run by root.
        if (sys_.ioctl(fd, TIOCEXCL, nullptr) != 0) {
            err = errno;
            sys_.close(fd);
            continue;
        }
        if (sys_.flock(fd, LOCK_EX | LOCK_NB) != 0) {
            err = errno == EWOULDBLOCK ? EBUSY : errno;
            sys_.close(fd);
            continue;
        }
        return fd;
    }
    reportNow(failed, err);
    return -1;
}

bool PosixSerialPort::configure() {
    termios t{};
    if (sys_.tcgetattr(fd_, &t) != 0) {
        reportNow("tcgetattr()", errno);
        return false;
    }
    if (!ApplyLineSettings(settings_, t)) {
        reportNow("tcsetattr()", EINVAL);
        return false;
    }
    if (sys_.tcsetattr(fd_, &t) != 0) {
        reportNow("tcsetattr()", errno);
        return false;
    }
    sys_.tcflush(fd_, TCIOFLUSH);
    return true;
}

const char* PosixSerialPort::rtsCall(bool transmit) const {
    return transmit == (settings_.txActiveHigh != 0) ? "ioctl(TIOCMBIS)" : "ioctl(TIOCMBIC)";
}

int PosixSerialPort::setRts(bool transmit) {
    if (!rtsControl_) return 0;
    int bits = TIOCM_RTS;
    const bool high = transmit == (settings_.txActiveHigh != 0);
    if (sys_.ioctl(fd_, high ? TIOCMBIS : TIOCMBIC, &bits) == 0) return 0;
    int err = errno;
    // Pseudo-terminals and some adapters have no modem lines: nothing to switch, ever.
    if (err == ENOTTY || err == EINVAL) rtsControl_ = false;
    return err;
}

bool PosixSerialPort::Open(const PortSettings& settings, ByteHandler onByte) {
    Close();
    settings_ = settings;
    devicePath_ = DevicePathForPort(settings.portName);
    rtsControl_ = settings.autoTxEnable == 0;
    rtsReported_ = false;
    lineLost_ = false;

    fd_ = openExclusive(devicePath_);
    if (fd_ < 0) return false;
    if (!configure()) {
        Close();
        return false;
    }
    wakeFd_ = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (wakeFd_ < 0) {
        reportNow("eventfd()", errno);
        Close();
        return false;
    }
    if (int err = setRts(false)) {
        // The line still works when the adapter switches itself; say so once and go on.
        reportNow(rtsCall(false), err);
        rtsReported_ = true;
    }
    batchesInFlight_ = 0;
    session_ = std::make_shared<Session>(Session{std::move(onByte), report_});
    workerSession_ = session_;
    return true;
}

bool PosixSerialPort::Start() {
    if (fd_ < 0) return false;
    if (worker_.joinable()) return true;
    {
        std::lock_guard lock(mutex_);
        stopRequested_ = false;
    }
    worker_ = std::thread([this] { workerLoop(); });
    return true;
}

bool PosixSerialPort::Stop() {
    if (!worker_.joinable()) return fd_ >= 0;
    {
        std::lock_guard lock(mutex_);
        stopRequested_ = true;
    }
    wake();
    worker_.join();
    return true;
}

void PosixSerialPort::wake() {
    if (wakeFd_ < 0) return;
    std::uint64_t one = 1;
    [[maybe_unused]] long n = ::write(wakeFd_, &one, sizeof one);
}

bool PosixSerialPort::SendBytes(const std::uint8_t* data, std::size_t length) {
    // A frame longer than the transmit buffer would be cut; no drive frame comes near it.
    if (fd_ < 0 || data == nullptr || length == 0 || length > settings_.queueSize) return false;
    {
        std::lock_guard lock(mutex_);
        txBuffer_.assign(data, data + length);
        txPending_ = true;  // replaces a frame the worker has not taken yet
    }
    wake();
    return true;
}

bool PosixSerialPort::SendText(const char* text) {
    if (text == nullptr) return false;
    return SendBytes(reinterpret_cast<const std::uint8_t*>(text), std::strlen(text));
}

void PosixSerialPort::Close() {
    Stop();
    if (wakeFd_ >= 0) ::close(wakeFd_);
    wakeFd_ = -1;
    if (fd_ >= 0) {
        // The kernel drops exclusivity only when the last descriptor of the tty closes; a
        // simulator that keeps its pty open would otherwise lock out our next run.
        sys_.ioctl(fd_, TIOCNXCL, nullptr);
        sys_.close(fd_);
    }
    fd_ = -1;
    session_.reset();
    workerSession_.reset();
    std::lock_guard lock(mutex_);
    txBuffer_.clear();
    txPending_ = false;
}

void PosixSerialPort::TransmitFrame(const std::vector<std::uint8_t>& frame) {
    if (lineLost_) return;  // the adapter is gone; the link's time-out tells the rest
    // Bytes of an earlier exchange that nobody has read yet must not pass for the reply.
    sys_.tcflush(fd_, TCIOFLUSH);
    auto switchRts = [this](bool transmit) {
        int err = setRts(transmit);
        if (err && !rtsReported_) {
            rtsReported_ = true;
            reportFromWorker(rtsCall(transmit), err);
        }
    };
    const auto deadline = writeDeadline(settings_, frame.size());
    switchRts(true);
    const int writeErr = writeFrame(frame, deadline);
    int drainErr = 0;
    // RTS must not drop before the last stop bit has left the UART.
    if (rtsControl_) {
        // Part of a failed frame may be on its way too.
        if (writeErr != ECANCELED) drainErr = drainOutput(deadline);
        switchRts(false);
    }
    if (writeErr == ECANCELED || drainErr == ECANCELED) return;  // Stop(): nobody to tell
    if (drainErr && writeErr == 0) reportFromWorker("tcdrain()", drainErr);
    if (writeErr == 0) return;
    if (meansUnplugged(writeErr)) {
        lineLost("write()", writeErr);
    } else {
        reportFromWorker("write()", writeErr);
    }
}

int PosixSerialPort::writeFrame(const std::vector<std::uint8_t>& frame,
                                std::chrono::steady_clock::time_point deadline) {
    std::size_t done = 0;
    while (done < frame.size()) {
        long n = sys_.write(fd_, frame.data() + done, frame.size() - done);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n == 0 || (errno != EAGAIN && errno != EWOULDBLOCK)) return n == 0 ? EIO : errno;
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) return ETIMEDOUT;
        pollfd p[2] = {{fd_, POLLOUT, 0}, {wakeFd_, POLLIN, 0}};
        int r = sys_.poll(p, 2, static_cast<int>(left.count()));
        if (r < 0 && errno != EINTR) return errno;
        if (r > 0 && (p[1].revents & POLLIN)) {
            std::uint64_t count;
            [[maybe_unused]] long got = ::read(wakeFd_, &count, sizeof count);
            if (stopRequested()) return ECANCELED;
        }
    }
    return 0;
}

// tcdrain() alone would wait as long as the adapter holds the bytes back; the output queue
// is watched instead, and tcdrain() only waits for the last character once it is empty.
int PosixSerialPort::drainOutput(std::chrono::steady_clock::time_point deadline) {
    for (;;) {
        int queued = 0;
        if (sys_.ioctl(fd_, TIOCOUTQ, &queued) != 0 || queued <= 0) break;
        if (std::chrono::steady_clock::now() >= deadline) {
            sys_.tcflush(fd_, TCOFLUSH);
            return ETIMEDOUT;
        }
        if (waitForStop(kDrainPollMs)) {
            sys_.tcflush(fd_, TCOFLUSH);
            return ECANCELED;
        }
    }
    sys_.tcdrain(fd_);
    return 0;
}

bool PosixSerialPort::stopRequested() {
    std::lock_guard lock(mutex_);
    return stopRequested_;
}

bool PosixSerialPort::waitForStop(int ms) {
    pollfd p{wakeFd_, POLLIN, 0};
    if (sys_.poll(&p, 1, ms) > 0 && (p.revents & POLLIN)) {
        std::uint64_t count;
        [[maybe_unused]] long got = ::read(wakeFd_, &count, sizeof count);
    }
    // A wake-up for a new frame is not lost: the worker looks for one after every write.
    return stopRequested();
}

void PosixSerialPort::lineLost(const char* operation, int err) {
    if (lineLost_) return;
    lineLost_ = true;
    reportFromWorker(operation, err);
}

void PosixSerialPort::readAvailable() {
    std::uint8_t buffer[kReadBatchBytes];
    while (batchesInFlight_ < kMaxBatchesInFlight) {
        long n = sys_.read(fd_, buffer, sizeof buffer);
        if (n > 0) {
            ++batchesInFlight_;
            executor_.post([this, weak = workerSession_,
                            bytes = std::vector<std::uint8_t>(buffer, buffer + n)] {
                for (std::uint8_t b : bytes) {
                    // Checked per byte: a handler may close the port halfway through.
                    auto session = weak.lock();
                    if (!session) return;
                    if (session->onByte) session->onByte(b);
                }
                // The port (this) lives at least as long as its session.
                if (!weak.expired()) batchDone();
            });
            if (static_cast<std::size_t>(n) < sizeof buffer) return;
            continue;
        }
        if (n == 0) {  // end of file on a tty: the device hung up
            lineLost("read()", EIO);
            return;
        }
        if (errno == EINTR) continue;
        if (errno == EAGAIN || errno == EWOULDBLOCK) return;
        // Any other read failure would fail again at once: stop reading rather than spin.
        lineLost("read()", errno);
        return;
    }
}

void PosixSerialPort::batchDone() {
    // The worker stopped listening to the line when the limit was reached.
    if (batchesInFlight_.fetch_sub(1) == kMaxBatchesInFlight) wake();
}

void PosixSerialPort::workerLoop() {
    bool pollReported = false;
    for (;;) {
        const bool behind = batchesInFlight_ >= kMaxBatchesInFlight;
        pollfd fds[2] = {{wakeFd_, POLLIN, 0}, {lineLost_ || behind ? -1 : fd_, POLLIN, 0}};
        int r = sys_.poll(fds, 2, -1);
        if (r < 0 && errno != EINTR) {
            if (!pollReported) reportFromWorker("poll()", errno);
            pollReported = true;
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        if (r > 0 && (fds[0].revents & POLLIN)) {
            std::uint64_t count;
            [[maybe_unused]] long n = ::read(wakeFd_, &count, sizeof count);
        }
        std::vector<std::uint8_t> frame;
        bool haveFrame = false;
        {
            std::lock_guard lock(mutex_);
            if (stopRequested_) return;
            if (txPending_) {
                frame.swap(txBuffer_);
                txPending_ = false;
                haveFrame = true;
            }
        }
        // Write before reading: the purge in front of the write is what drops stale bytes.
        if (haveFrame) {
            TransmitFrame(frame);
            if (stopRequested()) return;  // its wake-up was taken by the write's wait
        }
        if (r <= 0 || lineLost_) continue;
        if (fds[1].revents & POLLIN) {
            readAvailable();
        } else if (fds[1].revents & (POLLHUP | POLLERR | POLLNVAL)) {
            lineLost("poll()", EIO);
        }
    }
}

}  // namespace korvane
