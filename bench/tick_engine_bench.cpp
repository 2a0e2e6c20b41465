// SPDX-License-Identifier: MIT
// Cost of a tick, to hold against its 10 ms period: the engine's common tick and the tick that starts a new second, a
// whole transmitter's common tick with its outputs but no port, and the clock reading every tick makes. Repeated, so
// that the median and the spread are reported.

#include <benchmark/benchmark.h>

#include "app/transmitter.h"
#include "platform/local_clock.h"
#include "timecode/codes.h"
#include "timecode/tick_engine.h"

namespace {

// 23:33:22 CEST on a Wednesday, minute mark 23:34.
const timecode::ClockReading kReading{{2025, 5, 14, 23, 33, 22, 3, true}, {2025, 5, 14, 23, 34, 0, 3, true}};

void CommonTick(benchmark::State& state) {
  timecode::TickEngine engine(timecode::kDcf77);
  timecode::ClockReading reading = kReading;
  engine.TimerTick(reading, 0);
  for (auto _ : state) {
    ++reading.TickCount;  // one period on, in the same second
    benchmark::DoNotOptimize(engine.TimerTick(reading, 0));
  }
}

void NewSecondTick(benchmark::State& state) {
  timecode::TickEngine engine(timecode::kDcf77);
  timecode::ClockReading reading = kReading;
  for (auto _ : state) {
    reading.Now.Second ^= 1;  // 22, 23, 22, ...: every tick sees a new second
    benchmark::DoNotOptimize(engine.TimerTick(reading, 0));
  }
}

// A clock that stays in one second, so that every tick after the first is a common one of the whole transmitter.
class StillClock : public platform::LocalClock {
 public:
  timecode::ClockReading Read() override { return kReading; }
  platform::ClockSyncState Synchronisation() override { return {}; }
};

void TransmitterTick(benchmark::State& state) {
  StillClock clock;
  Settings settings;
  settings.PortNames.clear();
  Transmitter transmitter(settings, clock, nullptr, [](platform::Severity, const char*) {});
  for (auto _ : state) transmitter.TimerTick();
}

void ReadLocalClock(benchmark::State& state) {
  platform::LocalClock clock;
  for (auto _ : state) benchmark::DoNotOptimize(clock.Read());
}

BENCHMARK(CommonTick)->Repetitions(5)->ReportAggregatesOnly();
BENCHMARK(NewSecondTick)->Repetitions(5)->ReportAggregatesOnly();
BENCHMARK(TransmitterTick)->Repetitions(5)->ReportAggregatesOnly();
BENCHMARK(ReadLocalClock)->Repetitions(5)->ReportAggregatesOnly();

}  // namespace

BENCHMARK_MAIN();
