// The transfer window and the results list over a simulated line: what the user clicks, what
// the buttons say while a run goes on, and the rows a compare lists.
#include <gtest/gtest.h>

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <optional>

#include "editor/ui/compare_result_dialog.h"
#include "editor/ui/para_transfer_dialog.h"
#include "gui_rig.h"
#include "host/tool_services.h"
#include "paradb/data_file.h"
#include "paradb/para_array.h"
#include "paradb/user_group.h"
#include "sim/sim_engine.h"

namespace korvane::gui {
namespace {

constexpr int kStation = 3;

std::string Text(const QAbstractButton* button) {
    return button->text().toStdString();
}

class TransferWindow : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        ASSERT_TRUE(rig.startOnSimLine({{.station = kStation, .series = 11, .version = 0x0310}},
                                       {kStation}));
        ASSERT_TRUE(rig.waitForConnected(1));
        // The window's application directory is a fresh one without data files.
        const DriveRecord& drive = rig.controller->Records()[kStation];
        ASSERT_TRUE(drive.driveData);
        ASSERT_EQ(drive.driveData->Load(&drive, KORVANE_TEST_DATA_DIR), 1);
    }

    std::string savedPar(const char* name,
                         std::vector<std::pair<std::uint32_t, std::uint32_t>> values) {
        CParaArray set(11, 0x0310);
        for (auto [address, value] : values) set.Add(address, value);
        const std::string path = dir.filePath(name).toStdString();
        EXPECT_TRUE(SaveParaFile(path, set));
        return path;
    }

    // Types the path and clicks Start, as the user does.
    void startWith(ParaTransferDialog& dlg, const std::string& path) {
        dlg.pathField()->clear();
        QTest::keyClicks(dlg.pathField(), QString::fromStdString(path));
        QTest::mouseClick(dlg.startButton(), Qt::LeftButton);
    }

    bool finished(ParaTransferDialog& dlg) {
        return rig.waitFor([&] { return !dlg.core().IsRunning(); }, 60000);
    }

    QTemporaryDir dir;
    GuiRig rig;
    ToolServices services() { return rig.controller->Services(); }
};

TEST_F(TransferWindow, DownloadThenCompareListsTheWordChangedOnTheDrive) {
    const std::string path = savedPar("set.par", {{0x1002, 50}, {0x1003, 200}, {0x1004, 10}});
    ToolServices s = services();
    int refreshed = 0;
    {
        ParaTransferDialog dlg(s, kStation, TransferMode::kDownload, rig.window.get(),
                               [&] { ++refreshed; });
        dlg.show();
        EXPECT_EQ(dlg.windowTitle().toStdString(), "[3:Kapok Ver3.16] パラメータダウンロード");
        EXPECT_EQ(Text(dlg.startButton()), "開始");
        EXPECT_EQ(Text(dlg.closeButton()), "閉じる");
        EXPECT_FALSE(dlg.progressBar()->isVisible());
        startWith(dlg, path);
        // The first request is still on the line.
        EXPECT_TRUE(dlg.core().IsRunning());
        EXPECT_EQ(Text(dlg.closeButton()), "Cancel");
        EXPECT_FALSE(dlg.startButton()->isEnabled());
        EXPECT_FALSE(dlg.pathField()->isEnabled());
        EXPECT_TRUE(dlg.progressBar()->isVisible());
        ASSERT_TRUE(finished(dlg));
        EXPECT_EQ(Text(dlg.closeButton()), "閉じます");
        EXPECT_TRUE(dlg.startButton()->isEnabled());
        EXPECT_FALSE(dlg.progressBar()->isVisible());
        EXPECT_EQ(dlg.statusText()->text().toStdString(), "ダウンロードアクションが終了しました");
        EXPECT_EQ(dlg.core().Counts().read, 3);
        EXPECT_EQ(refreshed, 1);
        EXPECT_EQ(dlg.resultDialog(), nullptr);
    }

    rig.withEngine(
        [](sim::SimEngine& engine) { (void)engine.drive(kStation)->write(0x1003, 450); });

    ParaTransferDialog dlg(s, kStation, TransferMode::kCompare, rig.window.get());
    dlg.show();
    startWith(dlg, path);
    ASSERT_TRUE(finished(dlg));
    EXPECT_EQ(dlg.statusText()->text().toStdString(), "比較アクションが終了しました");
    ASSERT_TRUE(rig.waitFor([&] { return dlg.resultDialog() != nullptr; }));
    CompareResultDialog& results = *dlg.resultDialog();
    EXPECT_EQ(results.windowTitle().toStdString(), "結果を比較する");
    const QTableWidget& table = *results.table();
    const auto& rows = dlg.core().CompareRows();
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].address, 0x1003);
    ASSERT_EQ(table.rowCount(), 1);
    const auto cells = CompareResult::Cells(rows[0]);
    for (int c = 0; c < 6; ++c)
        EXPECT_EQ(table.item(0, c)->text().toStdString(), cells[static_cast<std::size_t>(c)]);
    EXPECT_EQ(table.item(0, 3)->text().toStdString(), "45.0");
    EXPECT_EQ(table.item(0, 4)->text().toStdString(), "20.0");
    EXPECT_TRUE(table.item(0, 0)->isSelected());
    EXPECT_EQ(table.currentRow(), 0);
    QTest::mouseClick(results.findChild<QPushButton*>(), Qt::LeftButton);
    EXPECT_TRUE(rig.waitFor([&] { return dlg.resultDialog() == nullptr; }));
    // The transfer window is still there for another run.
    EXPECT_TRUE(dlg.isVisible());
}

