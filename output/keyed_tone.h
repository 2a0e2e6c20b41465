// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>

#include "timecode/time_code.h"

// The time code as sound: a tone keyed as the station keys its carrier, for a radio clock near a speaker, whose
// output stage makes odd harmonics of the tone, one of them on the carrier. Where the rate can carry the carrier
// itself, the tone is the carrier. The beep is the same, a tone sounding only while the carrier is reduced.

namespace output {

// What one second carries, from when it starts on the sound's timeline: its pattern, or no pulse at all while the
// pulses are held back, as a receiver hears a lost signal.
struct SecondKeying {
  std::int64_t startNanos = 0;
  timecode::SecondPattern pattern;
  bool held = false;
};

// Where the keying of each second comes from.
class KeyingSource {
 public:
  // The second that `nanos` falls in, on the sound's timeline: the last that began at or before it, if it is not over;
  // false where no second is known, which sounds as between the pulses.
  virtual bool KeyingAt(std::int64_t nanos, SecondKeying& keying) = 0;

 protected:
  ~KeyingSource() = default;
};

// A keyed tone: its frequency before it is brought below the rate's Nyquist frequency, and its amplitude, as a share of
// the loudest, while the carrier is reduced and while it is not.
struct ToneKeying {
  int frequencyHz;
  double reduced;
  double full;
};

// The time code as sound: the station's carrier at full amplitude, reduced as the station reduces it.
inline ToneKeying TimeCodeTone(const timecode::TimeCode& code) { return {code.CarrierHz, code.ReducedAmplitude, 1}; }

// The beep: 600 Hz during every pulse, half as loud as the time code, silent between.
inline constexpr ToneKeying kBeep = {600, 0.5, 0};

class KeyedTone {
 public:
  KeyedTone(const ToneKeying& keying, int rate);

  // The frequency divided by the smallest odd number that brings it below the rate's Nyquist frequency.
  double ToneHz() const { return toneHz_; }
  int Rate() const { return rate_; }

  // Fills `count` frames, the first of which leaves the device at firstFrameNanos, on the keying source's timeline.
  // The amplitude follows the keying of each tick period, moving from one level to the next over a millisecond from
  // the period's start, so that the keying does not splatter; the tone's phase runs on unbroken.
  void Render(std::int16_t* frames, int count, std::int64_t firstFrameNanos, KeyingSource& source);

 private:
  double Level(std::int64_t unixNanos, KeyingSource& source);

  double toneHz_;
  ToneKeying levels_;
  int rate_;
  double phase_ = 0;      // of the tone, in turns
  double envelope_ = -1;  // the amplitude now, 0 to 1; before the first frame none, and the first takes its level
  std::int64_t lookedUpIn_ = INT64_MIN;  // the tick period the second was last looked up in
  SecondKeying keying_;
  bool keyingKnown_ = false;
};

}  // namespace output
