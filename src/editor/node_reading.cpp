#include "editor/node_reading.h"

#include <utility>

#include "paradb/drive_record.h"

namespace korvane {

NodeReading::NodeReading(CDriveLink& link, const DriveRecord& drive,
                         std::function<bool()> graphWatch)
    : link_(link), drive_(drive), graphWatch_(std::move(graphWatch)) {}

NodeReading::~NodeReading() = default;

void NodeReading::Read(const ReadNode& node, std::function<void()> finished) {
    if (IsReading()) Cancel();
    const bool online = drive_.isOnline() && drive_.driveData != nullptr;
    if (!online || (graphWatch_ && graphWatch_()) || node.kind == ReadNodeKind::kUserGroupRoot) {
        if (finished) finished();
        return;
    }
    // The reader keeps its own share of the data file: the drive may go while it runs.
    auto reader = std::make_unique<GroupReader>(link_, drive_.station, drive_.driveData,
                                                ReadTargetsOf(node, *drive_.driveData));
    readerChanged_ = reader->changed.connect([this] { changed(); });
    readerEnded_ = reader->ended.connect([this] {
        auto done = std::exchange(finished_, nullptr);
        if (done && reader_->ShouldRefillList()) done();
    });
    reader_ = std::move(reader);
    finished_ = std::move(finished);
    if (!reader_->Start()) {
        auto done = std::exchange(finished_, nullptr);
        if (done) done();
    }
}

bool NodeReading::IsReading() const {
    return reader_ && reader_->IsRunning();
}

void NodeReading::Cancel() {
    if (IsReading()) reader_->Cancel();
}

void NodeReading::CloseFromOutside() {
    if (IsReading()) reader_->CloseFromOutside();
}

}  // namespace korvane
