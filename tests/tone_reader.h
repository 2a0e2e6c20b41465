// SPDX-License-Identifier: MIT
#pragma once

// A reader of the time code as sound, written apart from the program's: the WAV file's header, a band-pass at the tone
// (the tone's in-phase and quadrature parts over each millisecond), the envelope, and a threshold half-way between the
// two levels.

#include <cmath>
#include <cstdint>
#include <numbers>
#include <string>
#include <string_view>
#include <vector>

namespace tone_reader {

// What a WAV file's header says of the samples after it, or why a reader would refuse it.
struct WaveHeader {
  std::string form;  // RIFF, or RF64 for a file too large for RIFF's 32-bit sizes
  int rate = 0;
  std::uint64_t frames = 0;
  std::size_t dataStart = 0;  // where the samples begin
  std::string refused;        // empty where the header is good
};

// Reads a header of 16-bit mono PCM: RIFF's, or RF64's (EBU Tech 3306), whose 32-bit sizes are all ones and whose
// ds64 chunk, first after WAVE, gives them in 64 bits. The sizes must be those of a file that ends with the samples.
inline WaveHeader ReadWaveHeader(std::string_view bytes) {
  WaveHeader header;
  const auto number = [&bytes](std::size_t at, std::size_t size) {
    std::uint64_t value = 0;
    for (std::size_t byte = 0; byte < size && at + byte < bytes.size(); ++byte)
      value |= std::uint64_t{static_cast<unsigned char>(bytes[at + byte])} << (8 * byte);
    return value;
  };
  const auto refuse = [](const char* why) {
    WaveHeader refusal;
    refusal.refused = why;
    return refusal;
  };
  constexpr std::uint64_t kInDs64 = 0xFFFF'FFFF;
  header.form = bytes.substr(0, 4);
  const bool rf64 = header.form == "RF64";
  if ((header.form != "RIFF" && !rf64) || bytes.substr(8, 4) != "WAVE") return refuse("no RIFF or RF64 WAVE");
  if (rf64 && (bytes.substr(12, 4) != "ds64" || number(4, 4) != kInDs64)) return refuse("RF64 without ds64");
  std::uint64_t riffSize = number(rf64 ? 20 : 4, rf64 ? 8 : 4), dataSize = 0;
  for (std::size_t chunk = 12; chunk + 8 <= bytes.size() && header.dataStart == 0;
       chunk += 8 + static_cast<std::size_t>(number(chunk + 4, 4))) {
    const std::string_view name = bytes.substr(chunk, 4);
    if (name == "fmt ") {
      if (number(chunk + 8, 2) != 1 || number(chunk + 10, 2) != 1 || number(chunk + 20, 2) != 2 ||
          number(chunk + 22, 2) != 16 || number(chunk + 16, 4) != 2 * number(chunk + 12, 4))
        return refuse("no 16-bit mono PCM");
      header.rate = static_cast<int>(number(chunk + 12, 4));
    } else if (name == "data") {
      dataSize = rf64 && number(chunk + 4, 4) == kInDs64 ? number(28, 8) : number(chunk + 4, 4);
      header.dataStart = chunk + 8;
    }
  }
  header.frames = dataSize / 2;
  if (header.rate == 0 || header.dataStart == 0) return refuse("no fmt or no data chunk");
  if (riffSize != header.dataStart - 8 + dataSize) return refuse("a RIFF size that is not the file's");
  if (rf64 && number(36, 8) != header.frames) return refuse("a sample count that is not the data's");
  return header;
}

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
