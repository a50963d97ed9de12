#include "gui_rig.h"

#include <gtest/gtest.h>

#include <QTest>

#include "app/demo_mode.h"
#include "app/ui/app_port_factory.h"
#include "comm/port_enumeration.h"
#include "common/translation.h"
#include "host/settings.h"

namespace korvane::gui {

namespace {
sim::SimConfig fastLine() {
    sim::SimConfig config;
    config.line.baud = 38400;
    return config;
}

// The tests read the Japanese originals, whatever language the machine's locale asks for; a
// test of another language sets it and puts Japanese back.
class JapaneseInterface : public ::testing::Environment {
public:
    void SetUp() override { SetLanguage(Language::Japanese); }
};

[[maybe_unused]] ::testing::Environment* const kJapaneseInterface =
    ::testing::AddGlobalTestEnvironment(new JapaneseInterface);

}  // namespace

QApplication& TestApp() {
    static int argc = 1;
    static char name[] = "korvane_gui_tests";
    static char* argv[] = {name, nullptr};
    // Never destroyed: widgets of a failed test may still be around at exit.
    static QApplication* app = new QApplication(argc, argv);
    return *app;
}

GuiRig::GuiRig()
    : line_(fastLine()), builtInLine_(MakeBuiltInLine(lineController_, KORVANE_TEST_DATA_DIR)) {
    TestApp();
    // Tests read the window, not log files.
    store.setInt(kSettingsSectionMain, "Log Enable", 0);
}

GuiRig::~GuiRig() {
    window.reset();
    controller.reset();
    line_.unplug();
}

bool GuiRig::startOnSimLine(const std::vector<sim::DriveIdentity>& drives,
                            const std::vector<std::uint8_t>& connectedIds) {
    for (const auto& drive : drives) line_.engine().addDrive(drive);
    if (!line_.start()) return false;
    store.setString(kSettingsSectionMain, "Port", line_.path());
    store.setInt(kSettingsSectionMain, "BaudRate", 38400);
    store.setBytes(kSettingsSectionMain, "ConIDs", connectedIds);
    startWindow(MakeAppPortFactory(executor_, portErrors, *builtInLine_));
    return true;
}

void GuiRig::startDemo() {
    SeedDemoSettings(store);
    startWindow(MakeAppPortFactory(executor_, portErrors, *builtInLine_));
}

void GuiRig::startWindow(PortFactory factory) {
    const AppDirectories dirs = PrepareAppDirectories(appDir_.path().toStdString());
    controller = std::make_unique<MainController>(MainEnvironment{
        executor_, store, asked(), clock, std::move(factory), dirs, {"ttyS0", kSimulatedPortName}});
    lineController_ = controller.get();
    controller->SetPortErrorGate(&portErrors);
    window = std::make_unique<MainWindow>(*controller, store, asked());
    boxes.setParentWidget(window.get());
    window->restoreLayout();
    window->show();
    window->start();
}

bool GuiRig::waitFor(const std::function<bool()>& done, int ms) {
    return QTest::qWaitFor(done, ms);
}

bool GuiRig::waitForConnected(int count) {
    return waitFor([&] {
        return controller->Records().connectedCount() == count && !controller->CanStopScan();
    });
}

}  // namespace korvane::gui
