// SPDX-License-Identifier: MIT
// The pulse output driven by the transmitter, its port a recording stand-in: a port lost and back, and the sync gate.

#include <algorithm>
#include <tuple>

#include "tests/recording_serial_port.h"
#include "tests/simulated_clock.h"

namespace {

using Calls = std::vector<std::string>;
using namespace simulated;
using timecode::kTickPeriod;

class SerialLinesTest : public SimulatedClockTest {
 protected:
  void SetUp() override {
    SimulatedClockTest::SetUp();
    recording_port::Missing = false;
    recording_port::LineError = 0;
    StartOnCom1(Unwired());
  }
  // The reports among the port's calls, in the order they came.
  void StartOnCom1(Settings settings) {
    settings.PortNames = {"COM1"};
    Start(settings, [](platform::Severity, const char* line) {
      recording_port::Calls.push_back(std::string("report: ") + line);
    });
    ASSERT_TRUE(transmitter->OpenPorts(false).empty());
  }
};

// An adapter pulled out for three seconds, then back, then a line error that does not mean it has gone, for three
// ticks: each call after its second and tick, but for ticks only setting the idle levels. It is tried again as no
// pulse starts; a clear that fails is not followed by the set, but tried again at the next tick.
TEST_F(SerialLinesTest, PortThatGoesIsTriedAgainEverySecondUntilItIsBack) {
  clock.Now = kMinute + 22s;
  RunUntil(kMinute + 23s + 5 * kTickPeriod);  // into the 1 bit of second 23
  Calls seen;
  const std::tuple<platform::SystemError, bool, sys_time<milliseconds>> kStretches[] = {
      {recording_port::kGone, true, kMinute + 26s},
      {0, false, kMinute + 28s},
      {ENOTTY, false, kMinute + 28s + 3 * kTickPeriod},
      {0, false, kMinute + 29s}};
  for (const auto& [lineError, missing, until] : kStretches) {
    std::tie(recording_port::LineError, recording_port::Missing) = std::tuple(lineError, missing);
    for (recording_port::Calls.clear(); clock.Now < until; recording_port::Calls.clear()) {
      const std::string at = std::to_string((floor<seconds>(clock.Now) - kMinute).count()) + "." +
                             std::to_string((clock.Now - floor<seconds>(clock.Now)) / kTickPeriod) + " ";
      RunUntil(clock.Now + kTickPeriod);
      if (recording_port::Calls == Calls{"clear DTR", "set RTS"}) continue;
      for (const std::string& call : recording_port::Calls) seen.push_back(at + call);
    }
  }
  EXPECT_EQ(seen, (Calls{"23.21 clear DTR", "23.21 close",
                         "23.21 report: lost the port COM1: changing its lines: Input/output error; trying it again "
                         "every second",
                         "23.60 open COM1", "24.50 open COM1", "25.60 open COM1", "26.60 open COM1", "26.60 clear DTR",
                         "26.60 set RTS", "26.60 report: the port COM1 is back; the pulses go on from the next second",
                         "27.0 clear RTS", "27.0 set DTR", "28.0 clear RTS",
                         "28.0 report: changing the lines of the port COM1 failed: Inappropriate ioctl for device; "
                         "tried again at every tick",
                         "28.1 clear RTS", "28.2 clear RTS", "28.3 clear RTS", "28.3 set DTR",
                         "28.3 report: the port COM1 takes its line changes now"}));
}

// A port that refuses its lines from the start, as Wine does, is not taken for one that went away: it is kept, told
// of once, and its lines are never set after a clear that failed.
TEST_F(SerialLinesTest, PortThatNeverTookItsLinesIsKeptAndToldOfOnce) {
  clock.Now = kMinute - 1s;  // the minute mark, then seconds 0 to 2
  std::tie(recording_port::LineError, recording_port::Calls) = std::tuple(recording_port::kGone, Calls{});
  RunUntil(kMinute + 3s);
  const auto count = [](const std::string& call) {
    return std::count_if(recording_port::Calls.begin(), recording_port::Calls.end(),
                         [&call](const std::string& made) { return made.starts_with(call); });
  };
  EXPECT_EQ(std::tuple(count("clear RTS"), count("set "), count("close"), count("report: the port")),
            std::tuple(3 * 11, 0, 0, 1))
      << "each pulse tick tried, never a set after it, the port kept, told once";
  EXPECT_EQ(count("report: the port COM1 does not take line changes: Input/output error; only the lamp"), 1);
}

// With --require-sync, on a clock out of step from second 10 of one minute to second 10 of the next: the pulse begun
// in second 10 is sent, the lines then stay idle and the lamp dark, and sending resumes with second 0 of the minute
// after the clock is back in step.
TEST_F(SerialLinesTest, GateHoldsThePulsesUntilTheMinuteMarkAfterTheClockIsSynchronisedAgain) {
  Settings settings = Unwired();
  settings.RequireSync = true;
  StartOnCom1(settings);
  for (sys_seconds second = kMinute - 1s; second < kMinute + 3min; second += 1s) {
    recording_port::Calls.clear();
    clock.Sync.sync = second < kMinute + 10s || second >= kMinute + 70s ? platform::ClockSync::Synchronised
                                                                        : platform::ClockSync::Unsynchronised;
    clock.Now = second;
    RunUntil(second + kTickPeriod);  // the tick that begins the second's pulse
    const bool lit = Ticks().back().on;
    RunUntil(second + 1s);
    const bool minuteMark = ((second - kMinute).count() + 60) % 60 == 59;
    const bool sent = (second <= kMinute + 10s || second >= kMinute + 2min) && !minuteMark;
    const auto pulses = std::count(recording_port::Calls.begin(), recording_port::Calls.end(), "clear RTS");
    EXPECT_TRUE(pulses == sent && lit == sent)
        << (second - kMinute).count() << " s: " << pulses << " pulses, lit " << lit;
  }
}

}  // namespace
