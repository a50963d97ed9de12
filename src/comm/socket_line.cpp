#include "comm/socket_line.h"

namespace korvane {

const char kServerClosedConnection[] = "the server closed the connection";

namespace {

// A frame that cannot leave within this time means the server stopped taking data.
constexpr int kWriteTimeoutMs = 2000;

// The connection as the framing sees it while it negotiates.
class StreamChannel : public SocketChannel {
public:
    explicit StreamChannel(TcpStream& stream) : stream_(stream) {}
    bool send(const ByteVector& bytes, std::string& error) override {
        return stream_.sendAll(bytes, kWriteTimeoutMs, error);
    }
    long receive(std::uint8_t* buffer, std::size_t size, int timeoutMs,
                 std::string& error) override {
        const int ready = stream_.waitReadable(timeoutMs, error);
        return ready <= 0 ? ready : stream_.receive(buffer, size, error);
    }

private:
    TcpStream& stream_;
};

}  // namespace

std::string NetworkErrorText(const std::string& portName, const std::string& reason) {
    return "WARNING:  " + reason + "\nPort: " + portName + "\n";
}

bool SocketLine::open(const PortSettings& settings,
                      const std::function<void(const std::string&)>& say) {
    portName_ = settings.portName;
    std::string error;
    auto address = ParsePortAddress(settings.portName, error);
    if (!address || address->transport == PortTransport::Serial) {
        say(NetworkErrorText(portName_, address ? portName_ + " is no network address" : error));
        return false;
    }
    const std::string where = DescribeEndpoint(*address);
    switch (stream_.connect(*address, kConnectTimeoutMs, error)) {
        case TcpStream::Connect::Done:
            break;
        case TcpStream::Connect::Unresolved:
            say(NetworkErrorText(portName_, "cannot resolve " + where + ": " + error));
            return false;
        case TcpStream::Connect::Failed:
            say(NetworkErrorText(portName_, "cannot connect to " + where + ": " + error));
            return false;
    }
    StreamChannel channel(stream_);
    if (!framing_->handshake(channel, settings, error)) {
        say(NetworkErrorText(portName_, where + ": " + error));
        return false;
    }
    return true;
}

LineIo::Read SocketLine::read(std::size_t size, ByteVector& data, std::string& error) {
    ByteVector buffer(size);
    std::string reason;
    const long n = stream_.receive(buffer.data(), buffer.size(), reason);
    if (n == 0) return LineIo::Read::Nothing;
    if (n > 0) {
        ByteVector answer;
        framing_->decode(buffer.data(), static_cast<std::size_t>(n), data, answer);
        if (answer.empty() || stream_.sendAll(answer, kWriteTimeoutMs, reason))
            return LineIo::Read::Data;
    }
    error = lostText(reason);
    return LineIo::Read::Lost;
}

void SocketLine::transmit(const ByteVector& frame, LineEvents& events) {
    // Bytes of an earlier exchange that nobody has read yet must not pass for the reply, as
    // the serial port's purge makes sure; negotiation answers still go out.
    for (;;) {
        ByteVector stale;
        std::string error;
        const LineIo::Read r = read(512, stale, error);
        if (r == LineIo::Read::Nothing) break;
        if (r == LineIo::Read::Lost) return events.lose(error);
    }
    ByteVector out;
    std::string error;
    if (!framing_->encode(frame.data(), frame.size(), out, error)) {
        events.report(NetworkErrorText(portName_, error));
        return;
    }
    if (!stream_.sendAll(out, kWriteTimeoutMs, error)) events.lose(lostText(error));
}

}  // namespace korvane
