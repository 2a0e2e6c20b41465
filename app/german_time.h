// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <string>

#include "app/settings.h"

// A DCF77 receiver takes the time it reads for German time. Sent from another zone, which abroad may be the point, the
// time is that zone's; at start-up the user is told how far a clock that expects German time will be off.

// The report for DCF77 sent from a zone whose offsets in winter and in summer, in the year of `unixSeconds`, are not
// Germany's: "… will be 1 h behind in winter and 2 h behind in summer; --zone Europe/Berlin sends German time."
// Empty for German time and for the other codes. Reads the zone in use.
std::string GermanTimeWarning(const Settings& settings, std::int64_t unixSeconds);
