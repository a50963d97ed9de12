#include "support/device_server.h"

#include <chrono>

#include "support/loopback_socket.h"

namespace korvane::testing {

namespace {

constexpr std::uint8_t IAC = 255, DONT = 254, DO = 253, WONT = 252, WILL = 251, SB = 250, SE = 240;
constexpr std::uint8_t BINARY = 0, COM_PORT = 44;

}  // namespace

DeviceServer::DeviceServer(Options options, Script script)
    : options_(options), script_(std::move(script)) {
    listenFd_ = ListenOnLoopback(port_);
    if (listenFd_ == kNoSocket) return;
    thread_ = std::thread([this] { run(); });
}

DeviceServer::~DeviceServer() {
    stopping_ = true;
    if (thread_.joinable()) thread_.join();
    CloseSocket(listenFd_);
}

std::string DeviceServer::url(const std::string& scheme) const {
    return scheme + "://127.0.0.1:" + std::to_string(port_);
}

DeviceServer::Recorded DeviceServer::recorded() {
    std::lock_guard lock(mutex_);
    return recorded_;
}

bool DeviceServer::waitFor(const std::function<bool(const Recorded&)>& pred, int timeoutMs) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                             [&] { return pred(recorded_); });
}

Bytes DeviceServer::Escape(const Bytes& data) {
    Bytes out;
    for (auto b : data) {
        out.push_back(b);
        if (b == IAC) out.push_back(IAC);
    }
    return out;
}

void DeviceServer::sendRaw(TestSocket fd, const Bytes& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        long n = Send(fd, bytes.data() + done, bytes.size() - done);
        if (n <= 0) return;
        done += static_cast<std::size_t>(n);
    }
}

void DeviceServer::run() {
    while (!stopping_) {
        if (!Readable(listenFd_, 50)) continue;
        const TestSocket fd = Accept(listenFd_);
        if (fd == kNoSocket) continue;
        if (serve(fd))
            ResetSocket(fd);
        else
            CloseSocket(fd);
    }
}

// The server's side of the COM-PORT-OPTION: every setting is answered with its code + 100 and
// the value in force.
void DeviceServer::handleCommand(TestSocket fd, const Bytes& sb) {
    if (sb.size() < 2 || sb[0] != COM_PORT) return;
    const std::uint8_t command = sb[1];
    Bytes value(sb.begin() + 2, sb.end());
    {
        std::lock_guard lock(mutex_);
        Recorded& r = recorded_;
        if (command == 1 && value.size() == 4) {
            r.baud =
                (std::uint32_t{value[0]} << 24) | (value[1] << 16) | (value[2] << 8) | value[3];
            if (options_.answeredBaud) {
                const auto b = options_.answeredBaud;
                value = {std::uint8_t(b >> 24), std::uint8_t(b >> 16), std::uint8_t(b >> 8),
                         std::uint8_t(b)};
            }
        } else if (command == 2 && value.size() == 1) {
            r.dataSize = value[0];
        } else if (command == 3 && value.size() == 1) {
            r.parity = value[0];
        } else if (command == 4 && value.size() == 1) {
            r.stopSize = value[0];
        } else if (command == 5 && value.size() == 1) {
            r.controls.push_back(value[0]);
            r.order.push_back(value[0] == 11 ? "rts-on" : value[0] == 12 ? "rts-off" : "control");
        } else if (command == 12) {
            ++r.purges;
            r.order.push_back("purge");
        }
    }
    changed_.notify_all();
    Bytes answer = {IAC, SB, COM_PORT, static_cast<std::uint8_t>(command + 100)};
    Bytes escaped = Escape(value);
    answer.insert(answer.end(), escaped.begin(), escaped.end());
    answer.insert(answer.end(), {IAC, SE});
    sendRaw(fd, answer);
}

bool DeviceServer::serve(TestSocket fd) {
    enum { Data, Iac, Verb, Sb, SbIac } state = Data;
    std::uint8_t verb = 0;
    Bytes sb;
    while (!stopping_) {
        if (!Readable(fd, 50)) continue;
        std::uint8_t buffer[1024];
        long n = Receive(fd, buffer, sizeof buffer);
        if (n <= 0) return false;
        Bytes data;
        bool dataMarked = false;  // "data" already in the order for this chunk
        for (long i = 0; i < n; ++i) {
            const std::uint8_t b = buffer[i];
            if (!options_.telnet) {
                data.push_back(b);
                continue;
            }
            switch (state) {
                case Data:
                    if (b == IAC)
                        state = Iac;
                    else
                        data.push_back(b);
                    break;
                case Iac:
                    if (b == IAC)
                        data.push_back(b), state = Data;
                    else if (b == SB)
                        sb.clear(), state = Sb;
                    else if (b >= WILL)
                        verb = b, state = Verb;
                    else
                        state = Data;
                    break;
                case Verb: {
                    state = Data;
                    const bool known = b == BINARY || (b == COM_PORT && !options_.refuseComPort);
                    if (verb == WILL) sendRaw(fd, {IAC, std::uint8_t(known ? DO : DONT), b});
                    if (verb == DO) sendRaw(fd, {IAC, std::uint8_t(b == BINARY ? WILL : WONT), b});
                    break;
                }
                case Sb:
                    if (b == IAC)
                        state = SbIac;
                    else
                        sb.push_back(b);
                    break;
                case SbIac:
                    if (b == IAC) {
                        sb.push_back(b);
                        state = Sb;
                    } else {
                        if (!data.empty() && !dataMarked) {
                            std::lock_guard lock(mutex_);
                            recorded_.order.push_back("data");
                            dataMarked = true;
                        }
                        handleCommand(fd, sb);
                        state = Data;
                    }
                    break;
            }
        }
        if (data.empty()) continue;
        {
            std::lock_guard lock(mutex_);
            recorded_.data.insert(recorded_.data.end(), data.begin(), data.end());
            if (!dataMarked) recorded_.order.push_back("data");
        }
        changed_.notify_all();
        if (!script_) continue;
        Reply reply = script_(data);
        for (std::size_t i = 0; i < reply.chunks.size(); ++i) {
            if (i > 0) std::this_thread::sleep_for(std::chrono::milliseconds(20));
            sendRaw(fd, reply.chunks[i]);
        }
        if (reply.closeAfter || reply.resetAfter) return reply.resetAfter;
    }
    return false;
}

}  // namespace korvane::testing
