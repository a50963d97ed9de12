#include "editor/transfer_working_set.h"

#include <algorithm>

#include "common/prompter.h"
#include "common/translation.h"
#include "editor/transfer_run.h"
#include "paradb/data_file.h"
#include "paradb/editor_texts.h"
#include "paradb/para_array.h"
#include "paradb/user_group.h"

namespace korvane {
namespace {

TransferWorkingSet FromDataFile(const CDataFile& dataFile) {
    TransferWorkingSet set;
    const CParaArray values = BuildParaArray(dataFile);
    for (std::size_t i = 0; i < values.addresses.size(); ++i)
        set.entries.push_back({values.addresses[i], values.values[i]});
    return set;
}

std::optional<TransferWorkingSet> FromParaFile(const WorkingSetSource& source, Prompter& prompter) {
    CParaArray values(source.seriesCode, source.version);
    const FileReadResult read = ReadParaFile(source.path, values);
    if (!read.ok()) {
        prompter.error(read.text, kParameterEditorCaption);
        return std::nullopt;
    }
    TransferWorkingSet set;
    const std::size_t n = std::min(values.addresses.size(), values.values.size());
    for (std::size_t i = 0; i < n; ++i)
        set.entries.push_back({values.addresses[i], values.values[i]});
    return set;
}

TransferWorkingSet Adopt(const WorkingSetSource& source, std::unique_ptr<UserGroup> group) {
    // Entries the data file does not know are passed over but kept: an upload stores the group
    // back whole, and binding would drop them.
    TransferWorkingSet set;
    group->dataFile = source.dataFile;
    group->path = source.path;
    group->title = UserGroupTitle(source.path);
    for (auto& e : group->entries) {
        e->dataFile = source.dataFile;
        e->custom = group.get();
        set.entries.push_back({e->address, e->value});
    }
    set.group = std::move(group);
    return set;
}

void FromUserGroup(const WorkingSetSource& source, Prompter& prompter,
                   const WorkingSetQuestion& ask, const WorkingSetBuilt& built) {
    auto group = std::make_unique<UserGroup>();
    const FileReadResult read = ReadUserGroupFile(source.path, *group);
    if (!read.ok()) {
        prompter.error(read.text, kParameterEditorCaption);
        return built(std::nullopt);
    }
    if (group->seriesCode != source.seriesCode) {
        prompter.error(Tr(kUserGroupSeriesMismatchText), kParameterEditorCaption);
        return built(std::nullopt);
    }
    if (group->version == source.version) return built(Adopt(source, std::move(group)));
    auto held = std::make_shared<std::unique_ptr<UserGroup>>(std::move(group));
    ask(Tr(kUserGroupVersionQuestion), [source, held, built](bool goOn) {
        if (!goOn) return built(std::nullopt);
        built(Adopt(source, std::move(*held)));
    });
}

}  // namespace

TransferWorkingSet::TransferWorkingSet() = default;
TransferWorkingSet::TransferWorkingSet(TransferWorkingSet&&) noexcept = default;
TransferWorkingSet& TransferWorkingSet::operator=(TransferWorkingSet&&) noexcept = default;
TransferWorkingSet::~TransferWorkingSet() = default;

void BuildWorkingSet(const WorkingSetSource& source, Prompter& prompter,
                     const WorkingSetQuestion& ask, WorkingSetBuilt built) {
    if (source.kind == TransferFileKind::kUserGroup)
        return FromUserGroup(source, prompter, ask, built);
    if (source.mode == TransferMode::kUpload) return built(FromDataFile(*source.dataFile));
    built(FromParaFile(source, prompter));
}

}  // namespace korvane
