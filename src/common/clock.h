#pragma once
// Local wall-clock time for logs, the alarm history and reports.
namespace korvane {

struct LocalTime {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0, millisecond = 0;
};

class Clock {
public:
    virtual ~Clock() = default;
    virtual LocalTime now() const = 0;
};

class SystemClock : public Clock {
public:
    LocalTime now() const override;
};

class FixedClock : public Clock {
public:
    explicit FixedClock(LocalTime t) : time_(t) {}
    LocalTime now() const override { return time_; }
    void set(LocalTime t) { time_ = t; }

private:
    LocalTime time_;
};

}  // namespace korvane
