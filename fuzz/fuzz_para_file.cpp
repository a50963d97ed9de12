// A parameter set (".par") from bytes: either it is refused with an archive error or a mismatch,
// or what it holds survives being written and read again unchanged.
#include <cstddef>
#include <cstdint>
#include <span>

#include "fuzz_check.h"
#include "paradb/archive.h"
#include "paradb/para_array.h"

using namespace korvane;

namespace {

// The editor's model and version: those the file names, else a fixed one that mismatches.
CParaArray EditorSet(std::span<const std::uint8_t> bytes, bool matching) {
    if (matching) {
        try {
            ArchiveReader r(bytes);
            (void)r.ReadDword();
            (void)r.ReadString();
            int series = static_cast<int>(r.ReadDword());
            return CParaArray(series, static_cast<int>(r.ReadDword()));
        } catch (const ArchiveError&) {
        }
    }
    return CParaArray(11, 0x0310);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::span<const std::uint8_t> bytes(data, size);
    for (bool matching : {false, true}) {
        CParaArray set = EditorSet(bytes, matching);
        try {
            ArchiveReader r(bytes);
            set.Load(r);
        } catch (const ArchiveError&) {
            continue;
        } catch (const ParaMismatch& e) {
            FUZZ_CHECK(e.what()[0] != '\0');
            continue;
        }
        FUZZ_CHECK(set.addresses.size() == set.values.size());
        ArchiveWriter w;
        set.Store(w);
        CParaArray again(set.seriesCode, set.version);
        ArchiveReader r(w.bytes());
        again.Load(r);
        FUZZ_CHECK(r.atEnd());
        FUZZ_CHECK(again.addresses == set.addresses && again.values == set.values);
    }
    return 0;
}
