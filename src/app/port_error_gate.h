#pragma once
// The port reports every failed operation, and a dead adapter fails every exchange. Each box
// runs its own event loop while the link ticks on, so without a gate the boxes stack up. One
// box is shown per failure; the next is shown only after the line worked again or the port was
// opened anew.
#include <string>

namespace korvane {

class Prompter;

class PortErrorGate {
public:
    explicit PortErrorGate(Prompter& prompter) : prompter_(prompter) {}
    PortErrorGate(const PortErrorGate&) = delete;
    PortErrorGate& operator=(const PortErrorGate&) = delete;

    void report(const std::string& text, const std::string& caption);
    // A good reply came in.
    void lineWorked() { shown_ = false; }
    // The port is about to be opened again (port setup).
    void reopening() { shown_ = false; }

private:
    Prompter& prompter_;
    bool shown_ = false;
    bool showing_ = false;  // a box is up: nothing else while it waits for the user
};

}  // namespace korvane
