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

#include "app/audio_file.h"
#include "app/command_line.h"
#include "platform/local_clock.h"
#include "tests/tone_reader.h"

namespace {

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
  FILE* dcf77 = popen("python3 -B " FRAME_DECODER, "w");
  FILE* others = popen("python3 -B " CODES_DECODER, "w");
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
      char notice[512];
      std::snprintf(notice, sizeof notice,
                    "velkorin: wrote %s: %s, 1 minute from %s and the second before it, %d frames a second, the tone "
                    "at %.8g Hz\n",
                    settings.AudioFile.c_str(), code->Title, named, rate, toneHz);
      EXPECT_EQ(testing::internal::GetCapturedStderr(), notice);
      std::ifstream file(settings.AudioFile, std::ios::binary);
      const std::string bytes{std::istreambuf_iterator<char>(file), {}};
      const tone_reader::WaveHeader header = tone_reader::ReadWaveHeader(bytes);
      ASSERT_EQ(header.refused, "");
      ASSERT_EQ(header.rate, rate);
      std::vector<std::int16_t> samples(header.frames);
      ASSERT_EQ(bytes.size(), header.dataStart + 2 * samples.size());
      std::copy(bytes.begin() + static_cast<std::ptrdiff_t>(header.dataStart), bytes.end(),
                reinterpret_cast<char*>(samples.data()));

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
      const long long begun = settings.Start->time_since_epoch().count() + 29 + static_cast<long long>(first);
      std::fprintf(code == &timecode::kDcf77 ? dcf77 : others, "%s %s %lld",
                   code == &timecode::kDcf77 ? "" : code->Name, zone, begun);
      for (std::size_t at = first; at < seconds.size(); ++at) {
        if (code == &timecode::kDcf77) {
          std::fprintf(dcf77, " %d", static_cast<int>(std::min(seconds[at].find('0'), seconds[at].size())));
        } else {
          std::fprintf(others, " %s", seconds[at].c_str());
        }
      }
      std::fputc('\n', code == &timecode::kDcf77 ? dcf77 : others);
    }
  }
  EXPECT_EQ(pclose(dcf77), 0);
  EXPECT_EQ(pclose(others), 0);
}

// RIFF holds a file whose size after its first 8 bytes fits 32 bits, 36 bytes of header and the samples; a larger
// one (746 minutes at 48 kHz, a whole day at 192 kHz) is RF64.
TEST(SoundFileTest, HeaderGivesTheSizesInRf64WhereRiffCannotHoldThem) {
  const struct {
    int rate;
    std::int64_t frames;
    const char* form;
  } kCases[] = {{48'000, 2'147'483'629, "RIFF"},  // 36 + 2 × 2'147'483'629 bytes: 0xFFFFFFFE
                {48'000, 2'147'483'630, "RF64"},
                {192'000, (24 * 3600 + 1) * 192'000LL, "RF64"}};
  for (const auto& [rate, frames, form] : kCases) {
    SCOPED_TRACE(testing::Message() << frames << " frames at " << rate);
    const std::vector<char> bytes = WaveHeader(rate, frames);
    const tone_reader::WaveHeader header = tone_reader::ReadWaveHeader({bytes.data(), bytes.size()});
    EXPECT_EQ(header.refused, "");
    EXPECT_EQ(header.form, form);
    EXPECT_EQ(header.rate, rate);
    EXPECT_EQ(header.frames, static_cast<std::uint64_t>(frames));
    EXPECT_EQ(header.dataStart, bytes.size());
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
