// SPDX-License-Identifier: MIT
#pragma once

#include <cstdio>

#include "output/output.h"

namespace output {

// --frames: each minute sent, as one line once its last second has begun: the minute the frame names, its seconds as
// sent, and what a receiver reads from them, or why it was not sent whole.
class FrameLines : public Output {
 public:
  FrameLines(const timecode::TimeCode& code, std::FILE* out) : code_(code), out_(out) {}

  // Records what the second carries, and at the minute's last second writes the line.
  void SecondBegun(const BegunSecond& second) override;
  void MinuteSpoiled(const char* why) override;

 private:
  const timecode::TimeCode& code_;
  std::FILE* out_;
  timecode::SentMinute minute_;
  int lastRecorded_ = -1;
  char why_[96] = "";  // why nothing more of the minute was sent, if it was not
  char line_[512] = "";
};

}  // namespace output
