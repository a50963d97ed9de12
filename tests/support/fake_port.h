#pragma once
// An in-memory serial line for tests of whatever talks through a Port. It records every frame
// sent and lets the test (or an automatic responder) put reply bytes on the line; the bytes
// reach the owner through the Executor exactly as a real port's worker thread posts them.
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "comm/port.h"
#include "common/executor.h"

namespace korvane::test {

// What every port made by one factory shares: the test's view of the line.
struct FakeLine {
    // Frames in the order they were sent, as raw bytes (TK485 text or MODBUS binary).
    std::vector<std::string> sent;
    std::vector<PortSettings> opened;
    int portsCreated = 0;
    int portsClosed = 0;
    bool failOpen = false;
    bool failStart = false;
    // Called for each frame sent; the bytes it returns are posted as the reply.
    std::function<std::optional<std::string>(const std::string& frame)> responder;
    // The byte handler of the most recently opened port (kept after that port is gone, as a
    // real port's already-posted bytes would be).
    Port::ByteHandler handler;
    Executor* executor = nullptr;

    // Posts the bytes through the executor, one task per byte; nothing runs until it is drained.
    void Inject(const std::string& bytes);
    void InjectWith(const Port::ByteHandler& target, const std::string& bytes);
    const std::string& last() const { return sent.back(); }
};

class FakePort : public Port {
public:
    explicit FakePort(std::shared_ptr<FakeLine> line) : line_(std::move(line)) {}
    ~FakePort() override { Close(); }

    bool Open(const PortSettings& settings, ByteHandler onByte) override;
    bool Start() override;
    bool Stop() override { return true; }
    bool SendBytes(const std::uint8_t* data, std::size_t length) override;
    bool SendText(const char* text) override;
    bool IsOpen() const override { return open_; }
    void Close() override;

private:
    bool Deliver(std::string frame);

    std::shared_ptr<FakeLine> line_;
    bool open_ = false;
};

// A factory whose ports all share `line`; bytes go through `executor`.
PortFactory MakeFakePortFactory(Executor& executor, std::shared_ptr<FakeLine> line);

}  // namespace korvane::test
