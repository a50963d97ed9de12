#include "app/ui/app_port_factory.h"

#include "app/main_controller.h"
#include "comm/posix_serial_port.h"
#include "common/prompter.h"

namespace korvane {

std::unique_ptr<sim::SimulatedLineHost> MakeBuiltInLine(const MainController* const& controller,
                                                         const std::string& dataDir) {
    // `controller` is read when the link opens, by which time the controller exists.
    return std::make_unique<sim::SimulatedLineHost>(
        sim::DemoDrives(),
        [&controller] {
            return controller && controller->Settings().commMode == kCommModeModbusRtu;
        },
        sim::StartDemoMotion, dataDir);
}

PortFactory MakeAppPortFactory(Executor& executor, Prompter& prompter,
                               sim::SimulatedLineHost& builtInLine) {
    return [&executor, &prompter, &builtInLine]() -> std::unique_ptr<Port> {
        auto serial = std::make_unique<PosixSerialPort>(executor, ReportThroughPrompter(prompter));
        return std::make_unique<sim::SimAwarePort>(
            std::move(serial), builtInLine,
            [&prompter](const std::string& text) { prompter.error(text, "Application Error"); });
    };
}

}  // namespace korvane
