#pragma once
// The tree's "read this node" for one editor: decides whether a read happens at all, runs one
// GroupReader at a time and tells the caller when the list is to be refilled.
#include <functional>
#include <memory>

#include "editor/group_reader.h"

namespace korvane {

class CDriveLink;
struct DriveRecord;

class NodeReading {
public:
    // `graphWatch` answers whether graph watch mode is on at the moment of asking.
    NodeReading(CDriveLink& link, const DriveRecord& drive, std::function<bool()> graphWatch);
    ~NodeReading();

    // Reads the node's parameters unless the editor is offline, graph watch mode is on, the
    // node is the user-group root or has no parameters; then `finished` runs at once. Otherwise
    // `finished` runs when the read ends by itself or by Cancel (the list is refilled then), and
    // not at all when it is closed from outside. A read already running is cancelled first.
    void Read(const ReadNode& node, std::function<void()> finished);
    bool IsReading() const;
    // The read dialog's Cancel.
    void Cancel();
    // Disconnection or graph watch mode: the read stops and the list is left as it is.
    void CloseFromOutside();
    // The running (or last) read, for the dialog's progress and texts.
    const GroupReader* Current() const { return reader_.get(); }

    // After every change of the running read's progress or texts.
    Signal<> changed;

private:
    CDriveLink& link_;
    const DriveRecord& drive_;
    std::function<bool()> graphWatch_;
    // Kept after the read ends: it may end inside its own reply handler.
    std::unique_ptr<GroupReader> reader_;
    Connection readerChanged_;
    Connection readerEnded_;
    std::function<void()> finished_;
};

}  // namespace korvane
