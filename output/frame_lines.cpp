// SPDX-License-Identifier: MIT
#include "output/frame_lines.h"

#include <cstdio>

namespace output {

void FrameLines::SecondBegun(const BegunSecond& second) {
  const int at = second.Reading.Now.Second;
  if (at < lastRecorded_) {  // a new minute, or the clock set back
    minute_ = {};
    why_[0] = '\0';
  }
  lastRecorded_ = at;
  minute_.Sent[at] = second.Sent;
  minute_.Symbols[at] = second.Pattern.Symbol;
  if (at != second.Reading.SecondsInMinute - 1) return;
  minute_.Seconds = second.Reading.SecondsInMinute;
  minute_.Reading = second.Reading;
  bool anySent = false;
  for (int before = 0; before < at; ++before) anySent = anySent || minute_.Sent[before];
  if (!anySent) return;
  code_.DescribeFrame(minute_, line_, sizeof line_);
  std::fprintf(out_, "%s%s%s\n", line_, why_[0] != '\0' ? "; not sent: " : "", why_);
  std::fflush(out_);
}

void FrameLines::MinuteSpoiled(const char* why) { std::snprintf(why_, sizeof why_, "%s", why); }

}  // namespace output
