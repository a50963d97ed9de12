#include "sim/tcp_relay.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace korvane::sim {

namespace {

// A drive that has not answered within this time will not: its request is no longer waited for.
constexpr std::chrono::seconds kAnswerWithin{2};

void writeAll(int fd, const std::uint8_t* bytes, std::size_t length) {
    std::size_t done = 0;
    while (done < length) {
        long n = ::send(fd, bytes + done, length - done, MSG_NOSIGNAL);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            pollfd p{fd, POLLOUT, 0};
            if (::poll(&p, 1, 1000) <= 0) return;
        } else {
            return;  // the peer is gone; its reply is lost as on a wire
        }
    }
}

}  // namespace

bool RtuReplySplitter::push(std::uint8_t byte, ByteVector& frame) {
    buffer_.push_back(byte);
    if (buffer_.size() < 3) return false;
    const std::uint8_t function = buffer_[1];
    std::size_t length = 0;
    if (function & 0x80)
        length = 5;
    else if (function == 3 || function == 4)
        length = 5 + std::size_t{buffer_[2]};
    else if (function == 6)
        length = 8;
    if (length == 0) {  // no reply the drives send: resynchronise on the next byte
        buffer_.erase(buffer_.begin());
        return false;
    }
    if (buffer_.size() < length) return false;
    frame.assign(buffer_.begin(), buffer_.begin() + static_cast<std::ptrdiff_t>(length));
    buffer_.clear();
    return true;
}

std::optional<PortAddress> ParseListenAddress(const std::string& text, std::string& error) {
    std::string withHost = text;
    if (text.find(':') == std::string::npos) withHost = "127.0.0.1:" + text;
    // Port 0 asks for a free port; the port name parser wants 1..65535.
    const bool anyPort =
        withHost.size() >= 2 && withHost.compare(withHost.size() - 2, 2, ":0") == 0;
    if (anyPort) withHost.back() = '1';
    auto address = ParsePortAddress("tcp://" + withHost, error);
    if (address && anyPort) address->port = 0;
    return address;
}

bool TcpRelay::Settle(std::deque<Unanswered>& requests, std::uint8_t unit) {
    const auto now = std::chrono::steady_clock::now();
    while (!requests.empty() && now - requests.front().sent > kAnswerWithin) requests.pop_front();
    for (auto it = requests.begin(); it != requests.end(); ++it) {
        if (it->unit != unit) continue;
        requests.erase(it);
        return true;
    }
    return false;
}

TcpRelay::TcpRelay(Mode mode, int lineFd) : mode_(mode), lineFd_(lineFd) {}

TcpRelay::~TcpRelay() {
    stop();
    if (listenFd_ >= 0) ::close(listenFd_);
}

bool TcpRelay::listen(const PortAddress& address, std::string& error) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_PASSIVE;
    addrinfo* found = nullptr;
    const std::string service = std::to_string(address.port);
    int rc = ::getaddrinfo(address.host.c_str(), service.c_str(), &hints, &found);
    if (rc != 0) return error = address.host + ": " + gai_strerror(rc), false;
    int fd = ::socket(found->ai_family, SOCK_STREAM | SOCK_CLOEXEC, 0);
    int one = 1;
    if (fd >= 0) ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    if (fd < 0 || ::bind(fd, found->ai_addr, found->ai_addrlen) != 0 || ::listen(fd, 4) != 0) {
        error = "cannot listen on " + DescribeEndpoint(address) + ": " + std::strerror(errno);
        if (fd >= 0) ::close(fd);
        ::freeaddrinfo(found);
        return false;
    }
    ::freeaddrinfo(found);
    sockaddr_storage ss{};
    socklen_t len = sizeof ss;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&ss), &len);
    char host[NI_MAXHOST] = "", port[NI_MAXSERV] = "";
    ::getnameinfo(reinterpret_cast<sockaddr*>(&ss), len, host, sizeof host, port, sizeof port,
                  NI_NUMERICHOST | NI_NUMERICSERV);
    PortAddress bound{address.transport, host, std::atoi(port)};
    bound_ = DescribeEndpoint(bound);
    listenFd_ = fd;
    return true;
}

std::string TcpRelay::boundAddress() const {
    return bound_;
}

bool TcpRelay::start() {
    if (listenFd_ < 0) return false;
    wakeFd_ = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (wakeFd_ < 0) return false;
    stopping_ = false;
    thread_ = std::thread([this] { run(); });
    return true;
}

void TcpRelay::stop() {
    if (thread_.joinable()) {
        stopping_ = true;
        std::uint64_t one = 1;
        [[maybe_unused]] auto n = ::write(wakeFd_, &one, sizeof one);
        thread_.join();
    }
    dropClient();
    if (wakeFd_ >= 0) ::close(wakeFd_);
    wakeFd_ = -1;
}

void TcpRelay::dropClient() {
    if (clientFd_ >= 0) ::close(clientFd_);
    clientFd_ = -1;
    telnet_ = {};
    adus_.reset();
    replies_.reset();
    pending_ = false;
}