// An upload into a user group that could not read its entries names them in the results list,
// with the values the file keeps.
TEST_F(TransferWindow, UserGroupUploadListsTheEntriesItCouldNotRead) {
    UserGroup group;
    group.seriesCode = 11;
    group.version = 0x0310;
    group.AddEntry(0x1003, 150);
    group.AddEntry(0x1004, 250);
    const std::string path = dir.filePath("g.usr").toStdString();
    ASSERT_TRUE(SaveUserGroupFile(path, group));
    // A .usr path makes user groups the file type of every later transfer; not of later tests.
    struct ChoiceReset {
        ~ChoiceReset() { TransferFileChoice::Process().set(0); }
    } resetChoice;
    ToolServices s = services();
    ParaTransferDialog dlg(s, kStation, TransferMode::kUpload, rig.window.get());
    dlg.show();
    rig.withEngine([](sim::SimEngine& engine) {
        sim::FaultConfig refuse;
        refuse.nakCode = "ID";
        engine.setFaults(refuse);
    });
    startWith(dlg, path);
    ASSERT_TRUE(finished(dlg));
    rig.withEngine([](sim::SimEngine& engine) { engine.setFaults({}); });
    EXPECT_EQ(dlg.statusText()->text().toStdString(),
              "アップロードアクションが終了しました\n2 個のパラメータは読み取れませんでした"
              "\n読み取れなかったパラメータはファイルの以前の値のままです");
    ASSERT_TRUE(rig.waitFor([&] { return dlg.resultDialog() != nullptr; }));
    CompareResultDialog& list = *dlg.resultDialog();
    EXPECT_EQ(list.windowTitle().toStdString(), "読み取れなかったパラメータ");
    const QTableWidget& table = *list.table();
    ASSERT_EQ(table.rowCount(), 2);
    EXPECT_EQ(table.item(0, 3)->text(), QString());
    EXPECT_EQ(table.item(0, 4)->text().toStdString(), "15.0");
    EXPECT_EQ(table.item(1, 4)->text().toStdString(), "25.0");
}

TEST_F(TransferWindow, CloseWhileRunningAsksAndALostDriveEndsTheDialog) {
    ToolServices s = services();
    ParaTransferDialog dlg(s, kStation, TransferMode::kUpload, rig.window.get());
    dlg.show();
    startWith(dlg, dir.filePath("whole").toStdString());
    ASSERT_TRUE(rig.waitFor([&] { return dlg.progressBar()->value() >= 2; }));

    // "No": the run goes on and the window stays.
    rig.prompter.clear();
    rig.prompter.scriptAnswers({false});
    QTest::mouseClick(dlg.closeButton(), Qt::LeftButton);
    ASSERT_EQ(rig.prompter.entries().size(), 1u);
    EXPECT_EQ(rig.prompter.entries()[0].text, "停止しますか？");
    EXPECT_TRUE(dlg.isVisible());
    const int before = dlg.progressBar()->value();
    ASSERT_TRUE(rig.waitFor([&] { return dlg.progressBar()->value() > before; }));
    EXPECT_EQ(Text(dlg.closeButton()), "Cancel");

    // The editor passes on the disconnection; the window ends without a question.
    rig.prompter.clear();
    ForwardDriveDisconnected(rig.window.get(), kStation + 1);
    EXPECT_TRUE(dlg.isVisible());
    ForwardDriveDisconnected(rig.window.get(), kStation);
    EXPECT_FALSE(dlg.isVisible());
    EXPECT_EQ(dlg.core().LastEnd(), TransferEnd::kCancelled);
    EXPECT_TRUE(rig.prompter.entries().empty());
    EXPECT_FALSE(QFileInfo::exists(dir.filePath("whole.par")));
}

