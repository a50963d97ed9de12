// The alarm-history file from bytes: refused, or read into at most 200 rows that the program
// writes back and reads again unchanged.
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "fuzz_check.h"
#include "monitor/alarm_history.h"

using namespace korvane;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::vector<HistoryEntry> entries;
    constexpr std::size_t kLimit = 200;
    if (!ParseHistory(std::span<const std::uint8_t>(data, size), entries, kLimit)) {
        FUZZ_CHECK(entries.empty());
        return 0;
    }
    FUZZ_CHECK(entries.size() <= kLimit);
    std::vector<std::uint8_t> written = SerializeHistory(entries);
    std::vector<HistoryEntry> again;
    FUZZ_CHECK(ParseHistory(written, again, kLimit));
    FUZZ_CHECK(again == entries);
    return 0;
}
