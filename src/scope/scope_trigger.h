#pragma once
// Edge detection on one channel's values in engineering units. The monitor arms it, feeds it
// one value per sample tick and stops when it says so.
#include <optional>
#include <string>

namespace korvane::scope {

enum class TriggerEdge : int { kRising = 0, kFalling = 1 };

// Samples the monitor keeps running after the detecting one; the stop comes on the eleventh.
constexpr int kPostTriggerTicks = 10;

// The level typed by the user: trimmed, a whole decimal number read in the C locale. Nullopt
// for empty text and for text that is not a number.
std::optional<double> ParseTriggerLevel(const std::string& text);

class TriggerDetector {
public:
    struct Result {
        bool detected = false;  // this sample crossed the level
        bool stop = false;      // the post-trigger ticks are over
    };

    void arm(double level, TriggerEdge edge);
    // Monitoring starts: everything, the detected trigger included, is forgotten.
    void reset();
    // Monitoring stopped: the next sample primes again, but a detected trigger stays shown.
    void endRun();
    Result onSample(double value, int pointIndex);
    // A tick without a live value: nothing is compared and the previous value stays, but the
    // ticks after a detected trigger go on counting.
    Result onGap();

    bool triggered() const { return triggered_; }
    int triggerPoint() const { return point_; }
    double level() const { return level_; }
    TriggerEdge edge() const { return edge_; }

private:
    double level_ = 0.0;
    TriggerEdge edge_ = TriggerEdge::kRising;
    double previous_ = 0.0;
    bool first_ = true;
    bool triggered_ = false;
    int postCount_ = 0;
    int point_ = 0;
};

}  // namespace korvane::scope
