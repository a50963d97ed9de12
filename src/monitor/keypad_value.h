#pragma once
// How the keypad turns a monitored word into the number on its display, and a typed number
// back into the word it writes.
#include "paradb/monitor_list.h"

namespace korvane {

// The divisor the item is shown, limited and written with. The ramp times follow the drive's
// time scale, not the item's divisor: shown with one scale and written with another, a ramp of
// 5.00 s would be written as 0.50 s.
int KeypadDivisor(const MonitorItem& item, int seriesCode, int timeScale);

// Decimals on the display for a divisor: 1 -> 0, 10 -> 1, 1000 -> 3, any other -> 2.
int DecimalsForDivisor(int divisor);

// Whether the item's words are signed 16-bit numbers.
bool KeypadSigned(const MonitorItem& item, int seriesCode);

// The displayed value of raw word `raw` of the item.
double KeypadValue(const MonitorItem& item, int raw, int seriesCode, int timeScale);

// The word to write for a typed value: value x divisor, rounded half up, as 16 bits.
int KeypadRawValue(double value, int divisor);

}  // namespace korvane
