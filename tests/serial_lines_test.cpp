// The pulse output on a recording stand-in for the port: which line changes each pulse makes, in
// which order, under either polarity, as the engine drives it, and with no port at all.

#include <algorithm>
#include <string>
#include <tuple>
#include <vector>

#include "output/serial_lines.h"
#include "tests/recording_serial_port.h"
#include "tests/simulated_clock.h"

namespace {

using Calls = std::vector<std::string>;
using namespace simulated;
using recording_port::kGone;

bool LampOn = false;
bool InvertOutput = true;

struct Lines {
  bool dtr = false, rts = false;
  bool operator==(const Lines&) const = default;
};

// Applies the recorded line changes to two lines in turn, failing if both are ever set at once.
Lines Replay(const Calls& calls, Lines lines = {}) {
  for (const std::string& call : calls) {
    bool& line = call.ends_with("DTR") ? lines.dtr : lines.rts;
    line = call.starts_with("set");
    EXPECT_FALSE(lines.dtr && lines.rts) << "after " << call;
  }
  return lines;
}

class SerialLinesTest : public SimulatedClockTest {
 protected:
  void SetUp() override {
    SimulatedClockTest::SetUp();
    output::Links = {[](bool on) { LampOn = on; }, [] { return InvertOutput; },
                     [](const char* line) { recording_port::Calls.push_back(std::string("report: ") + line); }};
    timecode::Links.SetPulse = output::SetPulse;
    InvertOutput = true;
    recording_port::Missing = false;
    recording_port::LineError = 0;
    ASSERT_NE(output::OpenPort("COM1").handle, platform::kNoPort);
    recording_port::Calls.clear();
  }
  void TearDown() override { output::ClosePort(); }
};

TEST_F(SerialLinesTest, EveryPulseClearsOneLineThenSetsTheOther) {
  const struct {
    bool invert, on;
    Calls calls;
    Lines lines;
  } kRows[] = {
      {true, true, {"clear RTS", "set DTR"}, {.dtr = true}},
      {true, false, {"clear DTR", "set RTS"}, {.rts = true}},
      {false, true, {"clear DTR", "set RTS"}, {.rts = true}},
      {false, false, {"clear RTS", "set DTR"}, {.dtr = true}},
  };
  for (const auto& row : kRows) {
    SCOPED_TRACE(testing::Message() << "invert " << row.invert << ", on " << row.on);
    InvertOutput = row.invert;
    for (int repeat = 0; repeat < 2; ++repeat) {  // the same again, though the lines are already so
      recording_port::Calls.clear();
      output::SetPulse(row.on);
      EXPECT_EQ(LampOn, row.on);
      EXPECT_EQ(recording_port::Calls, row.calls);
      EXPECT_EQ(Replay(recording_port::Calls, {.dtr = true}), row.lines);
    }
  }
}

// The lines tick by tick through the 1 bit of second 23 and its idle stretch, with the polarity switch
// toggled at a given tick of the second: during a pulse it waits for the pulse's end, between pulses it
// takes effect at the next tick.
TEST_F(SerialLinesTest, PolaritySwitchTakesEffectAtTheNextIdleTick) {
  const Lines pulse{.dtr = true}, idle{.rts = true};  // as the switch is at start-up
  const struct {
    int toggledAtTick;
    Lines atTick[4];  // after ticks 0, 20, 21 and 99 of the second
  } kCases[] = {
      {-1, {pulse, pulse, idle, idle}},
      {5, {pulse, pulse, pulse, pulse}},  // the old pulse levels are the new idle ones
      {50, {pulse, pulse, idle, pulse}},
  };
  constexpr int kReportedTicks[] = {0, 20, 21, 99};
  const sys_seconds minute = Utc(2025y / May / 14, 21h, 33min);  // its frame carries minute 34: second 23 a 1
  for (const auto& [toggledAtTick, atTick] : kCases) {
    SCOPED_TRACE(testing::Message() << "toggled at tick " << toggledAtTick);
    InvertOutput = true;
    Restart();
    Now = minute + 22s;
    RunUntil(minute + 23s);
    Lines lines = Replay(recording_port::Calls);
    recording_port::Calls.clear();
    for (int tick = 0, reported = 0; tick < kTicksPerSecond; ++tick) {
      if (tick == toggledAtTick) InvertOutput = !InvertOutput;
      RunUntil(Now + kTick);
      const bool changesExpected = tick == 0 || tick >= 21;
      EXPECT_EQ(recording_port::Calls.size(), changesExpected ? 2u : 0u) << "tick " << tick;
      lines = Replay(recording_port::Calls, lines);
      recording_port::Calls.clear();
      if (tick == kReportedTicks[reported]) {
        EXPECT_EQ(lines, atTick[reported++]) << "tick " << tick;
      }
    }
  }
}

// Without a port the lamp still follows the pulses, and nothing reaches whatever file might now have
// the number a port had.
TEST_F(SerialLinesTest, NoLineChangesWithoutAPort) {
  const struct {
    const char* name;
    void (*prepare)();
  } kCases[] = {
      {"never opened", [] { output::ClosePort(); }},
      {"failed to open", [] { recording_port::Missing = true, output::OpenPort("COM1"); }},
      {"closed", [] { output::ClosePort(); }},
  };
  for (const auto& [name, prepare] : kCases) {
    SCOPED_TRACE(name);
    prepare();
    recording_port::Calls.clear();
    for (bool on : {true, false, true}) {
      output::SetPulse(on);
      EXPECT_EQ(LampOn, on);
    }
    EXPECT_EQ(recording_port::Calls, Calls{});
  }
}

// An adapter pulled out for three seconds, then back, then a line error that does not mean it has gone: each call
// after its second and tick, but for ticks only setting the idle levels. It is tried again as no pulse starts.
TEST_F(SerialLinesTest, PortThatGoesIsTriedAgainEverySecondUntilItIsBack) {
  const sys_seconds minute = Utc(2025y / May / 14, 21h, 33min);
  Now = minute + 22s;
  RunUntil(minute + 23s + 5 * kTick);  // into the 1 bit of second 23
  Calls seen;
  for (const auto& [lineError, missing, until] :
       {std::tuple<platform::SystemError, bool, seconds>{kGone, true, 26s}, {0, false, 28s}, {ENOTTY, false, 29s}}) {
    std::tie(recording_port::LineError, recording_port::Missing) = std::tuple(lineError, missing);
    for (recording_port::Calls.clear(); Now < minute + until; recording_port::Calls.clear()) {
      const std::string at = std::to_string((floor<seconds>(Now) - minute).count()) + "." +
                             std::to_string((Now - floor<seconds>(Now)) / kTick) + " ";
      RunUntil(Now + kTick);
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

// With --require-sync, on a clock out of step from second 10 of one minute to second 10 of the next: the
// pulse begun in second 10 is sent, the lines then stay idle and the lamp dark, and sending resumes with
// second 0 of the minute after the clock is back in step.
TEST_F(SerialLinesTest, GateHoldsThePulsesUntilTheMinuteMarkAfterTheClockIsSynchronisedAgain) {
  const sys_seconds minute = Utc(2025y / May / 14, 21h, 33min);
  Now = minute - 1s;
  for (sys_seconds second = minute - 1s; second < minute + 3min; second += 1s) {
    recording_port::Calls.clear();
    RunUntil(second + kTick);  // the tick that begins the second's pulse
    output::GateSending(second < minute + 10s || second >= minute + 70s, timecode::CurrentTime.Second);
    const bool lit = LampOn;
    RunUntil(second + 1s);
    const bool sent = (second <= minute + 10s || second >= minute + 2min) && timecode::CurrentTime.Second != 59;
    const auto pulses = std::count(recording_port::Calls.begin(), recording_port::Calls.end(), "clear RTS");
    EXPECT_TRUE(pulses == sent && lit == sent)
        << (second - minute).count() << " s: " << pulses << " pulses, lit " << lit;
  }
  output::HoldingPulses = false;
}

}  // namespace
