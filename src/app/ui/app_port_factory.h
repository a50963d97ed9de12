#pragma once
// The ports the program opens for its drive link: real serial ports, and "SIM", the built-in
// simulated line. Port failures reach the user as error boxes.
#include <memory>
#include <string>

#include "comm/port.h"
#include "sim/sim_port.h"

namespace korvane {

class Executor;
class MainController;
class PortErrorGate;

// The built-in line follows the controller's comm mode each time the link opens it.
// Its drives take their parameters from the data files in `dataDir`.
std::unique_ptr<sim::SimulatedLineHost> MakeBuiltInLine(const MainController* const& controller,
                                                        const std::string& dataDir);

PortFactory MakeAppPortFactory(Executor& executor, PortErrorGate& errors,
                               sim::SimulatedLineHost& builtInLine);

}  // namespace korvane
