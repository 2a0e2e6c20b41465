// SPDX-License-Identifier: MIT
#include "app/audio_file.h"

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <vector>

#include "output/keyed_tone.h"
#include "platform/audio_device.h"
#include "platform/local_clock.h"
#include "platform/report.h"

namespace {

constexpr std::int64_t kNanosPerSecond = 1'000'000'000;
constexpr std::int64_t kBytesPerFrame = 2;  // 16-bit mono
// RIFF's sizes are 32 bits; RF64 sets them to this and gives the sizes in its ds64 chunk instead.
constexpr std::uint32_t kSizeInDs64 = UINT32_MAX;

// The keying of each second of the file, on the file's own timeline: second i from i seconds on.
class KeyingOfTheFile : public output::KeyingSource {
 public:
  void Add(const timecode::SecondPattern& pattern) {
    seconds_.push_back({.startNanos = Seconds() * kNanosPerSecond, .pattern = pattern});
  }
  std::int64_t Seconds() const { return static_cast<std::int64_t>(seconds_.size()); }

  bool KeyingAt(std::int64_t nanos, output::SecondKeying& keying) override {
    const std::int64_t at = nanos / kNanosPerSecond;
    if (nanos < 0 || at >= Seconds()) return false;
    keying = seconds_[static_cast<std::size_t>(at)];
    return true;
  }

 private:
  std::vector<output::SecondKeying> seconds_;
};

// RIFF's little-endian fields.
void Put(std::vector<char>& bytes, std::uint64_t value, int size) {
  for (int at = 0; at < size; ++at) bytes.push_back(static_cast<char>(value >> (8 * at)));
}

}  // namespace

std::vector<char> WaveHeader(int rate, std::int64_t frames) {
  const auto dataBytes = static_cast<std::uint64_t>(frames * kBytesPerFrame);
  constexpr std::uint64_t kRiffHeaderAfterSize = 36, kRf64HeaderAfterSize = 72;  // "WAVE" and the chunks before data
  const bool rf64 = kRiffHeaderAfterSize + dataBytes > UINT32_MAX;
  std::vector<char> header;
  const auto text = [&header](const char* four) { header.insert(header.end(), four, four + 4); };
  text(rf64 ? "RF64" : "RIFF");
  Put(header, rf64 ? kSizeInDs64 : kRiffHeaderAfterSize + dataBytes, 4);
  text("WAVE");
  if (rf64) {
    text("ds64");
    Put(header, 28, 4);
    Put(header, kRf64HeaderAfterSize + dataBytes, 8);
    Put(header, dataBytes, 8);
    Put(header, static_cast<std::uint64_t>(frames), 8);  // the sample count, a frame's one sample each
    Put(header, 0, 4);                                   // no table of other chunks' sizes
  }
  text("fmt ");
  Put(header, 16, 4);
  Put(header, 1, 2);  // PCM
  Put(header, 1, 2);  // one channel
  Put(header, static_cast<std::uint32_t>(rate), 4);
  Put(header, static_cast<std::uint32_t>(rate) * kBytesPerFrame, 4);
  Put(header, kBytesPerFrame, 2);
  Put(header, 16, 2);
  text("data");
  Put(header, rf64 ? kSizeInDs64 : dataBytes, 4);
  return header;
}

int WriteAudioFile(const Settings& settings) {
  const timecode::TimeCode& code = *settings.Code;
  platform::LocalClock clock;
  const std::int64_t from =
      settings.Start
          ? settings.Start->time_since_epoch().count()
          : std::chrono::floor<std::chrono::seconds>(std::chrono::system_clock::now()).time_since_epoch().count();
  const timecode::ClockReading startedIn = clock.At(from);
  const std::int64_t firstSecond =
      startedIn.Now.Second == 0 ? from : from - startedIn.Now.Second + startedIn.SecondsInMinute;
  // Every second as the transmitter shapes it, from a minute mark on.
  KeyingOfTheFile keying;
  std::uint8_t parityCount = 0;
  for (int minute = 0; minute < settings.Minutes; ++minute) {
    const std::int64_t begins = firstSecond + keying.Seconds();
    const int length = clock.At(begins).SecondsInMinute;
    for (int second = 0; second < length; ++second)
      keying.Add(code.SecondAt(clock.At(begins + second), settings.WrongParities, parityCount));
  }

  std::FILE* file = std::fopen(settings.AudioFile.c_str(), "wb");
  int error = file == nullptr ? errno : 0;
  output::KeyedTone tone(output::TimeCodeTone(code), settings.AudioRate);
  const std::int64_t frameCount = keying.Seconds() * settings.AudioRate;
  const std::vector<char> header = WaveHeader(settings.AudioRate, frameCount);
  if (error == 0 && std::fwrite(header.data(), 1, header.size(), file) != header.size()) error = errno;
  std::vector<std::int16_t> frames(static_cast<std::size_t>(settings.AudioRate));
  for (std::int64_t second = 0; error == 0 && second < keying.Seconds(); ++second) {
    tone.Render(frames.data(), settings.AudioRate, second * kNanosPerSecond, keying);
    if (std::fwrite(frames.data(), sizeof frames[0], frames.size(), file) != frames.size()) error = errno;
  }
  if (file != nullptr && std::fclose(file) != 0 && error == 0) error = errno;
  if (error == 0) return 0;
  char line[512];
  std::snprintf(line, sizeof line, "writing the sound file %s failed: %s", settings.AudioFile.c_str(),
                std::strerror(error));
  platform::Report(platform::Severity::Error, line);
  return 1;
}

void PrintAudioDevices(std::FILE* out) {
  const std::vector<platform::AudioDeviceInfo> devices = platform::ListAudioDevices();
  for (const platform::AudioDeviceInfo& device : devices) {
    std::fprintf(out, "%s%s%s\n", device.name.c_str(), device.description.empty() ? "" : ": ",
                 device.description.c_str());
  }
  if (devices.empty()) platform::Report(platform::Severity::Notice, "found no sound device");
}
