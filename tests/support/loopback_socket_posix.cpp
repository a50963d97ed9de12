#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include "support/loopback_socket.h"

namespace korvane::testing {

TestSocket ListenOnLoopback(int& port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof addr;
    if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
        ::listen(fd, 4) != 0 || ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len) != 0) {
        if (fd >= 0) ::close(fd);
        return kNoSocket;
    }
    port = ntohs(addr.sin_port);
    return fd;
}

bool Readable(TestSocket s, int timeoutMs) {
    pollfd p{static_cast<int>(s), POLLIN, 0};
    return ::poll(&p, 1, timeoutMs) > 0;
}

TestSocket Accept(TestSocket listening) {
    const int fd = ::accept4(static_cast<int>(listening), nullptr, nullptr, SOCK_CLOEXEC);
    return fd < 0 ? kNoSocket : fd;
}

long Receive(TestSocket s, std::uint8_t* buffer, std::size_t size) {
    return ::recv(static_cast<int>(s), buffer, size, 0);
}

long Send(TestSocket s, const std::uint8_t* data, std::size_t size) {
    return ::send(static_cast<int>(s), data, size, MSG_NOSIGNAL);
}

void CloseSocket(TestSocket s) {
    if (s != kNoSocket) ::close(static_cast<int>(s));
}

void ResetSocket(TestSocket s) {
    linger hard{1, 0};
    ::setsockopt(static_cast<int>(s), SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
    CloseSocket(s);
}

}  // namespace korvane::testing
