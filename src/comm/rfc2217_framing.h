#pragma once
// A serial device server spoken to by telnet with the COM-PORT-OPTION: the client sets the
// serial line's baud rate and framing, purges the server's buffers where a local port would be
// purged, and switches RTS where the program drives the transmitter.
#include <functional>
#include <memory>
#include <string>

#include "comm/stream_framing.h"
#include "comm/telnet_codec.h"

namespace korvane {

namespace rfc2217 {
// COM-PORT-OPTION commands from the client; the server answers each with the code + 100.
constexpr std::uint8_t kSetBaudRate = 1, kSetDataSize = 2, kSetParity = 3, kSetStopSize = 4,
                       kSetControl = 5, kPurgeData = 12;
constexpr std::uint8_t kServerOffset = 100;
constexpr std::uint8_t kControlRtsOn = 11, kControlRtsOff = 12;
constexpr std::uint8_t kPurgeBoth = 3;
// Parity and stop size as the option numbers them.
std::uint8_t ParityCode(Parity parity);
std::uint8_t StopSizeCode(StopBits stopBits);
}  // namespace rfc2217

class Rfc2217Framing : public StreamFraming {
public:
    bool handshake(SocketChannel& channel, const PortSettings& settings,
                   std::string& error) override;
    bool encode(const std::uint8_t* frame, std::size_t length, ByteVector& out,
                std::string& error) override;
    void decode(const std::uint8_t* bytes, std::size_t length, ByteVector& data,
                ByteVector& answer) override;

private:
    struct Answers;
    // Answers the peer's option requests; records what it said to ours.
    void handle(const telnet::Event& event, ByteVector& answer);
    bool waitFor(SocketChannel& channel, const std::function<bool()>& done, std::string& error);
    bool negotiateOptions(SocketChannel& channel, std::string& error);
    bool setLine(SocketChannel& channel, const PortSettings& settings, std::string& error);

    telnet::Decoder decoder_;
    PortSettings settings_;
    // Per option: 0 not asked, 1 asked, 2 agreed, 3 refused.
    int ourBinary_ = 0, theirBinary_ = 0, comPort_ = 0;
    bool theirSga_ = false;
    std::vector<telnet::Event> subnegotiations_;  // COM-PORT answers seen during the handshake
    bool handshaking_ = false;
};

std::unique_ptr<StreamFraming> MakeRfc2217Framing();

}  // namespace korvane
