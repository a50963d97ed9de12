#include "app/comm_indicator.h"

namespace korvane {

void CommIndicator::OnActivity(int activity) {
    if (activity == 1) txCountdown_ = 2;
    if (activity == 2) rxCountdown_ = 2;
}

bool CommIndicator::OnTick() {
    if (txCountdown_ > 0) --txCountdown_;
    if (rxCountdown_ > 0) --rxCountdown_;
    return consumeChange();
}

int CommIndicator::Icon() const {
    const bool tx = txCountdown_ > 0;
    const bool rx = rxCountdown_ > 0;
    if (tx && rx) return kIndicatorBoth;
    if (tx) return kIndicatorTx;
    if (rx) return kIndicatorRx;
    return kIndicatorIdle;
}

bool CommIndicator::consumeChange() {
    const int icon = Icon();
    if (icon == shownIcon_) return false;
    shownIcon_ = icon;
    return true;
}

}  // namespace korvane
