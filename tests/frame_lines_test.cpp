// SPDX-License-Identifier: MIT
// The --frames line: its bits, as the project's strict decoder reads them, name the minute the zone database says,
// and its reading back says what was sent, the minute's parity sent wrong by its switch included; a minute not sent
// whole says why.

#include <cstdio>
#include <sstream>
#include <string>

#include "output/frame_lines.h"
#include "tests/simulated_clock.h"

using namespace simulated;

TEST_F(SimulatedClockTest, FrameLineReadsAsTheDecoderReadsTheMinute) {
  std::FILE* lines = std::tmpfile();
  output::FrameLines frames(timecode::kDcf77, lines);
  transmitter->AddOutput(frames);
  clock.Now = kMinute - 1s;
  for (int tick = 0; tick < 181 * kTicksPerSecond; ++tick, clock.Now += timecode::kTickPeriod) {
    transmitter->Switches().WrongParities = tick >= 61 * kTicksPerSecond ? 0b001 : 0;  // P1, the minute's
    if (tick == 151 * kTicksPerSecond) clock.Step(1h);                                 // 23:35:30, set to 00:35:30
    Tick();
  }
  std::rewind(lines);
  char text[512];
  std::string sent[3];
  for (std::string& line : sent) line = std::fgets(text, sizeof text, lines) ? text : "";
  std::fclose(lines);

  // 23:34 CEST; its bits, read after the minute mark it names, with its pulses' lengths for the decoder.
  const auto bitsAndReading = sent[0].find("  ");
  std::istringstream fields(sent[0].substr(0, bitsAndReading));
  std::string date, time, zone, bits, group;
  fields >> date >> time >> zone;
  while (fields >> group) bits += group;
  EXPECT_EQ(date + ' ' + time + ' ' + zone, "2025-05-14 23:34 CEST");
  FILE* decoder = popen("python3 -B " FRAME_DECODER, "w");
  std::fprintf(decoder, "Europe/Berlin %lld", static_cast<long long>(kMinute.time_since_epoch().count()));
  for (const char bit : bits) std::fprintf(decoder, " %d", bit == '1' ? 21 : 11);
  std::fprintf(decoder, " 0\n");
  EXPECT_EQ(pclose(decoder), 0) << sent[0];
  EXPECT_EQ(sent[0].substr(bitsAndReading + 2),
            "minute 34, hour 23, day 14, weekday 3, month 5, year 25, CEST, parity good\n");
  EXPECT_NE(sent[1].find("minute 35, hour 23, day 14, weekday 3, month 5, year 25, CEST, parity wrong: minute\n"),
            std::string::npos)
      << sent[1];
  EXPECT_TRUE(sent[2].starts_with("2025-05-15 00:36 CEST") &&
              sent[2].ends_with("; not sent: the PC clock was set by +3600.000 s\n"))
      << sent[2];
}
