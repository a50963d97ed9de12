#pragma once
// A tool window's surroundings for the monitoring windows' tests: a drive link on an in-memory
// TK485 line whose drives answer from word tables, the drive records, a settings store and a
// host whose graph-watch flag the test sets. Time moves only when the test ticks.
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "comm/drive_link.h"
#include "common/clock.h"
#include "common/executor.h"
#include "common/prompter.h"
#include "common/settings_store.h"
#include "host/tool_services.h"
#include "paradb/drive_record.h"
#include "support/fake_port.h"

namespace korvane::test {

struct FakeHost : ToolHost {
    bool graphWatch = false;
    std::vector<int> renamed;
    bool graphWatchActive() const override { return graphWatch; }
    void setGraphWatchActive(bool active) override { graphWatch = active; }
    void deviceNameChanged(int station) override { renamed.push_back(station); }
    void openToolWindow(int, int) override {}
    int freeOfflineKey() const override { return -1; }
    void toolFrameClosing(const ToolFrame*) override {}
};

// Drives on the line: words by station and address (unknown words read 0), what each station
// has been told to return for a monitor read, and every request seen.
struct LineDrives {
    std::map<int, std::map<int, int>> words;
    std::map<int, std::vector<int>> registered;
    std::set<int> silent;
    std::string nakNext;  // answers the next request with this NAK code
    struct Request {
        int station;
        char letter;
        int address;
        int value;
    };
    std::vector<Request> requests;

    std::optional<std::string> answer(const std::string& frame);
};

class MonitorRig {
public:
    explicit MonitorRig(int retryCount = 1);

    // Makes the record of a connected drive.
    DriveRecord& connect(int station, int series, int version);
    // One link tick, then the line's answers.
    void tick(int n = 1);
    // The addresses the link polls for the station now (ascending), found by
    // letting it run a round: empty when the station is not polled at all.
    std::vector<int> polled(int station);

    QueueExecutor executor;
    std::shared_ptr<FakeLine> line = std::make_shared<FakeLine>();
    LineDrives drives;
    CDriveLink link;
    DriveRecords records;
    MemorySettingsStore settings;
    RecordingPrompter prompter;
    FixedClock clock{LocalTime{}};
    FakeHost host;
    ToolServices services;
};

}  // namespace korvane::test
