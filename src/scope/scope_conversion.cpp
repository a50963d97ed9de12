#include "scope/scope_conversion.h"

#include <cmath>

#include "paradb/drive_record.h"
#include "paradb/model_tables.h"
#include "paradb/monitor_list.h"
#include "paradb/monitor_tables.h"

namespace korvane::scope {
namespace {

bool isFirSignedAddress(int address) {
    switch (address) {
        case 21:
        case 31:
        case 32:
        case 33:
        case 34:
        case 36:
        case 37:
        case 38:
        case 1285:
        case 1286:
        case 1287:
        case 1288:
        case 1289:
        case 1291:
        case 1292:
            return true;
        default:
            return false;
    }
}

// Analog inputs 18 and 19 (voltage or current) and 20; the converter resolution differs by
// series. Hundredths of a volt are all the inputs resolve.
double analogInput(int address, double w, int series) {
    if (series == kSeriesFir) return 0.0;
    double x = 0.0;
    if (series == kSeriesJuniper) {
        x = address == 20 ? w * 20 / 1023 : w * 10 / 1023;
        if (address == 19) x = -x;
    } else if (series == kSeriesIvy) {
        x = address == 20 ? w * 20 / 4095 : w * 15 / 4095;
    } else {
        x = address == 20 ? w * 20 / 65472 : w * 10 / 65472;
    }
    return std::floor(x * 100 + 0.5) / 100;
}

double divided(std::uint16_t w, bool asSigned, int divisor) {
    const double raw = asSigned ? static_cast<double>(static_cast<std::int16_t>(w)) : w;
    return RoundToStep(raw / divisor, divisor);
}

bool showsDirection(int address) {
    return address == 5 || address == 10 || address == 21;
}

}  // namespace

bool UsesSecondTripWord(int seriesCode, int version) {
    return seriesCode == kSeriesJuniper && version >= kJuniperSecondTripWordVersion;
}

double RoundToStep(double x, int divisor) {
    if (divisor <= 0) divisor = 1;
    return std::floor(x * divisor + 0.5) / divisor;
}

double ConvertPolledWord(const ConversionInput& in) {
    const MonitorItem& item = *in.item;
    const int divisor = item.divisor > 0 ? item.divisor : 1;
    double value = 0.0;
    if (item.bitItem) {
        value = (in.word >> (item.bit & 15)) & 1 ? 1.0 : 0.0;
    } else if (in.address == 10) {
        value = divided(in.word, false, divisor);
    } else if (in.address == kTripWordAddress) {
        value = in.word != 0 ? 1.0 : 0.0;
    } else if (in.address >= 18 && in.address <= 20) {
        value = analogInput(in.address, in.word, in.seriesCode);
    } else if (isFirSignedAddress(in.address) && in.seriesCode == kSeriesFir) {
        value = divided(in.word, true, divisor);
    } else {
        value = divided(in.word, item.minimum < 0, divisor);
    }
    // A zero stays +0 so that the record never shows "-0.00".
    if (showsDirection(in.address) && (in.statusWord & kStatusReverse) && value != 0.0)
        value = -value;
    return value;
}

}  // namespace korvane::scope
