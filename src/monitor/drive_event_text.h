#pragma once
// The texts the main window writes when a drive's fault or run state changes, and the fault
// name the alarm history shows. Both must name a fault the same way, so the rule lives here.
#include <array>
#include <string>

namespace korvane {

struct DriveRecord;

// The name of the active trip from the six fault words (words 1 and 2 at addresses 15 and 29,
// words 3..6 at 816..819): series 11 takes the first named of words 3..6; series 10 from
// version 21 on falls back from word 1 to word 2; every other series names word 1.
std::string FaultName(int seriesCode, int version, const std::array<int, 6>& faultWords);
std::string FaultName(const DriveRecord& drive);

// "%s障害発生" with the fault name.
std::string FaultEventText(const DriveRecord& drive);

// "%s %s": the output frequency (speed for series 5) and the run state of the status word.
std::string StatusEventText(const DriveRecord& drive);

// The event-log line for a drive: station, series name, device name if any, and `text`.
std::string DriveEventLine(const DriveRecord& drive, const std::string& deviceName,
                           const std::string& text);

}  // namespace korvane
