#include "comm/serial_port.h"
#include "comm/win32_serial_port.h"

namespace korvane {

std::unique_ptr<Port> MakeSerialPort(
    Executor& executor, std::function<void(const std::string&, const std::string&)> report) {
    return std::make_unique<Win32SerialPort>(executor, std::move(report));
}

}  // namespace korvane
