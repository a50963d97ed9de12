#include "app/port_error_gate.h"

#include "common/prompter.h"

namespace korvane {

void PortErrorGate::report(const std::string& text, const std::string& caption) {
    if (shown_ || showing_) return;
    shown_ = showing_ = true;
    prompter_.error(text, caption);
    showing_ = false;
}

}  // namespace korvane
