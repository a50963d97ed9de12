// The data-file reader from bytes, for the drive the file names, and then everything the editor
// does with a loaded file's untrusted types, ranges and option lists.
#include <cstddef>
#include <cstdint>
#include <span>

#include "fuzz_check.h"
#include "paradb/archive.h"
#include "paradb/data_file.h"
#include "paradb/drive_record.h"
#include "paradb/value_codec.h"

using namespace korvane;

namespace {

// The series and version a file claims, so that most inputs get past the identity check.
void ReadIdentity(std::span<const std::uint8_t> bytes, DriveRecord& drive) {
    try {
        ArchiveReader r(bytes);
        (void)r.ReadString();
        (void)r.ReadWord();
        (void)r.ReadString();
        drive.seriesCode = r.ReadWord();
        for (int i = 0; i < 4; ++i) (void)r.ReadWord();
        drive.version = static_cast<int>(r.ReadDword());
    } catch (const ArchiveError&) {
    }
}

void UseItem(CItem& item, std::uint32_t raw) {
    (void)FormatValue(item, raw, true);
    (void)FormatMinimum(item);
    (void)FormatMaximum(item);
    (void)FormatDefault(item);
    (void)GetUnitText(item);
    double shown = RawToDisplay(item, raw);
    (void)SignedRawToDisplay(item, raw);
    if (IsInEntryRange(item, shown)) (void)DisplayToRaw(item, shown);
    if (const auto* texts = item.GetOptionTexts(); texts && !texts->empty())
        (void)FindOptionIndex(item, texts->front());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::span<const std::uint8_t> bytes(data, size);
    DriveRecord drive(1);
    ReadIdentity(bytes, drive);
    drive.speedDisplayMode = 1;  // rpm display, so the pole-count paths run too
    drive.motorPoles = 4;

    CDataFile file;
    if (!file.LoadFromBytes(&drive, bytes)) {
        FUZZ_CHECK(file.groups == nullptr && file.status != kDataFileOk);
        return 0;
    }
    file.SetSpeedMode(0, 100);
    std::uint32_t raw = size > 0 ? data[size - 1] * 0x0101u : 0;
    int groups = file.GetGroupCount();
    for (int g = 0; g < groups; ++g) {
        for (int i = 0; i < file.GetGroupItemCount(g); ++i) {
            CItem* item = file.GetItem(g, i);
            FUZZ_CHECK(item != nullptr && file.FindItem(item->address) != nullptr);
            UseItem(*item, raw);
            UseItem(*item, item->defaultValue);
        }
    }
    return 0;
}
