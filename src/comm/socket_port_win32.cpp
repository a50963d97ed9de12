// Network ports need a Winsock line under the port worker, which the Windows build does not
// have yet: opening one says so plainly instead of failing without a word.
#include "comm/socket_port.h"

namespace korvane {
namespace {

constexpr char kUnavailable[] = "network ports are not available in this Windows build yet";

class UnavailableLineIo : public LineIo {
public:
    bool open(const PortSettings& settings,
              const std::function<void(const std::string&)>& say) override {
        say(NetworkErrorText(settings.portName, kUnavailable));
        return false;
    }
    void close() override {}
    Wait wait(bool, int, std::string&) override { return Wait::Woken; }
    void interrupt() override {}
    Read read(std::size_t, std::vector<std::uint8_t>&, std::string&) override {
        return Read::Nothing;
    }
    void transmit(const std::vector<std::uint8_t>&, LineEvents&) override {}
};

}  // namespace

int ConnectTcp(const PortAddress&, int, std::string& error) {
    error = kUnavailable;
    return -1;
}

std::string NetworkErrorText(const std::string& portName, const std::string& reason) {
    return "WARNING:  " + reason + "\nPort: " + portName + "\n";
}

SocketPort::SocketPort(Executor& executor, PortErrorReport report, std::unique_ptr<StreamFraming>)
    : PortWorker(executor, std::move(report), std::make_unique<UnavailableLineIo>()) {}

}  // namespace korvane
