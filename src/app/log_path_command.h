#pragma once
// The save dialogs of the two change-file commands. The alarm history and the event log own
// the texts; the owning object switches files and asks before replacing one.
#include "monitor/alarm_history.h"
#include "monitor/event_log.h"

namespace korvane {

struct LogPathDialog {
    const char* defaultExtension;
    const char* filter;
    const char* title;
};

inline constexpr LogPathDialog kFaultFilePathDialog{kHistoryFileExtension, kHistoryFileFilter,
                                                    kHistoryFileDialogTitle};
inline constexpr LogPathDialog kLogFilePathDialog{kEventLogFileExtension, kEventLogFileFilter,
                                                  kEventLogFileDialogTitle};

}  // namespace korvane
