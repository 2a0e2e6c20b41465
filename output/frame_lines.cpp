// SPDX-License-Identifier: MIT
#include "output/frame_lines.h"

namespace output {

void FrameLines::SecondBegun(const BegunSecond& second) {
  const int at = second.Reading.Now.Second;
  if (at < lastRecorded_) minute_ = {};  // a new minute, or the clock set back
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
  std::fprintf(out_, "%s\n", line_);
  std::fflush(out_);
}

}  // namespace output
