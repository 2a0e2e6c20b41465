// SPDX-License-Identifier: MIT
#include "app/window_feed.h"

#include <cstddef>

void WindowFeed::NewSecond(const timecode::TimeSample& now) { seconds_[writing_].time = now; }

void WindowFeed::SetPulse(bool on) {
  if (lampTold_ && on == lamp_.load(std::memory_order_relaxed)) return;
  lampTold_ = true;
  lamp_.store(on, std::memory_order_relaxed);
  doorbell_.Ring();
}

void WindowFeed::SecondBegun(const output::BegunSecond& second) {
  Second& written = seconds_[writing_];
  written.local = second.Reading.Now;
  written.sync = second.Sync;
  written.holding = second.NextHeld;
  const char* why = second.Spoiled != nullptr ? second.Spoiled : "";
  std::size_t at = 0;
  for (; at + 1 < sizeof written.spoiled && why[at] != '\0'; ++at) written.spoiled[at] = why[at];
  written.spoiled[at] = '\0';
  written.portTrouble = second.PortTrouble;
  writing_ = newest_.exchange(writing_ | kFresh, std::memory_order_acq_rel) & ~kFresh;
  doorbell_.Ring();
}

const WindowFeed::Second* WindowFeed::TakeSecond() {
  if ((newest_.load(std::memory_order_acquire) & kFresh) == 0) return nullptr;
  reading_ = newest_.exchange(reading_, std::memory_order_acq_rel) & ~kFresh;
  return &seconds_[reading_];
}
