#pragma once
// The ports the program opens for its drive link. Port failures reach the user as error boxes.
#include "comm/port.h"

namespace korvane {

class Executor;
class Prompter;

PortFactory MakeAppPortFactory(Executor& executor, Prompter& prompter);

}  // namespace korvane
