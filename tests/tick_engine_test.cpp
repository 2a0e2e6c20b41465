// SPDX-License-Identifier: MIT
// The transmitter tick by tick: pulse shape and display, late ticks and clock steps.

#include <algorithm>
#include <cstdio>

#include "tests/simulated_clock.h"

using namespace simulated;

// A pulse begins each second but 59 and is on for its 11 or 21 ticks, then off; the display changes once a second.
TEST_F(SimulatedClockTest, EverySecondOfAMinuteTickByTick) {
  clock.Now = kMinute - 1s;  // second s of kMinute then begins at tick 100 (s + 1)
  RunUntil(kMinute + 1min);
  for (int second = 0; second < 60; ++second) {
    const TickRecord* tick = &Ticks()[static_cast<std::size_t>(second + 1) * kTicksPerSecond];
    int length = 0;
    while (length < kTicksPerSecond && tick[length].on) ++length;
    const bool mark = second == 59;
    EXPECT_TRUE((length == 11 || length == 21) != mark) << "second " << second << ": " << length;
    for (int t = 0; t < kTicksPerSecond; ++t)
      ASSERT_EQ(tick[t], (TickRecord{tick[t].at, t < length, t == 0 ? second : -1}))
          << "second " << second << ", tick " << t;
  }
}

// Ticks that come late, in the middle of a 0 or a 1, or at the start of a second, by less than DCF77's 33 ms: a pulse
// is on at every tick before its grid point, 11 or 21 periods after the tick that began its second, and off at every
// tick from then on.
TEST_F(SimulatedClockTest, LateTicksEndThePulseOnItsGridPoint) {
  const struct {
    int second, length, lateFrom, periodsMissed;
  } kCases[] = {{22, 11, 5, 6}, {22, 11, 3, 10}, {23, 21, 15, 4}, {23, 21, 10, 13}, {24, 11, 0, 3}};
  for (const auto& [second, length, lateFrom, periodsMissed] : kCases) {
    SCOPED_TRACE(testing::Message() << "second " << second << ", " << periodsMissed << " periods late from "
                                    << lateFrom);
    Start();
    const sys_seconds begins = kMinute + seconds{second};
    clock.Now = begins - 1s;
    RunUntil(begins + lateFrom * timecode::kTickPeriod);
    clock.Now += periodsMissed * timecode::kTickPeriod;
    RunUntil(begins + 1s);
    const auto first =
        std::find_if(Ticks().begin(), Ticks().end(), [&](const TickRecord& t) { return t.at >= begins; });
    for (auto tick = first; tick != Ticks().end(); ++tick)
      EXPECT_EQ(tick->on, tick->at - first->at < length * timecode::kTickPeriod) << (tick->at - begins).count();
    EXPECT_EQ(Told(), std::vector<std::string>{}) << "nothing spoiled";
  }
}

namespace {

// The strict decoder of a code, fed the minutes sent: any may be refused, as a receiver waits for the next, but any it
// reads must name the right minute; the last, which begins after the minute spoiled, must be read right.
class Decoders {
 public:
  Decoders(const timecode::TimeCode& code, const char* zone) : code_(code), zone_(zone) {
    const bool dcf77 = &code == &timecode::kDcf77;
    for (const bool lenient : {false, true}) {
      decoders_[lenient] =
          popen(dcf77 ? (lenient ? "python3 -B " FRAME_DECODER " --refused-ok" : "python3 -B " FRAME_DECODER)
                      : (lenient ? "python3 -B " CODES_DECODER " --refused-ok" : "python3 -B " CODES_DECODER),
                "w");
    }
  }
  ~Decoders() {
    for (FILE* decoder : decoders_) EXPECT_EQ(pclose(decoder), 0);
  }

  void Send(const std::vector<TickRecord>& ticks) {
    const std::vector<SentMinute> minutes = SentMinutes(ticks);
    ASSERT_FALSE(minutes.empty());
    for (const auto& [begun, seconds] : minutes) Minute(decoders_[&begun != &minutes.back().begun], begun, seconds);
  }

