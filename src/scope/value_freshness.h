#pragma once
// Whether a channel's value is a reading the drive just gave, judged from what the graph
// monitor itself receives: nothing yet since the start, a failed poll of its station, or two
// polling rounds without a fresh word each make the value not live. A polling round is
// measured in sample ticks between the last two fresh words, so a slow line (many drives, a
// low baud rate) is not taken for a silent one.
namespace korvane::scope {

class ValueFreshness {
public:
    // Monitoring starts: nothing has been received.
    void reset() { *this = ValueFreshness(); }
    // A good reply carried the channel's word.
    void received();
    // A poll of the channel's station failed.
    void failed() { failed_ = true; }
    // A sample tick has gone by.
    void tick() { ++ticksSinceFresh_; }
    bool live() const;

private:
    bool received_ = false;
    bool failed_ = false;
    int ticksSinceFresh_ = 0;
    int roundTicks_ = 1;
};

}  // namespace korvane::scope
