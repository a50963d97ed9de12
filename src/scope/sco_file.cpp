#include "scope/sco_file.h"

#include <algorithm>
#include <cmath>

#include "common/format.h"
#include "paradb/archive.h"
#include "paradb/drive_record.h"

namespace korvane::scope {
namespace {

// A day of samples at the fastest scan is about 35 MB; a file far beyond a week of them is
// not a scope file.
constexpr std::size_t kMaxScoBytes = 1024u * 1024u * 1024u;

bool finite(double v) {
    return std::isfinite(v);
}

ScoChannel readChannel(ArchiveReader& r) {
    ScoChannel c;
    c.on = r.ReadLong() != 0 ? 1 : 0;
    const std::int32_t station = r.ReadLong();
    c.station = station >= 0 && station <= 255 ? station : 0;
    c.series = r.ReadLong();
    c.version = r.ReadLong();
    c.address = r.ReadWord();
    const std::int32_t item = r.ReadLong();
    c.itemIndex = item >= 0 ? item : 0;
    c.offsetIndex = ClampIndex(r.ReadLong(), kOffsetTable, kDefaultOffset);
    c.divIndex = ClampIndex(r.ReadLong(), kDivTable, kDefaultDiv);
    NormaliseSeries(c);
    return c;
}

// Days from 1899-12-30 to the civil date (proleptic Gregorian).
long long daysFromCivil(int y, int m, int d) {
    y -= m <= 2;
    const long long era = (y >= 0 ? y : y - 399) / 400;
    const long long yoe = y - era * 400;
    const long long doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const long long doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;  // days since 1970-01-01
}
constexpr long long kOleEpochFromUnix = -25569;  // 1899-12-30 in days since 1970-01-01

void civilFromDays(long long z, int& y, int& m, int& d) {
    z += 719468;
    const long long era = (z >= 0 ? z : z - 146096) / 146097;
    const long long doe = z - era * 146097;
    const long long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const long long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const long long mp = (5 * doy + 2) / 153;
    d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    y = static_cast<int>(yoe + era * 400 + (m <= 2));
}

}  // namespace

void NormaliseSeries(ScoChannel& c) {
    if (!c.on || !IsSupportedSeries(c.series)) {
        c.series = kNoSeries;
        c.version = 0;
    }
}

std::vector<std::uint8_t> EncodeSco(const ScoFile& f) {
    ArchiveWriter w;
    w.WriteLong(kScoMagic);
    w.WriteLong(f.elapsedSeconds);
    w.WriteLong(f.timeSpan);
    w.WriteDouble(f.yMax);
    w.WriteDouble(f.yMin);
    for (const ScoChannel& c : f.channels) {
        w.WriteLong(c.on);
        w.WriteLong(c.station);
        w.WriteLong(c.series);
        w.WriteLong(c.version);
        w.WriteWord(c.address);
        w.WriteLong(c.itemIndex);
        w.WriteLong(c.offsetIndex);
        w.WriteLong(c.divIndex);
    }
    const std::size_t n = f.stamps.size();
    w.WriteLong(static_cast<std::int32_t>(n));
    for (double t : f.stamps) w.WriteDouble(t);
    for (const auto& column : f.y)
        for (std::size_t i = 0; i < n; ++i) w.WriteDouble(i < column.size() ? column[i] : 0.0);
    return w.take();
}

bool DecodeSco(std::span<const std::uint8_t> bytes, ScoFile& out) {
    try {
        ArchiveReader r(bytes);
        if (r.ReadLong() != kScoMagic) return false;
        ScoFile f;
        f.elapsedSeconds = std::max<std::int32_t>(r.ReadLong(), 0);
        f.timeSpan = ClampIndex(r.ReadLong(), kTimeSpanSeconds, kDefaultTimeSpan);
        f.yMax = r.ReadDouble();
        f.yMin = r.ReadDouble();
        if (!finite(f.yMax) || !finite(f.yMin)) return false;
        for (ScoChannel& c : f.channels) c = readChannel(r);
        const std::int32_t n = r.ReadLong();
        if (n < 0) return false;
        r.RequireRecords(static_cast<std::uint64_t>(n), kScoBytesPerPoint);
        const auto count = static_cast<std::size_t>(n);
        f.stamps.resize(count);
        for (double& t : f.stamps)
            if (!finite(t = r.ReadDouble())) return false;
        for (auto& column : f.y) {
            column.resize(count);
            // NaN is a gap, a point where the channel had no live value; infinity is damage.
            for (double& v : column)
                if (std::isinf(v = r.ReadDouble())) return false;
        }
        out = std::move(f);
        return true;
    } catch (const ArchiveError&) {
        return false;
    }
}

bool ReadScoFile(const std::string& path, ScoFile& out) {
    std::vector<std::uint8_t> bytes;
    if (!ReadWholeFile(path, bytes, nullptr, kMaxScoBytes)) return false;
    return DecodeSco(bytes, out);
}

bool WriteScoFile(const std::string& path, const ScoFile& file) {
    const std::vector<std::uint8_t> bytes = EncodeSco(file);
    return SafeSaveFile(path, bytes);
}

double OleDateFromLocal(const LocalTime& t) {
    const long long days = daysFromCivil(t.year, t.month, t.day) - kOleEpochFromUnix;
    const double ms = ((t.hour * 60.0 + t.minute) * 60.0 + t.second) * 1000.0 + t.millisecond;
    return static_cast<double>(days) + ms / 86400000.0;
}

LocalTime LocalFromOleDate(double days) {
    LocalTime t;
    if (!std::isfinite(days) || std::fabs(days) > 3.0e6) return t;
    // Whole milliseconds first, so that 23:59:59.9996 becomes the next day, not 24:00:00.000.
    const auto totalMs = static_cast<long long>(std::llround(days * 86400000.0));
    long long day = totalMs / 86400000;
    long long ms = totalMs % 86400000;
    if (ms < 0) {
        ms += 86400000;
        --day;
    }
    civilFromDays(day + kOleEpochFromUnix, t.year, t.month, t.day);
    t.hour = static_cast<int>(ms / 3600000);
    t.minute = static_cast<int>(ms / 60000 % 60);
    t.second = static_cast<int>(ms / 1000 % 60);
    t.millisecond = static_cast<int>(ms % 1000);
    return t;
}

std::string IsoLocalText(double days) {
    const LocalTime t = LocalFromOleDate(days);
    return strprintf("%04d-%02d-%02dT%02d:%02d:%02d.%03d", t.year, t.month, t.day, t.hour, t.minute,
                     t.second, t.millisecond);
}

}  // namespace korvane::scope
