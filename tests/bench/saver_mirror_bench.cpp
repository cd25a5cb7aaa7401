// The portable part of the saver's mirroring at 1920 x 1080 with four
// secondary monitors: the placement table made once at activation, and the
// decisions of one timer message (mode check, cadence, the copies it makes).
// The pixel copies themselves are measured under Wine by bench_mirror_tick_win.

#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "saver/saver_rules.h"

namespace {

using tpl::saver::Monitor;
using tpl::saver::Rect;

// A primary monitor in the middle of a row of five 1920 x 1080 monitors.
std::vector<Monitor> FiveMonitorsInARow() {
  std::vector<Monitor> monitors;
  for (int index = 0; index < 5; ++index)
    monitors.push_back(Monitor{Rect{(index - 2) * 1920, 0, 1920, 1080}, index == 2});
  return monitors;
}

void BM_PlacementForFiveMonitors(benchmark::State& state) {
  const std::vector<Monitor> monitors = FiveMonitorsInARow();
  const Rect desktop{-2 * 1920, 0, 5 * 1920, 1080};
  for (auto _ : state) {
    benchmark::DoNotOptimize(tpl::saver::PlanPlacement({1920, 1080}, desktop, monitors));
  }
}
BENCHMARK(BM_PlacementForFiveMonitors);

void BM_MirrorTickDecisions(benchmark::State& state) {
  const tpl::saver::SaverPlacement placement =
      tpl::saver::PlanPlacement({1920, 1080}, Rect{-2 * 1920, 0, 5 * 1920, 1080}, FiveMonitorsInARow());
  tpl::saver::MirrorCadence cadence;
  long long copiedPixels = 0;
  for (auto _ : state) {
    if (!tpl::saver::MirroringOn("all")) continue;
    if (!cadence.Tick()) continue;
    for (const Rect& mirror : placement.mirrors) copiedPixels += static_cast<long long>(mirror.width) * mirror.height;
    benchmark::DoNotOptimize(copiedPixels);
  }
  state.counters["copies_per_tick"] =
      benchmark::Counter(static_cast<double>(copiedPixels) / (1920.0 * 1080.0), benchmark::Counter::kAvgIterations);
}
BENCHMARK(BM_MirrorTickDecisions);

// Baseline: the least the copies of one tick cost, a plain copy of one
// 1920 x 1080 picture into each of the four secondary monitors' pictures.
void BM_BaselineCopyToFourMonitors(benchmark::State& state) {
  const std::vector<std::uint32_t> frame(1920 * 1080, 0xFF204060);
  std::vector<std::vector<std::uint32_t>> mirrors(4, std::vector<std::uint32_t>(frame.size()));
  for (auto _ : state) {
    for (std::vector<std::uint32_t>& mirror : mirrors) {
      std::memcpy(mirror.data(), frame.data(), frame.size() * sizeof(std::uint32_t));
      benchmark::DoNotOptimize(mirror.data());
    }
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_BaselineCopyToFourMonitors)->Unit(benchmark::kMillisecond);

}  // namespace