TEST_F(TransferWindow, BrowseStartsWhereTheLastFileOfTheChosenTypeWasAndRemembersTheType) {
    ToolServices s = services();
    const QString usrDir = dir.filePath("groups");
    ASSERT_TRUE(QDir().mkpath(usrDir));
    s.settings.setString("Main", "Custom File Dir", usrDir.toStdString());
    TransferFileChoice::Process().set(2);
    ParaTransferDialog dlg(s, kStation, TransferMode::kUpload, rig.window.get());
    dlg.show();

    QTest::mouseClick(dlg.browseButton(), Qt::LeftButton);
    auto* files = dlg.findChild<QFileDialog*>();
    ASSERT_NE(files, nullptr);
    EXPECT_TRUE(files->isVisible());
    EXPECT_EQ(files->directory().absolutePath(), usrDir);
    EXPECT_EQ(files->selectedNameFilter().toStdString(), "ユーザグループファイル (*.usr)");
    // A new name without extension, with the parameter-file type picked this time.
    files->selectNameFilter(files->nameFilters().value(0));
    files->selectFile(dir.filePath("base"));
    static_cast<QDialog*>(files)->accept();  // as the dialog's own button does
    EXPECT_EQ(dlg.pathField()->text(), dir.filePath("base"));
    EXPECT_EQ(TransferFileChoice::Process().get(), 1);
    EXPECT_EQ(s.settings.getString("Main", "Para File Dir", ""), dir.path().toStdString());

    // Start completes the name with the picked type.
    QTest::mouseClick(dlg.startButton(), Qt::LeftButton);
    EXPECT_EQ(dlg.pathField()->text(), dir.filePath("base.par"));
    ASSERT_TRUE(finished(dlg));
    EXPECT_TRUE(QFileInfo::exists(dir.filePath("base.par")));
    TransferFileChoice::Process().set(0);
}

TEST_F(TransferWindow, OpenTransferDialogTellsHowTheLastRunEndedAndLeavesNothingBehind) {
    const std::string path = savedPar("one.par", {{0x1003, 200}});
    ToolServices s = services();
    int refreshed = 0;
    std::optional<TransferEnd> end;
    QPointer<ParaTransferDialog> dlg = OpenTransferDialog(
        rig.window.get(), s, kStation, TransferMode::kDownload, [&] { ++refreshed; },
        [&](TransferEnd e) { end = e; });
    ASSERT_TRUE(dlg);
    EXPECT_TRUE(dlg->isModal());
    EXPECT_EQ(QApplication::activeModalWidget(), dlg.data());
    startWith(*dlg, path);
    EXPECT_TRUE(finished(*dlg));
    QTest::mouseClick(dlg->closeButton(), Qt::LeftButton);
    EXPECT_EQ(end, TransferEnd::kDone);
    EXPECT_EQ(refreshed, 1);
    EXPECT_TRUE(rig.waitFor([&] { return !dlg; }));
    EXPECT_EQ(rig.window->findChild<ParaTransferDialog*>(), nullptr);
}

TEST(CompareResultList, ColumnsKeepTheirWidthsAndWidenForWhatWouldBeCutOff) {
    TestApp();
    CompareRow unread{"基本", 0x1003, "加速時間1", std::nullopt, "20.0", "s"};
    CompareRow wide{"基本", 0x1004, "モータ定格電流の設定値を非常に長い名前で表す", "1", "2", ""};
    CompareResultDialog dlg({unread, wide});
    dlg.show();
    const QTableWidget& table = *dlg.table();
    ASSERT_EQ(table.rowCount(), 2);
    EXPECT_EQ(table.item(0, 3)->text(), QString());  // the drive's value was not read
    const QFontMetrics header = table.horizontalHeader()->fontMetrics();
    for (int c = 0; c < 6; ++c) {
        const CompareColumn& column = CompareResult::kColumns[static_cast<std::size_t>(c)];
        SCOPED_TRACE(column.heading);
        EXPECT_EQ(table.horizontalHeaderItem(c)->text().toStdString(), column.heading);
        EXPECT_GE(table.columnWidth(c), column.width);
        EXPECT_GT(table.columnWidth(c),
                  header.horizontalAdvance(QString::fromUtf8(column.heading)));
    }
    EXPECT_GT(table.columnWidth(2),
              table.fontMetrics().horizontalAdvance(table.item(1, 2)->text()));
    EXPECT_EQ(table.item(1, 2)->toolTip(), table.item(1, 2)->text());
    // Nothing of the table is hidden behind a horizontal scroll bar.
    EXPECT_FALSE(table.horizontalScrollBar()->isVisible());
}

}  // namespace
}  // namespace korvane::gui
