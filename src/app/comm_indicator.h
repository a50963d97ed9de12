#pragma once
// The status bar's TX/RX lamp: each direction stays lit for two ticks of the 200 ms timer
// after the link reports activity, so short exchanges are still visible.
namespace korvane {

enum CommIndicatorIcon : int {
    kIndicatorIdle = 140,
    kIndicatorTx = 138,
    kIndicatorRx = 141,
    kIndicatorBoth = 139
};

class CommIndicator {
public:
    // 1 frame sent, 2 good reply, 3 error (changes nothing).
    void OnActivity(int activity);
    // Returns true when the icon must be redrawn.
    bool OnTick();
    int Icon() const;

private:
    bool consumeChange();
    int txCountdown_ = 0;
    int rxCountdown_ = 0;
    int shownIcon_ = kIndicatorIdle;
};

}  // namespace korvane