void TcpRelay::takeClient() {
    int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
    if (fd < 0) return;
    dropClient();  // the newest connection has the line, as a device server's takeover does
    previousUnanswered_.insert(previousUnanswered_.end(), unanswered_.begin(), unanswered_.end());
    unanswered_.clear();
    while (previousUnanswered_.size() > 256) previousUnanswered_.pop_front();
    int one = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    clientFd_ = fd;
}

void TcpRelay::sendToClient(const ByteVector& bytes) {
    if (clientFd_ >= 0 && !bytes.empty()) writeAll(clientFd_, bytes.data(), bytes.size());
}

void TcpRelay::fromClient() {
    std::uint8_t buffer[1024];
    long n = ::recv(clientFd_, buffer, sizeof buffer, 0);
    if (n == 0 || (n < 0 && errno != EAGAIN && errno != EINTR)) {
        dropClient();
        return;
    }
    if (n < 0) return;
    if (mode_ == Mode::Raw) {
        writeAll(lineFd_, buffer, static_cast<std::size_t>(n));
        return;
    }
    if (mode_ == Mode::Rfc2217) return fromTelnetClient(buffer, static_cast<std::size_t>(n));
    std::vector<mbap::Adu> adus;
    adus_.push(buffer, static_cast<std::size_t>(n), adus);
    for (const auto& adu : adus) {
        if (adu.protocol != 0 || adu.pdu.empty()) continue;
        ByteVector rtu = mbap::JoinRtu(adu.unit, adu.pdu);
        replies_.reset();
        pending_ = true;
        transaction_ = adu.transaction;
        unit_ = adu.unit;
        unanswered_.push_back({unit_, std::chrono::steady_clock::now()});
        if (unanswered_.size() > 256) unanswered_.pop_front();
        writeAll(lineFd_, rtu.data(), rtu.size());
    }
}

void TcpRelay::fromLine() {
    std::uint8_t buffer[1024];
    long n = ::read(lineFd_, buffer, sizeof buffer);
    if (n <= 0) return;
    if (mode_ == Mode::Raw) {
        if (clientFd_ >= 0) writeAll(clientFd_, buffer, static_cast<std::size_t>(n));
        return;
    }
    if (mode_ == Mode::Rfc2217) {
        ByteVector escaped;
        telnet::AppendEscaped(buffer, static_cast<std::size_t>(n), escaped);
        sendToClient(escaped);
        return;
    }
    ByteVector frame;
    for (long i = 0; i < n; ++i) {
        if (!replies_.push(buffer[i], frame)) continue;
        std::uint8_t unit = 0;
        ByteVector pdu;
        // A reply spoilt on the line never reaches the client: the gateway drops it.
        if (!mbap::SplitRtu(frame.data(), frame.size(), unit, pdu)) continue;
        if (Settle(previousUnanswered_, unit)) continue;  // owed to a client that is gone
        Settle(unanswered_, unit);
        if (!pending_ || unit != unit_) continue;
        pending_ = false;
        sendToClient(mbap::BuildAdu(transaction_, unit, pdu.data(), pdu.size()));
    }
}

void TcpRelay::fromTelnetClient(const std::uint8_t* bytes, std::size_t length) {
    using namespace telnet;
    ByteVector data;
    std::vector<Event> events;
    telnet_.push(bytes, length, data, events);
    if (!data.empty()) writeAll(lineFd_, data.data(), data.size());
    for (const Event& e : events) {
        const bool known =
            e.option == kOptBinary || e.option == kOptComPort || e.option == kOptSuppressGoAhead;
        if (e.kind == Event::Will)
            sendToClient(Negotiation(known ? kDo : kDont, e.option));
        else if (e.kind == Event::Do)
            sendToClient(Negotiation(known ? kWill : kWont, e.option));
        // A setting is answered with its code + 100 and the value in force: the one asked for.
        if (e.kind != Event::Subnegotiation || e.option != kOptComPort || e.payload.empty())
            continue;
        ByteVector answer = e.payload;
        answer[0] = static_cast<std::uint8_t>(answer[0] + 100);
        sendToClient(Subnegotiation(kOptComPort, answer));
    }
}

void TcpRelay::run() {
    while (!stopping_) {
        pollfd fds[4] = {{wakeFd_, POLLIN, 0},
                         {listenFd_, POLLIN, 0},
                         {lineFd_, POLLIN, 0},
                         {clientFd_, POLLIN, 0}};
        int r = ::poll(fds, 4, 1000);
        if (r < 0 && errno != EINTR) break;
        if (r <= 0) continue;
        if (fds[1].revents & POLLIN) takeClient();
        if (fds[2].revents & POLLIN) fromLine();
        if (clientFd_ >= 0 && fds[3].fd == clientFd_ &&
            (fds[3].revents & (POLLIN | POLLHUP | POLLERR)))
            fromClient();
    }
}

}  // namespace korvane::sim
