#include "sim/sim_drive.h"

#include <cmath>
#include <cstdlib>
#include <limits>

namespace korvane::sim {

namespace {

struct BuiltInParameter {
    int series;
    std::uint16_t address;
    std::uint16_t value;
    std::int32_t minimum = 0;
    std::int32_t maximum = 0xFFFF;
};

// Words a master reads from the parameter area while identifying a drive. Without them a
// fresh simulated drive would report "hundredths" as its time scale, which no real drive
// ships with. Series 5 keeps its command words (speed command, ramp times, torque and PID
// commands) in the parameter area too, outside its data file; a master polls them like
// common words, and a drive that refused one would be taken for gone.
constexpr BuiltInParameter kBuiltInParameters[] = {
    {4, 0x5347, 1},
    {8, 0x8347, 1},
    {9, 0x924A, 1},
    {10, 0xA347, 1},
    {11, 0x1209, 1},
    {5, 0x0502, 18000, 0, 36000},
    {5, 0x0503, 50, 0, 6000},
    {5, 0x0504, 50, 0, 6000},
    {5, 0x0505, 0, -1800, 1800},
    {5, 0x0506, 1500, -2500, 2500},
    {5, 0x0507, 1500, -2500, 2500},
    {5, 0x0508, 1500, -2500, 2500},
    {5, 0x0509, 0, -1500, 1500},
    {5, 0x050A, 300, 0, 1000},
    {5, 0x050B, 0, -1000, 1000},
    {5, 0x050C, 0, -1000, 1000},
};

constexpr std::uint16_t kSeries11TripWords[] = {0x0330, 0x0331, 0x0332, 0x0333};

bool fitsRange(std::uint16_t value, std::int32_t minimum, std::int32_t maximum) {
    // Ranges below zero describe signed words.
    std::int32_t v = minimum < 0 ? static_cast<std::int16_t>(value) : value;
    return v >= minimum && v <= maximum;
}

std::uint16_t word(long v) {
    return static_cast<std::uint16_t>(v & 0xFFFF);
}

}  // namespace

SimDrive::SimDrive(const DriveIdentity& identity) : identity_(identity) {
    addBuiltInParameters();
}

void SimDrive::addBuiltInParameters() {
    for (const auto& p : kBuiltInParameters) {
        if (p.series != identity_.series) continue;
        parameters_.try_emplace(
            p.address, Parameter{p.value, ParameterRule{p.address, p.value, p.minimum, p.maximum}});
    }
}

bool SimDrive::isSeries11TripWord(std::uint16_t address) const {
    return identity_.series == 11 && address >= kAddrSeries11Trips &&
           address <= kAddrSeries11Trips + 3;
}

std::optional<std::uint16_t> SimDrive::commonWord(std::uint16_t address) const {
    const int out = outputFreq_;
    const int magnitude = std::abs(out);
    const bool running = out != 0;
    const int rpm = poles_ ? magnitude * 120 / poles_ / 100 : 0;
    auto trip = [this](std::uint16_t a) {
        auto it = tripWords_.find(a);
        return it == tripWords_.end() ? std::uint16_t{0} : it->second;
    };
    if (isSeries11TripWord(address)) return trip(address);
    switch (address) {
        case kAddrSeries:
            return word(identity_.series);
        case kAddrCapacity:
            return word(identity_.capacity);
        case kAddrVoltage:
            return word(identity_.voltage);
        case kAddrVersion:
            return word(identity_.version);
        case kAddrFreqCommand:
            return freqCommand_;
        case kAddrRunCommand:
            return runCommand_;
        case kAddrAccelTime:
            return accelTime_;
        case kAddrDecelTime:
            return decelTime_;
        case kAddrCurrent:  // no-load current plus a load share, more while ramping up
            return word(running ? 12 + magnitude * 30 / kBaseFrequency +
                                      (statusWord() & kStatAccelerating ? 15 : 0)
                                : 0);
        case kAddrOutputFreq:
            return word(magnitude);
        case kAddrOutputVoltage: {
            int rated = identity_.voltage ? 400 : 200;
            int volts = std::min(rated, rated * magnitude / kBaseFrequency);
            return word(identity_.series == 5 ? volts * 10 : volts);
        }
        case kAddrDcLinkVoltage: {
            int volts = identity_.voltage ? 565 : 282;
            return word(identity_.series == 5 ? volts * 10 : volts);
        }
        case kAddrPower:
            return word(running ? 2 + magnitude * identity_.capacity / kBaseFrequency : 0);
        case kAddrStatus:
            return statusWord();
        case kAddrTrip1:
            return trip(kAddrTrip1);
        case kAddrInputs:
            return word(direction_ > 0 ? 0x01 : direction_ < 0 ? 0x02 : 0);
        case kAddrOutputs:
            return word((running ? 0x01 : 0) | (tripped_ ? 0x02 : 0));
        case kAddrAnalogInput1:  // nothing wired to the analog inputs
        case kAddrAnalogInput2:
        case kAddrAnalogInput3:
            return word(0);
        case kAddrRpm:
            return word(rpm);
        case kAddrSpeedMode:
            return speedMode_;
        case kAddrPoles:
            return poles_;
        case kAddrTrip2:
            return trip(kAddrTrip2);
        case kAddrSpeed:  // series 5 reports its output frequency here, the others signed speed
            return identity_.series == 5 ? word(magnitude) : word(out < 0 ? -rpm : rpm);
        case kAddrTorque:
            return word(running ? 100 : 0);
        case kAddrLoad:
            return word(running ? (out < 0 ? -1 : 1) * (150 + magnitude / 100) : 0);
        default:
            return identity_.series == 5 ? series5Word(address) : std::nullopt;
    }
}

// The vector drive's extra monitor words: speed references in rpm, PID values and its
// temperature.
std::optional<std::uint16_t> SimDrive::series5Word(std::uint16_t address) const {
    const int rpm = poles_ ? std::abs(outputFreq_) * 120 / poles_ / 100 : 0;
    const int targetRpm = poles_ ? std::abs(targetFrequency()) * 120 / poles_ / 100 : 0;
    switch (address) {
        case kAddrRampSpeedCommand:
            return word(rpm);
        case kAddrSpeedInputCommand:
            return word(targetRpm);
        case kAddrNoLoadCurrent:
            return word(outputFreq_ != 0 ? 300 : 0);
        case kAddrPidReference:
        case kAddrPidFeedback:
        case kAddrPidOutput:
            return word(0);
        case kAddrDriveTemperature:
            return word(outputFreq_ != 0 ? 42 : 35);
        default:
            return std::nullopt;
    }
}

Access SimDrive::probe(std::uint16_t address) const {
    if (address < kCommonAreaEnd || isSeries11TripWord(address)) {
        return commonWord(address) ? Access::Ok : Access::UnknownAddress;
    }
    if (strictParameters_ && !parameters_.count(address)) return Access::UnknownAddress;
    return Access::Ok;
}

Access SimDrive::read(std::uint16_t address, std::uint16_t& value) const {
    if (address < kCommonAreaEnd || isSeries11TripWord(address)) {
        auto w = commonWord(address);
        if (!w) return Access::UnknownAddress;
        value = *w;
        return Access::Ok;
    }
    auto it = parameters_.find(address);
    if (it == parameters_.end()) {
        if (strictParameters_) return Access::UnknownAddress;
        value = 0;
        return Access::Ok;
    }
    value = it->second.value;
    return Access::Ok;
}

Access SimDrive::write(std::uint16_t address, std::uint16_t value) {
    if (address < kCommonAreaEnd || isSeries11TripWord(address)) return writeCommon(address, value);
    auto it = parameters_.find(address);
    if (it == parameters_.end()) {
        if (strictParameters_) return Access::UnknownAddress;
        parameters_[address].value = value;
        return Access::Ok;
    }
    if (strictParameters_) {
        if (!it->second.rule.writable) return Access::ReadOnly;
        if (!fitsRange(value, it->second.rule.minimum, it->second.rule.maximum))
            return Access::OutOfRange;
    }
    it->second.value = value;
    return Access::Ok;
}

Access SimDrive::writeCommon(std::uint16_t address, std::uint16_t value) {
    if (!commonWord(address)) return Access::UnknownAddress;
    switch (address) {
        case kAddrFreqCommand:
            if (value > kMaxFrequency) return Access::OutOfRange;
            freqCommand_ = value;
            return Access::Ok;
        case kAddrRunCommand:
            return writeRunCommand(value);
        case kAddrAccelTime:
            accelTime_ = value;
            return Access::Ok;
        case kAddrDecelTime:
            decelTime_ = value;
            return Access::Ok;
        case kAddrSpeedMode:
            if (value > 1) return Access::OutOfRange;
            speedMode_ = value;
            return Access::Ok;
        case kAddrPoles:
            if (value < 2 || value > 48 || value % 2) return Access::OutOfRange;
            poles_ = value;
            return Access::Ok;
        default:
            return Access::ReadOnly;
    }
}

Access SimDrive::writeRunCommand(std::uint16_t value) {
    if (value > 0xFF || ((value & kRunForward) && (value & kRunReverse))) return Access::OutOfRange;
    runCommand_ = value;
    if (value & kRunReset) {
        if (tripped_) {
            tripped_ = false;
            tripWords_.clear();
            direction_ = 0;  // a reset never restarts the motor by itself
        }
        return Access::Ok;
    }
    if (tripped_) return Access::Ok;  // the command is kept; the drive ignores it until reset
    if (value & kRunStop) {
        direction_ = 0;
    } else if (value & kRunForward) {
        direction_ = 1;
    } else if (value & kRunReverse) {
        direction_ = -1;
    }
    if (direction_ != 0) dcBrakeLeftMs_ = 0;
    return Access::Ok;
}

int SimDrive::targetFrequency() const {
    if (tripped_) return 0;
    return direction_ * static_cast<int>(freqCommand_);
}

std::uint16_t SimDrive::statusWord() const {
    std::uint16_t s = 0;
    const int out = outputFreq_;
    const int target = targetFrequency();
    if (out == 0) s |= kStatStopped;
    if (tripped_) s |= kStatFault;
    int shown = out > 0 ? 1 : out < 0 ? -1 : (tripped_ ? 0 : direction_);
    if (shown > 0) s |= kStatForward;
    if (shown < 0) s |= kStatReverse;
    if (!tripped_ && out != target) {
        bool away = (target > out && out >= 0) || (target < out && out <= 0);
        s |= away ? kStatAccelerating : kStatDecelerating;
    }
    if (dcBrakeLeftMs_ > 0) s |= kStatDcBraking;
    return s;
}

void SimDrive::advance(std::int64_t elapsedMs) {
    double msLeft = static_cast<double>(elapsedMs);
    while (msLeft > 0) {
        const int target = targetFrequency();
        if (outputFreq_ == target) {
            dcBrakeLeftMs_ =
                std::max<std::int64_t>(0, dcBrakeLeftMs_ - static_cast<std::int64_t>(msLeft));
            rampRemainder_ = 0;
            return;
        }
        const bool away = (target > outputFreq_ && outputFreq_ >= 0) ||
                          (target < outputFreq_ && outputFreq_ <= 0);
        // Reversing passes through standstill on the deceleration ramp first.
        const int goal =
            (!away && ((outputFreq_ > 0 && target < 0) || (outputFreq_ < 0 && target > 0)))
                ? 0
                : target;
        const std::uint16_t time = away ? accelTime_ : decelTime_;
        const double perMs = time == 0 ? std::numeric_limits<double>::infinity()
                                       : static_cast<double>(kBaseFrequency) / (time * 100.0);
        const double distance = std::abs(goal - outputFreq_) - rampRemainder_;
        const double needed = distance / perMs;
        if (needed <= msLeft) {
            msLeft -= needed;
            outputFreq_ = goal;
            rampRemainder_ = 0;
            if (goal == 0 && direction_ == 0) dcBrakeLeftMs_ = kDcBrakeMs;
            continue;
        }
        double moved = rampRemainder_ + perMs * msLeft;
        int whole = static_cast<int>(moved);
        rampRemainder_ = moved - whole;
        outputFreq_ += goal > outputFreq_ ? whole : -whole;
        return;
    }
}

bool SimDrive::trip(int bit) {
    const std::uint16_t* words = nullptr;
    int count = 1;
    static const std::uint16_t kTrip1Only[] = {kAddrTrip1};
    static const std::uint16_t kTrip1And2[] = {kAddrTrip1, kAddrTrip2};
    if (identity_.series == 11) {
        words = kSeries11TripWords;
        count = 4;
    } else if (identity_.series == 10 && identity_.version > 20) {
        words = kTrip1And2;
        count = 2;
    } else {
        words = kTrip1Only;
    }
    if (bit < 0 || bit >= 16 * count) return false;
    tripWords_[words[bit / 16]] |= static_cast<std::uint16_t>(1u << (bit % 16));
    tripped_ = true;
    outputFreq_ = 0;  // the output is switched off: the motor coasts
    rampRemainder_ = 0;
    dcBrakeLeftMs_ = 0;
    return true;
}

void SimDrive::applyParameters(const std::vector<ParameterRule>& table) {
    strictParameters_ = true;
    parameters_.clear();
    for (const auto& rule : table) {
        if (rule.address < kCommonAreaEnd || isSeries11TripWord(rule.address)) continue;
        parameters_[rule.address] = Parameter{rule.defaultValue, rule};
    }
    addBuiltInParameters();
}

}  // namespace korvane::sim
