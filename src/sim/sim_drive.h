#pragma once
// One simulated drive: its identification, the common-area words a master polls, a parameter
// area, and run/stop/reverse behaviour with acceleration and deceleration ramps and trips.
#include <cstdint>
#include <map>
#include <optional>
#include <vector>

namespace korvane::sim {

struct DriveIdentity {
    int station = 1;
    int series = 4;
    int version = 0x0100;
    int capacity = 3;
    int voltage = 1;  // 0: 200 V class, else 400 V class
};

// What a drive answers to a read or write. The responders turn these into NAK codes or
// MODBUS exceptions.
enum class Access { Ok, UnknownAddress, ReadOnly, OutOfRange };

// One parameter as a data file describes it. Applying a table makes the parameter area strict:
// only listed addresses exist, with their defaults, ranges and write permission.
struct ParameterRule {
    std::uint16_t address = 0;
    std::uint16_t defaultValue = 0;
    std::int32_t minimum = 0;
    std::int32_t maximum = 0xFFFF;
    bool writable = true;
};

// Run-command word bits as the drive interprets them.
constexpr std::uint16_t kRunStop = 0x0001;
constexpr std::uint16_t kRunForward = 0x0002;
constexpr std::uint16_t kRunReverse = 0x0004;
constexpr std::uint16_t kRunReset = 0x0008;

// Status word bits.
constexpr std::uint16_t kStatStopped = 1 << 0;
constexpr std::uint16_t kStatForward = 1 << 1;
constexpr std::uint16_t kStatReverse = 1 << 2;
constexpr std::uint16_t kStatFault = 1 << 3;
constexpr std::uint16_t kStatAccelerating = 1 << 4;
constexpr std::uint16_t kStatDecelerating = 1 << 5;
constexpr std::uint16_t kStatDcBraking = 1 << 7;

// Common addresses.
constexpr std::uint16_t kAddrSeries = 0x0000;
constexpr std::uint16_t kAddrCapacity = 0x0001;
constexpr std::uint16_t kAddrVoltage = 0x0002;
constexpr std::uint16_t kAddrVersion = 0x0003;
constexpr std::uint16_t kAddrFreqCommand = 0x0005;
constexpr std::uint16_t kAddrRunCommand = 0x0006;
constexpr std::uint16_t kAddrAccelTime = 0x0007;
constexpr std::uint16_t kAddrDecelTime = 0x0008;
constexpr std::uint16_t kAddrCurrent = 0x0009;
constexpr std::uint16_t kAddrOutputFreq = 0x000A;
constexpr std::uint16_t kAddrOutputVoltage = 0x000B;
constexpr std::uint16_t kAddrDcLinkVoltage = 0x000C;
constexpr std::uint16_t kAddrPower = 0x000D;
constexpr std::uint16_t kAddrStatus = 0x000E;
constexpr std::uint16_t kAddrTrip1 = 0x000F;
constexpr std::uint16_t kAddrInputs = 0x0010;
constexpr std::uint16_t kAddrOutputs = 0x0011;
constexpr std::uint16_t kAddrAnalogInput1 = 0x0012;
constexpr std::uint16_t kAddrAnalogInput2 = 0x0013;
constexpr std::uint16_t kAddrAnalogInput3 = 0x0014;
constexpr std::uint16_t kAddrRpm = 0x0015;
constexpr std::uint16_t kAddrSpeedMode = 0x001A;
constexpr std::uint16_t kAddrPoles = 0x001B;
constexpr std::uint16_t kAddrTrip2 = 0x001D;
constexpr std::uint16_t kAddrSpeed = 0x0020;
constexpr std::uint16_t kAddrTorque = 0x0021;
constexpr std::uint16_t kAddrLoad = 0x0022;
// Series 5 only: 0x001E, 0x001F and 0x0023..0x0027.
constexpr std::uint16_t kAddrRampSpeedCommand = 0x001E;
constexpr std::uint16_t kAddrSpeedInputCommand = 0x001F;
constexpr std::uint16_t kAddrNoLoadCurrent = 0x0023;
constexpr std::uint16_t kAddrPidReference = 0x0024;
constexpr std::uint16_t kAddrPidFeedback = 0x0025;
constexpr std::uint16_t kAddrPidOutput = 0x0026;
constexpr std::uint16_t kAddrDriveTemperature = 0x0027;
constexpr std::uint16_t kAddrSeries11Trips = 0x0330;  // four words, series 11 only
constexpr std::uint16_t kCommonAreaEnd = 0x0040;      // 0x0000..0x003F

// Highest settable frequency command (400.00 Hz) and the frequency the ramp times refer to.
constexpr int kMaxFrequency = 40000;
constexpr int kBaseFrequency = 6000;
constexpr int kDcBrakeMs = 500;

class SimDrive {
public:
    explicit SimDrive(const DriveIdentity& identity);

    const DriveIdentity& identity() const { return identity_; }
    int station() const { return identity_.station; }

    [[nodiscard]] Access read(std::uint16_t address, std::uint16_t& value) const;
    [[nodiscard]] Access write(std::uint16_t address, std::uint16_t value);
    // Checks without changing anything, so a multi-word request can be refused as a whole.
    [[nodiscard]] Access probe(std::uint16_t address) const;

    // Moves the ramps on by `elapsedMs` of drive time.
    void advance(std::int64_t elapsedMs);

    // Trips the drive: output off, fault bit, and trip bit `bit` counted over the series' trip
    // words (16 bits each). False if the series has no such bit.
    bool trip(int bit);

    // Replaces the permissive parameter area by the parameters of a data file. The words a
    // master reads while identifying the drive stay readable even where the table lacks them.
    void applyParameters(const std::vector<ParameterRule>& table);
    bool hasParameterTable() const { return strictParameters_; }

    int outputFrequency() const { return outputFreq_; }  // signed, 0.01 Hz

private:
    std::optional<std::uint16_t> commonWord(std::uint16_t address) const;
    std::optional<std::uint16_t> series5Word(std::uint16_t address) const;
    Access writeCommon(std::uint16_t address, std::uint16_t value);
    Access writeRunCommand(std::uint16_t value);
    std::uint16_t statusWord() const;
    int targetFrequency() const;
    bool isSeries11TripWord(std::uint16_t address) const;
    void addBuiltInParameters();

    DriveIdentity identity_;
    std::uint16_t freqCommand_ = 6000;
    std::uint16_t runCommand_ = kRunStop;
    std::uint16_t accelTime_ = 50;  // tenths of a second for 0 -> base frequency
    std::uint16_t decelTime_ = 50;
    std::uint16_t speedMode_ = 0;
    std::uint16_t poles_ = 4;
    int direction_ = 0;  // +1 forward, -1 reverse, 0 stop
    int outputFreq_ = 0;
    double rampRemainder_ = 0.0;
    bool tripped_ = false;
    std::int64_t dcBrakeLeftMs_ = 0;
    std::map<std::uint16_t, std::uint16_t> tripWords_;

    struct Parameter {
        std::uint16_t value = 0;
        ParameterRule rule;
    };
    bool strictParameters_ = false;
    std::map<std::uint16_t, Parameter> parameters_;
};

}  // namespace korvane::sim
