#include "paradb/data_file_writer.h"

#include "paradb/archive.h"

namespace korvane {
namespace {

void writeListCount(ArchiveWriter& w, std::size_t n) {
    w.WriteDword(static_cast<std::uint32_t>(n));
}

void writeItem(ArchiveWriter& w, const DataFileImage::Item& item) {
    w.WriteWord(item.address);
    w.WriteDword(item.placeholder);
    w.WriteDword(item.writable);
    w.WriteDword(item.runWritable);
    w.WriteLong(item.minimum);
    w.WriteLong(item.maximum);
    w.WriteDword(item.defaultValue);
    w.WriteString(item.name);
    w.WriteString(item.typeName);
    w.WriteString(item.optionListName);
    for (int i = 0; i < 3; ++i) w.WriteString("");
}

}  // namespace

std::vector<std::uint8_t> WriteDataFile(const DataFileImage& image) {
    ArchiveWriter w;
    w.WriteString(image.signature);
    w.WriteWord(image.format);
    w.WriteString(image.title);
    w.WriteWord(image.series);
    for (std::uint16_t word : image.headerWords) w.WriteWord(word);
    w.WriteDword(image.version);

    writeListCount(w, image.types.size());
    for (const auto& t : image.types) {
        w.WriteString(t.name);
        w.WriteString("");
        w.WriteString("");
        w.WriteString(t.unit);
        w.WriteDword(t.numerator);
        w.WriteDword(t.denominator);
        w.WriteByte(t.flags);
    }
    writeListCount(w, image.optionLists.size());
    for (const auto& list : image.optionLists) {
        w.WriteString(list.name);
        w.WriteDword(static_cast<std::uint32_t>(list.texts.size()));
        for (const auto& text : list.texts) w.WriteString(text);
    }
    writeListCount(w, image.groups.size());
    for (const auto& g : image.groups) {
        w.WriteString(g.name);
        writeListCount(w, g.items.size());
        for (const auto& item : g.items) writeItem(w, item);
    }
    return w.take();
}

}  // namespace korvane
