// SPDX-License-Identifier: MIT
// The code as sound in a WAV file, for every code at 48 and at 192 kHz (where the carrier itself is sent), read back
// by the tone reader and the code's own strict decoder; the tone's frequency and the keying's depth measured on the
// samples.

#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iterator>

#include "app/audio_file.h"
#include "app/command_line.h"
#include "platform/local_clock.h"
#include "tests/tone_reader.h"

TEST(SoundFileTest, EveryCodeReadBackFromTheFileByItsDecoder) {
  const struct {
    const timecode::TimeCode* code;
    const char* zone;
    const char* start;  // 30 s before the minute written
    double depth;       // the reduced carrier's amplitude, as a share of the full one
  } kCases[] = {{&timecode::kDcf77, "Europe/Berlin", "2027-03-28 00:59:30", 0.15},
                {&timecode::kMsf, "Europe/London", "2027-03-28 00:58:30", 0},
                {&timecode::kWwvb, "UTC", "2028-12-31 23:58:30", 0.141},
                {&timecode::kJjy, "Asia/Tokyo", "2027-06-01 12:44:30", 0}};
  const QTemporaryDir directory;
  FILE* dcf77 = popen("python3 -B " FRAME_DECODER, "w");
  FILE* others = popen("python3 -B " CODES_DECODER, "w");
  for (const auto& [code, zone, start, depth] : kCases) {
    for (const int rate : {48'000, 192'000}) {
      SCOPED_TRACE(testing::Message() << code->Name << " at " << rate);
      ASSERT_TRUE(platform::UseZone(zone));
      Settings settings;
      settings.Code = code;
      settings.Start = ParseStartTime(start).moment;
      settings.AudioRate = rate;
      settings.AudioFile = directory.filePath("minute.wav").toStdString();
      ASSERT_EQ(WriteAudioFile(settings), 0);
      std::ifstream file(settings.AudioFile, std::ios::binary);
      file.ignore(44);  // the header
      const std::vector<char> bytes{std::istreambuf_iterator<char>(file), {}};
      std::vector<std::int16_t> samples(bytes.size() / 2);
      std::copy(bytes.begin(), bytes.end(), reinterpret_cast<char*>(samples.data()));
      ASSERT_EQ(samples.size(), 60U * rate);

      const double toneHz = tone_reader::ToneHz(code->CarrierHz, rate);
      // Where every code's carrier is full: late in a second, and for JJY early in it.
      const auto full = static_cast<std::size_t>(code == &timecode::kJjy ? 0.10 * rate : 0.88 * rate);
      EXPECT_NEAR(tone_reader::MeasuredHz(samples, full, rate / 11, rate), toneHz, toneHz / 100);
      const std::vector<double> envelope = tone_reader::Envelope(samples, rate, toneHz);
      const auto [lowest, highest] = std::minmax_element(envelope.begin(), envelope.end());
      EXPECT_NEAR(*lowest / *highest, depth, 0.01);
      const std::vector<std::string> seconds = tone_reader::Seconds(envelope, (*highest + *lowest) / 2);
      const long long begun = settings.Start->time_since_epoch().count() + 30;
      std::fprintf(code == &timecode::kDcf77 ? dcf77 : others, "%s %s %lld",
                   code == &timecode::kDcf77 ? "" : code->Name, zone, begun);
      for (const std::string& second : seconds) {
        if (code == &timecode::kDcf77) {
          std::fprintf(dcf77, " %d", static_cast<int>(std::min(second.find('0'), second.size())));
        } else {
          std::fprintf(others, " %s", second.c_str());
        }
      }
      std::fputc('\n', code == &timecode::kDcf77 ? dcf77 : others);
    }
  }
  EXPECT_EQ(pclose(dcf77), 0);
  EXPECT_EQ(pclose(others), 0);
}
