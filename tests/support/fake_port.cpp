#include "support/fake_port.h"

#include <cstring>

namespace korvane::test {

void FakeLine::Inject(const std::string& bytes) {
    InjectWith(handler, bytes);
}

void FakeLine::InjectWith(const Port::ByteHandler& target, const std::string& bytes) {
    if (!target || executor == nullptr) return;
    for (char c : bytes) {
        executor->post([target, b = static_cast<std::uint8_t>(c)] { target(b); });
    }
}

bool FakePort::Open(const PortSettings& settings, ByteHandler onByte) {
    Close();
    if (line_->failOpen) return false;
    line_->opened.push_back(settings);
    line_->handler = std::move(onByte);
    open_ = true;
    return true;
}

bool FakePort::Start() {
    return open_ && !line_->failStart;
}

bool FakePort::SendBytes(const std::uint8_t* data, std::size_t length) {
    return Deliver(std::string(reinterpret_cast<const char*>(data), length));
}

bool FakePort::SendText(const char* text) {
    return Deliver(std::string(text, std::strlen(text)));
}

bool FakePort::Deliver(std::string frame) {
    if (!open_) return false;
    line_->sent.push_back(frame);
    if (line_->responder) {
        if (auto answer = line_->responder(frame)) line_->Inject(*answer);
    }
    return true;
}

void FakePort::Close() {
    if (!open_) return;
    open_ = false;
    ++line_->portsClosed;
}

PortFactory MakeFakePortFactory(Executor& executor, std::shared_ptr<FakeLine> line) {
    line->executor = &executor;
    return [line]() -> std::unique_ptr<Port> {
        ++line->portsCreated;
        return std::make_unique<FakePort>(line);
    };
}

}  // namespace korvane::test
