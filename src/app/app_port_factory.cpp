#include "app/app_port_factory.h"

#include "comm/posix_serial_port.h"

namespace korvane {

PortFactory MakeAppPortFactory(Executor& executor, Prompter& prompter) {
    return [&executor, &prompter]() -> std::unique_ptr<Port> {
        return std::make_unique<PosixSerialPort>(executor, ReportThroughPrompter(prompter));
    };
}

}  // namespace korvane
