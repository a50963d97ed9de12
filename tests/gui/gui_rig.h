#pragma once
// The main window over the real drive link and serial port, offscreen. The drives sit on a
// simulated line served in-process on a pseudo-terminal, so what the window shows went through
// the same road as on a real RS-485 line.
#include <QApplication>
#include <QTemporaryDir>
#include <functional>
#include <memory>
#include <vector>

#include "app/main_controller.h"
#include "app/port_error_gate.h"
#include "app/ui/main_window.h"
#include "app/ui/qt_executor.h"
#include "common/clock.h"
#include "common/prompter.h"
#include "common/settings_store.h"
#include "host/ui/qt_prompter.h"
#include "sim/sim_port.h"
#include "sim/simulated_line.h"

namespace korvane::gui {

// The one QApplication of the test program.
QApplication& TestApp();

class GuiRig {
public:
    GuiRig();
    ~GuiRig();

    // Drives on the pty line; the window starts as if `connectedIds` were connected at the
    // last close, so it identifies them at once.
    [[nodiscard]] bool startOnSimLine(const std::vector<sim::DriveIdentity>& drives,
                                      const std::vector<std::uint8_t>& connectedIds);
    // As `korvane --demo` starts: demo settings and the program's own ports.
    void startDemo();

    // Changes the simulated drives while the line is served.
    void withEngine(const std::function<void(sim::SimEngine&)>& fn) { line_.withEngine(fn); }

    // Runs the event loop until `done` or the time is up.
    bool waitFor(const std::function<bool()>& done, int ms = 15000);
    bool waitForConnected(int count);

    MemorySettingsStore store;
    RecordingPrompter prompter;
    // Set before starting: questions and messages as the program shows them, in window-modal
    // boxes, instead of the recording prompter.
    bool realBoxes = false;
    QtPrompter boxes;
    PortErrorGate portErrors{prompter};
    FixedClock clock{LocalTime{2024, 4, 1, 9, 30, 0, 0}};
    std::unique_ptr<MainController> controller;
    std::unique_ptr<MainWindow> window;

private:
    void startWindow(PortFactory factory);
    Prompter& asked() { return realBoxes ? static_cast<Prompter&>(boxes) : prompter; }

    QTemporaryDir appDir_;
    sim::SimulatedLine line_{sim::SimConfig{}};
    const MainController* lineController_ = nullptr;
    std::unique_ptr<sim::SimulatedLineHost> builtInLine_;
    QtExecutor executor_;
};

}  // namespace korvane::gui
