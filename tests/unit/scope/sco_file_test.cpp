// The scope file's bytes, and what a damaged file does to the reader.
#include "scope/sco_file.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

#include "common/format.h"

namespace korvane::scope {
namespace {

using Bytes = std::vector<std::uint8_t>;

void le(Bytes& out, std::uint64_t v, int n) {
    for (int i = 0; i < n; ++i) out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

// The bytes of one small file, written out by hand: one point, channel 1 on a Juniper drive,
// channel 2 off.
Bytes handWrittenFile() {
    Bytes b;
    le(b, 0x000098F1, 4);          // magic
    le(b, 3725, 4);                // elapsed
    le(b, 6, 4);                   // span index (120 s)
    le(b, 0x4059000000000000, 8);  // Y max 100.0
    le(b, 0xC024000000000000, 8);  // Y min -10.0
    le(b, 1, 4);                   // Ch1 on
    le(b, 7, 4);                   // station
    le(b, 10, 4);                  // series
    le(b, 0x21, 4);                // version
    le(b, 10, 2);                  // address
    le(b, 3, 4);                   // item index
    le(b, 8, 4);                   // offset index
    le(b, 5, 4);                   // div index
    for (int ch = 1; ch < 4; ++ch) {
        le(b, 0, 4);
        le(b, 0, 4);
        le(b, 255, 4);
        le(b, 0, 4);
        le(b, 0xFFFF, 2);
        le(b, 0, 4);
        le(b, 8, 4);
        le(b, 5, 4);
    }
    le(b, 1, 4);                   // N
    le(b, 0x40E2D1C000000000, 8);  // 38542.0 = 2005-07-09 00:00
    le(b, 0x4049000000000000, 8);  // Ch1 50.0
    le(b, 0, 8);
    le(b, 0, 8);
    le(b, 0x3FF0000000000000, 8);  // Ch4 1.0
    return b;
}

ScoFile handWrittenValue() {
    ScoFile f;
    f.elapsedSeconds = 3725;
    f.timeSpan = 6;
    f.yMax = 100.0;
    f.yMin = -10.0;
    f.channels[0] = {1, 7, 10, 0x21, 10, 3, 8, 5};
    f.stamps = {38542.0};
    f.y = {std::vector<double>{50.0}, {0.0}, {0.0}, {1.0}};
    return f;
}

TEST(ScoFile, WritesAndReadsTheHandWrittenBytes) {
    const Bytes bytes = handWrittenFile();
    ASSERT_EQ(bytes.size(), kScoHeaderBytes + kScoBytesPerPoint);
    EXPECT_EQ(EncodeSco(handWrittenValue()), bytes);
    ScoFile read;
    ASSERT_TRUE(DecodeSco(bytes, read));
    EXPECT_EQ(read, handWrittenValue());
}

TEST(ScoFile, EveryShortenedFileIsRefusedAndLeavesTheTargetAlone) {
    const Bytes bytes = handWrittenFile();
    for (std::size_t n = 0; n < bytes.size(); ++n) {
        ScoFile target = handWrittenValue();
        target.elapsedSeconds = 42;
        EXPECT_FALSE(DecodeSco(std::span(bytes.data(), n), target)) << n;
        EXPECT_EQ(target.elapsedSeconds, 42);
    }
}

TEST(ScoFile, DamagedFieldsAreRefusedOrClamped) {
    auto patched = [](std::size_t offset, std::uint64_t v, int n) {
        Bytes b = handWrittenFile();
        Bytes field;
        le(field, v, n);
        std::memcpy(b.data() + offset, field.data(), field.size());
        return b;
    };
    constexpr std::size_t kCount = kScoHeaderBytes - 4;
    ScoFile f;
    EXPECT_FALSE(DecodeSco(patched(0, 39154, 4), f)) << "magic";
    EXPECT_FALSE(DecodeSco(patched(kCount, 0x7FFFFFFF, 4), f)) << "count beyond the file";
    EXPECT_FALSE(DecodeSco(patched(kCount, 0xFFFFFFFF, 4), f)) << "negative count";
    EXPECT_FALSE(DecodeSco(patched(kCount + 4, 0x7FF8000000000000, 8), f)) << "NaN stamp";
    EXPECT_FALSE(DecodeSco(patched(12, 0x7FF0000000000000, 8), f)) << "infinite Y max";

    ASSERT_TRUE(DecodeSco(patched(8, 99, 4), f));
    EXPECT_EQ(f.timeSpan, kDefaultTimeSpan);
    const std::size_t ch1 = 28;
    ASSERT_TRUE(DecodeSco(patched(ch1 + 4, 300, 4), f));
    EXPECT_EQ(f.channels[0].station, 0);
    ASSERT_TRUE(DecodeSco(patched(ch1 + 18, 0xFFFFFFFF, 4), f));
    EXPECT_EQ(f.channels[0].itemIndex, 0);
    ASSERT_TRUE(DecodeSco(patched(ch1 + 22, 17, 4), f));
    EXPECT_EQ(f.channels[0].offsetIndex, kDefaultOffset);
    ASSERT_TRUE(DecodeSco(patched(ch1 + 26, 0xFFFFFFFF, 4), f));
    EXPECT_EQ(f.channels[0].divIndex, kDefaultDiv);
    // A series without data files keeps no identity, nor does a channel that is off.
    ASSERT_TRUE(DecodeSco(patched(ch1 + 8, 3, 4), f));
    EXPECT_EQ(f.channels[0].series, kNoSeries);
    EXPECT_EQ(f.channels[0].version, 0);
    ASSERT_TRUE(DecodeSco(patched(ch1, 0, 4), f));
    EXPECT_EQ(f.channels[0].series, kNoSeries);
}

TEST(ScoFile, EmptyChartRoundTripsWithoutPoints) {
    ScoFile f;
    f.channels[1] = {1, 3, 4, 0x0100, 9, 2, 0, 14};
    ScoFile back;
    ASSERT_TRUE(DecodeSco(EncodeSco(f), back));
    EXPECT_EQ(back, f);
    EXPECT_EQ(EncodeSco(f).size(), kScoHeaderBytes);
}

TEST(ScoFile, TimeStampsAreLocalDaysSince1899AndRoundTripToTheMillisecond) {
    EXPECT_EQ(OleDateFromLocal({1899, 12, 30, 0, 0, 0, 0}), 0.0);
    EXPECT_EQ(OleDateFromLocal({1900, 1, 1, 0, 0, 0, 0}), 2.0);
    EXPECT_EQ(OleDateFromLocal({2000, 1, 1, 12, 0, 0, 0}), 36526.5);
    EXPECT_EQ(IsoLocalText(38542.0), "2005-07-09T00:00:00.000");
    for (const LocalTime t :
         {LocalTime{2026, 12, 8, 20, 43, 22, 125}, LocalTime{2024, 2, 29, 23, 59, 59, 999},
          LocalTime{1999, 12, 31, 0, 0, 0, 1}}) {
        const LocalTime back = LocalFromOleDate(OleDateFromLocal(t));
        EXPECT_EQ(IsoLocalText(OleDateFromLocal(t)),
                  strprintf("%04d-%02d-%02dT%02d:%02d:%02d.%03d", t.year, t.month, t.day, t.hour,
                            t.minute, t.second, t.millisecond));
        EXPECT_EQ(back.millisecond, t.millisecond);
        EXPECT_EQ(back.day, t.day);
    }
}

}  // namespace
}  // namespace korvane::scope
