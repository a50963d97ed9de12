#include "paradb/para_array.h"

#include <algorithm>

#include "common/format.h"
#include "common/translation.h"
#include "paradb/archive.h"
#include "paradb/data_file.h"
#include "paradb/model_tables.h"

namespace korvane {
namespace {

std::string nameOf(const ModelTexts& texts, int seriesCode) {
    return texts.seriesName ? texts.seriesName(seriesCode) : SeriesName(seriesCode);
}

std::string versionOf(const ModelTexts& texts, int seriesCode, int version) {
    return texts.versionText ? texts.versionText(seriesCode, version)
                             : VersionText(seriesCode, version);
}

}  // namespace

void CParaArray::Add(std::uint32_t address, std::uint32_t value) {
    addresses.push_back(address);
    values.push_back(value);
}

void CParaArray::Store(ArchiveWriter& ar) const {
    ar.WriteDword(kMagic);
    ar.WriteString(kTag);
    ar.WriteDword(static_cast<std::uint32_t>(seriesCode));
    ar.WriteDword(static_cast<std::uint32_t>(version));
    ar.WriteDword(static_cast<std::uint32_t>(addresses.size()));
    for (std::uint32_t a : addresses) ar.WriteDword(a);
    // The arrays grow in step; should they ever not, the file still pairs every address with a
    // value instead of shifting the rest of the file.
    for (std::size_t i = 0; i < addresses.size(); ++i)
        ar.WriteDword(i < values.size() ? values[i] : 0);
}

void CParaArray::Load(ArchiveReader& ar, const ModelTexts& texts) {
    if (ar.ReadDword() != kMagic || ar.ReadString() != kTag) {
        throw ArchiveError(ArchiveError::Kind::kBadIndex, "not a parameter file");
    }
    int fileSeries = static_cast<int>(ar.ReadDword());
    int fileVersion = static_cast<int>(ar.ReadDword());
    if (fileSeries != seriesCode) {
        throw ParaMismatch(strprintf(
            Tr("インバータモデルは異なっていますt\n\nインバータモデル： %s\nファイルモデル : %s"),
            nameOf(texts, seriesCode).c_str(), nameOf(texts, fileSeries).c_str()));
    }
    if (fileVersion != version) {
        throw ParaMismatch(
            strprintf(Tr("インバータバージョンは異なっていますt\n\nインバータバージョン : "
                         "%s\nFileバージョン: %s"),
                      versionOf(texts, seriesCode, version).c_str(),
                      versionOf(texts, fileSeries, fileVersion).c_str()));
    }
    std::uint32_t n = ar.ReadDword();
    ar.RequireRecords(n, 2 * sizeof(std::uint32_t));
    // Read here, then copied into the editor's set: twice what the file holds.
    ar.ChargeMemory(n, 4 * sizeof(std::uint32_t));
    addresses.reserve(addresses.size() + n);
    values.reserve(values.size() + n);
    for (std::uint32_t i = 0; i < n; ++i) addresses.push_back(ar.ReadDword());
    for (std::uint32_t i = 0; i < n; ++i) values.push_back(ar.ReadDword());
}

CParaArray BuildParaArray(const CDataFile& dataFile) {
    CParaArray set(dataFile.seriesCode, dataFile.version);
    if (dataFile.groups) {
        for (const CGroup& g : dataFile.groups->elements) {
            for (const CItem& item : g.items) set.Add(item.address, item.value);
        }
    }
    return set;
}

int ApplyParaArray(CDataFile& dataFile, const CParaArray& set) {
    // A file's arrays are only as long as the writer made them; never read past the shorter.
    const std::size_t n = std::min(set.addresses.size(), set.values.size());
    int taken = 0;
    for (std::size_t i = 0; i < n; ++i) {
        if (set.addresses[i] > 0xFFFF) continue;  // would alias a real address if truncated
        CItem* item = dataFile.FindItem(static_cast<std::uint16_t>(set.addresses[i]));
        if (item == nullptr) continue;
        item->value = set.values[i];
        item->readState = 1;
        ++taken;
    }
    return taken;
}

FileReadResult ReadParaFile(const std::string& path, CParaArray& set, const ModelTexts& texts) {
    const FileReadResult failed{FileReadOutcome::kFailed, Tr(kParaFileOpenFailedText), {}};
    std::vector<std::uint8_t> bytes;
    if (!ReadWholeFile(path, bytes)) return failed;
    CParaArray read(set.seriesCode, set.version);
    try {
        ArchiveReader ar(bytes);
        read.Load(ar, texts);
    } catch (const ParaMismatch& e) {
        return {FileReadOutcome::kMismatch, e.what(), {}};
    } catch (const ArchiveError& e) {
        return {FileReadOutcome::kFailed, Tr(kParaFileOpenFailedText), ArchiveErrorText(e, path)};
    }
    set.addresses.insert(set.addresses.end(), read.addresses.begin(), read.addresses.end());
    set.values.insert(set.values.end(), read.values.begin(), read.values.end());
    return {};
}

bool ParaFileHoldsAnyOf(const std::string& path, int seriesCode, int version,
                        const std::vector<std::uint32_t>& addresses) {
    std::vector<std::uint8_t> bytes;
    if (addresses.empty() || !ReadWholeFile(path, bytes)) return false;
    CParaArray held(seriesCode, version);
    try {
        ArchiveReader ar(bytes);
        held.Load(ar);
    } catch (const std::exception&) {
        return false;
    }
    std::vector<std::uint32_t> sorted = held.addresses;
    std::sort(sorted.begin(), sorted.end());
    return std::any_of(addresses.begin(), addresses.end(), [&](std::uint32_t a) {
        return std::binary_search(sorted.begin(), sorted.end(), a);
    });
}

bool SaveParaFile(const std::string& path, const CParaArray& set, std::string* error) {
    ArchiveWriter ar;
    set.Store(ar);
    return SafeSaveFile(path, ar.bytes(), error);
}

}  // namespace korvane
