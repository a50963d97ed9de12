#include "editor/editor_context.h"

#include "common/file_path.h"
#include "common/format.h"
#include "common/settings_store.h"
#include "common/translation.h"
#include "editor/para_texts.h"
#include "host/settings.h"
#include "paradb/data_file.h"
#include "paradb/drive_record.h"
#include "paradb/editor_texts.h"

namespace korvane {

EditorContext::EditorContext(ToolServices& services, int key, ParaEditorUi& ui,
                             std::shared_ptr<CDataFile> dataFile)
    : services(services),
      key(key),
      ui(ui),
      data(std::move(dataFile)),
      tree(*data),
      list(*data, history, services.settings, key) {}

DriveRecord& EditorContext::Record() const {
    return services.records[key];
}

bool EditorContext::GraphWatch() const {
    return services.host.graphWatchActive();
}

bool EditorContext::Loaded() const {
    return data && data->loaded != 0;
}

std::string EditorContext::DirSetting(const char* settingKey) const {
    return services.settings.getString(kSettingsSectionMain, settingKey, "");
}

void EditorContext::RememberDir(const char* settingKey, const std::string& path) const {
    services.settings.setString(kSettingsSectionMain, settingKey,
                                Utf8FromPath(PathFromUtf8(path).parent_path()));
}

void EditorContext::ChooseSavePath(const FileDialogRequest& request,
                                   ParaEditorUi::PathChosen chosen) {
    ui.ChooseSaveFile(request, WhileOpen([this, chosen](std::optional<std::string> path) {
                          if (!path || !PathExists(*path)) return chosen(path);
                          services.prompter.ask(strprintf(Tr(kOverwriteFormat), path->c_str()),
                                                kParameterEditorCaption,
                                                WhileOpen([chosen, path](bool overwrite) {
                                                    chosen(overwrite ? path : std::nullopt);
                                                }));
                      }));
}

}  // namespace korvane
