// SPDX-License-Identifier: MIT
// The code as sound in a WAV file: for every code at 48 and at 192 kHz (where the carrier itself is sent), read back
// from where a receiver finds the minute mark, by the tone reader and the code's own strict decoder, the tone's
// frequency and the keying's depth measured on the samples; the header's sizes where RIFF's no longer hold them; a
// file that could not be written whole removed, and why told.

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <QTemporaryDir>
#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "app/audio_file.h"
#include "app/command_line.h"
#include "platform/local_clock.h"
#include "tests/decoders.h"
#include "tests/tone_reader.h"

namespace {

using namespace std::string_literals;

// Where the first whole minute begins, found as a receiver finds it: by the minute mark, read from the last second of
// the minute before and the first of the minute (DCF77's second without a pulse; MSF's 500 ms off, after a second
// whose end shows the carrier; WWVB's and JJY's markers at 59 and 0); seconds.size() where there is none.
std::size_t FirstMinute(const timecode::TimeCode* code, const std::vector<std::string>& seconds) {
  const std::string noPulse(100, '0'), msfMark = std::string(50, '1') + std::string(50, '0');
  const std::string marker = code == &timecode::kWwvb ? std::string(80, '1') + std::string(20, '0')
                                                      : std::string(20, '0') + std::string(80, '1');
  for (std::size_t first = 1; first < seconds.size(); ++first) {
    const std::string &last = seconds[first - 1], &second0 = seconds[first];
    if (code == &timecode::kDcf77 ? last == noPulse
        : code == &timecode::kMsf ? second0 == msfMark
                                  : last == marker && second0 == marker)
      return first;
  }
  return seconds.size();
}

}  // namespace

TEST(SoundFileTest, EveryCodeReadBackFromTheFileByItsDecoder) {
  const struct {
    const timecode::TimeCode* code;
    const char* zone;
    const char* start;  // 30 s before the minute written
    const char* named;  // the minute written, as its notice names it
    double depth;       // the reduced carrier's amplitude, as a share of the full one
  } kCases[] = {{&timecode::kDcf77, "Europe/Berlin", "2027-03-28 00:59:30", "2027-03-28 01:00 CET", 0.15},
                {&timecode::kMsf, "Europe/London", "2027-03-28 00:58:30", "2027-03-28 00:59 GMT", 0},
                {&timecode::kWwvb, "UTC", "2028-12-31 23:58:30", "2028-12-31 23:59 UTC", 0.141},
                {&timecode::kJjy, "Asia/Tokyo", "2027-06-01 12:44:30", "2027-06-01 12:45 JST", 0}};
  const QTemporaryDir directory;
  simulated::Decoders decoders;
  for (const auto& [code, zone, start, named, depth] : kCases) {
    for (const int rate : {48'000, 192'000}) {
      SCOPED_TRACE(testing::Message() << code->Name << " at " << rate);
      ASSERT_TRUE(platform::UseZone(zone));
      Settings settings;
      settings.Code = code;
      settings.Start = ParseStartTime(start).moment;
      settings.AudioRate = rate;
      settings.AudioFile = directory.filePath("minute.wav").toStdString();
      testing::internal::CaptureStderr();
      ASSERT_EQ(WriteAudioFile(settings), 0);
      const double toneHz = tone_reader::ToneHz(code->CarrierHz, rate);
      EXPECT_NE(testing::internal::GetCapturedStderr().find(std::string(code->Title) + ", 1 minute from " + named +
                                                            " and the second before it, " + std::to_string(rate)),
                std::string::npos);
      std::ifstream file(settings.AudioFile, std::ios::binary);
      const std::string bytes{std::istreambuf_iterator<char>(file), {}};
      ASSERT_EQ(bytes.substr(0, 4), "RIFF");
      std::vector<std::int16_t> samples((bytes.size() - 44) / 2);  // after the header
      ASSERT_EQ(samples.size(), 61U * rate);
      std::copy(bytes.begin() + 44, bytes.end(), reinterpret_cast<char*>(samples.data()));

      // Where every code's carrier is full: late in a second, and for JJY early in it.
      const auto full = static_cast<std::size_t>(code == &timecode::kJjy ? 0.10 * rate : 0.88 * rate);
      EXPECT_NEAR(tone_reader::MeasuredHz(samples, full, rate / 11, rate), toneHz, toneHz / 100);
      const std::vector<double> envelope = tone_reader::Envelope(samples, rate, toneHz);
      const auto [lowest, highest] = std::minmax_element(envelope.begin(), envelope.end());
      EXPECT_NEAR(*lowest / *highest, depth, 0.01);
      const std::vector<std::string> seconds = tone_reader::Seconds(envelope, (*highest + *lowest) / 2);
      // The file begins a second before the minute written: the minute found begins that many seconds later.
      const std::size_t first = FirstMinute(code, seconds);
      ASSERT_LT(first, seconds.size()) << "no minute mark";
      decoders.Minute(*code, zone, *settings.Start + std::chrono::seconds{29 + first},
                      {seconds.begin() + static_cast<std::ptrdiff_t>(first), seconds.end()});
    }
  }
}

