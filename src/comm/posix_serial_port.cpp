#include "comm/posix_serial_port.h"

#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <memory>
#include <thread>

#include "comm/posix_line_io.h"
#include "common/format.h"

namespace korvane {

namespace {

// A frame that cannot leave within this time (plus its own time on the line) is reported as a
// failed write: a stalled adapter must not hold the worker, and with it Stop(), for ever.
constexpr int kWriteTimeoutMs = 1000;
// How often a full transmit queue is looked at again while draining.
constexpr int kDrainPollMs = 2;

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

std::string DevicePathForPort(const std::string& name) {
    if (name.find('/') != std::string::npos) return name;
    return "/dev/" + name;
}

std::string PortErrorText(const char* operation, int err, const std::string& portName,
                          const std::string& devicePath) {
    std::string text = strprintf("WARNING:  %s Failed with the following error: \n%s\nPort: %s\n",
                                 operation, ErrnoText(err).c_str(), portName.c_str());
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

// ---- the tty under the port worker ---------------------------------------------------------

namespace {

class SerialLineIo : public PollingLineIo {
public:
    explicit SerialLineIo(SerialSys& sys) : sys_(sys) {}

    bool open(const PortSettings& settings,
              const std::function<void(const std::string&)>& say) override;
    void close() override;
    Read read(std::size_t size, std::vector<std::uint8_t>& data, std::string& error) override;
    void transmit(const std::vector<std::uint8_t>& frame, LineEvents& events) override;

private:
    int pollFds(pollfd* fds, unsigned long count, int timeoutMs) override {
        return sys_.poll(fds, count, timeoutMs);
    }
    std::string failureText(const char* operation, int err) const override {
        return PortErrorText(operation, err, settings_.portName, devicePath_);
    }
    [[nodiscard]] int openExclusive(int& err);
    [[nodiscard]] bool configure(const std::function<void(const std::string&)>& say);
    // 0, or the errno of a failed switch. A tty without modem lines ends RTS control.
    int setRts(bool transmit);
    const char* rtsCall(bool transmit) const;
    // 0, or the errno of a write that did not get the frame out in time; ECANCELED when the
    // worker was asked to stop meanwhile.
    int writeFrame(const std::vector<std::uint8_t>& frame,
                   std::chrono::steady_clock::time_point deadline, LineEvents& events);
    int drainOutput(std::chrono::steady_clock::time_point deadline, LineEvents& events);

    SerialSys& sys_;
    PortSettings settings_;
    std::string devicePath_;
    bool rtsControl_ = false;
    bool rtsReported_ = false;
};

int SerialLineIo::openExclusive(int& err) {
    // A port that was just released may still be held for a moment: one more try after 1 ms.
    for (int attempt = 0; attempt < 2; ++attempt) {
        if (attempt > 0) sys_.sleepMs(1);
        int fd = sys_.open(devicePath_.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
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
    return -1;
}

bool SerialLineIo::configure(const std::function<void(const std::string&)>& say) {
    termios t{};
    if (sys_.tcgetattr(lineFd_, &t) != 0) {
        say(failureText("tcgetattr()", errno));
        return false;
    }
    if (!ApplyLineSettings(settings_, t)) {
        say(failureText("tcsetattr()", EINVAL));
        return false;
    }
    if (sys_.tcsetattr(lineFd_, &t) != 0) {
        say(failureText("tcsetattr()", errno));
        return false;
    }
    sys_.tcflush(lineFd_, TCIOFLUSH);
    return true;
}

const char* SerialLineIo::rtsCall(bool transmit) const {
    return transmit == (settings_.txActiveHigh != 0) ? "ioctl(TIOCMBIS)" : "ioctl(TIOCMBIC)";
}

int SerialLineIo::setRts(bool transmit) {
    if (!rtsControl_) return 0;
    int bits = TIOCM_RTS;
    const bool high = transmit == (settings_.txActiveHigh != 0);
    if (sys_.ioctl(lineFd_, high ? TIOCMBIS : TIOCMBIC, &bits) == 0) return 0;
    int err = errno;
    // Pseudo-terminals and some adapters have no modem lines: nothing to switch, ever.
    if (err == ENOTTY || err == EINVAL) rtsControl_ = false;
    return err;
}

bool SerialLineIo::open(const PortSettings& settings,
                        const std::function<void(const std::string&)>& say) {
    settings_ = settings;
    devicePath_ = DevicePathForPort(settings.portName);
    rtsControl_ = settings.autoTxEnable == 0;
    rtsReported_ = false;
    int err = 0;
    lineFd_ = openExclusive(err);
    if (lineFd_ < 0) {
        say(failureText("open()", err));
        return false;
    }
    if (!configure(say)) return false;
    if (!openWake()) {
        say(failureText("eventfd()", errno));
        return false;
    }
    if (int rtsErr = setRts(false)) {
        // The line still works when the adapter switches itself; say so once and go on.
        say(failureText(rtsCall(false), rtsErr));
        rtsReported_ = true;
    }
    return true;
}

void SerialLineIo::close() {
    closeWake();
    if (lineFd_ >= 0) {
        // The kernel drops exclusivity only when the last descriptor of the tty closes; a
        // simulator that keeps its pty open would otherwise lock out our next run.
        sys_.ioctl(lineFd_, TIOCNXCL, nullptr);
        sys_.close(lineFd_);
    }
    lineFd_ = -1;
}

LineIo::Read SerialLineIo::read(std::size_t size, std::vector<std::uint8_t>& data,
                                std::string& error) {
    const std::size_t had = data.size();
    data.resize(had + size);
    for (;;) {
        long n = sys_.read(lineFd_, data.data() + had, size);
        if (n > 0) {
            data.resize(had + static_cast<std::size_t>(n));
            return Read::Data;
        }
        data.resize(had);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return Read::Nothing;
        // End of file on a tty is a hang-up; any other failure would fail again at once.
        error = failureText("read()", n == 0 ? EIO : errno);
        return Read::Lost;
    }
}

void SerialLineIo::transmit(const std::vector<std::uint8_t>& frame, LineEvents& events) {
    // Bytes of an earlier exchange that nobody has read yet must not pass for the reply.
    sys_.tcflush(lineFd_, TCIOFLUSH);
    auto switchRts = [&](bool transmit) {
        int err = setRts(transmit);
        if (err && !rtsReported_) {
            rtsReported_ = true;
            events.report(failureText(rtsCall(transmit), err));
        }
    };
    const auto deadline = writeDeadline(settings_, frame.size());
    switchRts(true);
    const int writeErr = writeFrame(frame, deadline, events);
    int drainErr = 0;
    // RTS must not drop before the last stop bit has left the UART.
    if (rtsControl_) {
        // Part of a failed frame may be on its way too.
        if (writeErr != ECANCELED) drainErr = drainOutput(deadline, events);
        switchRts(false);
    }
    if (writeErr == ECANCELED || drainErr == ECANCELED) return;  // Stop(): nobody to tell
    if (drainErr && writeErr == 0) events.report(failureText("tcdrain()", drainErr));
    if (writeErr == 0) return;
    if (meansUnplugged(writeErr)) {
        events.lose(failureText("write()", writeErr));
    } else {
        events.report(failureText("write()", writeErr));
    }
}

int SerialLineIo::writeFrame(const std::vector<std::uint8_t>& frame,
                             std::chrono::steady_clock::time_point deadline, LineEvents& events) {
    std::size_t done = 0;
    while (done < frame.size()) {
        long n = sys_.write(lineFd_, frame.data() + done, frame.size() - done);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n == 0 || (errno != EAGAIN && errno != EWOULDBLOCK)) return n == 0 ? EIO : errno;
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) return ETIMEDOUT;
        pollfd p[2] = {{lineFd_, POLLOUT, 0}, {wakeFd_, POLLIN, 0}};
        int r = sys_.poll(p, 2, static_cast<int>(left.count()));
        if (r < 0 && errno != EINTR) return errno;
        if (r > 0 && (p[1].revents & POLLIN)) {
            takeWake();
            if (events.stopping()) return ECANCELED;
        }
    }
    return 0;
}

// tcdrain() alone would wait as long as the adapter holds the bytes back; the output queue
// is watched instead, and tcdrain() only waits for the last character once it is empty.
int SerialLineIo::drainOutput(std::chrono::steady_clock::time_point deadline, LineEvents& events) {
    for (;;) {
        int queued = 0;
        if (sys_.ioctl(lineFd_, TIOCOUTQ, &queued) != 0 || queued <= 0) break;
        if (std::chrono::steady_clock::now() >= deadline) {
            sys_.tcflush(lineFd_, TCOFLUSH);
            return ETIMEDOUT;
        }
        std::string ignored;
        wait(false, kDrainPollMs, ignored);
        if (events.stopping()) {
            sys_.tcflush(lineFd_, TCOFLUSH);
            return ECANCELED;
        }
    }
    sys_.tcdrain(lineFd_);
    return 0;
}

}  // namespace

PosixSerialPort::PosixSerialPort(Executor& executor, PortErrorReport report, SerialSys& sys)
    : PortWorker(executor, std::move(report), std::make_unique<SerialLineIo>(sys)) {}

}  // namespace korvane
