#include "editor/editor_context.h"

#include <filesystem>

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
                                std::filesystem::path(path).parent_path().string());
}

void EditorContext::ChooseSavePath(const FileDialogRequest& request,
                                   ParaEditorUi::PathChosen chosen) {
    ui.ChooseSaveFile(request, WhileOpen([this, chosen](std::optional<std::string> path) {
                          std::error_code ec;
                          if (!path || !std::filesystem::exists(*path, ec)) return chosen(path);
                          services.prompter.ask(strprintf(Tr(kOverwriteFormat), path->c_str()),
                                                kParameterEditorCaption,
                                                WhileOpen([chosen, path](bool overwrite) {
                                                    chosen(overwrite ? path : std::nullopt);
                                                }));
                      }));
}

}  // namespace korvane