// RIFF holds a file whose size after its first 8 bytes fits 32 bits, 36 bytes of header and the samples; one byte
// more is RF64, its sizes all ones and in 64 bits in its ds64 chunk.
TEST(SoundFileTest, HeaderGivesTheSizesInRf64WhereRiffCannotHoldThem) {
  for (const auto& [frames, form, size, dataSize] : {std::tuple(2'147'483'629LL, "RIFF", 0xFFFF'FFFEULL, 40),
                                                     std::tuple(2'147'483'630LL, "RF64", 0xFFFF'FFFFULL, 28)}) {
    const std::vector<char> header = WaveHeader(48'000, frames);
    const auto number = [&header](std::size_t at, std::size_t bytes) {
      std::uint64_t value = 0;
      for (std::size_t byte = 0; byte < bytes; ++byte)
        value |= std::uint64_t{std::uint8_t(header[at + byte])} << 8 * byte;
      return value;
    };
    EXPECT_EQ(std::string(header.data(), 4) + " " + std::string(header.end() - 8, header.end() - 4), form + " data"s);
    EXPECT_EQ(number(4, 4), size);
    EXPECT_EQ(number(dataSize, dataSize == 40 ? 4 : 8), 2ULL * frames) << form;
  }
}

// A file size limit fails the writes as a full disk does, EFBIG where a disk says ENOSPC, on a regular file that the
// program must then remove.
TEST(SoundFileTest, FileNotWrittenWholeIsRemovedAndWhyTold) {
  const QTemporaryDir directory;
  const struct {
    std::string path;
    rlim_t sizeLimit;
    const char* step;
    int error;
    const char* removed;
  } kCases[] = {{directory.filePath("full.wav").toStdString(), 65'536, "writing", EFBIG, "; removed it"},
                {directory.filePath("missing/minute.wav").toStdString(), RLIM_INFINITY, "opening", ENOENT, ""}};
  rlimit asBefore{};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &asBefore), 0);
  const auto exceeded = std::signal(SIGXFSZ, SIG_IGN);  // so that a write past the limit fails rather than kills
  for (const auto& [path, sizeLimit, step, error, removed] : kCases) {
    SCOPED_TRACE(path);
    Settings settings;
    settings.AudioFile = path;
    testing::internal::CaptureStderr();
    const rlimit limited{.rlim_cur = std::min(sizeLimit, asBefore.rlim_max), .rlim_max = asBefore.rlim_max};
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limited), 0);
    const int status = WriteAudioFile(settings);
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &asBefore), 0);
    EXPECT_EQ(status, 1);
    EXPECT_FALSE(std::filesystem::exists(path));
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "velkorin: " + std::string(step) + " the sound file " + path +
                                                          " failed: " + std::strerror(error) + removed + "\n");
  }
  std::signal(SIGXFSZ, exceeded);
}
