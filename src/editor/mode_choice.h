#pragma once
// The dialog that sets up an editor: frequency or rpm display, the TIME1 scale and, for a new
// offline editor, the drive model and version whose data file it edits. The widget shows these
// fields and forwards clicks; on OK for a new offline editor this loads the data file into the
// editor's record.
#include <string>
#include <vector>

#include "host/tool_services.h"
#include "paradb/data_catalogue.h"

namespace korvane {

struct DriveRecord;

class ModeChoice {
public:
    enum class Use {
        kOnline,         // opening an editor on a connected drive
        kOffline,        // opening a new offline editor: chooses model and version
        kParameterMode,  // the Parameter mode command of an open editor
    };

    // `catalogue` lists the versions on disk; needed for kOffline only.
    ModeChoice(ToolServices& services, int key, Use use,
               const VersionCatalogue* catalogue = nullptr);

    const std::string& Title() const { return title_; }
    bool FreqModeChecked() const { return freqMode_; }
    void SetFreqModeChecked(bool checked) { freqMode_ = checked; }
    int Time1Index() const { return time1Index_; }
    void SetTime1Index(int index);

    const std::vector<SeriesChoice>& Models() const { return models_; }
    int ModelIndex() const { return modelIndex_; }
    void SelectModel(int index);
    const std::vector<VersionChoice>& Versions() const { return versions_; }
    int VersionIndex() const { return versionIndex_; }
    void SelectVersion(int index);

    const std::string& StatusText() const { return status_; }
    bool StatusIsError() const { return statusError_; }
    bool ModelEnabled() const { return modelEnabled_; }
    bool VersionEnabled() const { return versionEnabled_; }
    bool Time1Enabled() const { return time1Enabled_; }
    bool OkEnabled() const { return okEnabled_; }

    // True when the dialog closes. A new offline editor's data file is loaded here; a failure
    // is shown in the status line and the dialog stays.
    bool Ok();
    // Stores the choices; call once whenever the dialog closes, by OK or not.
    void Close();

    int FrequencyMode() const { return freqMode_ ? 1 : 0; }
    int Time1Divisor() const;

private:
    void initFromSettings();
    void initOnline(const DriveRecord& record);
    void initOffline();
    void showDataFileState(const DriveRecord& record);
    void fillVersions(int seriesCode);
    void selectRecordModel(const DriveRecord& record);
    void setStatus(std::string text, bool error);

    ToolServices services_;
    int key_;
    Use use_;
    const VersionCatalogue* catalogue_;
    std::string title_;
    bool freqMode_ = true;
    int time1Index_ = 1;
    std::vector<SeriesChoice> models_;
    int modelIndex_ = -1;
    std::vector<VersionChoice> versions_;
    int versionIndex_ = -1;
    int settingModel_ = 10;
    int settingVersion_ = 0;
    std::string status_;
    bool statusError_ = false;
    bool modelEnabled_ = true;
    bool versionEnabled_ = true;
    bool time1Enabled_ = true;
    bool okEnabled_ = true;
};

// The TIME1 list index for a drive's time scale, and the divisor of a list index.
int Time1IndexForScale(int timeScale);
int Time1DivisorForIndex(int index);

}  // namespace korvane