 private:
  void Minute(FILE* decoder, sys_seconds begun, const std::vector<std::string>& seconds) {
    const bool dcf77 = &code_ == &timecode::kDcf77;
    std::fprintf(decoder, "%s %s %lld", dcf77 ? "" : code_.Name, zone_,
                 static_cast<long long>(begun.time_since_epoch().count()));
    for (const std::string& second : seconds) {
      if (dcf77) {
        std::fprintf(decoder, " %d", PulseLengths({second})[0]);
      } else {
        std::fprintf(decoder, " %s", second.c_str());
      }
    }
    std::fputc('\n', decoder);
  }

  const timecode::TimeCode& code_;
  const char* zone_;
  FILE* decoders_[2];  // strict, lenient
};

}  // namespace

// The wall clock set in the middle of a minute, before, inside and after the parity groups, by an hour, a minute and
// three seconds either way: no code sends a frame that a receiver reads as a wrong time, nothing more of that minute
// goes out, and the next minute is whole and right. Told once, with the figure.
TEST_F(SimulatedClockTest, ClockSetMidMinuteNeverSendsAWrongTime) {
  const std::pair<const timecode::TimeCode*, const char*> kCodes[] = {{&timecode::kDcf77, "Europe/Berlin"},
                                                                      {&timecode::kMsf, "Europe/London"},
                                                                      {&timecode::kWwvb, "UTC"},
                                                                      {&timecode::kJjy, "Asia/Tokyo"}};
  for (const auto& [code, zone] : kCodes) {
    ASSERT_TRUE(platform::UseZone(zone));
    Decoders decoders(*code, zone);
    for (const milliseconds step : {milliseconds{1h}, -milliseconds{1h}, milliseconds{1min}, -milliseconds{1min},
                                    milliseconds{3s}, -milliseconds{3s}}) {
      for (const int at : {10, 25, 31, 40, 57}) {
        SCOPED_TRACE(testing::Message() << code->Name << ", set by " << step.count() << " ms in second " << at);
        Start(Unwired(*code));
        clock.Now = kMinute - 3s;
        RunUntil(kMinute + seconds{at} + 50ms);
        clock.Step(step);
        RunUntil(clock.Now + 125s);
        decoders.Send(Ticks());
        ASSERT_EQ(Told().size(), 1U);
        EXPECT_TRUE(Told()[0].starts_with("nothing more is sent in this minute: the PC clock was set by "))
            << Told()[0];
      }
    }
  }
}

// A pulse that ends late, as a tick held up that long ends it: 30 ms is within a third of the difference between
// DCF77's 100 and 200 ms, and the minute goes on; later, nothing more of it is sent, so no bit is ever read changed. A
// tick more than a second late, which skips a second, spoils its minute too.
TEST_F(SimulatedClockTest, LatePulseNeverChangesABit) {
  const struct {
    int second;  // 22 carries a 0, 23 a 1
    milliseconds late;
    const char* told;  // nullptr: nothing
  } kCases[] = {{22, 30ms, nullptr},
                {22, 60ms, "a pulse ended 60 ms late"},
                {22, 150ms, "a pulse ended 150 ms late"},
                {23, 60ms, "a pulse ended 60 ms late"},
                {23, 1200ms, "no tick came for 1.220 s"}};
  ASSERT_TRUE(platform::UseZone("Europe/Berlin"));
  Decoders decoders(timecode::kDcf77, "Europe/Berlin");
  for (const auto& [second, late, told] : kCases) {
    SCOPED_TRACE(testing::Message() << "second " << second << ", " << late.count() << " ms late");
    Start();
    clock.Now = kMinute - 3s;
    const auto due = kMinute + seconds{second} + (second == 22 ? 110ms : 210ms);
    RunUntil(due - timecode::kTickPeriod);
    clock.Now = due + late;
    RunUntil(kMinute + 125s);
    decoders.Send(Ticks());
    EXPECT_EQ(Told(), told ? std::vector<std::string>{std::string("nothing more is sent in this minute: ") + told +
                                                      "; sending again from the next minute mark"}
                           : std::vector<std::string>{});
  }
}
