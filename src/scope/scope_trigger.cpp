#include "scope/scope_trigger.h"

#include "scope/scope_settings.h"

namespace korvane::scope {

std::optional<double> ParseTriggerLevel(const std::string& text) {
    double value = 0.0;
    if (!ParseDecimal(text, value)) return std::nullopt;
    return value;
}

void TriggerDetector::arm(double level, TriggerEdge edge) {
    level_ = level;
    edge_ = edge;
    reset();
}

void TriggerDetector::reset() {
    previous_ = 0.0;
    first_ = true;
    triggered_ = false;
    postCount_ = 0;
    point_ = 0;
}

void TriggerDetector::endRun() {
    previous_ = 0.0;
    first_ = true;
    postCount_ = 0;
}

TriggerDetector::Result TriggerDetector::onSample(double value, int pointIndex) {
    Result result;
    if (first_) {
        previous_ = value;
        first_ = false;
    } else {
        const bool rising = edge_ == TriggerEdge::kRising && value >= level_ && previous_ < level_;
        const bool falling =
            edge_ == TriggerEdge::kFalling && value <= level_ && previous_ > level_;
        if (rising || falling) {
            triggered_ = true;
            point_ = pointIndex;
            result.detected = true;
        }
        previous_ = value;
    }
    if (triggered_ && ++postCount_ > kPostTriggerTicks) result.stop = true;
    return result;
}

TriggerDetector::Result TriggerDetector::onGap() {
    Result result;
    if (triggered_ && ++postCount_ > kPostTriggerTicks) result.stop = true;
    return result;
}

}  // namespace korvane::scope
