#pragma once
// A small hand-written data file and the services an editor needs, built from fakes.
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "comm/drive_link.h"
#include "common/clock.h"
#include "common/executor.h"
#include "common/prompter.h"
#include "common/settings_store.h"
#include "editor/mode_choice.h"
#include "editor/para_editor.h"
#include "host/tool_services.h"
#include "paradb/data_file.h"
#include "paradb/data_file_writer.h"
#include "paradb/drive_record.h"

namespace korvane::testing {

constexpr int kKapok = 11;
constexpr int kKapokVersion = 0x0310;

// Addresses of the hand-written file.
constexpr std::uint16_t kMaxFreq = 0x1101;    // FREQ3, placeholder name
constexpr std::uint16_t kAccTime = 0x1104;    // TIME1
constexpr std::uint16_t kTwenty = 0x1105;     // name of exactly 20 characters
constexpr std::uint16_t kRunSource = 0x1106;  // option list
constexpr std::uint16_t kOffset = 0x1107;     // signed, default -5
constexpr std::uint16_t kHidden = 0x110C;     // not writable
constexpr std::uint16_t kStatus = 0x1201;     // the only item of a group without writable items
constexpr std::uint16_t kTerminals = 0x1301;  // 8-bit string
constexpr std::uint16_t kGain = 0x1302;       // named in Japanese when asked for

inline DataFileImage ExportImage(bool japanese = false) {
    DataFileImage image;
    image.title = "Export test";
    image.series = kKapok;
    image.version = kKapokVersion;
    image.types = {
        {"FREQ3", "Hz", 1, 100, 0},
        {"TIME1", "sec", 1, 10, 0},
        {"HEX4", "", 4, 4, kTypeFlagHex},
        {"BIT8", "", 8, 1, kTypeFlagBinary},
        {"PCT", "%", 1, 1, 0},
        {"MSG", "", 1, 1, 0},
    };
    image.optionLists = {{"RUNSRC", {"Keypad", "Terminal", "Comm"}}};
    auto item = [](std::uint16_t address, const char* name, const char* type, int min, int max,
                   int def) {
        DataFileImage::Item i;
        i.address = address;
        i.name = name;
        i.typeName = type;
        i.minimum = min;
        i.maximum = max;
        i.defaultValue = static_cast<std::uint32_t>(def);
        return i;
    };
    DataFileImage::Group basic{"Basic", {}};
    basic.items.push_back(item(kMaxFreq, "Max @@@@", "FREQ3", 0, 40000, 6000));
    basic.items.back().placeholder = 1;
    basic.items.push_back(item(kAccTime, "Acc Time", "TIME1", 0, 60000, 200));
    basic.items.push_back(item(kTwenty, "Exactly twenty chars", "PCT", 0, 100, 50));
    basic.items.push_back(item(kRunSource, "Run source", "MSG", 0, 2, 1));
    basic.items.back().optionListName = "RUNSRC";
    basic.items.push_back(item(kOffset, "Offset", "FREQ3", -1000, 1000, -5));
    basic.items.push_back(item(kHidden, "Hidden", "PCT", 0, 10, 0));
    basic.items.back().writable = 0;
    DataFileImage::Group monitor{"Monitor", {}};
    monitor.items.push_back(item(kStatus, "Status", "HEX4", 0, 0xFFFF, 0));
    monitor.items.back().writable = 0;
    DataFileImage::Group bits{japanese ? "端子" : "Bits", {}};
    bits.items.push_back(item(kTerminals, "Terminal map", "BIT8", 0, 255, 0));
    bits.items.push_back(item(kGain, japanese ? "ゲイン" : "Gain", "PCT", 0, 200, 100));
    image.groups = {basic, monitor, bits};
    return image;
}

// Loads the image into the record as the editor's data file.
inline bool LoadInto(DriveRecord& record, const DataFileImage& image) {
    record.seriesCode = image.series;
    record.version = static_cast<int>(image.version);
    record.driveData = std::make_shared<CDataFile>();
    const std::vector<std::uint8_t> bytes = WriteDataFile(image);
    if (!record.driveData->LoadFromBytes(&record, bytes)) return false;
    record.driveData->SetSpeedMode(1, 10);
    return true;
}

class EditorHost : public ToolHost {
public:
    bool graphWatchActive() const override { return graphWatch; }
    void setGraphWatchActive(bool active) override { graphWatch = active; }
    void deviceNameChanged(int) override {}
    void openToolWindow(int, int) override {}
    int freeOfflineKey() const override { return kFirstOfflineKey; }
    void toolFrameClosing(const ToolFrame*) override {}
    bool graphWatch = false;
};

struct EditorServices {
    QueueExecutor executor;
    CDriveLink link{executor, [] { return std::unique_ptr<Port>(); }};
    DriveRecords records;
    MemorySettingsStore settings;
    RecordingPrompter prompter;
    FixedClock clock{LocalTime{2026, 1, 2, 3, 4, 5, 0}};
    EditorHost host;
    ToolServices services{link, records, settings, prompter, clock, executor, host, {}};

