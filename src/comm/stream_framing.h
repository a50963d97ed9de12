#pragma once
// What a network transport puts around the link's frames: nothing (raw TCP), telnet with the
// COM-PORT-OPTION, or MODBUS TCP's MBAP header. The socket port moves bytes; a framing decides
// what they mean.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "comm/port.h"

namespace korvane {

using ByteVector = std::vector<std::uint8_t>;

// A connected socket as a framing sees it while it negotiates, before the link uses the port.
class SocketChannel {
public:
    virtual ~SocketChannel() = default;
    // False with `error` set when the bytes could not all be sent.
    [[nodiscard]] virtual bool send(const ByteVector& bytes, std::string& error) = 0;
    // Waits up to timeoutMs for bytes: their count, 0 on time-out, -1 with `error` set when the
    // connection failed or was closed.
    virtual long receive(std::uint8_t* buffer, std::size_t size, int timeoutMs,
                         std::string& error) = 0;
};

class StreamFraming {
public:
    virtual ~StreamFraming() = default;
    // Runs once the connection is up. False with `error` set refuses the port.
    [[nodiscard]] virtual bool handshake(SocketChannel& /*channel*/,
                                         const PortSettings& /*settings*/, std::string& /*error*/) {
        return true;
    }
    // The bytes to send for one frame of the link; false with `error` set refuses the frame.
    [[nodiscard]] virtual bool encode(const std::uint8_t* frame, std::size_t length,
                                      ByteVector& out, std::string& error) = 0;
    // Received bytes: what the link should see is appended to `data`, anything owed to the
    // peer (negotiation answers) to `answer`.
    virtual void decode(const std::uint8_t* bytes, std::size_t length, ByteVector& data,
                        ByteVector& answer) = 0;
};

class RawFraming : public StreamFraming {
public:
    bool encode(const std::uint8_t* frame, std::size_t length, ByteVector& out,
                std::string&) override {
        out.assign(frame, frame + length);
        return true;
    }
    void decode(const std::uint8_t* bytes, std::size_t length, ByteVector& data,
                ByteVector&) override {
        data.insert(data.end(), bytes, bytes + length);
    }
};

}  // namespace korvane
