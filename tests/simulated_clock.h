// SPDX-License-Identifier: MIT
#pragma once

// A transmitter on a simulated clock in Berlin's zone that moves on one tick period per tick, what it sends recorded.

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <iterator>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "app/transmitter.h"
#include "platform/local_clock.h"
#include "timecode/codes.h"
#include "timecode/tick_engine.h"

namespace simulated {

using namespace std::chrono;

inline constexpr int kTicksPerSecond = 100;
// Its frame carries 23:34 on Wednesday 14 May 2025 (summer time): seconds 23, 28, 35 and 58 carry a 1.
inline constexpr sys_seconds kMinute = sys_days{2025y / May / 14} + 21h + 33min;

// The PC's clock, made up: its wall clock reads Now, and its steady clock moves with it but for the steps Step makes;
// the kernel says Kernel of a leap second, and the system says Sync of the clock's synchronisation.
class Clock : public platform::LocalClock {
 public:
  sys_time<milliseconds> Now;
  platform::KernelLeap Kernel;
  platform::ClockSyncState Sync{platform::ClockSync::Synchronised};

  // The wall clock set by `by`, as a user or a daemon sets it.
  void Step(milliseconds by) {
    Now += by;
    stepped_ += by;
  }

  timecode::ClockReading Read() override {
    const sys_seconds second = floor<seconds>(Now);
    timecode::ClockReading reading = At(second.time_since_epoch().count(), Kernel);
    reading.TickCount += (Now - second) / timecode::kTickPeriod;
    reading.WallNanos = WallNanos();
    reading.SteadyNanos = duration_cast<nanoseconds>(Now.time_since_epoch() - stepped_).count();
    return reading;
  }
  std::int64_t WallNanos() override { return duration_cast<nanoseconds>(Now.time_since_epoch()).count(); }
  platform::ClockSyncState Synchronisation() override { return Sync; }

 private:
  milliseconds stepped_{0};
};

struct TickRecord {
  sys_time<milliseconds> at;  // of the simulated clock
  bool on = false;            // whether a pulse was on
  int shown = -1;             // the second the display was given, if it was
  bool operator==(const TickRecord&) const = default;
};

// The host's output, as the window is: every tick, whether a pulse was on, and at a new second the second shown.
class Recorder : public output::Output {
 public:
  explicit Recorder(const Clock& clock) : clock_(clock) {}
  std::vector<TickRecord> Ticks;

  void NewSecond(const timecode::TimeSample& now) override { shown_ = now.Second; }
  void SetPulse(bool on) override {
    Ticks.push_back({clock_.Now, on, shown_});
    shown_ = -1;
  }

 private:
  const Clock& clock_;
  int shown_ = -1;
};

// The seconds sent, each from the tick that began it (the display is given every new second) to the next that begins
// one: '1' for each tick period during which the carrier was reduced, as the lines held it from one tick to the
// next, '0' for the others, 100 in all.
struct SentSecond {
  sys_time<milliseconds> begun;
  int second = 0;  // as shown
  std::string periods;
};

inline std::vector<SentSecond> SentSeconds(const std::vector<TickRecord>& ticks) {
  std::vector<SentSecond> sent;
  for (std::size_t begun = 0; begun < ticks.size(); ++begun) {
    if (ticks[begun].shown < 0) continue;
    sent.push_back({ticks[begun].at, ticks[begun].shown, std::string(kTicksPerSecond, '0')});
    for (std::size_t tick = begun; tick + 1 < ticks.size() && (tick == begun || ticks[tick].shown < 0); ++tick) {
      const auto from = (ticks[tick].at - ticks[begun].at) / timecode::kTickPeriod,
                 to = (ticks[tick + 1].at - ticks[begun].at) / timecode::kTickPeriod;
      // A clock set back within a second shows no new one: its periods count from the step.
      for (auto period = std::max<decltype(from)>(from, 0);
           ticks[tick].on && period < std::min(to, decltype(to){kTicksPerSecond}); ++period)
        sent.back().periods[period] = '1';
    }
  }
  return sent;
}

// The whole minutes sent, each from a second 0 up to the next: when it began, and its seconds.
struct SentMinute {
  sys_seconds begun;
  std::vector<std::string> seconds;
};

inline std::vector<SentMinute> SentMinutes(const std::vector<TickRecord>& ticks) {
  std::vector<SentMinute> minutes;
  bool whole = false;
  for (const SentSecond& second : SentSeconds(ticks)) {
    if (second.second == 0) {
      minutes.push_back({floor<seconds>(second.begun), {}});
      whole = true;
    }
    if (whole) minutes.back().seconds.push_back(second.periods);
  }
  if (!minutes.empty()) minutes.pop_back();  // not known to be whole
  return minutes;
}

// The length in tick periods of each second's pulse, which begins as the second does: DCF77's bits.
inline std::vector<int> PulseLengths(const std::vector<std::string>& seconds) {
  std::vector<int> lengths;
  for (const std::string& periods : seconds) lengths.push_back(static_cast<int>(periods.find('0')));
  return lengths;
}

// Settings for a transmitter that drives no port.
inline Settings Unwired(const timecode::TimeCode& code = timecode::kDcf77) {
  Settings settings;
  std::tie(settings.Code, settings.PortNames) = std::tuple(&code, std::vector<std::string>{});
  return settings;
}

class SimulatedClockTest : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("TZ", "CET-1CEST,M3.5.0,M10.5.0/3", 1);  // as a rule, independent of the zone database
    tzset();
    Start();
  }

  // A transmitter as the program starts one, the clock's ticks recorded from now on; its reports kept, unless they
  // are to go elsewhere.
  Transmitter& Start(const Settings& settings = Unwired(), platform::Reporter report = nullptr) {
    transmitter.reset();
    recorder.Ticks.clear();
    reports.clear();
    if (!report) report = [this](platform::Severity, const char* line) { reports.emplace_back(line); };
    transmitter.emplace(settings, clock, &recorder, std::move(report));
    return *transmitter;
  }

  void Tick() { transmitter->TimerTick(); }

  void RunUntil(sys_time<milliseconds> end) {
    for (; clock.Now < end; clock.Now += timecode::kTickPeriod) Tick();
  }

  std::vector<TickRecord>& Ticks() { return recorder.Ticks; }
  // What was told of minutes not sent whole.
  std::vector<std::string> Told() const {
    std::vector<std::string> told;
    std::ranges::copy_if(reports, std::back_inserter(told),
                         [](const auto& line) { return line.starts_with("nothing"); });
    return told;
  }

  Clock clock;
  Recorder recorder{clock};
  std::vector<std::string> reports;
  std::optional<Transmitter> transmitter;
};

}  // namespace simulated
