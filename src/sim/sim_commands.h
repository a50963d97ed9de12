#pragma once
// The simulator's small command language, shared by korvane-sim's options and the commands it
// reads on standard input while serving ("drop 10", "silent 3", "trip 2", "clear").
#include <optional>
#include <string>

#include "sim/sim_engine.h"

namespace korvane::sim {

// "STATION:SERIES:VERSION:CAPACITY:VOLTAGE", numbers decimal or 0x-hex; the last three may be
// left out (version 0x0100, capacity 3, voltage code 1).
std::optional<DriveIdentity> ParseDriveSpec(const std::string& text);

// A whole-string number, decimal or 0x-hex, within [low, high].
std::optional<long> ParseNumber(const std::string& text, long low, long high);

// Applies one command line to the engine. Returns false with `message` set when the line is
// not understood; on success `message` says what changed.
[[nodiscard]] bool ApplySimCommand(SimEngine& engine, const std::string& line, std::string& message);

// The commands ApplySimCommand understands, for usage texts.
const char* SimCommandHelp();

}  // namespace korvane::sim
