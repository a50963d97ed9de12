#pragma once
// How a core object tells whoever shows it that something changed. The core object owns a
// Signal; a view connects a function to it and keeps the Connection it gets back for as long
// as it wants to hear. Dropping the Connection (with the view) disconnects, so a view that is
// gone is never called, whichever of the two goes first. Single-threaded, like all protocol
// state: emit and connect on the owning thread only.
#include <functional>
#include <memory>
#include <utility>
#include <vector>

namespace korvane {

namespace signal_detail {

struct SlotBase {
    bool connected = true;
};

}  // namespace signal_detail

// Owns one subscription; disconnects when destroyed or reset. Move-only.
class [[nodiscard]] Connection {
public:
    Connection() = default;
    explicit Connection(std::weak_ptr<signal_detail::SlotBase> slot) : slot_(std::move(slot)) {}
    Connection(Connection&& other) noexcept = default;
    Connection& operator=(Connection&& other) noexcept {
        if (this != &other) {
            disconnect();
            slot_ = std::move(other.slot_);
        }
        return *this;
    }
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;
    ~Connection() { disconnect(); }

    void disconnect() {
        if (auto slot = slot_.lock()) slot->connected = false;
        slot_.reset();
    }
    bool connected() const {
        auto slot = slot_.lock();
        return slot && slot->connected;
    }

private:
    std::weak_ptr<signal_detail::SlotBase> slot_;
};

template <class... Args>
class Signal {
public:
    using Slot = std::function<void(Args...)>;

    Signal() = default;
    Signal(const Signal&) = delete;
    Signal& operator=(const Signal&) = delete;
    ~Signal() { state_->alive = false; }

    Connection connect(Slot fn) {
        prune();
        auto slot = std::make_shared<Entry>();
        slot->fn = std::move(fn);
        state_->entries.push_back(slot);
        return Connection(std::weak_ptr<signal_detail::SlotBase>(slot));
    }

    // Calls every connected function in the order they connected. A function that
    // disconnects another, or destroys the object that owns this signal, stops the calls
    // that would have reached what it took down; one connected meanwhile waits for the next
    // emission.
    void operator()(Args... args) const {
        const std::shared_ptr<State> state = state_;
        const std::vector<std::shared_ptr<Entry>> entries = state->entries;
        for (const auto& slot : entries) {
            if (!state->alive) return;
            if (slot->connected) slot->fn(args...);
        }
    }

    bool hasConnections() const {
        for (const auto& slot : state_->entries)
            if (slot->connected) return true;
        return false;
    }

private:
    struct Entry : signal_detail::SlotBase {
        Slot fn;
    };
    struct State {
        std::vector<std::shared_ptr<Entry>> entries;
        bool alive = true;
    };

    void prune() {
        auto& entries = state_->entries;
        std::erase_if(entries, [](const auto& slot) { return !slot->connected; });
    }

    std::shared_ptr<State> state_ = std::make_shared<State>();
};

}  // namespace korvane
