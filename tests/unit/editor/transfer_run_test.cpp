// The transfer chain against a drive on an in-memory line: what goes on the line, in which
// order, what the files hold afterwards and what the user is told.
#include "editor/transfer_run.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "comm/tk485_codec.h"
#include "common/format.h"
#include "paradb/para_array.h"
#include "paradb/user_group.h"
#include "paradb/value_codec.h"
#include "unit/editor/transfer_rig.h"
#include "unit/paradb/paradb_test_util.h"

namespace korvane::testing {
namespace {

using Outcome = TransferEntryResult::Outcome;

TEST(TransferDialog, UploadReadsEveryParameterIntoTheFileWithTheLabelsOfEachState) {
    TempDir tmp;
    TransferRig rig;
    rig.words[0x1003] = 450;
    auto dlg = rig.dialog(TransferMode::kUpload, tmp.file("set"));
    EXPECT_EQ(dlg->Title(), "[3:Kapok Ver3.16] パラメータアップロード");
    EXPECT_STREQ(dlg->CloseButtonLabel(), "閉じる");
    EXPECT_FALSE(dlg->ProgressVisible());

    dlg->Start();
    EXPECT_EQ(dlg->PathText(), tmp.file("set.par"));
    EXPECT_TRUE(dlg->IsRunning());
    EXPECT_STREQ(dlg->CloseButtonLabel(), "Cancel");
    EXPECT_FALSE(dlg->PathEnabled());
    EXPECT_FALSE(dlg->StartEnabled());
    EXPECT_TRUE(dlg->ProgressVisible());
    const int total = rig.drive.driveData->GetTotalItemCount();
    EXPECT_EQ(dlg->ProgressRange(), total);
    ASSERT_TRUE(rig.finish(*dlg));

    EXPECT_EQ(dlg->StatusText(), "アップロードアクションが終了しました");
    EXPECT_STREQ(dlg->CloseButtonLabel(), "閉じます");
    EXPECT_TRUE(dlg->StartEnabled());
    EXPECT_EQ(dlg->ProgressPosition(), total);
    EXPECT_EQ(rig.view.refreshed, 1);
    EXPECT_EQ(static_cast<int>(rig.requests().size()), total);
    auto file = readPar(tmp.file("set.par"));
    ASSERT_EQ(static_cast<int>(file.size()), total);
    EXPECT_EQ(valueAt(file, 0x1003), 450u);
    EXPECT_EQ(valueAt(file, 0x1004), 300u);
    const CItem* item = rig.drive.driveData->FindItem(0x1003);
    EXPECT_EQ(item->readState, 1u);
    EXPECT_EQ(item->value, 450u);
    EXPECT_TRUE(rig.prompter.entries.empty());
}

// A file that cannot be written is said so on the status line, and the run counts as failed.
TEST(TransferDialog, UploadThatCannotBeSavedSaysSo) {
    TempDir tmp;
    struct Case {
        bool group;
        const char* status;
    } cases[] = {
        {false, "パラメータファイルを保存できません"},
        {true, "ユーザグループ名を保存できません"},
    };
    for (const Case& c : cases) {
        std::filesystem::create_directories(tmp.file("gone"));
        const std::string path =
            c.group ? savedUsr(tmp, "gone/g.usr", {{0x1003, 1}}) : tmp.file("gone/set.par");
        TransferRig rig;
        auto dlg = rig.dialog(TransferMode::kUpload, path);
        dlg->Start();
        std::filesystem::remove_all(tmp.file("gone"));  // read at Start, gone by the end
        ASSERT_TRUE(rig.finish(*dlg));
        EXPECT_EQ(dlg->StatusText(), c.status);
        EXPECT_EQ(dlg->LastEnd(), TransferEnd::kFailed);
        EXPECT_TRUE(rig.prompter.entries.empty());
    }
}

// Each series writes its leading addresses first, in table order, and never an excluded one.
TEST(TransferDialog, DownloadWritesTheLeadingAddressesFirstForEverySeries) {
    struct Case {
        int series, version;
        std::vector<int> leading;
        std::vector<int> excluded;  // a sample of the table
    } cases[] = {
        {4, 0x020A, {0x5214}, {0x542E, 0x5634}},
        {5, 0x0312, {0x7404}, {0x725F, 0x7642}},
        {8, 0x0023, {0x8215}, {0x843C, 0x843D}},
        {9, 0x0102, {0x921E}, {0x945A, 0x9642}},
        {10, 0x0015, {0xA215}, {0xA43B, 0xA441}},
        {11, 0x0310, {0x120A, 0x1114}, {0x110A, 0x134B, 0x1701, 0x170F, 0x1719}},
        {13, 0x0112, {0xD210}, {0xD24F, 0xD254}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.series);
        TempDir tmp;
        TransferRig rig(c.series, c.version);
        const CParaArray all = BuildParaArray(*rig.drive.driveData);
        CParaArray set(c.series, c.version);
        for (std::size_t i = 0; i < all.addresses.size(); ++i)
            set.Add(all.addresses[i], all.values[i]);
        for (int a : c.excluded) set.Add(static_cast<std::uint32_t>(a), 1);  // if the file lacks it
        ASSERT_TRUE(SaveParaFile(tmp.file("all.par"), set));
        auto dlg = rig.dialog(TransferMode::kDownload, tmp.file("all.par"));
        dlg->Start();
        ASSERT_TRUE(rig.finish(*dlg));
        EXPECT_EQ(dlg->StatusText(), "ダウンロードアクションが終了しました");

        const std::vector<int> written = rig.writtenAddresses();
        ASSERT_GE(written.size(), c.leading.size());
        EXPECT_EQ(std::vector<int>(written.begin(), written.begin() + c.leading.size()), c.leading);
        for (int a : c.leading) EXPECT_EQ(std::count(written.begin(), written.end(), a), 1);
        for (int a : c.excluded)
            EXPECT_EQ(std::count(written.begin(), written.end(), a), 0) << std::hex << a;
        // Every entry is reported once, the leading ones where they were written.
        ASSERT_EQ(rig.view.results.size(), set.GetSize());
        for (std::size_t i = 0; i < c.leading.size(); ++i) {
            EXPECT_EQ(rig.view.results[i].address, static_cast<std::uint32_t>(c.leading[i]));
            EXPECT_EQ(rig.view.results[i].outcome, Outcome::kWritten);
        }
        EXPECT_EQ(dlg->Counts().read, static_cast<int>(written.size()));
        EXPECT_EQ(dlg->Counts().read + dlg->Counts().passed, static_cast<int>(set.GetSize()));
    }
}

// A second Start writes the leading addresses again, and a missing one does not end the pass.
TEST(TransferDialog, PrePassStartsOverAtEveryStartAndSkipsMissingLeadingAddresses) {
    TempDir tmp;
    TransferRig rig;
    const std::string both =
        savedPar(tmp, "both.par", {{0x1003, 100}, {0x1114, 5}, {0x120A, 6000}});
    const std::string second = savedPar(tmp, "second.par", {{0x1003, 100}, {0x1114, 5}});
    auto dlg = rig.dialog(TransferMode::kDownload, both);
    for (int run = 0; run < 2; ++run) {
        rig.line->sent.clear();
        dlg->Start();
        ASSERT_TRUE(rig.finish(*dlg));
        EXPECT_EQ(rig.writtenAddresses(), (std::vector<int>{0x120A, 0x1114, 0x1003})) << run;
    }
    dlg->SetPathText(second);
    rig.line->sent.clear();
    dlg->Start();
    ASSERT_TRUE(rig.finish(*dlg));
    EXPECT_EQ(rig.writtenAddresses(), (std::vector<int>{0x1114, 0x1003}));
}

TEST(TransferDialog, DownloadPassesOverWhatItMustNotWrite) {
    TempDir tmp;
    TransferRig rig;
    const std::string path = savedPar(tmp, "mixed.par",
                                      {{0x1FFF, 1},     // not a parameter of this model
                                       {0x1701, 0},     // read-only
                                       {0x1719, 1},     // writable, but excluded
                                       {0x110A, 1},     // excluded
                                       {0x1003, 123},   // written
                                       {0x11003, 7}});  // beyond 16 bits: never 0x1003
    auto dlg = rig.dialog(TransferMode::kDownload, path);
    dlg->Start();
    ASSERT_TRUE(rig.finish(*dlg));
    EXPECT_EQ(rig.writtenAddresses(), (std::vector<int>{0x1003}));
    EXPECT_EQ(rig.words[0x1003], 123);
    std::vector<std::pair<std::uint32_t, Outcome>> got;
    for (const auto& r : rig.view.results) got.emplace_back(r.address, r.outcome);
    EXPECT_EQ(got, (std::vector<std::pair<std::uint32_t, Outcome>>{{0x1FFF, Outcome::kPassed},
                                                                   {0x1701, Outcome::kPassed},
                                                                   {0x1719, Outcome::kPassed},
                                                                   {0x110A, Outcome::kPassed},
                                                                   {0x1003, Outcome::kWritten},
                                                                   {0x11003, Outcome::kPassed}}));
    EXPECT_EQ(rig.view.results[0].item, nullptr);
    EXPECT_EQ(dlg->Counts().passed, 5);
    EXPECT_FALSE(rig.view.refused.has_value());
}

// Rejections end the request and the chain goes on; a refused write is counted and listed.
TEST(TransferDialog, RefusedWritesAreListedAfterTheDownload) {
    for (const char* code : {"ID", "IF", "IA", "WM"}) {
        SCOPED_TRACE(code);
        TempDir tmp;
        TransferRig rig;
        rig.nak[0x1003] = code;
        const std::string path = savedPar(tmp, "d.par", {{0x1003, 5999}, {0x1004, 55}});
        auto dlg = rig.dialog(TransferMode::kDownload, path);
        dlg->Start();
        ASSERT_TRUE(rig.finish(*dlg));
        EXPECT_EQ(rig.writtenAddresses(), (std::vector<int>{0x1003, 0x1004}));  // never repeated
        EXPECT_EQ(rig.words[0x1004], 55);
        EXPECT_EQ(
            dlg->StatusText(),
            "ダウンロードアクションが終了しました\n1 個のパラメータは書き込みを拒否されました");
        EXPECT_EQ(dlg->Counts().refused, 1);
        ASSERT_TRUE(rig.view.refused.has_value());
        ASSERT_EQ(rig.view.refused->size(), 1u);
        const CompareRow& row = rig.view.refused->front();
        EXPECT_EQ(row.group, "Drive Group");
        EXPECT_EQ(row.number(), 3);
        EXPECT_EQ(row.name, "Acceleration Time");
        EXPECT_EQ(row.file, "599.9");
        EXPECT_EQ(row.drive, ErrorText(tk485::NakCodeToError(code)));
        EXPECT_EQ(rig.view.results[0].outcome, Outcome::kRefused);
        EXPECT_TRUE(rig.prompter.entries.empty());
    }
}

// Transmission errors are notices while the link repeats the request; only a final failure ends
// the run, with the item marked as failed and nothing further sent.
TEST(TransferDialog, RetryNoticesWaitAndExhaustedRetriesFailTheRun) {
    struct Case {
        std::vector<std::string> answers;
        bool fails;
        const char* lastError;
    } cases[] = {
        {{"FE"}, false, ""},
        {{"SUM", "TO"}, false, ""},
        {{"DO"}, false, ""},
        {{"FE", "SUM", "FE"}, true, "フレームエラー"},
        {{"TO", "TO", "DO"}, true, "DPRAMオフラインエラー"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.answers.front());
        TempDir tmp;
        TransferRig rig;
        rig.nakSequence[0x1003] = c.answers;
        std::vector<std::string> statuses;
        const std::string path = savedUsr(tmp, "g.usr", {{0x1003, 1}, {0x1004, 2}});
        auto dlg = rig.dialog(TransferMode::kUpload, path);
        Connection watch = dlg->events.stateChanged.connect(
            [&statuses, run = dlg.get()] { statuses.push_back(run->StatusText()); });
        dlg->Start();
        ASSERT_TRUE(rig.finish(*dlg));
        EXPECT_NE(std::find(statuses.begin(), statuses.end(), "1th 再試行中…"), statuses.end());
        const CItem* item = rig.drive.driveData->FindItem(0x1003);
        if (!c.fails) {
            EXPECT_EQ(dlg->StatusText(), "アップロードアクションが終了しました");
            EXPECT_TRUE(rig.prompter.entries.empty());
            continue;
        }
        const std::string text = strprintf(
            "[Drive Group] 3 : Acceleration Time\nCommunicationエラーが発生しました\n\n*** %s ***",
            c.lastError);
        EXPECT_EQ(rig.prompter.texts("error"), std::vector<std::string>{text});
        EXPECT_EQ(dlg->StatusText(), text);
        EXPECT_EQ(item->readState, 2u);
        for (auto [letter, address] : rig.requests()) EXPECT_EQ(address, 0x1003);
        EXPECT_EQ(readUsr(path), (std::vector<std::pair<std::uint32_t, std::uint32_t>>{
                                     {0x1003, 1}, {0x1004, 2}}));  // stores nothing
    }
}

// Unread parameters never pass for values read: an upload leaves them out and says how many; a
// compare lists them with an empty drive cell.
TEST(TransferDialog, UnreadParametersAreLeftOutOrListed) {
    TempDir tmp;
    {
        TransferRig rig;
        rig.nak[0x1003] = "ID";
        rig.nak[0x1004] = "IA";
        auto dlg = rig.dialog(TransferMode::kUpload, tmp.file("up.par"));
        dlg->Start();
        ASSERT_TRUE(rig.finish(*dlg));
        EXPECT_EQ(dlg->StatusText(),
                  "アップロードアクションが終了しました\n2 個のパラメータは読み取れませんでした");
        auto file = readPar(tmp.file("up.par"));
        EXPECT_EQ(static_cast<int>(file.size()), rig.drive.driveData->GetTotalItemCount() - 2);
        EXPECT_FALSE(holds(file, 0x1003));
        EXPECT_FALSE(holds(file, 0x1004));
        EXPECT_EQ(dlg->Counts().unread, 2);
    }
    {
        TransferRig rig;
        rig.nak[0x1004] = "ID";
        const std::string path = savedPar(tmp, "c.par", {{0x1003, 200}, {0x1004, 300}});
        auto dlg = rig.dialog(TransferMode::kCompare, path);
        dlg->Start();
        ASSERT_TRUE(rig.finish(*dlg));
        EXPECT_EQ(dlg->StatusText(),
                  "比較アクションが終了しました\n1 個のパラメータは読み取れませんでした");
        ASSERT_TRUE(rig.view.compared.has_value());
        ASSERT_EQ(rig.view.compared->size(), 1u);
        EXPECT_EQ(rig.view.compared->front().address, 0x1004);
        EXPECT_EQ(rig.view.compared->front().drive, std::nullopt);
        EXPECT_EQ(rig.view.compared->front().file, "30.0");
    }
}

// Differences against the values as loaded from either kind of file, compared as words.
TEST(TransferDialog, CompareListsTheParametersThatDiffer) {
    const std::vector<std::pair<std::uint32_t, std::uint32_t>> values{
        {0x1003, 450},         // differs
        {0x1004, 300},         // same
        {0x1002, 0xFFFFFF9C},  // -100 sign-extended; the drive holds the word 0xFF9C
        {0x1FFF, 5}};          // unknown to the data file: passed over
    for (bool group : {false, true}) {
        SCOPED_TRACE(group ? "usr" : "par");
        TempDir tmp;
        TransferRig rig;
        rig.words[0x1003] = 200;
        rig.words[0x1002] = 0xFF9C;
        const std::string path =
            group ? savedUsr(tmp, "c.usr", values) : savedPar(tmp, "c.par", values);
        auto dlg = rig.dialog(TransferMode::kCompare, path);
        dlg->Start();
        ASSERT_TRUE(rig.finish(*dlg));
        EXPECT_EQ(dlg->StatusText(), "比較アクションが終了しました");
        ASSERT_TRUE(rig.view.compared.has_value());
        CompareRow expected{"Drive Group", 0x1003, "Acceleration Time", "20.0", "45.0", "sec"};
        EXPECT_EQ(*rig.view.compared, std::vector<CompareRow>{expected});
        EXPECT_EQ(CompareResult::Cells(expected),
                  (std::array<std::string, 6>{"Drive Group", "3", "Acceleration Time", "20.0",
                                              "45.0", "sec"}));
        EXPECT_EQ(rig.view.refreshed, 1);
        EXPECT_TRUE(rig.prompter.entries.empty());
    }
}

TEST(TransferDialog, IdenticalCompareSaysSoWithoutAList) {
    TempDir tmp;
    TransferRig rig;
    const std::string path = savedPar(tmp, "same.par", {{0x1003, 200}, {0x1004, 300}});
    auto dlg = rig.dialog(TransferMode::kCompare, path);
    dlg->Start();
    ASSERT_TRUE(rig.finish(*dlg));
    EXPECT_EQ(rig.prompter.texts("info"),
              std::vector<std::string>{"全てのパラメータデータは同じです"});
    EXPECT_FALSE(rig.view.compared.has_value());
}

// An upload into a user group stores the group back whole, the entries the data file does not
// know included.
TEST(TransferDialog, UserGroupUploadKeepsEntriesTheDataFileDoesNotKnow) {
    TempDir tmp;
    TransferRig rig;
    rig.words[0x1003] = 450;
    const std::string path = savedUsr(tmp, "g.usr", {{0x1003, 1}, {0x1FFF, 77}, {0x1004, 2}});
    auto dlg = rig.dialog(TransferMode::kUpload, path);
    dlg->Start();
    ASSERT_TRUE(rig.finish(*dlg));
    EXPECT_EQ(dlg->StatusText(), "アップロードアクションが終了しました");
    EXPECT_EQ(readUsr(path), (std::vector<std::pair<std::uint32_t, std::uint32_t>>{
                                 {0x1003, 450}, {0x1FFF, 77}, {0x1004, 300}}));
    EXPECT_EQ(rig.requests(), (std::vector<std::pair<char, int>>{{'R', 0x1003}, {'R', 0x1004}}));
}

TEST(TransferDialog, FilesThatCannotBeUsedStopBeforeTheLine) {
    TempDir tmp;
    const std::string otherVersion = savedPar(tmp, "v311.par", {{0x1003, 1}}, 11, 0x0311);
    const std::string junk = tmp.file("junk.par");
    writeFile(junk, {1, 2, 3, 4, 5, 6, 7, 8});
    const std::string junkUsr = tmp.file("junk.usr");
    writeFile(junkUsr, {0x6A, 0x3F, 0, 0, 11});  // the right magic, then cut short
    const std::string otherSeries = savedUsr(tmp, "s9.usr", {{0x1003, 1}}, 9, 0x0310);
    const std::string usrVersion = savedUsr(tmp, "v.usr", {{0x1003, 1}}, 11, 0x0311);
    const std::string existing = savedPar(tmp, "old.par", {{0x1003, 1}});
    struct Case {
        TransferMode mode;
        std::string path;
        std::vector<std::string> texts;  // every message and question, in order
        bool focused;
    } cases[] = {
        {TransferMode::kDownload,
         otherVersion,
         {"インバータバージョンは異なっていますt\n\nインバータバージョン : 3.16\nFileバージョン: "
          "3.17"},
         false},
        {TransferMode::kCompare, junk, {"パラメータファイルを開くことができません"}, false},
        {TransferMode::kDownload, junkUsr, {"ユーザグループ名を開くことができません"}, false},
        {TransferMode::kUpload,
         tmp.file("none.usr"),
         {"ユーザグループ名を開くことができません"},
         false},
        {TransferMode::kCompare,
         otherSeries,
         {"ユーザグループファイルのインバータモデルは、パラメータエディタのインバータモデルと異なっ"
          "てい"
          "ます"},
         false},
        {TransferMode::kDownload,
         usrVersion,
         {"ユーザグループファイルとインバータのバージョンが違います\n\n続行しますか？"},
         false},
        {TransferMode::kUpload,
         existing,
         {existing + " ファイルはすでに存在します.\n上書きを希望しますか？"},
         true},
        {TransferMode::kUpload,
         "  ",
         {"パラメータまたはユーザグループファイルを選択してください"},
         false},
        {TransferMode::kUpload,
         "set.par",
         {"ファイルパス入力が間違っています\nファイルパスを再入力してください"},
         true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        TransferRig rig;
        rig.prompter.answer = [](const std::string&) { return false; };
        auto dlg = rig.dialog(c.mode, c.path);
        dlg->Start();
        EXPECT_FALSE(dlg->IsRunning());
        rig.runUntil([] { return false; }, 5);
        EXPECT_TRUE(rig.line->sent.empty());
        ASSERT_EQ(rig.prompter.entries.size(), c.texts.size());
        for (std::size_t i = 0; i < c.texts.size(); ++i) {
            if (!c.texts[i].empty()) {
                EXPECT_EQ(rig.prompter.entries[i].text, c.texts[i]);
            }
        }
        EXPECT_EQ(rig.view.focused, c.focused ? 1 : 0);
    }
    EXPECT_EQ(readPar(existing).size(), 1u);
}

// The user group of another version is transferred once the user agrees.
TEST(TransferDialog, UserGroupOfAnotherVersionRunsWhenConfirmed) {
    TempDir tmp;
    TransferRig rig;
    const std::string path = savedUsr(tmp, "v.usr", {{0x1003, 150}}, 11, 0x0311);
    auto dlg = rig.dialog(TransferMode::kDownload, path);
    dlg->Start();
    ASSERT_TRUE(rig.finish(*dlg));
    EXPECT_EQ(rig.words[0x1003], 150);
}

// The stop question pauses the chain. "No" goes on only once no request is outstanding, and
// "Yes" drops whatever the line still delivers for the abandoned step.
TEST(TransferDialog, StopQuestionWhileARequestIsOutstanding) {
    enum class When { kAnsweredBeforeTheReply, kReplyDuringTheQuestion };
    for (When when : {When::kAnsweredBeforeTheReply, When::kReplyDuringTheQuestion}) {
        TempDir tmp;
        TransferRig rig;
        const std::string path = savedUsr(tmp, "g.usr", {{0x1003, 1}, {0x1004, 2}, {0x1005, 3}});
        auto dlg = rig.dialog(TransferMode::kUpload, path);
        rig.hold = true;
        dlg->Start();
        ASSERT_TRUE(rig.runUntil([&] { return rig.held.has_value(); }));
        rig.prompter.answer = [&](const std::string& text) {
            EXPECT_EQ(text, "停止しますか？");
            if (when == When::kReplyDuringTheQuestion) {
                rig.line->Inject(*std::exchange(rig.held, std::nullopt));
                rig.ex.drain();
                EXPECT_EQ(rig.line->sent.size(), 1u);  // paused while the question is open
            }
            return false;
        };
        rig.hold = false;
        EXPECT_FALSE(dlg->Close());
        rig.ex.drain();
        if (when == When::kAnsweredBeforeTheReply) {
            // Nothing more is queued while the reply is outstanding; the reply resumes the chain.
            EXPECT_EQ(rig.link.QueueLength(), 1u);
            rig.line->Inject(*std::exchange(rig.held, std::nullopt));
        }
        ASSERT_TRUE(rig.finish(*dlg));
        EXPECT_EQ(dlg->StatusText(), "アップロードアクションが終了しました");
        EXPECT_EQ(rig.requests().size(), 3u);
        EXPECT_EQ(rig.prompter.texts("error").size(), 0u);
    }
}

TEST(TransferDialog, StopYesEndsTheRunAndALateReplyDoesNotReachTheNextRun) {
    TempDir tmp;
    TransferRig rig;
    rig.words[0x1003] = 450;
    const std::string path = savedUsr(tmp, "g.usr", {{0x1003, 1}, {0x1004, 2}});
    auto dlg = rig.dialog(TransferMode::kUpload, path);
    rig.hold = true;
    dlg->Start();
    ASSERT_TRUE(rig.runUntil([&] { return rig.held.has_value(); }));
    rig.hold = false;
    EXPECT_FALSE(dlg->Close());  // the prompter says yes
    EXPECT_FALSE(dlg->IsRunning());
    EXPECT_STREQ(dlg->CloseButtonLabel(), "閉じます");
    EXPECT_EQ(readUsr(path).front().second, 1u);  // nothing stored

    rig.words[0x1003] = 0x1004;  // a reply lent to the wrong request would read as 0x1004
    dlg->Start();
    rig.line->Inject(*std::exchange(rig.held, std::nullopt));  // the first run's reply, late
    ASSERT_TRUE(rig.finish(*dlg));
    EXPECT_EQ(dlg->StatusText(), "アップロードアクションが終了しました");
    EXPECT_EQ(readUsr(path), (std::vector<std::pair<std::uint32_t, std::uint32_t>>{{0x1003, 0x1004},
                                                                                   {0x1004, 300}}));
    EXPECT_TRUE(rig.prompter.texts("error").empty());
    EXPECT_TRUE(dlg->Close());  // idle: the dialog ends
}

// The stop question is left open while the drive goes: the run is cancelled and the dialog
// closed; whichever answer comes afterwards, to a dialog still there or already gone, changes
// nothing and sends nothing.
TEST(TransferDialog, StopQuestionAnsweredAfterTheDriveWentDoesNothing) {
    for (bool stop : {false, true}) {
        for (bool dialogGone : {false, true}) {
            SCOPED_TRACE(::testing::Message() << "stop " << stop << " gone " << dialogGone);
            TempDir tmp;
            TransferRig rig;
            rig.nakSequence[0x1004] = {"MUTE", "MUTE", "MUTE"};
            const std::string path = tmp.file("new.par");
            rig.prompter.holdQuestions = true;
            auto dlg = rig.dialog(TransferMode::kUpload, path);
            dlg->Start();
            ASSERT_TRUE(rig.runUntil([&] { return !rig.prompter.open.empty(); }));
            EXPECT_EQ(rig.prompter.texts("question").back(), "停止しますか？");

            rig.drive.reset();
            dlg->OnDriveDisconnected(3);
            EXPECT_EQ(rig.view.closed, 1);
            EXPECT_EQ(dlg->LastEnd(), TransferEnd::kCancelled);
            if (dialogGone) dlg.reset();
            const std::size_t sent = rig.line->sent.size();
            rig.prompter.answerOpen(stop);
            for (int i = 0; i < 20; ++i) rig.tick();
            EXPECT_EQ(rig.line->sent.size(), sent);
            EXPECT_FALSE(std::filesystem::exists(path));
            if (!dialogGone) {
                EXPECT_FALSE(dlg->IsRunning());
                EXPECT_EQ(dlg->LastEnd(), TransferEnd::kCancelled);
                EXPECT_EQ(dlg->StatusText(), "選択されたインバータが切断されました");
            }
        }
    }
}

// A drive that stops answering asks whether to stop: No goes on with the next parameter and
// leaves the unread one out; Yes stores nothing and the previous file stays.
TEST(TransferDialog, TimeOutAsksWhetherToStop) {
    for (bool stop : {false, true}) {
        SCOPED_TRACE(stop);
        TempDir tmp;
        TransferRig rig;
        rig.nakSequence[0x1004] = {"MUTE", "MUTE", "MUTE"};
        const std::string path = savedPar(tmp, "prev.par", {{0x1003, 7}});
        rig.prompter.answer = [stop](const std::string& text) {
            return text == "停止しますか？" ? stop : true;
        };
        auto dlg = rig.dialog(TransferMode::kUpload, path);
        dlg->Start();
        ASSERT_TRUE(rig.finish(*dlg));
        EXPECT_EQ(rig.prompter.texts("question").back(), "停止しますか？");
        EXPECT_TRUE(rig.prompter.texts("error").empty());
        auto file = readPar(path);
        if (stop) {
            EXPECT_EQ(file, (std::vector<std::pair<std::uint32_t, std::uint32_t>>{{0x1003, 7}}));
            EXPECT_EQ(dlg->StatusText(), "タイムアウトエラー");
            for (auto [letter, address] : rig.requests()) EXPECT_NE(address, 0x1005);
        } else {
            EXPECT_FALSE(holds(file, 0x1004));
            EXPECT_TRUE(holds(file, 0x1005));
            EXPECT_EQ(
                dlg->StatusText(),
                "アップロードアクションが終了しました\n1 個のパラメータは読み取れませんでした");
        }
    }
}

// The drive's data file goes away with the drive: the run is cancelled and the dialog closed,
// and replies still on their way find nothing to touch.
TEST(TransferDialog, DisconnectedDriveCancelsTheRun) {
    TempDir tmp;
    for (bool told : {true, false}) {
        SCOPED_TRACE(told);
        TransferRig rig;
        const std::string path = savedPar(tmp, "d.par", {{0x1003, 10}, {0x1004, 20}});
        auto dlg = rig.dialog(TransferMode::kDownload, path);
        rig.hold = true;
        dlg->Start();
        ASSERT_TRUE(rig.runUntil([&] { return rig.held.has_value(); }));
        rig.hold = false;
        rig.drive.reset();
        if (told) {
            dlg->OnDriveDisconnected(3);
            EXPECT_EQ(rig.view.closed, 1);
            EXPECT_FALSE(dlg->IsRunning());
        }
        rig.line->Inject(*std::exchange(rig.held, std::nullopt));
        ASSERT_TRUE(rig.finish(*dlg));
        EXPECT_EQ(dlg->StatusText(), "選択されたインバータが切断されました");
        EXPECT_EQ(rig.writtenAddresses(), std::vector<int>{0x1003});
        EXPECT_EQ(rig.prompter.texts("error").size(), told ? 0u : 1u);
    }
}

TEST(TransferDialog, DisconnectionDuringAQuestionBeforeTheFirstStepSendsNothing) {
    TempDir tmp;
    TransferRig rig;
    const std::string path = savedUsr(tmp, "v.usr", {{0x1003, 150}}, 11, 0x0311);
    auto dlg = rig.dialog(TransferMode::kDownload, path);
    rig.prompter.answer = [&](const std::string&) {
        rig.drive.reset();
        dlg->OnDriveDisconnected(3);
        return true;
    };
    dlg->Start();
    rig.runUntil([] { return false; }, 5);
    EXPECT_FALSE(dlg->IsRunning());
    EXPECT_EQ(rig.view.closed, 1);
    EXPECT_TRUE(rig.line->sent.empty());
    EXPECT_TRUE(rig.prompter.texts("error").empty());
}

TEST(TransferDialog, StartNeedsAConnectedDriveWithItsDataFile) {
    TempDir tmp;
    struct Case {
        std::function<void(DriveRecord&)> spoil;
        const char* text;
    } cases[] = {
        {[](DriveRecord& d) { d.connected = 0; }, "選択されたインバータが切断されました"},
        {[](DriveRecord& d) { d.driveData->loaded = 0; },
         "インバータモデルとバージョンに対応するデータファイルがありません"},
        {[](DriveRecord& d) { d.driveData.reset(); },
         "インバータモデルとバージョンに対応するデータファイルがありません"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        TransferRig rig;
        c.spoil(rig.drive);
        auto dlg = rig.dialog(TransferMode::kUpload, tmp.file("x.par"));
        dlg->Start();
        EXPECT_FALSE(dlg->IsRunning());
        EXPECT_EQ(rig.prompter.texts("error"), std::vector<std::string>{c.text});
        EXPECT_EQ(dlg->StatusText(), c.text);
        EXPECT_TRUE(rig.line->sent.empty());
    }
}

}  // namespace
}  // namespace korvane::testing
