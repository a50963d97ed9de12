#pragma once
// MODBUS TCP: the MBAP header (transaction id, protocol id 0, length, unit id) in front of the
// PDU, no CRC. The link speaks MODBUS-RTU; this framing turns each RTU request into an MBAP
// request and each matching MBAP reply back into the RTU reply the link's codec expects, so the
// link's pacing, time-outs and retries stay as they are.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "comm/stream_framing.h"

namespace korvane::mbap {

constexpr std::size_t kHeaderLength = 7;  // transaction 2, protocol 2, length 2, unit 1
constexpr std::size_t kMaxAduLength = 260;
// The length field counts the unit id and the PDU.
constexpr std::size_t kMinLengthField = 2;
constexpr std::size_t kMaxLengthField = kMaxAduLength - 6;

struct Adu {
    std::uint16_t transaction = 0;
    std::uint16_t protocol = 0;
    std::uint8_t unit = 0;
    ByteVector pdu;
};

ByteVector BuildAdu(std::uint16_t transaction, std::uint8_t unit, const std::uint8_t* pdu,
                    std::size_t length);
// The unit and PDU of an RTU frame whose CRC holds; false otherwise.
[[nodiscard]] bool SplitRtu(const std::uint8_t* frame, std::size_t length, std::uint8_t& unit,
                            ByteVector& pdu);
ByteVector JoinRtu(std::uint8_t unit, const ByteVector& pdu);

// Cuts ADUs out of a TCP stream. A header whose length field is out of bounds means the stream
// has lost its framing: everything buffered and the rest of that input is dropped.
class AduReader {
public:
    void push(const std::uint8_t* bytes, std::size_t length, std::vector<Adu>& out);
    void reset() { buffer_.clear(); }
    std::size_t buffered() const { return buffer_.size(); }

private:
    ByteVector buffer_;
};

// The PDU length a reply to `requestPdu` has; 0 when any length may do.
std::size_t ExpectedReplyPduLength(const ByteVector& requestPdu);

// Gateway exceptions: the path to the drive failed or the drive did not answer.
[[nodiscard]] bool IsGatewayException(const ByteVector& pdu);

// The client side, for the drive link's socket port.
class MbapClientFraming : public StreamFraming {
public:
    bool encode(const std::uint8_t* frame, std::size_t length, ByteVector& out,
                std::string& error) override;
    void decode(const std::uint8_t* bytes, std::size_t length, ByteVector& data,
                ByteVector& answer) override;

private:
    [[nodiscard]] bool matches(const Adu& adu) const;

    AduReader reader_;
    std::uint16_t nextTransaction_ = 1;
    bool awaiting_ = false;
    std::uint16_t transaction_ = 0;
    std::uint8_t unit_ = 0;
    std::uint8_t function_ = 0;
    std::size_t replyLength_ = 0;
};

}  // namespace korvane::mbap
