// SPDX-License-Identifier: MIT
#pragma once

// A reader of the time code as sound, written apart from the program's: a band-pass at the tone (the tone's in-phase
// and quadrature parts over each millisecond), the envelope, and a threshold half-way between the two levels.

#include <cmath>
#include <cstdint>
#include <numbers>
#include <string>
#include <vector>

namespace tone_reader {

// The carrier divided by the smallest odd number that brings it below the Nyquist frequency.
inline double ToneHz(double carrierHz, int rate) {
  int divisor = 1;
  while (carrierHz / divisor >= rate / 2.0) divisor += 2;
  return carrierHz / divisor;
}

// The tone's amplitude over each millisecond, as a share of full scale.
inline std::vector<double> Envelope(const std::vector<std::int16_t>& samples, int rate, double toneHz) {
  const int perMillisecond = rate / 1000;
  std::vector<double> envelope;
  for (std::size_t first = 0; first + perMillisecond <= samples.size(); first += perMillisecond) {
    double inPhase = 0, quadrature = 0;
    for (int at = 0; at < perMillisecond; ++at) {
      const double turn = 2 * std::numbers::pi * toneHz * static_cast<double>(first + at) / rate;
      inPhase += samples[first + at] * std::cos(turn);
      quadrature += samples[first + at] * std::sin(turn);
    }
    envelope.push_back(2 * std::hypot(inPhase, quadrature) / perMillisecond / INT16_MAX);
  }
  return envelope;
}

// Each second from the envelope's first millisecond on, as 100 ticks, '1' where the tone is below the threshold over
// the tick (its first millisecond, where the level may be moving, left out).
inline std::vector<std::string> Seconds(const std::vector<double>& envelope, double threshold) {
  std::vector<std::string> seconds;
  for (std::size_t second = 0; (second + 1) * 1000 <= envelope.size(); ++second) {
    std::string ticks;
    for (std::size_t tick = 0; tick < 100; ++tick) {
      double sum = 0;
      for (std::size_t ms = 1; ms < 10; ++ms) sum += envelope[second * 1000 + tick * 10 + ms];
      ticks += sum / 9 < threshold ? '1' : '0';
    }
    seconds.push_back(ticks);
  }
  return seconds;
}

// The tone's frequency from its sign changes between two samples.
inline double MeasuredHz(const std::vector<std::int16_t>& samples, std::size_t from, std::size_t count, int rate) {
  int changes = 0;
  for (std::size_t at = from + 1; at < from + count; ++at) changes += (samples[at] < 0) != (samples[at - 1] < 0);
  return changes / 2.0 * rate / static_cast<double>(count);
}

}  // namespace tone_reader
