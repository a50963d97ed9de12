#include "scope/value_freshness.h"

#include <algorithm>

namespace korvane::scope {

void ValueFreshness::received() {
    if (received_) roundTicks_ = std::max(ticksSinceFresh_, 1);
    received_ = true;
    failed_ = false;
    ticksSinceFresh_ = 0;
}

bool ValueFreshness::live() const {
    return received_ && !failed_ && ticksSinceFresh_ < 2 * roundTicks_;
}

}  // namespace korvane::scope
