#pragma once
// Reads a tree node's parameters from the drive, one request at a time, with the progress the
// read dialog shows. A state machine advanced by the drive link's replies: the dialog renders
// it, and the frame ends it from outside when the drive goes or graph watch mode starts.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "comm/drive_reply.h"
#include "common/signal.h"

namespace korvane {

class UserGroup;
class CDataFile;
class CDriveLink;
class CGroup;
class CItem;
struct UserGroupEntry;

// One parameter of a read: an item, or a user-group entry with the item of its address.
struct ReadTarget {
    CItem* item = nullptr;
    UserGroupEntry* entry = nullptr;
};

// The tree node a read runs over; the kinds are the tree's node kinds.
enum class ReadNodeKind : int { kGroup = 0, kUserGroup = 1, kAllGroups = 2, kUserGroupRoot = 3 };
struct ReadNode {
    ReadNodeKind kind = ReadNodeKind::kAllGroups;
    CGroup* group = nullptr;      // kGroup
    UserGroup* custom = nullptr;  // kUserGroup
};

// The node's parameters in reading order. A user group's entries whose address has no item
// are skipped; the user-group root has none.
std::vector<ReadTarget> ReadTargetsOf(const ReadNode& node, CDataFile& data);

class GroupReader : public ReplySink {
public:
    enum class State { kIdle, kRunning, kFinished, kCancelled, kClosedFromOutside };

    // How each parameter came out, for callers that report per parameter (korvane-cli).
    struct Outcome {
        bool answered = false;
        int errorCode = 0;    // 0, 5..8, 100, or 1 for an answer about another parameter
        int failingCode = 0;  // the text's code: the error code, or the last real one after 100
    };

    // `data` is held while the reader exists, so that a drive removed meanwhile does not take
    // the items with it.
    GroupReader(CDriveLink& link, int station, std::shared_ptr<CDataFile> data,
                std::vector<ReadTarget> targets);
    ~GroupReader() override;

    // Queues the first read; false (and nothing happens) when there is nothing to read.
    bool Start();
    // The dialog's Cancel: no further request; the outstanding reply is dropped.
    void Cancel();
    // The drive went or graph watch mode began: stops like Cancel, and the list is not refilled.
    void CloseFromOutside();

    State state() const { return state_; }
    bool IsRunning() const { return state_ == State::kRunning; }
    // After the run: whether the list is to be refilled for the node.
    bool ShouldRefillList() const {
        return state_ == State::kFinished || state_ == State::kCancelled;
    }
    int Progress() const;  // 0..100
    std::string FrameText() const;
    std::string StaticText() const;
    std::size_t Total() const { return targets_.size(); }
    std::size_t Answered() const { return answered_; }
    const std::vector<ReadTarget>& Targets() const { return targets_; }
    const std::vector<Outcome>& Outcomes() const { return outcomes_; }

    // Called after every change of progress or texts, and once when the run ends.
    Signal<> changed;
    Signal<> ended;

    void OnDriveReply(int station, const DriveReply& reply) override;

private:
    void queueCurrent();
    void storeSuccess(const ReadTarget& target, std::uint32_t value);
    void storeFailure(const ReadTarget& target, int errorCode, int failingCode);
    void advance(bool endRun);
    void end(State state);

    CDriveLink& link_;
    int station_;
    std::shared_ptr<CDataFile> data_;
    std::vector<ReadTarget> targets_;
    std::vector<Outcome> outcomes_;
    std::size_t current_ = 0;
    std::size_t answered_ = 0;
    State state_ = State::kIdle;
};

}  // namespace korvane
