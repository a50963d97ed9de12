#include <winsock2.h>

#include "support/loopback_socket.h"

namespace korvane::testing {

namespace {

SOCKET Native(TestSocket s) {
    return static_cast<SOCKET>(s);
}

bool StartWinsock() {
    static const bool started = [] {
        WSADATA data;
        return WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }();
    return started;
}

}  // namespace

TestSocket ListenOnLoopback(int& port) {
    if (!StartWinsock()) return kNoSocket;
    const SOCKET s = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int len = sizeof addr;
    if (s == INVALID_SOCKET || ::bind(s, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
        ::listen(s, 4) != 0 || ::getsockname(s, reinterpret_cast<sockaddr*>(&addr), &len) != 0) {
        if (s != INVALID_SOCKET) ::closesocket(s);
        return kNoSocket;
    }
    port = ntohs(addr.sin_port);
    return static_cast<TestSocket>(s);
}

bool Readable(TestSocket s, int timeoutMs) {
    fd_set set;
    FD_ZERO(&set);
    FD_SET(Native(s), &set);
    timeval limit{timeoutMs / 1000, (timeoutMs % 1000) * 1000};
    return ::select(0, &set, nullptr, nullptr, &limit) > 0;
}

TestSocket Accept(TestSocket listening) {
    const SOCKET s = ::accept(Native(listening), nullptr, nullptr);
    return s == INVALID_SOCKET ? kNoSocket : static_cast<TestSocket>(s);
}

long Receive(TestSocket s, std::uint8_t* buffer, std::size_t size) {
    return ::recv(Native(s), reinterpret_cast<char*>(buffer), static_cast<int>(size), 0);
}

long Send(TestSocket s, const std::uint8_t* data, std::size_t size) {
    return ::send(Native(s), reinterpret_cast<const char*>(data), static_cast<int>(size), 0);
}

void CloseSocket(TestSocket s) {
    if (s != kNoSocket) ::closesocket(Native(s));
}

void ResetSocket(TestSocket s) {
    linger hard{1, 0};
    ::setsockopt(Native(s), SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&hard),
                 sizeof hard);
    CloseSocket(s);
}

}  // namespace korvane::testing
