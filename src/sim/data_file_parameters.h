#pragma once
// The bridge from a loaded drive data file to a simulated drive's parameter area, so a
// simulated drive refuses exactly what the real one would: unknown addresses, read-only
// parameters and values outside their range.
#include <string>
#include <vector>

#include "sim/sim_drive.h"

namespace korvane {
class CDataFile;
}

namespace korvane::sim {

// One rule per item of every group; the first item wins where an address appears twice.
std::vector<ParameterRule> ParametersFromDataFile(const CDataFile& file);

// Gives the drive the parameters of the data file for its series and version under `dataDir`.
// False, with the drive left as it was, when there is no such file or it does not load.
[[nodiscard]] bool ApplyDataFile(SimDrive& drive, const std::string& dataDir);

}  // namespace korvane::sim
