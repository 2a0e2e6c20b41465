// SPDX-License-Identifier: MIT
#include "app/frame_lines.h"

#include "output/serial_lines.h"
#include "timecode/tick_engine.h"

namespace {

std::FILE* Out = nullptr;
timecode::SentMinute Minute;
int LastRecorded = -1;
char Line[512];

}  // namespace

void StartFrameLines(std::FILE* out) {
  Out = out;
  LastRecorded = -1;
}

void RecordSecond() {
  if (Out == nullptr) return;
  const int second = timecode::CurrentTime.Second;
  if (second < LastRecorded) Minute = {};  // a new minute, or the clock set back
  LastRecorded = second;
  // A second whose pulse the gate holds back is not sent; it was asked as the pulse began, on this tick.
  Minute.Sent[second] = !output::HoldingPulses;
  Minute.Symbols[second] = timecode::Pattern.Symbol;
  if (second != timecode::Reading.SecondsInMinute - 1) return;
  Minute.Seconds = timecode::Reading.SecondsInMinute;
  Minute.Reading = timecode::Reading;
  bool anySent = false;
  for (int at = 0; at < second; ++at) anySent = anySent || Minute.Sent[at];
  if (!anySent) return;
  timecode::Code->DescribeFrame(Minute, Line, sizeof Line);
  std::fprintf(Out, "%s\n", Line);
  std::fflush(Out);
}
