// SPDX-License-Identifier: MIT
#include "output/keyed_tone.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace output {

namespace {

constexpr double kFullScale = 0.9 * INT16_MAX;  // loud: the clock hears the speaker's harmonics only at full volume
constexpr double kRampSeconds = 0.001;
constexpr std::int64_t kNanosPerSecond = 1'000'000'000;
constexpr std::int64_t kNanosPerTick = kNanosPerSecond / timecode::kTicksPerSecond;

double ToneFor(int frequencyHz, int rate) {
  int divisor = 1;
  while (frequencyHz / static_cast<double>(divisor) >= rate / 2.0) divisor += 2;
  return frequencyHz / static_cast<double>(divisor);
}

std::int64_t FloorDiv(std::int64_t value, std::int64_t divisor) {
  return value / divisor - (value % divisor != 0 && (value < 0) != (divisor < 0));
}

}  // namespace

KeyedTone::KeyedTone(const ToneKeying& keying, int rate)
    : toneHz_(ToneFor(keying.frequencyHz, rate)), levels_(keying), rate_(rate) {}

// Looked up afresh every tick period, so that a second told again (held back after all) or one that begins early (the
// wall clock set forward) takes over within a tick.
double KeyedTone::Level(std::int64_t nanos, KeyingSource& source) {
  const std::int64_t period = FloorDiv(nanos, kNanosPerTick);
  if (period != lookedUpIn_) {
    lookedUpIn_ = period;
    keyingKnown_ = source.KeyingAt(nanos, keying_);
  }
  if (!keyingKnown_ || keying_.held) return levels_.full;
  const auto tick = static_cast<int>((nanos - keying_.startNanos) / kNanosPerTick);
  return keying_.pattern.Reduced(tick) ? levels_.reduced : levels_.full;
}

void KeyedTone::Render(std::int16_t* frames, int count, std::int64_t firstFrameNanos, KeyingSource& source) {
  const double step = 1.0 / (kRampSeconds * rate_), turnsPerFrame = toneHz_ / rate_;
  for (int at = 0; at < count; ++at) {
    const auto time = firstFrameNanos + static_cast<std::int64_t>(at * (static_cast<double>(kNanosPerSecond) / rate_));
    const double target = Level(time, source);
    if (envelope_ < 0) envelope_ = target;
    envelope_ = target > envelope_ ? std::min(target, envelope_ + step) : std::max(target, envelope_ - step);
    frames[at] =
        static_cast<std::int16_t>(std::lround(kFullScale * envelope_ * std::sin(2 * std::numbers::pi * phase_)));
    phase_ += turnsPerFrame;
    phase_ -= std::floor(phase_);
  }
}

}  // namespace output
