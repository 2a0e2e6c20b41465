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

// The keying of each second of the file, from its first.
class KeyingOfTheFile : public output::KeyingSource {
 public:
  explicit KeyingOfTheFile(std::int64_t firstSecond) : firstSecond_(firstSecond) {}

  void Add(const timecode::SecondPattern& pattern) { seconds_.push_back({.pattern = pattern}); }
  std::int64_t Seconds() const { return static_cast<std::int64_t>(seconds_.size()); }

  bool KeyingFor(std::int64_t unixSecond, output::SecondKeying& keying) override {
    const std::int64_t at = unixSecond - firstSecond_;
    if (at < 0 || at >= Seconds()) return false;
    keying = seconds_[static_cast<std::size_t>(at)];
    return true;
  }

 private:
  std::int64_t firstSecond_;
  std::vector<output::SecondKeying> seconds_;
};

// RIFF's little-endian fields.
void Put(std::vector<char>& bytes, std::uint32_t value, int size) {
  for (int at = 0; at < size; ++at) bytes.push_back(static_cast<char>(value >> (8 * at)));
}

std::vector<char> WaveHeader(int rate, std::uint32_t dataBytes) {
  std::vector<char> header;
  const auto text = [&header](const char* four) { header.insert(header.end(), four, four + 4); };
  text("RIFF");
  Put(header, 36 + dataBytes, 4);
  text("WAVE");
  text("fmt ");
  Put(header, 16, 4);
  Put(header, 1, 2);  // PCM
  Put(header, 1, 2);  // one channel
  Put(header, static_cast<std::uint32_t>(rate), 4);
  Put(header, static_cast<std::uint32_t>(rate) * 2, 4);
  Put(header, 2, 2);
  Put(header, 16, 2);
  text("data");
  Put(header, dataBytes, 4);
  return header;
}

}  // namespace

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
  KeyingOfTheFile keying(firstSecond);
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
  const std::vector<char> header = WaveHeader(settings.AudioRate, static_cast<std::uint32_t>(frameCount * 2));
  if (error == 0 && std::fwrite(header.data(), 1, header.size(), file) != header.size()) error = errno;
  std::vector<std::int16_t> frames(static_cast<std::size_t>(settings.AudioRate));
  for (std::int64_t second = 0; error == 0 && second < keying.Seconds(); ++second) {
    tone.Render(frames.data(), settings.AudioRate, (firstSecond + second) * kNanosPerSecond, keying);
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
