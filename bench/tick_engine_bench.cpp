// SPDX-License-Identifier: MIT
// Cost of a tick, to hold against its 10 ms period: the common tick, the tick that starts a new second,
// and the clock reading every tick makes. Repeated, so that the median and the spread are reported.

#include <benchmark/benchmark.h>

#include <chrono>

#include "platform/local_clock.h"
#include "timecode/tick_engine.h"
#include "timecode/tick_links.h"

namespace {

// 23:33:22 CEST on a Wednesday, minute mark 23:34.
timecode::ClockReading FixedReading{{2025, 5, 14, 23, 33, 22, 3, true}, {2025, 5, 14, 23, 34, 0, 3, true}};

void InstallQuietLinks() {
  timecode::Links = {[] { return FixedReading; },
                     [](bool) {},
                     [](const timecode::TimeSample&) {},
                     [] { return true; },
                     [](timecode::ParityBit) { return false; },
                     [](int, std::chrono::milliseconds) {}};
}

void CommonTick(benchmark::State& state) {
  InstallQuietLinks();
  for (auto _ : state) {
    timecode::TickOfSecond = 5;  // inside a pulse: the tone switch read, the beep asked for
    timecode::TimerTick();
    benchmark::DoNotOptimize(timecode::TickOfSecond);
  }
}

void NewSecondTick(benchmark::State& state) {
  InstallQuietLinks();
  for (auto _ : state) {
    FixedReading.Now.Second ^= 1;  // 22, 23, 22, ...: every tick sees a new second
    timecode::TimerTick();
    benchmark::DoNotOptimize(timecode::Pattern);
  }
}

void ReadLocalClock(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(platform::ReadLocalClock());
}

BENCHMARK(CommonTick)->Repetitions(5)->ReportAggregatesOnly();
BENCHMARK(NewSecondTick)->Repetitions(5)->ReportAggregatesOnly();
BENCHMARK(ReadLocalClock)->Repetitions(5)->ReportAggregatesOnly();

}  // namespace

BENCHMARK_MAIN();
