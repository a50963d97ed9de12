// What the transfer chain must never do to a file or a drive: write a value that fits no word,
// call such a value the same as the drive's, read a whole drive for a file it cannot save, or
// replace a file with one that holds less without being told to.
#include <gtest/gtest.h>

#include <filesystem>

#include "comm/drive_reply.h"
#include "editor/transfer_run.h"
#include "unit/editor/transfer_rig.h"
#include "unit/paradb/paradb_test_util.h"

namespace korvane::testing {
namespace {

using Outcome = TransferEntryResult::Outcome;

// A leading address, an ordinary one and one above its range: each refused before anything is
// written, and the rest of the file still goes to the drive.
TEST(TransferFileSafety, DownloadRefusesValuesThatFitNoWordBeforeTheFirstWrite) {
    struct Case {
        const char* what;
        std::uint32_t address;
        std::uint32_t value;
        const char* shown;
    };
    const Case cases[] = {
        {"upper bits", 0x1003, 0x10064, "0x00010064"},
        {"above the range", 0x1003, 6001, "600.1"},
        {"signed below the range", 0x1002, 0xFFFFF8F7, "-180.1"},
        {"leading address", 0x120A, 0x11770, "0x00011770"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir tmp;
        TransferRig rig;
        const std::string path =
            savedPar(tmp, "d.par", {{c.address, c.value}, {0x1114, 5}, {0x1004, 55}});
        auto dlg = rig.dialog(TransferMode::kDownload, path);
        dlg->Start();
        ASSERT_TRUE(rig.finish(*dlg));
        EXPECT_EQ(rig.writtenAddresses(), (std::vector<int>{0x1114, 0x1004}));
        ASSERT_FALSE(rig.view.results.empty());
        EXPECT_EQ(rig.view.results[0].address, c.address);
        EXPECT_EQ(rig.view.results[0].outcome, Outcome::kRefused);
        EXPECT_EQ(rig.view.results[0].error, kErrDataRange);
        EXPECT_EQ(dlg->Counts().refused, 1);
        EXPECT_EQ(dlg->Counts().read, 2);
        ASSERT_TRUE(rig.view.refused.has_value());
        ASSERT_EQ(rig.view.refused->size(), 1u);
        EXPECT_EQ(rig.view.refused->front().file, c.shown);
        EXPECT_EQ(
            dlg->StatusText(),
            "ダウンロードアクションが終了しました\n1 個のパラメータは書き込みを拒否されました");
    }
}

TEST(TransferFileSafety, CompareNeverCallsAValueThatFitsNoWordTheSame) {
    TempDir tmp;
    TransferRig rig;
    rig.words[0x1003] = 100;
    rig.words[0x1004] = 300;
    // The low words are the drive's: 100 and 300.
    const std::string path = savedPar(tmp, "c.par", {{0x1003, 0x10064}, {0x1004, 0x1012C}});
    auto dlg = rig.dialog(TransferMode::kCompare, path);
    dlg->Start();
    ASSERT_TRUE(rig.finish(*dlg));
    ASSERT_TRUE(rig.view.compared.has_value());
    ASSERT_EQ(rig.view.compared->size(), 2u);
    EXPECT_EQ(rig.view.compared->at(0).drive, "10.0");
    EXPECT_EQ(rig.view.compared->at(0).file, "0x00010064");
    EXPECT_EQ(rig.view.compared->at(1).file, "0x0001012C");
}

TEST(TransferFileSafety, UploadToAFileThatCannotBeSavedFailsBeforeTheFirstRead) {
    TempDir tmp;
    std::filesystem::create_directories(tmp.file("folder.par"));
    for (const char* name : {"missing/set.par", "folder.par"}) {
        SCOPED_TRACE(name);
        TransferRig rig;
        auto dlg = rig.dialog(TransferMode::kUpload, tmp.file(name));
        dlg->Start();
        ASSERT_TRUE(rig.finish(*dlg));
        EXPECT_TRUE(rig.requests().empty());
        EXPECT_EQ(dlg->LastEnd(), TransferEnd::kFailed);
        EXPECT_EQ(dlg->StatusText(), "パラメータファイルを保存できません");
        EXPECT_EQ(rig.prompter.texts("error"),
                  std::vector<std::string>{"パラメータファイルを保存できません"});
    }
    EXPECT_FALSE(std::filesystem::exists(tmp.file("missing")));
}

// An upload that missed parameters the old file holds keeps that file until told otherwise.
TEST(TransferFileSafety, PartialUploadOverAFileHoldingMoreWaitsForTheDecision) {
    enum class Decision { kSave, kDrop, kAllowedBefore };
    for (Decision decision : {Decision::kSave, Decision::kDrop, Decision::kAllowedBefore}) {
        SCOPED_TRACE(static_cast<int>(decision));
        TempDir tmp;
        TransferRig rig;
        rig.nak[0x1004] = "ID";
        rig.words[0x1003] = 450;
        const std::string path = savedPar(tmp, "full.par", {{0x1003, 7}, {0x1004, 8}});
        const auto before = readFile(path);
        auto dlg = rig.dialog(TransferMode::kUpload, path);
        dlg->SetPartialReplaceAllowed(decision == Decision::kAllowedBefore);
        dlg->Start();
        ASSERT_TRUE(rig.finish(*dlg));
        if (decision == Decision::kAllowedBefore) {
            EXPECT_EQ(dlg->LastEnd(), TransferEnd::kDone);
            EXPECT_FALSE(holds(readPar(path), 0x1004));
            continue;
        }
        EXPECT_EQ(dlg->LastEnd(), TransferEnd::kHeld);
        EXPECT_TRUE(dlg->PartialSaveHeld());
        EXPECT_EQ(rig.view.held, 1);
        EXPECT_EQ(dlg->StatusText(),
                  "一部のパラメータが読み取れなかったため、ファイルは上書きされませんでした"
                  "\n1 個のパラメータは読み取れませんでした");
        EXPECT_EQ(dlg->PartialReplaceQuestion(),
                  path +
                      " ファイルには読み取れなかったパラメータの値があります.\n"
                      "読み取れたパラメータだけで上書きを希望しますか？");
        EXPECT_EQ(readFile(path), before);
        // The window asks; the answer decides.
        rig.prompter.answer = [&](const std::string&) { return decision == Decision::kSave; };
        dlg->AskPartialReplace();
        ASSERT_FALSE(rig.prompter.texts("question").empty());
        EXPECT_EQ(rig.prompter.texts("question").back(), dlg->PartialReplaceQuestion());
        if (decision == Decision::kSave) {
            EXPECT_EQ(dlg->LastEnd(), TransferEnd::kDone);
            EXPECT_EQ(valueAt(readPar(path), 0x1003), 450u);
            EXPECT_FALSE(holds(readPar(path), 0x1004));
        } else {
            EXPECT_EQ(dlg->LastEnd(), TransferEnd::kStopped);
            EXPECT_EQ(readFile(path), before);
        }
        EXPECT_FALSE(dlg->PartialSaveHeld());
    }
}

TEST(TransferFileSafety, UserGroupUploadNamesTheEntriesItCouldNotRead) {
    TempDir tmp;
    TransferRig rig;
    rig.words[0x1003] = 450;
    rig.nak[0x1004] = "ID";
    const std::string path = savedUsr(tmp, "g.usr", {{0x1003, 1}, {0x1004, 2}});
    auto dlg = rig.dialog(TransferMode::kUpload, path);
    dlg->Start();
    ASSERT_TRUE(rig.finish(*dlg));
    EXPECT_EQ(readUsr(path), (WordPairs{{0x1003, 450}, {0x1004, 2}}));
    EXPECT_EQ(dlg->StatusText(),
              "アップロードアクションが終了しました\n1 個のパラメータは読み取れませんでした"
              "\n読み取れなかったパラメータはファイルの以前の値のままです");
    const CompareRow expected{"Drive Group", 0x1004, "Deceleration Time",
                              std::nullopt,  "0.2",  "sec"};
    EXPECT_EQ(dlg->UnreadRows(), std::vector<CompareRow>{expected});
    ASSERT_TRUE(rig.view.unread.has_value());
    EXPECT_EQ(*rig.view.unread, std::vector<CompareRow>{expected});
}

}  // namespace
}  // namespace korvane::testing
