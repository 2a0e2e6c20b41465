// SPDX-License-Identifier: MIT
#pragma once

#include <string>

#include "platform/clock_sync.h"

// What there is to say of the PC clock's synchronisation, read once a second: the window shows it as the tooltip of
// the time, the date and the lamp, and every change of it is reported.

// "PC clock synchronised, estimated error 0.4 ms", with what --require-sync does about it while `holding`.
std::string ClockSyncText(const platform::ClockSyncState& state, bool holding);

// The same as a report, with the maximum error the system vouches for.
std::string ClockSyncReport(const platform::ClockSyncState& state, bool holding);
