// SPDX-License-Identifier: MIT
#pragma once

#include "timecode/time_code.h"

// The codes the program sends, one module each: DCF77 (second_schedule.cpp), MSF, WWVB and JJY.

namespace timecode {

extern const TimeCode kDcf77;
extern const TimeCode kMsf;
extern const TimeCode kWwvb;
extern const TimeCode kJjy;

inline constexpr const TimeCode* kCodes[] = {&kDcf77, &kMsf, &kWwvb, &kJjy};

}  // namespace timecode
