#include <algorithm>
#include <cmath>

#include "comm/drive_link.h"
#include "comm/port_address.h"

namespace korvane {

namespace {
double CharacterUs(const PortSettings& s) {
    double stop = s.stopBits == StopBits::One ? 1.0 : s.stopBits == StopBits::Two ? 2.0 : 1.5;
    double bits = 1.0 + std::clamp(s.dataBits, 5, 8) + (s.parity == Parity::None ? 0 : 1) + stop;
    return bits * 1e6 / std::max(1, s.baudRate);
}
}  // namespace

// MODBUS ends a frame with 3.5 characters of silence (1.75 ms at any rate above 19200 baud).
// TK485 frames are delimited by their control characters; what a drive needs is time to release
// the line after its last stop bit. Against korvane-sim, 9600 and 38400 baud, requests sent one
// character after the reply was taken in were all answered (no failure in the line benchmark);
// the simulator frames by control characters and would take less, so the gap is set by real
// transceivers: one character covers one that switches off at the end of its stop bit, and
// costs 3 % of an exchange at 38400 baud.
std::int64_t MinimumGapUs(int commMode, const PortSettings& settings) {
    // A MODBUS TCP gateway frames the line itself; between MBAP requests there is no line.
    if (TransportOfPortName(settings.portName) == PortTransport::ModbusTcp) return 0;
    const double charUs = CharacterUs(settings);
    if (commMode == kCommModbus) return std::llround(std::max(3.5 * charUs, 1750.0));
    return std::llround(charUs);
}

}  // namespace korvane
