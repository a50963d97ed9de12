// The texts the core makes up itself (run states, trip and monitor names, entry and file
// messages, link errors) follow the interface language; in Japanese they stay the originals.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "comm/drive_reply.h"
#include "common/translation.h"
#include "paradb/archive.h"
#include "paradb/data_file.h"
#include "paradb/drive_record.h"
#include "paradb/model_tables.h"
#include "paradb/monitor_list.h"
#include "paradb/typed_value.h"
#include "support/language_scope.h"

namespace korvane {
namespace {

using korvane::testing::LanguageScope;

std::string FirstTripName() {
    std::vector<MonitorItem> items;
    BuildMonitorList(kSeriesKapok, 0x0310, kMonitorListTrips, items);
    return items.empty() ? std::string() : items.front().name;
}

TEST(TextsLanguage, CoreTextsFollowTheLanguage) {
    FieldPattern twoDecimals;
    twoDecimals.decimals = 2;
    const struct {
        const char* what;
        std::function<std::string()> text;
        const char* japanese;
        const char* english;
    } cases[] = {
        {"run state", [] { return StatusText(kSeriesKapok, kStatusForward | kStatusAccelerating); },
         "順方向 加速中…", "Forward Accelerating…"},
        {"unknown series", [] { return SeriesName(99); }, "未知", "Unknown"},
        {"link error", [] { return std::string(ErrorText(kErrDataRange)); }, "データ範囲エラー",
         "Data range error"},
        {"data file", [] { return std::string(CDataFile::StatusText(kDataFileNotFound)); },
         "データファイルを検出できません", "Data file not found"},
        {"trip name", [] { return TripName(kSeriesKapok, 0x0310, 0x0330, 1 << 15); },
         "ヒューズ開放 (FO)", "Fuse open (FO)"},
        {"monitor list", FirstTripName, "ヒューズ開放 (FO)", "Fuse open (FO)"},
        {"entry", [&] { return EntryProblemText(EntryProblem::kTooManyDecimals, twoDecimals); },
         "小数点以下は2桁まで入力できます", "At most 2 decimal places"},
        {"file",
         [] { return ArchiveErrorText(ArchiveError(ArchiveError::Kind::kBadIndex, ""), "a.par"); },
         "a.par\nファイルの形式が正しくありません。", "a.par\nThe file format is not valid."},
    };
    for (const auto& c : cases) {
        {
            LanguageScope japanese(Language::Japanese);
            EXPECT_EQ(c.text(), c.japanese) << c.what;
        }
        LanguageScope english(Language::English);
        EXPECT_EQ(c.text(), c.english) << c.what;
    }
}

}  // namespace
}  // namespace korvane
