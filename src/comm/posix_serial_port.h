#pragma once
// The drive link's serial port on POSIX systems: an exclusively opened tty in raw mode behind a
// port worker, and RTS switching for RS-485 adapters that do not switch their transmitter
// themselves.
#include <poll.h>
#include <termios.h>

#include <cstdint>
#include <string>
#include <vector>

#include "comm/port_worker.h"

namespace korvane {

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

class PosixSerialPort : public PortWorker {
public:
    PosixSerialPort(Executor& executor, PortErrorReport report, SerialSys& sys = RealSerialSys());

    // Writes one frame as the worker does: purge, RTS to transmit, write, drain, RTS back.
    // Public for tests that check the RTS order with a scripted SerialSys.
    void TransmitFrame(const std::vector<std::uint8_t>& frame) { transmitNow(frame); }
};

}  // namespace korvane
