#pragma once
// What a tool window's core class may use of the program: the drive link, the drive records,
// the settings store, questions, the clock and the hand-off to the protocol thread, plus a few
// calls back into the main window. The main window hands one bundle to every tool window, so
// that windows never reach into the main controller and the controller does not grow with each
// new window. Tests build the bundle from fakes.
#include <string>

#include "host/settings.h"

namespace korvane {

class CDriveLink;
class Clock;
class DriveRecords;
class Executor;
class Prompter;
class SettingsStore;
class ToolFrame;

// The calls a tool window makes back to the main window.
class ToolHost {
public:
    virtual ~ToolHost() = default;
    // The program-wide graph-watch flag (set by the graph monitor only).
    virtual bool graphWatchActive() const = 0;
    virtual void setGraphWatchActive(bool active) = 0;
    // The information sheet renamed a station's device ("InvName" is already written).
    virtual void deviceNameChanged(int station) = 0;
    // Opens or activates another tool window (the editor opens its report this way).
    virtual void openToolWindow(int kind, int stationKey) = 0;
    // A free record index 256..287 for an offline editor, or -1 when all 32 are in use.
    virtual int freeOfflineKey() const = 0;
    // A window is closing: its placement is kept and it is taken off the list, so that it gets
    // no more drive events and the next open command makes a new one.
    virtual void toolFrameClosing(const ToolFrame* frame) = 0;
};

// A tool window on its own, as korvane-cli and tests run one: no other windows to tell of the
// graph-watch flag, no names to pass on, nothing else to open.
class StandaloneToolHost : public ToolHost {
public:
    bool graphWatchActive() const override { return graphWatch; }
    void setGraphWatchActive(bool active) override { graphWatch = active; }
    void deviceNameChanged(int) override {}
    void openToolWindow(int, int) override {}
    int freeOfflineKey() const override { return -1; }
    void toolFrameClosing(const ToolFrame*) override {}

    bool graphWatch = false;
};

// Held by value, everywhere: every member refers to something the main window (or the CLI's
// session) owns and keeps for longer than any tool window, so a copy stays as good as the
// original, while a holder of a reference would dangle as soon as the bundle it was given was a
// temporary (Services() and WithPrompter() make them). Passed on by reference.
struct ToolServices {
    CDriveLink& link;
    // Records 0..255 are written by the connection manager only; an offline editor owns the
    // record of its key (256..287).
    DriveRecords& records;
    SettingsStore& settings;
    Prompter& prompter;
    const Clock& clock;
    Executor& executor;
    ToolHost& host;
    AppDirectories dirs;
};

// The same bundle with a window's own prompter, so that its questions go over that window.
inline ToolServices WithPrompter(const ToolServices& s, Prompter& prompter) {
    return ToolServices{s.link,  s.records,  s.settings, prompter,
                        s.clock, s.executor, s.host,     s.dirs};
}

}  // namespace korvane
