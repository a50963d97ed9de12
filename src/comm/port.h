#pragma once
// The serial line as the drive link sees it. Received bytes are delivered one at a time, in
// order, on the protocol thread (through the Executor the port was made with).
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace korvane {

enum class Parity { None = 0, Odd = 1, Even = 2, Mark = 3, Space = 4 };
enum class StopBits { One = 0, OnePointFive = 1, Two = 2 };

struct PortSettings {
    std::string portName;  // "ttyUSB0" (opened as /dev/ttyUSB0) or any path
    int baudRate = 9600;
    Parity parity = Parity::None;
    int dataBits = 8;
    StopBits stopBits = StopBits::One;
    int autoTxEnable = 1;  // 1: the adapter switches its transmitter; 0: the program drives RTS
    int txActiveHigh = 1;  // RTS level while transmitting when autoTxEnable is 0
    std::size_t queueSize = 512;
};

class Port {
public:
    using ByteHandler = std::function<void(std::uint8_t)>;

    virtual ~Port() = default;
    // Closes whatever was open, then opens and configures the port. onByte runs on the
    // protocol thread for every received byte once Start succeeded.
    [[nodiscard]] virtual bool Open(const PortSettings& settings, ByteHandler onByte) = 0;
    [[nodiscard]] virtual bool Start() = 0;
    virtual bool Stop() = 0;
    // A frame handed over before the previous one was written replaces it.
    [[nodiscard]] virtual bool SendBytes(const std::uint8_t* data, std::size_t length) = 0;
    [[nodiscard]] virtual bool SendText(const char* text) = 0;
    virtual bool IsOpen() const = 0;
    virtual void Close() = 0;
};

using PortFactory = std::function<std::unique_ptr<Port>()>;

}  // namespace korvane
