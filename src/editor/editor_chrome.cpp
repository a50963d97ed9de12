#include "editor/editor_chrome.h"

#include "common/format.h"
#include "common/settings_store.h"
#include "common/translation.h"
#include "editor/para_file_commands.h"
#include "editor/para_texts.h"
#include "host/settings.h"
#include "paradb/data_file.h"
#include "paradb/drive_record.h"
#include "paradb/drive_value_text.h"
#include "paradb/value_codec.h"

namespace korvane {

std::string EditorChrome::Title() const {
    const DriveRecord& record = context_.services.records[context_.key];
    const std::string series = FormatDriveValue(record, 0x0000, 0);
    const std::string version = FormatDriveValue(record, 0x0003, 0);
    if (!context_.IsOnline()) {
        return strprintf("OFF-LINE(%s, Ver%s) %s", series.c_str(), version.c_str(),
                         kParaEditorTitleSuffix);
    }
    const std::string name = context_.services.settings.getString(
        kSettingsSectionInvName, strprintf("Inv Name%d", context_.key), "");
    if (!name.empty()) {
        return strprintf("ON-LINE(%d:%s - %s, Ver%s) %s", context_.key, series.c_str(),
                         name.c_str(), version.c_str(), kParaEditorTitleSuffix);
    }
    return strprintf("ON-LINE(%d:%s, Ver%s) %s", context_.key, series.c_str(), version.c_str(),
                     kParaEditorTitleSuffix);
}

std::vector<ParaStatusPane> EditorChrome::Panes() const {
    const DriveRecord& record = context_.services.records[context_.key];
    constexpr Rgb kRed{255, 0, 0};
    constexpr Rgb kBlue{0, 0, 255};
    constexpr Rgb kFileValuesPaneColour{176, 96, 0};
    std::vector<ParaStatusPane> panes;
    panes.push_back(
        {100, Tr(kGraphWatchPaneText), context_.GraphWatch() ? Tr(kGraphWatchPaneText) : "", kRed});
    panes.push_back({70, Tr("オンラインモード"),
                     context_.IsOnline() ? kOnlinePaneText : kOfflinePaneText, kBlue});
    panes.push_back({60, Tr("インバータモデル"), FormatDriveValue(record, 0x0000, 0), {}});
    panes.push_back(
        {80, Tr("インバータバージョン"), "Ver : " + FormatDriveValue(record, 0x0003, 0), {}});
    panes.push_back(
        {80, Tr("パラメータモード"), FrequencyModeText(context_.data->frequencyMode), {}});
    panes.push_back({100, "TIME 1", Time1ModeText(context_.data->time1Divisor), {}});
    panes.push_back(
        {180,
         Tr("パラメータ量"),
         strprintf(Tr(kParameterCountFormat), static_cast<int>(context_.list.RowCount())),
         {}});
    panes.push_back({90, Tr(kFileValuesPaneText),
                     files_.ShowsFileValues() ? Tr(kFileValuesPaneText) : "",
                     kFileValuesPaneColour});
    return panes;
}

}  // namespace korvane
