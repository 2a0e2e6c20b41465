// SPDX-License-Identifier: MIT
#pragma once

#include "timecode/time_code.h"

// The codes the program sends, one module each: DCF77, MSF, WWVB and JJY.

namespace timecode {

extern const TimeCode kDcf77;
extern const TimeCode kMsf;
extern const TimeCode kWwvb;
extern const TimeCode kJjy;    // from the 40 kHz station
extern const TimeCode kJjy60;  // the same from the 60 kHz one

inline constexpr const TimeCode* kCodes[] = {&kDcf77, &kMsf, &kWwvb, &kJjy, &kJjy60};

}  // namespace timecode
