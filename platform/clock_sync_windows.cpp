// SPDX-License-Identifier: MIT
#include "platform/clock_sync.h"

namespace platform {

// Windows tells an ordinary program nothing that says whether its clock is synchronised or how well. The
// time service keeps that (leap indicator, root dispersion, time of the last good synchronisation) but
// gives it out only over its remote-procedure protocol, the one `w32tm /query /status` speaks, for which
// the SDK has no header or library; and GetSystemTimeAdjustment says only whether something steers the
// clock's rate, not whether the time is right.
ClockSyncState ReadClockSync() { return {}; }

}  // namespace platform
