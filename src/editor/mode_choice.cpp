#include "editor/mode_choice.h"

#include <algorithm>
#include <memory>

#include "common/format.h"
#include "common/settings_store.h"
#include "common/translation.h"
#include "editor/para_texts.h"
#include "host/settings.h"
#include "paradb/data_file.h"
#include "paradb/drive_record.h"
#include "paradb/model_tables.h"

namespace korvane {
namespace {

constexpr const char* kModeKey = "Para Mode";
constexpr const char* kTime1Key = "Para TIME1";
constexpr const char* kModelKey = "Para Model";
constexpr const char* kVersionKey = "Para Version";
constexpr int kDefaultModel = 10;

}  // namespace

int Time1IndexForScale(int timeScale) {
    if (timeScale == 1) return 2;
    if (timeScale == 100) return 0;
    return 1;
}

int Time1DivisorForIndex(int index) {
    switch (index) {
        case 0:
            return 100;
        case 2:
            return 1;
        default:
            return 10;
    }
}

ModeChoice::ModeChoice(ToolServices& services, int key, Use use, const VersionCatalogue* catalogue)
    : services_(services), key_(key), use_(use), catalogue_(catalogue), models_(SeriesChoices()) {
    initFromSettings();
    const DriveRecord& record = services_.records[key_];
    // The Parameter mode command starts from what the editor shows now.
    if (use_ == Use::kParameterMode && record.driveData && record.driveData->loaded) {
        const CDataFile& data = *record.driveData;
        freqMode_ = data.frequencyMode != 0;
        time1Index_ = Time1IndexForScale(record.isOnline() ? record.timeScale : data.time1Divisor);
    }
    if (record.isOnline() && record.isConnected())
        time1Index_ = Time1IndexForScale(record.timeScale);
    if (use_ == Use::kOffline) {
        initOffline();
    } else {
        initOnline(record);
    }
}

void ModeChoice::initFromSettings() {
    const SettingsStore& s = services_.settings;
    freqMode_ = s.getInt(kSettingsSectionMain, kModeKey, 1) != 0;
    time1Index_ = s.getInt(kSettingsSectionMain, kTime1Key, 1);
    if (time1Index_ < 0 || time1Index_ >= 3) time1Index_ = 1;
    settingModel_ = s.getInt(kSettingsSectionMain, kModelKey, kDefaultModel);
    const auto& codes = kDataFileSeriesCodes;
    if (std::find(codes.begin(), codes.end(), settingModel_) == codes.end())
        settingModel_ = kDefaultModel;
    settingVersion_ = s.getInt(kSettingsSectionMain, kVersionKey, 0);
}

void ModeChoice::initOnline(const DriveRecord& record) {
    if (record.isOnline()) {
        const std::string name = services_.settings.getString(
            kSettingsSectionInvName, strprintf("Inv Name%d", record.station), "");
        title_ = name.empty() ? std::string("ON LINE - ") + Tr(kModeDialogTitle)
                              : strprintf("ON LINE(%s) - %s", name.c_str(), Tr(kModeDialogTitle));
        time1Enabled_ = false;
    } else {
        title_ = std::string("OFF LINE - ") + Tr(kModeDialogTitle);
    }
    modelEnabled_ = false;
    versionEnabled_ = false;
    selectRecordModel(record);
    showDataFileState(record);
}

void ModeChoice::selectRecordModel(const DriveRecord& record) {
    modelIndex_ = -1;
    for (std::size_t i = 0; i < models_.size(); ++i) {
        if (models_[i].seriesCode == record.seriesCode) modelIndex_ = static_cast<int>(i);
    }
    versions_.clear();
    if (catalogue_) versions_ = VersionChoices(*catalogue_, record.seriesCode);
    versionIndex_ = -1;
    for (std::size_t i = 0; i < versions_.size(); ++i) {
        if (versions_[i].version == record.version) versionIndex_ = static_cast<int>(i);
    }
    // The drive's version is shown even when no catalogue lists it.
    if (versionIndex_ < 0) {
        versions_.push_back({VersionText(record.seriesCode, record.version),
                             static_cast<std::uint16_t>(record.version)});
        versionIndex_ = static_cast<int>(versions_.size()) - 1;
    }
}

void ModeChoice::showDataFileState(const DriveRecord& record) {
    if (!record.driveData) {
        setStatus(Tr(kNoDataObjectText), true);
        okEnabled_ = false;
    } else if (!record.driveData->loaded) {
        setStatus(record.driveData->GetStatusText(), true);
        okEnabled_ = false;
    }
}

void ModeChoice::initOffline() {
    title_ = std::string("OFF LINE - ") + Tr(kModeDialogTitle);
    int index = 0;
    for (std::size_t i = 0; i < models_.size(); ++i) {
        if (models_[i].seriesCode == settingModel_) index = static_cast<int>(i);
    }
    SelectModel(index);
    for (std::size_t i = 0; i < versions_.size(); ++i) {
        if (versions_[i].version == settingVersion_) versionIndex_ = static_cast<int>(i);
    }
}

void ModeChoice::fillVersions(int seriesCode) {
    versions_.clear();
    if (catalogue_) versions_ = VersionChoices(*catalogue_, seriesCode);
    versionIndex_ = versions_.empty() ? -1 : 0;
}

void ModeChoice::SelectModel(int index) {
    if (use_ != Use::kOffline || index < 0 || index >= static_cast<int>(models_.size())) return;
    modelIndex_ = index;
    fillVersions(models_[static_cast<std::size_t>(index)].seriesCode);
    // The model list stays usable: with it disabled a model without data files would leave
    // the user no way to pick another one.
    if (versions_.empty()) {
        setStatus(Tr(kNoDataFileForModelText), true);
        versionEnabled_ = false;
        okEnabled_ = false;
    } else {
        setStatus("", false);
        versionEnabled_ = true;
        okEnabled_ = true;
    }
}

void ModeChoice::SelectVersion(int index) {
    if (index >= 0 && index < static_cast<int>(versions_.size())) versionIndex_ = index;
}

void ModeChoice::SetTime1Index(int index) {
    if (index >= 0 && index < 3) time1Index_ = index;
}

int ModeChoice::Time1Divisor() const {
    return Time1DivisorForIndex(time1Index_);
}

void ModeChoice::setStatus(std::string text, bool error) {
    status_ = std::move(text);
    statusError_ = error;
}

bool ModeChoice::Ok() {
    if (!okEnabled_) return false;
    if (use_ != Use::kOffline) return true;
    if (modelIndex_ < 0 || versionIndex_ < 0) return false;
    DriveRecord& record = services_.records[key_];
    record.seriesCode = models_[static_cast<std::size_t>(modelIndex_)].seriesCode;
    record.version = versions_[static_cast<std::size_t>(versionIndex_)].version;
    auto data = std::make_shared<CDataFile>();
    if (!data->Load(&record, services_.dirs.data)) {
        setStatus(data->GetStatusText(), true);
        record.reset();
        return false;
    }
    record.driveData = std::move(data);
    return true;
}

void ModeChoice::Close() {
    SettingsStore& s = services_.settings;
    s.setInt(kSettingsSectionMain, kModeKey, freqMode_ ? 1 : 0);
    if (use_ != Use::kOffline) return;
    s.setInt(kSettingsSectionMain, kTime1Key, time1Index_);
    if (modelIndex_ >= 0)
        s.setInt(kSettingsSectionMain, kModelKey,
                 models_[static_cast<std::size_t>(modelIndex_)].seriesCode);
    if (versionIndex_ >= 0)
        s.setInt(kSettingsSectionMain, kVersionKey,
                 versions_[static_cast<std::size_t>(versionIndex_)].version);
}

}  // namespace korvane
