// SPDX-License-Identifier: MIT
#include "app/audio_file.h"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <string>

#include "output/keyed_tone.h"
#include "platform/audio_device.h"
#include "platform/local_clock.h"
#include "platform/report.h"
#include "timecode/text_line.h"

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

// The step that failed and the system's reason, or no step; whether it left a file behind.
struct Failure {
  const char* step = nullptr;
  int error = 0;
  bool leftAFile = true;
};

Failure WriteFile(const std::string& path, const std::vector<char>& header, KeyingOfTheFile& keying,
                  output::KeyedTone& tone) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return {.step = "opening", .error = errno, .leftAFile = false};
  Failure failure;
  if (std::fwrite(header.data(), 1, header.size(), file) != header.size()) failure = {"writing", errno};
  std::vector<std::int16_t> frames(static_cast<std::size_t>(tone.Rate()));
  for (std::int64_t second = 0; failure.step == nullptr && second < keying.Seconds(); ++second) {
    tone.Render(frames.data(), tone.Rate(), second * kNanosPerSecond, keying);
    if (std::fwrite(frames.data(), sizeof frames[0], frames.size(), file) != frames.size())
      failure = {"writing", errno};
  }
  if (std::fclose(file) != 0 && failure.step == nullptr) failure = {"closing", errno};
  return failure;
}

// A file cut short would claim in its header more than it holds; a device or a pipe named as the file is not the
// program's to remove.
void TellFailureAndRemove(const std::string& path, Failure failure) {
  std::vector<char> text(path.size() + 256);
  timecode::TextLine line(text.data(), text.size());
  line.Add("%s the sound file %s failed: %s", failure.step, path.c_str(), std::strerror(failure.error));
  std::error_code notRegular;
  if (failure.leftAFile && std::filesystem::is_regular_file(path, notRegular)) {
    if (std::remove(path.c_str()) == 0) {
      line.Add("; removed it");
    } else {
      line.Add("; removing it failed too: %s", std::strerror(errno));
    }
  }
  platform::Report(platform::Severity::Error, text.data());
}

void TellWritten(const Settings& settings, const timecode::LocalTime& firstMinute, double toneHz) {
  std::vector<char> text(settings.AudioFile.size() + 256);
  timecode::TextLine line(text.data(), text.size());
  line.Add("wrote %s: %s, %d minute%s from ", settings.AudioFile.c_str(), settings.Code->Title, settings.Minutes,
           settings.Minutes == 1 ? "" : "s");
  line.AddMinute(firstMinute);
  line.Add(" and the second before it, %d frames a second, the tone at %.8g Hz", settings.AudioRate, toneHz);
  platform::Report(platform::Severity::Notice, text.data());
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
  const std::int64_t firstMinute =
      startedIn.Now.Second == 0 ? from : from - startedIn.Now.Second + startedIn.SecondsInMinute;
  // Every second as the transmitter shapes it, from the last second of the minute before on: its minute mark (DCF77's
  // second without a pulse, the others' marker before the one that begins the minute) tells a receiver where the
  // first minute begins.
  KeyingOfTheFile keying;
  std::uint8_t parityCount = 0;
  const auto shape = [&](const timecode::ClockReading& reading) {
    const timecode::SecondPattern pattern = code.SecondAt(reading, settings.WrongParities, parityCount);
    keying.Add(pattern);
    return pattern.Symbol;
  };
  shape(clock.At(firstMinute - 1));
  std::string frameLines;  // --frames: told once the file is written, as the transmitter tells each minute sent
  for (int minute = 0; minute < settings.Minutes; ++minute) {
    const std::int64_t begins = firstMinute - 1 + keying.Seconds();
    timecode::SentMinute sent;
    sent.Seconds = clock.At(begins).SecondsInMinute;
    for (int second = 0; second < sent.Seconds; ++second) {
      sent.Reading = clock.At(begins + second);
      sent.Symbols[second] = shape(sent.Reading);
      sent.Sent[second] = true;
    }
    if (settings.Frames) {
      char line[512];
      code.DescribeFrame(sent, line, sizeof line);
      (frameLines += line) += '\n';
    }
  }

  output::KeyedTone tone(output::TimeCodeTone(code), settings.AudioRate);
  const Failure failure = WriteFile(
      settings.AudioFile, WaveHeader(settings.AudioRate, keying.Seconds() * settings.AudioRate), keying, tone);
  if (failure.step != nullptr) {
    TellFailureAndRemove(settings.AudioFile, failure);
    return 1;
  }
  std::fputs(frameLines.c_str(), stdout);
  TellWritten(settings, clock.At(firstMinute).Now, tone.ToneHz());
  return 0;
}

void PrintAudioDevices(std::FILE* out) {
  const std::vector<platform::AudioDeviceInfo> devices = platform::ListAudioDevices();
  for (const platform::AudioDeviceInfo& device : devices) {
    std::fprintf(out, "%s%s%s\n", device.name.c_str(), device.description.empty() ? "" : ": ",
                 device.description.c_str());
  }
  if (devices.empty()) platform::Report(platform::Severity::Notice, "found no sound device");
}
