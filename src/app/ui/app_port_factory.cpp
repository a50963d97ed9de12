#include "app/ui/app_port_factory.h"

#include "app/main_controller.h"
#include "app/port_error_gate.h"
#include "comm/network_port.h"
#include "comm/serial_port.h"

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

PortFactory MakeAppPortFactory(Executor& executor, PortErrorGate& errors,
                               sim::SimulatedLineHost& builtInLine) {
    return [&executor, &errors, &builtInLine]() -> std::unique_ptr<Port> {
        PortErrorReport report = [&errors](const std::string& text, const std::string& caption) {
            errors.report(text, caption);
        };
        auto serial =
            std::make_unique<NetworkAwarePort>(executor, report, MakeSerialPort(executor, report));
        return std::make_unique<sim::SimAwarePort>(
            std::move(serial), builtInLine,
            [&errors](const std::string& text) { errors.report(text, "Application Error"); });
    };
}

}  // namespace korvane
