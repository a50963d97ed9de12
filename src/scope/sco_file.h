#pragma once
// The scope file (.sco): a chart's channel setup and points, little-endian and packed.
//
//   int32 magic 39153, int32 elapsed seconds, int32 time-span index,
//   double Y maximum, double Y minimum,
//   4 x { int32 on, int32 station, int32 series code, int32 version, int16 address,
//         int32 item index, int32 offset index, int32 div index }       (30 bytes each)
//   int32 N, N doubles time stamp, then for Ch1..Ch4 N doubles Y as plotted.
//
// Time stamps are local wall-clock time as a day count since 1899-12-30 00:00 with the time
// of day as the fraction (the common "OLE date"): the chart's X span is kept in days too, and
// this is the stamp a strip chart of the drive's home platform stores.
#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "common/clock.h"
#include "scope/scope_tables.h"

namespace korvane::scope {

constexpr std::int32_t kScoMagic = 39153;
constexpr std::size_t kScoHeaderBytes = 152;
constexpr std::size_t kScoBytesPerPoint = 8 * (1 + kChannelCount);
// The series whose drive identity a file keeps; other channels store 255 and 0.
constexpr int kNoSeries = 255;

struct ScoChannel {
    std::int32_t on = 0;
    std::int32_t station = 0;
    std::int32_t series = kNoSeries;
    std::int32_t version = 0;
    std::uint16_t address = kNoAddress;
    std::int32_t itemIndex = 0;
    std::int32_t offsetIndex = kDefaultOffset;
    std::int32_t divIndex = kDefaultDiv;

    bool operator==(const ScoChannel&) const = default;
};

struct ScoFile {
    std::int32_t elapsedSeconds = 0;
    std::int32_t timeSpan = kDefaultTimeSpan;
    double yMax = 100.0;
    double yMin = 0.0;
    std::array<ScoChannel, kChannelCount> channels;
    std::vector<double> stamps;
    std::array<std::vector<double>, kChannelCount> y;

    bool operator==(const ScoFile&) const = default;
};

// Series code and version as a file keeps them: (255, 0) unless the channel is on and the
// series has data files.
void NormaliseSeries(ScoChannel& channel);

std::vector<std::uint8_t> EncodeSco(const ScoFile& file);
// Parses the whole image or nothing: the magic, and that the file holds every point it claims
// before anything is allocated; indexes are clamped as the settings clamp them, and a time
// stamp or value that is not a finite number makes the file damaged. `out` is only written on
// success.
[[nodiscard]] bool DecodeSco(std::span<const std::uint8_t> bytes, ScoFile& out);

[[nodiscard]] bool ReadScoFile(const std::string& path, ScoFile& out);
// Through a temporary file and a rename: a failed save keeps the previous file.
[[nodiscard]] bool WriteScoFile(const std::string& path, const ScoFile& file);

// Local wall-clock time <-> the file's day count.
double OleDateFromLocal(const LocalTime& t);
LocalTime LocalFromOleDate(double days);
// "2026-12-08T20:43:22.125", local time with milliseconds.
std::string IsoLocalText(double days);

}  // namespace korvane::scope