    explicit EditorServices(const std::string& dir = "/nonexistent") {
        services.dirs.app = dir;
        services.dirs.data = dir + "/Data";
    }

    // A connected online drive at `station` (or an offline record for keys from 256).
    DriveRecord& drive(int key, const DataFileImage& image = ExportImage()) {
        DriveRecord& r = records[key];
        if (key < kFirstOfflineKey) {
            r.connected = 1;
            r.supported = 1;
        }
        (void)LoadInto(r, image);
        return r;
    }
};

// The outcome an editor command reports through its callback: nullopt while it still waits.
struct Outcome {
    std::optional<bool> value;
    std::function<void(bool)> take() {
        return [this](bool ok) { value = ok; };
    }
};

// Answers file dialogs from a script and records what the editor asked of its window.
class EditorUi : public ParaEditorUi {
public:
    void ChooseOpenFile(const FileDialogRequest& request, PathChosen chosen) override {
        chosen(next(request));
    }
    void ChooseSaveFile(const FileDialogRequest& request, PathChosen chosen) override {
        chosen(next(request));
    }
    void OpenModeDialog(std::shared_ptr<ModeChoice> dialog,
                        std::function<void(bool)> done) override {
        if (modeSetup) modeSetup(*dialog);
        done(modeOk && dialog->Ok());
    }
    void RequestClose() override { events.push_back("close"); }
    std::vector<std::uint8_t> SavePaneLayout() const override { return layout; }
    void RestorePaneLayout(const std::vector<std::uint8_t>& l) override { restored = l; }

    std::deque<std::optional<std::string>> paths;
    std::vector<FileDialogRequest> requests;
    std::vector<std::string> events;
    bool modeOk = true;
    std::function<void(ModeChoice&)> modeSetup;
    std::vector<std::uint8_t> layout;
    std::vector<std::uint8_t> restored;

private:
    std::optional<std::string> next(const FileDialogRequest& request) {
        requests.push_back(request);
        if (paths.empty()) return std::nullopt;
        auto p = paths.front();
        paths.pop_front();
        return p;
    }
};

// Records what the frame asks of the reading and editing dialogs.
class EditorDriveActions : public ParaDriveActions {
public:
    void ReadNode(const ParaNode& node, std::function<void()> finished) override {
        calls.push_back("read");
        readNodes.push_back(node);
        pending = std::move(finished);
        reading = true;
    }
    bool IsReading() const override { return reading; }
    // A cancelled read ends like any other: its callback runs.
    void CancelRead() override {
        calls.push_back("cancel-read");
        finish();
    }
    void CancelEdit() override { calls.push_back("cancel-edit"); }
    // The read ends (done, or cancelled by the user).
    void finish() {
        reading = false;
        if (auto f = std::move(pending)) f();
    }

    std::vector<std::string> calls;
    std::vector<ParaNode> readNodes;
    std::function<void()> pending;
    bool reading = false;
};

}  // namespace korvane::testing
