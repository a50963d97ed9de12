#pragma once
// The serial port of the system the program runs on: a tty on POSIX, a COM port on Windows.
// Everything above the comm layer makes its serial ports here and never names either.
#include <functional>
#include <memory>
#include <string>

#include "comm/port.h"

namespace korvane {

class Executor;

std::unique_ptr<Port> MakeSerialPort(
    Executor& executor, std::function<void(const std::string&, const std::string&)> report);

}  // namespace korvane
