#pragma once
// The drive link's line through a TCP connection to a serial device server or a MODBUS TCP
// gateway, served by a port worker as the serial port is; a StreamFraming says what goes
// around the bytes. A connection lost in use
// is reported once and ends the line until the port is opened again: no reconnecting behind
// the link's back.
#include <memory>
#include <string>

#include "comm/port_address.h"
#include "comm/port_worker.h"
#include "comm/stream_framing.h"

namespace korvane {

constexpr int kConnectTimeoutMs = 3000;

// Connects to `address` within timeoutMs, with TCP_NODELAY; the socket (non-blocking), or -1
// with `error` naming the address and the system's reason.
int ConnectTcp(const PortAddress& address, int timeoutMs, std::string& error);

// The error box text for a network port.
std::string NetworkErrorText(const std::string& portName, const std::string& reason);

class SocketPort : public PortWorker {
public:
    SocketPort(Executor& executor, PortErrorReport report, std::unique_ptr<StreamFraming> framing);
};

}  // namespace korvane
