// A scope file (".sco") from bytes: refused whole, or read into a chart that is written back and
// read again unchanged, with every time stamp shown as a date.
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "fuzz_check.h"
#include "scope/sco_file.h"

using namespace korvane::scope;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    ScoFile file;
    if (!DecodeSco(std::span<const std::uint8_t>(data, size), file)) return 0;
    for (const auto& channel : file.y) FUZZ_CHECK(channel.size() == file.stamps.size());
    std::vector<std::uint8_t> written = EncodeSco(file);
    ScoFile again;
    FUZZ_CHECK(DecodeSco(written, again));
    // Compared as bytes: a gap is stored as NaN, which never equals itself as a value.
    FUZZ_CHECK(EncodeSco(again) == written);
    // Only a few stamps: the text of each is what a listing of the file prints.
    for (std::size_t i = 0; i < file.stamps.size() && i < 4; ++i)
        (void)IsoLocalText(file.stamps[i]);
    return 0;
}
