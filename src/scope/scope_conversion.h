#pragma once
// Raw monitored words to engineering units, as the graph monitor plots and records them.
#include <cstdint>

namespace korvane {
struct MonitorItem;
}

namespace korvane::scope {

// The trip word and the second trip word that newer Juniper drives report beside it.
constexpr int kTripWordAddress = 15;
constexpr int kSecondTripWordAddress = 29;

// Whether a channel on the trip word also needs the second trip word of this drive.
bool UsesSecondTripWord(int seriesCode, int version);

// Rounds x to the nearest multiple of 1/divisor, halves upwards.
double RoundToStep(double x, int divisor);

struct ConversionInput {
    const MonitorItem* item = nullptr;  // the channel's item; never null when converting
    int address = 0;                    // the channel's address
    std::uint16_t word = 0;
    int seriesCode = 0;
    int statusWord = 0;  // of the channel's drive, for the running direction
};

double ConvertPolledWord(const ConversionInput& in);

}  // namespace korvane::scope
