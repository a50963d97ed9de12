#pragma once
// The drive link's line through a TCP connection to a serial device server or a MODBUS TCP
// gateway, served by a port worker as the serial port is; a StreamFraming says what goes
// around the bytes. A connection lost in use is reported once and ends the line until the port
// is opened again: no reconnecting behind the link's back.
#include <memory>

#include "comm/port_worker.h"
#include "comm/socket_line.h"
#include "comm/stream_framing.h"

namespace korvane {

class SocketPort : public PortWorker {
public:
    SocketPort(Executor& executor, PortErrorReport report, std::unique_ptr<StreamFraming> framing);
};

}  // namespace korvane
