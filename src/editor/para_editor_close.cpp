// The editor's close sequence: a question per modified user group, then one for an offline
// editor's changed values; any of them may keep the editor open.
#include <cstdint>
#include <vector>

#include "common/settings_store.h"
#include "common/translation.h"
#include "editor/para_editor.h"
#include "editor/para_texts.h"
#include "host/settings.h"
#include "paradb/drive_record.h"
#include "paradb/editor_texts.h"
#include "paradb/user_group.h"

namespace korvane {

void ParaEditor::Close(Done done) {
    if (context_.closed) {
        if (done) done(true);
        return;
    }
    // A close already asking goes on; this request ends with it.
    if (closing_) return;
    closing_ = true;
    context_.events.closing();
    closeNextGroup(std::move(done));
}

void ParaEditor::closeNextGroup(Done done) {
    auto abandon = [this, done] {
        closing_ = false;
        if (done) done(false);
    };
    if (groups_->All().empty()) {
        return askToSaveValues([this, done, abandon](bool goOn) {
            if (!goOn) return abandon();
            finishClose();
            if (done) done(true);
        });
    }
    groups_->CloseUserGroup(*groups_->All().front(), [this, done, abandon](bool closed) {
        if (!closed) return abandon();
        closeNextGroup(done);
    });
}

void ParaEditor::askToSaveValues(Done done) {
    if (IsOnline() || !files_->ValuesChanged()) return done(true);
    context_.services.prompter.askYesNoCancel(Tr(kOfflineValuesModifiedText),
                                              kParameterEditorCaption,
                                              context_.WhileOpen([this, done](Answer answer) {
                                                  if (answer == Answer::kCancel) return done(false);
                                                  if (answer == Answer::kNo) return done(true);
                                                  // Closing would throw away what the user just
                                                  // asked to keep.
                                                  files_->SaveParameterFile(done);
                                              }));
}

void ParaEditor::finishClose() {
    stopDriveWork();
    context_.closed = true;
    closing_ = false;
    context_.list.SaveColumnWidths();
    groups_->SaveRecent();
    if (!IsOnline()) Record().reset();
    const std::vector<std::uint8_t> layout = context_.ui.SavePaneLayout();
    if (!layout.empty())
        context_.services.settings.setBytes(kSettingsSectionMain, ParaPaneLayoutKey(Key()), layout);
}

}  // namespace korvane
