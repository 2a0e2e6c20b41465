// SPDX-License-Identifier: MIT
#pragma once

#include <cstdio>

#include "output/output.h"

namespace output {

// --frames: each minute sent, as one line once its last second has begun: the minute the frame names, its seconds as
// sent, and what a receiver reads from them.
class FrameLines : public Output {
 public:
  FrameLines(const timecode::TimeCode& code, std::FILE* out) : code_(code), out_(out) {}

  // Records what the second carries, and at the minute's last second writes the line.
  void SecondBegun(const BegunSecond& second) override;

 private:
  const timecode::TimeCode& code_;
  std::FILE* out_;
  timecode::SentMinute minute_;
  int lastRecorded_ = -1;
  char line_[512] = "";
};

}  // namespace output
