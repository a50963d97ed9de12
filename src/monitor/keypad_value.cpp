#include "monitor/keypad_value.h"

#include <cmath>
#include <cstdint>

#include "paradb/model_tables.h"

namespace korvane {
namespace {

bool isRampTime(int address, int seriesCode) {
    if (seriesCode == kSeriesFir) return address == 0x0503 || address == 0x0504;
    return address == 0x0007 || address == 0x0008;
}

// Series 5 words that are always signed, whatever the item's range says.
bool isFirSignedWord(int address) {
    return address == 21 || (address >= 31 && address <= 34) || (address >= 36 && address <= 38) ||
           (address >= 1285 && address <= 1289) || address == 1291 || address == 1292;
}

double roundTo(double value, int divisor) {
    return std::floor(value * divisor + 0.5) / divisor;
}

// The analog inputs, scaled by the drive's converter range.
double analogValue(int address, int raw, int seriesCode) {
    double v = 0.0;
    if (seriesCode == kSeriesJuniper) {
        v = raw * (address == 20 ? 20.0 : 10.0) / 1023.0;
        if (address == 19) v = -v;
    } else if (seriesCode == kSeriesIvy) {
        v = raw * (address == 20 ? 20.0 : 15.0) / 4095.0;
    } else {
        v = raw * (address == 20 ? 20.0 : 10.0) / 65472.0;
    }
    return roundTo(v, 100);
}

}  // namespace

int KeypadDivisor(const MonitorItem& item, int seriesCode, int timeScale) {
    if (!isRampTime(item.address, seriesCode)) return item.divisor > 0 ? item.divisor : 1;
    if (timeScale == 1) return 1;
    if (timeScale == 100) return 100;
    return 10;
}

int DecimalsForDivisor(int divisor) {
    switch (divisor) {
        case 1:
            return 0;
        case 10:
            return 1;
        case 1000:
            return 3;
        default:
            return 2;
    }
}

bool KeypadSigned(const MonitorItem& item, int seriesCode) {
    return item.minimum < 0 || (seriesCode == kSeriesFir && isFirSignedWord(item.address));
}

double KeypadValue(const MonitorItem& item, int raw, int seriesCode, int timeScale) {
    raw &= 0xFFFF;
    const int address = item.address;
    if (seriesCode != kSeriesFir && address >= 18 && address <= 20)
        return analogValue(address, raw, seriesCode);
    const int divisor = KeypadDivisor(item, seriesCode, timeScale);
    const int word = KeypadSigned(item, seriesCode)
                         ? static_cast<std::int16_t>(static_cast<std::uint16_t>(raw))
                         : raw;
    return roundTo(static_cast<double>(word) / divisor, divisor);
}

int KeypadRawValue(double value, int divisor) {
    if (!std::isfinite(value)) return 0;
    // A typed 1.005 is 1.00499... in binary; the margin keeps the half from rounding down.
    const double scaled = std::floor(value * divisor + 0.5 + 1e-9);
    return static_cast<int>(static_cast<std::int64_t>(scaled) & 0xFFFF);
}

}  // namespace korvane
