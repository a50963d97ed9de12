// A user group (".usr") from bytes: refused with an archive error, or read, written and read
// again unchanged, and bound to a data file keeping only the parameters it has.
#include <cstddef>
#include <cstdint>
#include <span>

#include "fuzz_check.h"
#include "paradb/archive.h"
#include "paradb/data_file.h"
#include "paradb/data_file_writer.h"
#include "paradb/drive_record.h"
#include "paradb/user_group.h"

using namespace korvane;

namespace {

// A small data file with parameters at the addresses seed files use.
CDataFile& SmallDataFile() {
    static DriveRecord drive(1);
    static CDataFile file;
    if (!file.loaded) {
        DataFileImage image;
        image.types.push_back({"DEC0", "", 1, 1, 0});
        DataFileImage::Group group{"G", {}};
        for (std::uint16_t a : {0x0001, 0x0010, 0x0100, 0x1000, 0xFFFF})
            group.items.push_back({a, 0, 1, 0, 0, 100, 0, "P", "DEC0", ""});
        image.groups.push_back(group);
        FUZZ_CHECK(file.LoadFromBytes(&drive, WriteDataFile(image)));
    }
    return file;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    UserGroup group;
    try {
        ArchiveReader r(std::span<const std::uint8_t>(data, size));
        group.Load(r);
    } catch (const ArchiveError&) {
        return 0;
    }
    ArchiveWriter w;
    group.Store(w);
    UserGroup again;
    ArchiveReader r(w.bytes());
    again.Load(r);
    FUZZ_CHECK(r.atEnd());
    FUZZ_CHECK(again.seriesCode == group.seriesCode && again.version == group.version);
    FUZZ_CHECK(again.entries.size() == group.entries.size());
    for (std::size_t i = 0; i < group.entries.size(); ++i) {
        FUZZ_CHECK(again.entries[i]->address == group.entries[i]->address);
        FUZZ_CHECK(again.entries[i]->value == group.entries[i]->value);
    }

    CDataFile& file = SmallDataFile();
    group.Bind(file);
    for (const auto& e : group.entries) {
        FUZZ_CHECK(e->address <= 0xFFFF);
        FUZZ_CHECK(file.FindItem(static_cast<std::uint16_t>(e->address)) != nullptr);
        FUZZ_CHECK(e->dataFile == &file && e->custom == &group);
    }
    return 0;
}
