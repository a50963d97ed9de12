#include "monitor/keypad_model.h"

#include <gtest/gtest.h>

#include "monitor/keypad_value.h"
#include "unit/monitor/monitor_rig.h"

namespace korvane {
namespace {

using test::MonitorRig;

MonitorItem Item(int address, int divisor, int minimum = 0, int maximum = 0) {
    MonitorItem m;
    m.address = static_cast<std::uint16_t>(address);
    m.divisor = divisor;
    m.minimum = minimum;
    m.maximum = maximum;
    return m;
}

TEST(KeypadValue, ConvertsByDivisorSignTimeScaleAndAnalogRange) {
    struct Case {
        int series, address, divisor, minimum, timeScale, raw;
        double value;
        int decimals;
        bool sign;
    };
    const Case cases[] = {
        {4, 0x0005, 100, 0, 10, 5000, 50.0, 2, false},
        {4, 0x0009, 10, 0, 10, 123, 12.3, 1, false},
        {4, 0x0015, 1, 0, 10, 0xFFFF, 65535.0, 0, false},
        // Ramp times follow the drive's time scale, whatever the item's divisor says.
        {4, 0x0007, 10, 0, 100, 500, 5.0, 2, false},
        {4, 0x0008, 10, 0, 1, 5, 5.0, 0, false},
        {4, 0x0007, 10, 0, 10, 55, 5.5, 1, false},
        {5, 0x0503, 10, 0, 100, 1234, 12.34, 2, false},
        // Series 5 signed words are divided like every other word.
        {5, 0x0022, 10, 0, 10, 0xFFF6, -1.0, 1, true},
        {5, 0x0024, 10, -1000, 10, 100, 10.0, 1, true},
        {5, 0x0020, 1, 0, 10, 0xFFFE, -2.0, 0, true},
        {5, 0x0012, 10, -1000, 10, 0xFF9C, -10.0, 1, true},  // analog rules are not series 5's
        {5, 0x0009, 10, 0, 10, 0xFFF6, 6552.6, 1, false},
        // Analog inputs by the converter range of the series.
        {10, 18, 10, 0, 10, 1023, 10.0, 1, false},
        {10, 19, 10, 0, 10, 1023, -10.0, 1, false},
        {9, 20, 10, 0, 10, 4095, 20.0, 1, false},
        {4, 18, 10, 0, 10, 32736, 5.0, 1, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "series " << c.series << " address " << c.address);
        const MonitorItem item = Item(c.address, c.divisor, c.minimum);
        EXPECT_NEAR(KeypadValue(item, c.raw, c.series, c.timeScale), c.value, 1e-9);
        EXPECT_EQ(DecimalsForDivisor(KeypadDivisor(item, c.series, c.timeScale)), c.decimals);
        EXPECT_EQ(KeypadSigned(item, c.series), c.sign);
    }
    EXPECT_EQ(DecimalsForDivisor(1000), 3);
    EXPECT_EQ(KeypadRawValue(1.005, 100), 101);
    EXPECT_EQ(KeypadRawValue(0.25, 10), 3);
    EXPECT_EQ(KeypadRawValue(-1.25, 10), 0xFFF4);  // -12, half up
}

TEST(KeypadLamps, FollowTheStatusWordAndBlink) {
    struct Case {
        int status;
        bool phase;
        KeypadLamps lamps;
    };
    const Case cases[] = {
        {0x0001, true, {false, false, false}},
        {0x0002, false, {true, false, false}},  // steady
        {0x0004, false, {false, true, false}},
        {0x0012, true, {true, false, false}},  // accelerating: blinks
        {0x0012, false, {false, false, false}},
        {0x0024, false, {false, false, false}},
        {0x0009, true, {true, true, true}},     // stopped and tripped: both run lamps blink
        {0x0009, false, {false, false, true}},  // the fault lamp stays lit
        {0x0008, true, {false, false, true}},
        {0x0006, true, {true, true, false}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(LampsFor(c.status, c.phase), c.lamps) << std::hex << c.status << " " << c.phase;
}

class KeypadTest : public ::testing::Test {
protected:
    std::vector<int> writesToRunCommand() const {
        std::vector<int> out;
        for (const auto& r : rig.drives.requests)
            if (r.letter == 'W' && r.address == kRunCommandAddress) out.push_back(r.value);
        return out;
    }

    MonitorRig rig{3};
};

TEST_F(KeypadTest, OpensWithSavedOrDefaultItemsAndSavesThemOnClose) {
    rig.connect(1, 4, 0x0100);
    rig.connect(2, 5, 0x0100);
    rig.connect(3, 4, 0x0100);
    rig.settings.setInt(kKeypadSettingsSection, "Mon Addr 3-0", 0x0009);
    rig.settings.setInt(kKeypadSettingsSection, "Mon Addr 3-1", 0x0777);  // not in the list
    {
        KeypadModel elm(rig.services, 1), fir(rig.services, 2), third(rig.services, 3);
        EXPECT_EQ(rig.polled(1), (std::vector<int>{5, 10}));
        EXPECT_EQ(rig.polled(2), (std::vector<int>{34, 1282}));
        EXPECT_EQ(third.slot(0).address, 0x0009);
        EXPECT_EQ(third.slot(1).address, 0x0005);  // the first item
        EXPECT_EQ(third.slot(1).position, 0);
        EXPECT_EQ(elm.frameCaption(), "KEY PAD - 1:Elm");
        EXPECT_EQ(elm.nameLabel(), "( 名前 :   )");
        EXPECT_TRUE(elm.timerRunning());

        const KeypadDisplay d = fir.display(1);
        EXPECT_EQ(d.unit, "%");
        EXPECT_TRUE(d.sign);
        EXPECT_EQ(d.decimals, 1);
        elm.chooseItems(3, -1);
        EXPECT_EQ(elm.slot(1).address, kKeypadNoAddress);
        EXPECT_EQ(elm.display(1).unit, "");
    }
    EXPECT_TRUE(rig.polled(1).empty());
    EXPECT_EQ(rig.settings.getInt(kKeypadSettingsSection, "Mon Addr 1-0", 0), 0x0009);
    EXPECT_EQ(rig.settings.getInt(kKeypadSettingsSection, "Mon Addr 1-1", 0), kKeypadNoAddress);
    EXPECT_EQ(rig.settings.getInt(kKeypadSettingsSection, "Mon Addr 2-0", 0), 1282);
}

TEST_F(KeypadTest, TheFirstResultAfterAnItemChangeIsDiscarded) {
    rig.connect(1, 4, 0x0100);
    KeypadModel keypad(rig.services, 1);
    rig.drives.words[1][5] = 5000;
    rig.drives.words[1][9] = 77;
    rig.tick(4);
    EXPECT_DOUBLE_EQ(keypad.display(0).value, 50.0);

    keypad.chooseItems(3, 0);  // current, frequency command
    DriveReply r;
    r.station = 1;
    r.command = 'Y';
    r.wordCount = 2;
    r.addresses = {9, 5};
    r.values = {12, 100};
    keypad.OnDriveMonitor(1, r);
    EXPECT_EQ(keypad.slot(0).raw, 0);
    keypad.OnDriveMonitor(1, r);
    EXPECT_DOUBLE_EQ(keypad.display(0).value, 1.2);
    EXPECT_DOUBLE_EQ(keypad.display(1).value, 1.0);
}

TEST_F(KeypadTest, KeysWriteOnceUntilTheDriveAnswersAndStopResetsATrip) {
    DriveRecord& d = rig.connect(1, 11, 0x0100);
    KeypadModel keypad(rig.services, 1);
    rig.drives.silent.insert(1);
    keypad.pressForward();
    keypad.pressForward();
    keypad.pressReverse();
    EXPECT_FALSE(keypad.keysEnabled());
    rig.tick(15);  // one time-out: a retry notice, not the answer
    EXPECT_FALSE(keypad.keysEnabled());
    rig.drives.silent.clear();
    rig.tick(30);  // the repeat waits for the line's guard of silence first
    EXPECT_TRUE(keypad.keysEnabled());
    EXPECT_EQ(writesToRunCommand(), std::vector<int>{kRunCommandForward});

    keypad.pressStop();
    rig.tick(15);  // after an exchange that timed out, the next waits for the guard
    d.statusWord = kStatusStopped | kStatusFault;
    keypad.pressStop();
    rig.tick(3);
    EXPECT_EQ(writesToRunCommand(),
              (std::vector<int>{kRunCommandForward, kRunCommandStop, kRunCommandReset}));

    rig.drives.nakNext = "WM";
    keypad.pressReverse();
    rig.tick(3);
    EXPECT_TRUE(keypad.keysEnabled());
    EXPECT_EQ(keypad.frameCaption(), "*** 書き込みモードエラー ***");
}

TEST_F(KeypadTest, GraphWatchStopsAllTrafficAndRestoresIt) {
    rig.connect(1, 4, 0x0100);
    KeypadModel keypad(rig.services, 1);
    ASSERT_NE(keypad.openEditor(0), nullptr);
    rig.tick(3);
    rig.host.graphWatch = true;
    keypad.onGraphWatchChanged(true);
    EXPECT_EQ(keypad.editor(), nullptr);
    EXPECT_FALSE(keypad.timerRunning());
    EXPECT_FALSE(keypad.keysEnabled());
    keypad.pressForward();
    keypad.chooseItems(1, 2);
    EXPECT_EQ(keypad.openEditor(0), nullptr);
    EXPECT_TRUE(rig.polled(1).empty());
    EXPECT_TRUE(writesToRunCommand().empty());

    rig.host.graphWatch = false;
    keypad.onGraphWatchChanged(false);
    EXPECT_TRUE(keypad.timerRunning());
    EXPECT_EQ(rig.polled(1), (std::vector<int>{7, 8}));
}

TEST_F(KeypadTest, LampsFollowTheRecordOnTicks) {
    DriveRecord& d = rig.connect(1, 4, 0x0100);
    KeypadModel keypad(rig.services, 1);
    d.statusWord = kStatusForward | kStatusAccelerating;
    keypad.onTick();
    const bool first = keypad.lamps().forward;
    keypad.onTick();
    EXPECT_NE(keypad.lamps().forward, first);
    d.statusWord = kStatusForward;
    keypad.onTick();
    keypad.onTick();
    EXPECT_TRUE(keypad.lamps().forward);
}

TEST_F(KeypadTest, FailuresStopOrRecoverByTheFailingCode) {
    rig.connect(1, 4, 0x0100);
    KeypadModel keypad(rig.services, 1);
    DriveReply fail;
    fail.station = 1;
    fail.errorCode = kErrRetriesExhausted;
    fail.failingCode = kErrSum;
    keypad.chooseItems(0, 1);
    keypad.OnDriveMonitor(1, fail);  // never discarded, though it is the first result
    EXPECT_EQ(keypad.frameCaption(), "*** 合計エラー ***");
    EXPECT_TRUE(keypad.timerRunning());
    // The real link forgot the station too.
    rig.link.RemoveListener(1, &keypad);
    int a[] = {5, 7};
    rig.link.RemoveMonitorAddresses(1, a, 2);
    keypad.activate();
    EXPECT_EQ(rig.polled(1), (std::vector<int>{5, 7}));
    EXPECT_EQ(keypad.frameCaption(), "KEY PAD - 1:Elm");

    rig.drives.silent.insert(1);
    rig.tick(120);
    EXPECT_EQ(keypad.frameCaption(), "*** タイムアウトエラー ***");
    EXPECT_FALSE(keypad.timerRunning());
    EXPECT_FALSE(keypad.keysEnabled());
    EXPECT_FALSE(keypad.selectorsEnabled());
    rig.drives.silent.clear();
    keypad.activate();  // no answer stops the keypad until it is opened again
    EXPECT_TRUE(rig.polled(1).empty());

    bool closeRequested = false;
    Connection closing = keypad.closeRequested.connect([&] { closeRequested = true; });
    keypad.onDriveDisconnected(1);
    EXPECT_TRUE(closeRequested);
}

TEST_F(KeypadTest, EditorChecksTheRangeRoundsHalfUpAndIgnoresRetryNotices) {
    DriveRecord& d = rig.connect(1, 4, 0x0100);
    d.timeScale = 100;
    rig.drives.words[1][7] = 500;
    rig.settings.setInt(kKeypadSettingsSection, "Mon Addr 1-0", 7);
    KeypadModel keypad(rig.services, 1);
    KeypadEditor* editor = keypad.openEditor(0);
    ASSERT_NE(editor, nullptr);
    EXPECT_EQ(editor->caption(), "パラメータを編集 [1:Elm]");
    EXPECT_FALSE(editor->buttonsEnabled());
    rig.tick(3);
    ASSERT_TRUE(editor->boxValue());
    EXPECT_DOUBLE_EQ(*editor->boxValue(), 5.0);
    EXPECT_EQ(editor->decimals(), 2);
    EXPECT_EQ(editor->integerDigits(), 3);
    EXPECT_DOUBLE_EQ(editor->maximum(), 60.0);

    editor->write(60.01);
    EXPECT_EQ(editor->status(), "*** データ範囲エラー ***");
    rig.tick(3);
    editor->write(-12.345);  // unsigned: taken as 12.345, rounded half up to 12.35
    EXPECT_EQ(editor->status(), " ");
    rig.tick(3);
    EXPECT_EQ(rig.drives.words[1][7], 1235);
    EXPECT_TRUE(editor->buttonsEnabled());

    rig.drives.silent.insert(1);
    editor->read();
    rig.tick(15);  // a retry notice leaves the box and the buttons alone
    EXPECT_FALSE(editor->buttonsEnabled());
    EXPECT_TRUE(editor->boxEnabled());
    // Until the read's retries are exhausted: the monitoring that fails after it closes the
    // editor.
    for (int i = 0; i < 100 && editor->status() == " "; ++i) rig.tick();
    EXPECT_EQ(editor->status(), "*** タイムアウトエラー ***");
    EXPECT_FALSE(editor->boxEnabled());
    EXPECT_TRUE(editor->buttonsEnabled());

    keypad.chooseItems(3, 0);  // output current is read-only
    EXPECT_EQ(keypad.openEditor(0), nullptr);
}

// Type 45 in the frequency display's editor and write: once the drive acknowledged it, the box
// and the display show 45.00, not the 40.00 read before.
TEST_F(KeypadTest, AnAcknowledgedWriteIsShownAtOnce) {
    rig.connect(1, 4, 0x0100);
    rig.drives.words[1][5] = 4000;
    KeypadModel keypad(rig.services, 1);
    rig.tick(4);
    ASSERT_DOUBLE_EQ(keypad.display(0).value, 40.0);
    KeypadEditor* editor = keypad.openEditor(0);
    ASSERT_NE(editor, nullptr);
    rig.tick(2);
    ASSERT_DOUBLE_EQ(editor->boxValue().value_or(0), 40.0);
    editor->write(45.0);
    rig.tick(1);  // the write's exchange; the next poll has not come yet
    ASSERT_TRUE(editor->buttonsEnabled());
    EXPECT_DOUBLE_EQ(editor->boxValue().value_or(0), 45.0);
    EXPECT_DOUBLE_EQ(keypad.display(0).value, 45.0);
}

// What the window dims: displays and lamps whose values are not live, and everything frozen
// by graph watch mode.
TEST_F(KeypadTest, DisplaysAndLampsAreLiveOnlyWhileTheirValuesAre) {
    struct Case {
        const char* name;
        bool silent;
        bool graphWatch;
        bool displays;
        bool lamps;
    };
    const Case cases[] = {
        {"polled", false, false, true, true},
        {"failed once", true, false, false, true},  // lamps follow the record's status word
        {"graph watch", false, true, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        MonitorRig fresh(3);
        fresh.connect(1, 4, 0x0100);
        KeypadModel keypad(fresh.services, 1);
        int changes = 0;
        Connection changed = keypad.changed.connect([&] { ++changes; });
        fresh.tick(4);
        EXPECT_TRUE(keypad.displayLive(0) && keypad.displayLive(1));
        fresh.drives.silent = c.silent ? std::set<int>{1} : std::set<int>{};
        fresh.host.graphWatch = c.graphWatch;
        keypad.onGraphWatchChanged(c.graphWatch);
        changes = 0;
        fresh.tick(12);  // a time-out comes on the 11th tick
        if (c.silent) {
            EXPECT_GT(changes, 0) << "the window hears of the failure";
        }
        EXPECT_EQ(keypad.displayLive(0), c.displays);
        EXPECT_EQ(keypad.displayLive(1), c.displays);
        keypad.onTick();
        EXPECT_EQ(keypad.lampsLive(), c.lamps);
    }
}

}  // namespace
}  // namespace korvane
