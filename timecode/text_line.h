// SPDX-License-Identifier: MIT
#pragma once

#include <algorithm>
#include <cstdarg>
#include <cstddef>
#include <cstdio>
#include <cstdlib>

#include "timecode/local_time.h"

namespace timecode {

// A line written piece by piece into a fixed buffer, cut short rather than overrunning it; allocates nothing.
class TextLine {
 public:
  TextLine(char* text, std::size_t size) : text_(text), size_(size) { text_[0] = '\0'; }

  // A minute as "2027-03-28 03:00 CEST".
  void AddMinute(const LocalTime& time) {
    Add("%04d-%02d-%02d %02d:%02d ", time.Year, time.Month, time.Day, time.Hour, time.Minute);
    AddZone(time);
  }

  // The zone by the abbreviation the system has for it, or else its offset from UTC, as Windows has none.
  void AddZone(const LocalTime& time) {
    const int offset = std::abs(time.UtcOffsetSeconds) / 60;
    if (time.Zone[0] != '\0') {
      Add("%s", time.Zone);
    } else {
      Add("UTC%c%02d:%02d", time.UtcOffsetSeconds < 0 ? '-' : '+', offset / 60, offset % 60);
    }
  }

  void Add(const char* format, ...) __attribute__((format(printf, 2, 3))) {
    if (used_ + 1 >= size_) return;
    va_list arguments;
    va_start(arguments, format);
    const int written = std::vsnprintf(text_ + used_, size_ - used_, format, arguments);
    va_end(arguments);
    if (written > 0) used_ = std::min(size_ - 1, used_ + static_cast<std::size_t>(written));
  }

 private:
  char* text_;
  std::size_t size_;
  std::size_t used_ = 0;
};

}  // namespace timecode
