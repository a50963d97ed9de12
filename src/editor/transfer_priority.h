#pragma once
// Addresses a download treats apart, per drive series. The leading ones are written before
// everything else (they change what the drive accepts for other parameters); the excluded ones
// are never written by a download (auto-tuning, initialisation, the trip history).
#include <cstdint>
#include <span>

namespace korvane {

struct PriorityTable {
    std::span<const std::uint16_t> leading;
    std::span<const std::uint16_t> excluded;

    bool lists(std::uint32_t address) const;
};

// Empty for a series without a table.
PriorityTable PriorityTableFor(int seriesCode);

}  // namespace korvane
