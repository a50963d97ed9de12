#include "editor/para_file_commands.h"

#include <algorithm>

#include "common/translation.h"
#include "editor/para_texts.h"
#include "editor/text_export.h"
#include "paradb/data_file.h"
#include "paradb/editor_texts.h"
#include "paradb/para_array.h"

namespace korvane {
namespace {

FileDialogRequest ParaFileRequest(const std::string& title, const std::string& startDir) {
    return {"par", Tr(kParaFileFilter), title, startDir, {}, false};
}

}  // namespace

ParaFileCommands::ParaFileCommands(EditorContext& context, ReadAllGroups readAll)
    : context_(context), readAll_(std::move(readAll)) {}

void ParaFileCommands::SaveParameterFile(Done done) {
    context_.ChooseSavePath(
        ParaFileRequest(Tr(kParaFileSaveTitle), context_.DirSetting(kParaFileDirKey)),
        [this, done](std::optional<std::string> path) {
            if (!path) {
                if (done) done(false);
                return;
            }
            saveTo(*path, done);
        });
}

void ParaFileCommands::saveTo(const std::string& path, const Done& done) {
    context_.ui.SetWaitCursor(true);
    // The data file carries the drive's series and version: the record may have been reset by
    // a disconnection while the editor was still open.
    const bool saved = SaveParaFile(path, BuildParaArray(*context_.data));
    context_.ui.SetWaitCursor(false);
    Prompter& prompter = context_.services.prompter;
    if (!saved) {
        prompter.error(Tr(kParaFileSaveFailedText), kParameterEditorCaption);
    } else {
        valuesChanged_ = false;
        prompter.info(Tr(kParaFileSavedText), kParameterEditorCaption);
        context_.RememberDir(kParaFileDirKey, path);
    }
    if (done) done(saved);
}

void ParaFileCommands::ReadParameterFile(Done done) {
    context_.ui.ChooseOpenFile(
        ParaFileRequest(Tr(kParaFileOpenTitle), context_.DirSetting(kParaFileDirKey)),
        context_.WhileOpen([this, done](std::optional<std::string> path) {
            if (!path) {
                if (done) done(false);
                return;
            }
            readFrom(*path, done);
        }));
}

void ParaFileCommands::readFrom(const std::string& path, const Done& done) {
    CDataFile& data = *context_.data;
    CParaArray set(data.seriesCode, data.version);
    const FileReadResult read = ReadParaFile(path, set);
    if (!read.ok()) {
        context_.services.prompter.error(read.text, kParameterEditorCaption);
        if (done) done(false);
        return;
    }
    context_.RememberDir(kParaFileDirKey, path);
    (void)ApplyParaArray(data, set);
    if (context_.IsOnline()) markFileValues(set);
    context_.list.RefreshValues();
    context_.services.prompter.info(Tr(kParaFileReadText), kParameterEditorCaption);
    if (done) done(true);
}

void ParaFileCommands::markFileValues(const CParaArray& set) {
    const std::size_t n = std::min(set.addresses.size(), set.values.size());
    for (std::size_t i = 0; i < n; ++i) {
        if (set.addresses[i] > 0xFFFF) continue;
        if (CItem* item = context_.data->FindItem(static_cast<std::uint16_t>(set.addresses[i])))
            item->fromFile = true;
    }
}

bool ParaFileCommands::ShowsFileValues() const {
    if (!context_.IsOnline() || !context_.data->groups) return false;
    for (const CGroup& group : context_.data->groups->elements)
        for (const CItem& item : group.items)
            if (item.fromFile) return true;
    return false;
}

void ParaFileCommands::SaveTextFile(Done done) {
    FileDialogRequest request{"txt",
                              Tr(kParaTextFilter),
                              Tr(kParaTextSaveTitle),
                              context_.DirSetting(kParaTextFileDirKey),
                              {},
                              true};
    context_.ui.ChooseSaveFile(
        request, context_.WhileOpen([this, done](std::optional<std::string> path) {
            if (done) done(path.has_value());
            if (!path) return;
            // Fresh values first: the file is written once the read of all groups has ended.
            const std::string target = *path;
            const bool reading = context_.IsOnline() && readAll_ &&
                                 readAll_([this, target] { pendingExport_ = target; },
                                          [this] {
                                              if (!pendingExport_) return;
                                              const std::string pending = *pendingExport_;
                                              pendingExport_.reset();
                                              exportTo(pending);
                                          });
            if (!reading) exportTo(target);
        }));
}

void ParaFileCommands::exportTo(const std::string& path) {
    if (context_.closed) return;
    context_.ui.SetWaitCursor(true);
    const bool saved = SaveParameterText(path, *context_.data, context_.Record());
    context_.ui.SetWaitCursor(false);
    Prompter& prompter = context_.services.prompter;
    if (!saved) {
        prompter.error(Tr(kTextExportFailedText), kParameterEditorCaption);
        return;
    }
    prompter.info(Tr(kTextExportDoneText), kParameterEditorCaption);
    context_.RememberDir(kParaTextFileDirKey, path);
}

}  // namespace korvane
