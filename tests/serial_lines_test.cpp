// SPDX-License-Identifier: MIT
// The pulse output driven by the engine, its port a recording stand-in: a port lost and back, and the sync gate.

#include <algorithm>
#include <tuple>

#include "output/serial_lines.h"
#include "tests/recording_serial_port.h"
#include "tests/simulated_clock.h"

namespace {

using Calls = std::vector<std::string>;
using namespace simulated;
using timecode::kTickPeriod;

bool LampOn = false;

class SerialLinesTest : public SimulatedClockTest {
 protected:
  void SetUp() override {
    SimulatedClockTest::SetUp();
    output::Links = {[](bool on) { LampOn = on; }, [] { return true; },
                     [](const char* line) { recording_port::Calls.push_back(std::string("report: ") + line); }};
    timecode::Links.SetPulse = output::SetPulse;
    recording_port::Missing = false;
    recording_port::LineError = 0;
    ASSERT_NE(output::OpenPort("COM1").handle, platform::kNoPort);
  }
  void TearDown() override { output::ClosePort(); }
};

// An adapter pulled out for three seconds, then back, then a line error that does not mean it has gone: each call
// after its second and tick, but for ticks only setting the idle levels. It is tried again as no pulse starts.
TEST_F(SerialLinesTest, PortThatGoesIsTriedAgainEverySecondUntilItIsBack) {
  Now = kMinute + 22s;
  RunUntil(kMinute + 23s + 5 * kTickPeriod);  // into the 1 bit of second 23
  Calls seen;
  const std::tuple<platform::SystemError, bool, seconds> kStretches[] = {
      {recording_port::kGone, true, 26s}, {0, false, 28s}, {ENOTTY, false, 29s}};
  for (const auto& [lineError, missing, until] : kStretches) {
    std::tie(recording_port::LineError, recording_port::Missing) = std::tuple(lineError, missing);
    for (recording_port::Calls.clear(); Now < kMinute + until; recording_port::Calls.clear()) {
      const std::string at = std::to_string((floor<seconds>(Now) - kMinute).count()) + "." +
                             std::to_string((Now - floor<seconds>(Now)) / kTickPeriod) + " ";
      RunUntil(Now + kTickPeriod);
      if (recording_port::Calls == Calls{"clear DTR", "set RTS"}) continue;
      for (const std::string& call : recording_port::Calls) seen.push_back(at + call);
    }
  }
  EXPECT_EQ(seen, (Calls{"23.21 clear DTR", "23.21 close",
                         "23.60 report: lost the port COM1: changing its lines: Input/output error; trying it again "
                         "every second",
                         "23.60 open COM1", "24.50 open COM1", "25.60 open COM1", "26.60 open COM1", "26.60 clear DTR",
                         "26.60 set RTS", "26.60 report: the port COM1 is back; the pulses go on from the next second",
                         "27.0 clear RTS", "27.0 set DTR", "28.0 clear RTS", "28.0 set DTR"}));
}

// A port that refuses its lines from the start, as Wine does, is not taken for one that went away: it is kept.
TEST_F(SerialLinesTest, PortThatNeverTookItsLinesIsNotLost) {
  Now = kMinute - 1s;  // the minute mark, then seconds 0 to 2
  std::tie(recording_port::LineError, recording_port::Calls) = std::tuple(recording_port::kGone, Calls{});
  RunUntil(kMinute + 3s);
  EXPECT_EQ(std::count(recording_port::Calls.begin(), recording_port::Calls.end(), "clear RTS"), 3);
  EXPECT_EQ(std::count(recording_port::Calls.begin(), recording_port::Calls.end(), "close"), 0);
}

// On a clock out of step from second 10 of one minute to second 10 of the next: the pulse begun in second 10 is sent,
// the lines then stay idle and the lamp dark, and sending resumes with second 0 of the minute after the clock is back
// in step.
TEST_F(SerialLinesTest, GateHoldsThePulsesUntilTheMinuteMarkAfterTheClockIsSynchronisedAgain) {
  Now = kMinute - 1s;
  for (sys_seconds second = kMinute - 1s; second < kMinute + 3min; second += 1s) {
    recording_port::Calls.clear();
    RunUntil(second + kTickPeriod);  // the tick that begins the second's pulse
    output::GateSending(second < kMinute + 10s || second >= kMinute + 70s, timecode::CurrentTime.Second);
    const bool lit = LampOn;
    RunUntil(second + 1s);
    const bool sent = (second <= kMinute + 10s || second >= kMinute + 2min) && timecode::CurrentTime.Second != 59;
    const auto pulses = std::count(recording_port::Calls.begin(), recording_port::Calls.end(), "clear RTS");
    EXPECT_TRUE(pulses == sent && lit == sent)
        << (second - kMinute).count() << " s: " << pulses << " pulses, lit " << lit;
  }
}

}  // namespace
