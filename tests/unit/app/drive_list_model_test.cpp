#include "app/drive_list_model.h"

#include <gtest/gtest.h>

#include <map>
#include <vector>

#include "app/comm_indicator.h"
#include "monitor/drive_event_text.h"

namespace korvane {
namespace {

DriveRecord Drive(int station, int series, int status = kStatusStopped) {
    DriveRecord r(station);
    r.connected = 1;
    r.supported = IsSupportedSeries(series) ? 1 : 0;
    r.seriesCode = series;
    r.capacityCode = 4;
    r.inputVoltageCode = 1;
    r.version = 0x0310;
    r.statusWord = status;
    r.outputFrequency = 5000;
    r.outputCurrent = 123;
    return r;
}

class DriveListModelTest : public ::testing::Test {
protected:
    std::map<int, std::string> names_;
    DriveListModel model_{[this](int id) { return names_.count(id) ? names_[id] : std::string(); }};
};

TEST_F(DriveListModelTest, RowsShowLiveValuesUnsupportedAndLostDrives) {
    DriveRecord kapok = Drive(3, 11, kStatusForward | kStatusAccelerating);
    DriveRecord gum = Drive(5, 7);
    names_[3] = "Pump A";
    model_.UpdateRow(gum);
    model_.UpdateRow(kapok);

    ASSERT_EQ(model_.Rows().size(), 2u);
    const DriveRow& k = model_.Rows()[0];  // sorted by ID
    EXPECT_EQ(k.station, 3);
    EXPECT_EQ(k.icon, kIconForward);
    EXPECT_EQ(k.texts[1], "Pump A");
    EXPECT_EQ(k.texts[2], "Kapok");
    EXPECT_EQ(k.texts[3], "5.5kW-4");
    EXPECT_EQ(k.texts[4], "50.00 Hz");
    EXPECT_EQ(k.texts[5], "12.3 A");
    EXPECT_EQ(k.texts[6], "順方向 加速中…");

    const DriveRow& g = model_.Rows()[1];
    EXPECT_EQ(g.icon, kIconUnsupported);
    EXPECT_EQ(g.texts[2], "Gum");
    EXPECT_EQ(g.texts[6], "サポートなし");
    EXPECT_TRUE(g.texts[4].empty());

    kapok.reset();
    model_.UpdateRow(kapok);
    const DriveRow& lost = model_.Rows()[static_cast<std::size_t>(model_.FindRow(3))];
    EXPECT_EQ(lost.icon, kIconDisconnected);
    EXPECT_EQ(lost.texts[6], "接続なし");
    EXPECT_TRUE(lost.texts[4].empty() && lost.texts[5].empty() && lost.texts[7].empty());
    EXPECT_EQ(lost.texts[2], "Kapok") << "the row keeps what identified it";
}

TEST_F(DriveListModelTest, SeriesElevenShowsFirstNonEmptyFaultWord) {
    DriveRecord r = Drive(2, 11, kStatusFault);
    r.faultWords3to6 = {0, 0, 0x0001, 0};
    const std::string expected = FaultName(r);
    ASSERT_FALSE(expected.empty());
    model_.UpdateRow(r);
    EXPECT_EQ(model_.Rows()[0].texts[7], expected);
    EXPECT_EQ(model_.Rows()[0].icon, kIconFault);
}

TEST_F(DriveListModelTest, SortingTwiceReversesAndAnUpdateSortsByIdAgain) {
    names_ = {{1, "beta"}, {2, "Alpha"}, {3, "gamma"}};
    for (int id : {3, 1, 2}) model_.UpdateRow(Drive(id, 4));
    auto order = [this] {
        std::vector<int> ids;
        for (const auto& row : model_.Rows()) ids.push_back(row.station);
        return ids;
    };
    EXPECT_EQ(order(), (std::vector<int>{1, 2, 3}));
    model_.SortByColumn(1);
    EXPECT_EQ(order(), (std::vector<int>{2, 1, 3})) << "case-insensitive text order";
    model_.SortByColumn(1);
    EXPECT_EQ(order(), (std::vector<int>{3, 1, 2}));
    model_.UpdateRow(Drive(2, 4));
    EXPECT_EQ(order(), (std::vector<int>{1, 2, 3}));
}

TEST_F(DriveListModelTest, UpdateValuesReportsOnlyRealChanges) {
    DriveRecord r = Drive(1, 4);
    model_.UpdateRow(r);
    EXPECT_FALSE(model_.UpdateValues(r));
    r.outputFrequency = 6000;
    EXPECT_TRUE(model_.UpdateValues(r));
    r.statusWord = kStatusReverse;
    EXPECT_TRUE(model_.UpdateValues(r));
    EXPECT_EQ(model_.Rows()[0].icon, kIconReverse);
}

TEST(CommIndicator, LampsStayLitForTwoTicksAndRedrawOnlyOnChange) {
    CommIndicator lamp;
    struct Step {
        std::vector<int> activities;
        bool redraw;
        int icon;
    };
    const Step steps[] = {
        {{1}, true, kIndicatorTx},  // a frame went out
        {{2}, true, kIndicatorRx},  // TX ran out on this tick, RX lit
        {{}, true, kIndicatorIdle},   {{1, 2}, true, kIndicatorBoth},
        {{3}, true, kIndicatorIdle},  // an error lights nothing
        {{3}, false, kIndicatorIdle},
    };
    for (const auto& s : steps) {
        for (int a : s.activities) lamp.OnActivity(a);
        EXPECT_EQ(lamp.OnTick(), s.redraw);
        EXPECT_EQ(lamp.Icon(), s.icon);
    }
}

}  // namespace
}  // namespace korvane
