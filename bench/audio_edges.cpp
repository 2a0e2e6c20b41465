// SPDX-License-Identifier: MIT
// Where the time code's keying edges leave a sound device against the second edges they belong to, by the device's own
// timestamps: the sound thread's work is run as the program runs it, fed a second ahead, and for every stretch of
// frames it writes, the device's report of when that stretch leaves is held against where the player put it.
//   build/bench/audio_edges [device] [seconds]      # default, 60

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "output/keying_slots.h"
#include "output/sound_player.h"
#include "platform/steady_clock.h"
#include "timecode/codes.h"

namespace {

constexpr std::int64_t kNanosPerSecond = 1'000'000'000;

double Percentile(std::vector<double> values, double share) {
  std::sort(values.begin(), values.end());
  return values[static_cast<std::size_t>(std::max(0.0, std::ceil(share * values.size()) - 1))];
}

}  // namespace

int main(int argc, char** argv) {
  const char* device = argc > 1 ? argv[1] : "default";
  const int seconds = argc > 2 ? std::atoi(argv[2]) : 60;
  int dropouts = 0;
  output::KeyingSlots slots;
  output::SoundPlayer player({device, 48'000, output::TimeCodeTone(timecode::kDcf77)}, slots,
                             [&dropouts](platform::Severity, const char* line) {
                               std::fprintf(stderr, "%s\n", line);
                               ++dropouts;
                             });
  std::vector<double> deviations;  // milliseconds
  // The first second is left out: the device's reports settle once it plays.
  const std::int64_t settled = platform::SteadyNanos() + kNanosPerSecond, end = settled + seconds * kNanosPerSecond;
  std::int64_t fed = 0;
  while (platform::SteadyNanos() < end) {
    // As the tick thread does: each second's keying, a DCF77 1-bit, told the second before.
    const std::int64_t next = platform::SteadyNanos() / kNanosPerSecond + 1;
    for (; fed <= next; fed = fed == 0 ? next : fed + 1) {
      output::SecondKeying keying;
      keying.pattern.Reduce(0, 21);
      keying.startNanos = (fed == 0 ? next : fed) * kNanosPerSecond;
      slots.Feed(keying);
    }
    player.PlayOnce();
    if (platform::SteadyNanos() > settled) deviations.push_back(static_cast<double>(player.LastDeviationNanos()) / 1e6);
  }
  std::vector<double> sizes(deviations.size());
  std::transform(deviations.begin(), deviations.end(), sizes.begin(), [](double ms) { return std::abs(ms); });
  if (sizes.empty()) return std::fprintf(stderr, "audio_edges: nothing was played on %s\n", device), 1;
  const auto over = std::count_if(sizes.begin(), sizes.end(), [](double ms) { return ms > 2; });
  std::printf(
      "%s, %d s, %zu stretches of 5 ms, %d reports: edge off its second by median %.3f ms, p99 %.3f ms, "
      "max %.3f ms; %td stretches more than 2 ms off\n",
      device, seconds, sizes.size(), dropouts, Percentile(sizes, 0.5), Percentile(sizes, 0.99),
      *std::max_element(sizes.begin(), sizes.end()), over);
  return 0;
}
