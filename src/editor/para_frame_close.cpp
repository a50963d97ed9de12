// The editor's close sequence: a question per modified user group, then one for an offline
// editor's changed values; any of them may keep the editor open.
#include <cstdint>
#include <vector>

#include "common/settings_store.h"
#include "editor/para_frame.h"
#include "editor/para_texts.h"
#include "host/settings.h"
#include "paradb/custom_group.h"
#include "paradb/drive_record.h"
#include "paradb/editor_texts.h"

namespace korvane {

void CParaFrame::Close(Done done) {
    if (closed_) {
        if (done) done(true);
        return;
    }
    // A close already asking goes on; this request ends with it.
    if (closing_) return;
    closing_ = true;
    if (closeReport_) closeReport_();
    closeNextGroup(std::move(done));
}

void CParaFrame::closeNextGroup(Done done) {
    auto abandon = [this, done] {
        closing_ = false;
        if (done) done(false);
    };
    if (groups_.empty()) {
        return askToSaveValues([this, done, abandon](bool goOn) {
            if (!goOn) return abandon();
            finishClose();
            if (done) done(true);
        });
    }
    CloseUserGroup(*groups_.front(), [this, done, abandon](bool closed) {
        if (!closed) return abandon();
        closeNextGroup(done);
    });
}

void CParaFrame::askToSaveValues(Done done) {
    if (IsOnline() || !valuesChanged_) return done(true);
    services_.prompter.askYesNoCancel(kOfflineValuesModifiedText, kParameterEditorCaption,
                                      whileOpen([this, done](Answer answer) {
                                          if (answer == Answer::kCancel) return done(false);
                                          if (answer == Answer::kNo) return done(true);
                                          // Closing would throw away what the user just asked to
                                          // keep.
                                          SaveParameterFile(done);
                                      }));
}

void CParaFrame::finishClose() {
    stopDriveWork();
    closed_ = true;
    closing_ = false;
    list_.SaveColumnWidths();
    recent_.save(services_.settings);
    if (!IsOnline()) Record().reset();
    const std::vector<std::uint8_t> layout = ui_.SavePaneLayout();
    if (!layout.empty())
        services_.settings.setBytes(kSettingsSectionMain, ParaPaneLayoutKey(key_), layout);
}

}  // namespace korvane
