#pragma once
// The few socket calls the tests' device server makes, alike on POSIX and Winsock, so that the
// network ports are tested on both.
#include <cstddef>
#include <cstdint>

namespace korvane::testing {

using TestSocket = std::intptr_t;
constexpr TestSocket kNoSocket = -1;

// A socket listening on 127.0.0.1 and a free port (set in `port`), or kNoSocket.
TestSocket ListenOnLoopback(int& port);
// Whether `s` has something to read (a listening socket: a connection) within timeoutMs.
bool Readable(TestSocket s, int timeoutMs);
TestSocket Accept(TestSocket listening);
// The count received; 0 or less once the peer closed or the connection failed.
long Receive(TestSocket s, std::uint8_t* buffer, std::size_t size);
// The count sent; 0 or less on failure.
long Send(TestSocket s, const std::uint8_t* data, std::size_t size);
void CloseSocket(TestSocket s);
// Ends the connection with a reset instead of an orderly close.
void ResetSocket(TestSocket s);

}  // namespace korvane::testing
