#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include "app/ui/connect_dialog.h"
#include "app/ui/number_spin_edit.h"
#include "app/ui/port_setup_dialog.h"
#include "common/prompter.h"
#include "gui_rig.h"
#include "host/settings.h"
#include "host/ui/qt_prompter.h"

namespace korvane::gui {
namespace {

void ClickAccept(QDialog& dialog) {
    auto* box = dialog.findChild<QDialogButtonBox*>();
    for (QAbstractButton* button : box->buttons()) {
        if (box->buttonRole(button) == QDialogButtonBox::AcceptRole)
            QTest::mouseClick(button, Qt::LeftButton);
    }
}

void Type(NumberSpinEdit& edit, const char* text) {
    edit.lineEdit()->clear();
    QTest::keyClicks(edit.lineEdit(), QString::fromUtf8(text));
}

TEST(PortSetupDialog, RefusesTimeOutsOutside500To3000AndStaysOpen) {
    TestApp();
    struct Row {
        const char* typed;
        bool accepted;
        const char* message;
    };
    const Row rows[] = {
        {"499", false, "500 から 3000 までの整数を入力してください。"},
        {"3001", false, "500 から 3000 までの整数を入力してください。"},
        {"", false, "整数を入力してください。"},
        {"500", true, ""},
        {"3000", true, ""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.typed);
        RecordingPrompter prompter;
        PortSetupDialog dialog(PortSetupForm{}, {"ttyS0", "SIM"}, prompter);
        dialog.show();
        Type(*dialog.timeOutEdit(), row.typed);
        ClickAccept(dialog);
        EXPECT_EQ(dialog.result() == QDialog::Accepted, row.accepted);
        EXPECT_EQ(dialog.isVisible(), !row.accepted);
        if (row.accepted) {
            EXPECT_TRUE(prompter.entries().empty());
            EXPECT_EQ(dialog.form().timeOutText, row.typed);
        } else {
            ASSERT_EQ(prompter.entries().size(), 1u);
            EXPECT_EQ(prompter.entries()[0].text, row.message);
            EXPECT_TRUE(dialog.timeOutEdit()->lineEdit()->hasFocus() || !dialog.isActiveWindow());
        }
    }
}

TEST(PortSetupDialog, ATypedAddressGreysOutWhatTheServerOwnsAndIsCheckedOnOk) {
    TestApp();
    struct Row {
        const char* typed;
        bool framing;
        bool accepted;
    };
    const Row rows[] = {
        {"tcp://192.168.0.9:4001", false, true},
        {"rfc2217://ds1:2217", true, true},
        {"modbus-tcp://[::1]:502", false, true},
        {"tcp://ds1", true, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.typed);
        RecordingPrompter prompter;
        PortSetupForm form;
        form.protocolIndex = 1;  // TK485
        form.timeOutText = "1000";
        form.recentAddresses = {"tcp://10.0.0.1:4001"};
        PortSetupDialog dialog(form, {"ttyS0", "SIM"}, prompter);
        dialog.show();
        EXPECT_EQ(dialog.portBox()->findText("tcp://10.0.0.1:4001"), 2);
        dialog.portBox()->setEditText(QString::fromUtf8(row.typed));
        EXPECT_EQ(dialog.baudRateBox()->isEnabled(), row.framing);
        EXPECT_EQ(dialog.parityBox()->isEnabled(), row.framing);
        // TK485 does not travel in MBAP frames: MODBUS-RTU is chosen for a gateway.
        const bool gateway = std::string(row.typed).starts_with("modbus-tcp");
        EXPECT_EQ(dialog.protocolBox()->currentIndex(), gateway ? 0 : 1);
        ClickAccept(dialog);
        EXPECT_EQ(dialog.result() == QDialog::Accepted, row.accepted);
        EXPECT_EQ(prompter.entries().empty(), row.accepted);
    }
}

TEST(PortSetupDialog, EveryFieldComesBackAsShownAndTxLevelFollowsRtsMode) {
    TestApp();
    RecordingPrompter prompter;
    PortSetupForm form;
    form.protocolIndex = 0;
    form.port = "/dev/pts/7";
    form.baudRateIndex = 5;
    form.dataBitsIndex = 1;
    form.parityIndex = 2;
    form.stopBitsIndex = 1;
    form.timeOutText = "1500";
    form.retryIndex = 3;
    form.automaticTx = false;
    form.txLevelIndex = 1;
    form.fastPacing = true;
    PortSetupDialog dialog(form, {"ttyS0", "SIM"}, prompter);

    const PortSetupForm shown = dialog.form();
    EXPECT_EQ(shown.protocolIndex, 0);
    EXPECT_EQ(shown.port, "/dev/pts/7");
    EXPECT_EQ(shown.baudRateIndex, 5);
    EXPECT_EQ(shown.dataBitsIndex, 1);
    EXPECT_EQ(shown.parityIndex, 2);
    EXPECT_EQ(shown.stopBitsIndex, 1);
    EXPECT_EQ(shown.timeOutText, "1500");
    EXPECT_EQ(shown.retryIndex, 3);
    EXPECT_FALSE(shown.automaticTx);
    EXPECT_EQ(shown.txLevelIndex, 1);
    EXPECT_TRUE(shown.fastPacing);
    EXPECT_TRUE(dialog.txLevelBox()->isEnabled());
    dialog.fastPacingBox()->setChecked(false);
    EXPECT_FALSE(dialog.form().fastPacing);

    dialog.findChildren<QRadioButton*>()[0]->setChecked(true);
    EXPECT_TRUE(dialog.form().automaticTx);
    EXPECT_FALSE(dialog.txLevelBox()->isEnabled());
    EXPECT_EQ(dialog.portBox()->findText("SIM"), 1);
}

TEST(ConnectDialog, OnlyTheChosenModesFieldsAreEditableAndBadIdsAreRefused) {
    TestApp();
    RecordingPrompter prompter;
    ConnectDialog dialog(ConnectChoice{1, 7, 10, 20}, prompter);
    dialog.show();
    struct Mode {
        unsigned mode;
        bool one, from, to;
    };
    for (const Mode& m :
         {Mode{0, true, false, false}, Mode{2, false, false, false}, Mode{1, false, true, true}}) {
        SCOPED_TRACE(m.mode);
        dialog.modeButton(m.mode)->click();
        EXPECT_EQ(dialog.field(0)->isEnabled(), m.one);
        EXPECT_EQ(dialog.field(1)->isEnabled(), m.from);
        EXPECT_EQ(dialog.field(2)->isEnabled(), m.to);
    }

    Type(*dialog.field(2), "256");
    ClickAccept(dialog);
    EXPECT_TRUE(dialog.isVisible());
    ASSERT_EQ(prompter.entries().size(), 1u);
    EXPECT_EQ(prompter.entries()[0].text, "1 から 255 までの整数を入力してください。");

    Type(*dialog.field(2), "25");
    ClickAccept(dialog);
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(dialog.choice().mode, 1u);
    EXPECT_EQ(dialog.choice().from, 10u);
    EXPECT_EQ(dialog.choice().to, 25u);
}

TEST(ConnectDialog, StoredModeAboveTwoOpensOnAllIds) {
    TestApp();
    RecordingPrompter prompter;
    ConnectDialog dialog(ConnectChoice{7, 1, 1, 255}, prompter);
    EXPECT_TRUE(dialog.modeButton(2)->isChecked());
    EXPECT_FALSE(dialog.field(0)->isEnabled());
}

TEST(ConnectDialog, QuickScanBoxShowsTheStoredChoiceAndGoesWithTheIds) {
    TestApp();
    RecordingPrompter prompter;
    for (bool stored : {false, true}) {
        ConnectChoice values{0, 4, 1, 255};
        values.quick = stored;
        ConnectDialog dialog(values, prompter);
        dialog.show();
        EXPECT_EQ(dialog.quickBox()->text(), QString::fromUtf8("高速検索"));
        EXPECT_EQ(dialog.quickBox()->isChecked(), stored);
        dialog.quickBox()->click();
        ClickAccept(dialog);
        ASSERT_EQ(dialog.result(), QDialog::Accepted);
        EXPECT_EQ(dialog.choice().quick, !stored);
        EXPECT_EQ(dialog.choice().one, 4u);
    }
}

// A refused form says why over the dialog the user typed into, not over the main window
// behind it.
TEST(SetupDialogs, RefusalBoxesOpenOverTheDialog) {
    TestApp();
    QWidget mainWindow;
    QtPrompter prompter;
    prompter.setParentWidget(&mainWindow);
    auto refusalParent = [](QDialog& dialog, NumberSpinEdit& field, const char* typed) {
        dialog.show();
        Type(field, typed);
        ClickAccept(dialog);
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        QWidget* parent = box ? box->parentWidget() : nullptr;
        if (box) box->reject();
        return parent;
    };
    ConnectDialog connect(ConnectChoice{0, 1, 1, 255}, prompter, &mainWindow);
    EXPECT_EQ(refusalParent(connect, *connect.field(0), "256"), &connect);
    PortSetupDialog setup(PortSetupForm{}, {"ttyS0", "SIM"}, prompter, &mainWindow);
    EXPECT_EQ(refusalParent(setup, *setup.timeOutEdit(), "10"), &setup);
}

}  // namespace
}  // namespace korvane::gui
