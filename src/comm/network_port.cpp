#include "comm/network_port.h"

#include "comm/mbap_framing.h"
#include "comm/port_address.h"
#include "comm/rfc2217_framing.h"
#include "comm/socket_port.h"

namespace korvane {

std::unique_ptr<StreamFraming> MakeFraming(PortTransport transport) {
    switch (transport) {
        case PortTransport::ModbusTcp:
            return std::make_unique<mbap::MbapClientFraming>();
        case PortTransport::Rfc2217:
            return MakeRfc2217Framing();
        default:
            return std::make_unique<RawFraming>();
    }
}

NetworkAwarePort::NetworkAwarePort(Executor& executor, PortErrorReport report,
                                   std::unique_ptr<Port> serial)
    : executor_(executor), report_(std::move(report)), serial_(std::move(serial)) {}

NetworkAwarePort::~NetworkAwarePort() {
    Close();
}

void NetworkAwarePort::Close() {
    if (network_) network_->Close();
    network_.reset();
    serial_->Close();
}

bool NetworkAwarePort::Open(const PortSettings& settings, ByteHandler onByte) {
    Close();
    std::string error;
    auto address = ParsePortAddress(settings.portName, error);
    if (!address) {
        if (report_) report_(NetworkErrorText(settings.portName, error), kPortErrorCaption);
        return false;
    }
    if (address->transport == PortTransport::Serial)
        return serial_->Open(settings, std::move(onByte));
    network_ = std::make_unique<SocketPort>(executor_, report_, MakeFraming(address->transport));
    return network_->Open(settings, std::move(onByte));
}

}  // namespace korvane
