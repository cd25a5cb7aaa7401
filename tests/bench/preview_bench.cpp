// Cost of the preview's frame loop beyond the player's drawing: one pass per
// frame through the loop's decisions, with the player's painting left out and
// a 154 x 113 pixel copy standing in for the copy onto the preview window.
// Every allocation is counted; a frame must make none.

#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>
#include <vector>

#include "preview/preview_frames.h"

namespace {

std::atomic<std::uint64_t> g_allocations{0};

// Out of line, so that the compiler does not pair the replaced operators with
// malloc and free and warn about a mismatch that is none.
[[gnu::noinline]] void* AllocateBlock(std::size_t size) { return std::malloc(size == 0 ? 1 : size); }
[[gnu::noinline]] void FreeBlock(void* memory) noexcept { std::free(memory); }

}  // namespace

void* operator new(std::size_t size) {
  g_allocations.fetch_add(1, std::memory_order_relaxed);
  if (void* memory = AllocateBlock(size)) return memory;
  throw std::bad_alloc();
}
void operator delete(void* memory) noexcept { FreeBlock(memory); }
void operator delete(void* memory, std::size_t) noexcept { FreeBlock(memory); }

namespace {

constexpr int kPlayerWidth = 154;
constexpr int kPlayerHeight = 113;
constexpr int kFramesPerRun = 1000;

// The Windows side without Windows: visible for a number of passes, a movie
// that has stopped whenever asked (so a looping movie is played again every
// frame, the dearest path), no pause.
class BenchSteps final : public tpl::PreviewSteps {
 public:
  BenchSteps(int windowWidth, int windowHeight)
      : frame_(static_cast<std::size_t>(windowWidth + 1) * static_cast<std::size_t>(windowHeight + 1)),
        window_(static_cast<std::size_t>(windowWidth) * static_cast<std::size_t>(windowHeight)),
        width_(windowWidth),
        height_(windowHeight) {}

  void Reset(int frames) { passesLeft_ = frames; }
  [[nodiscard]] std::uint64_t Replays() const { return replays_; }

  bool WindowExists() override { return true; }
  bool WindowVisible() override { return passesLeft_-- > 0; }
  void HandlePendingMessages() override {}
  void Pause() override {}
  void PaintPlayer() override { benchmark::DoNotOptimize(frame_.data()); }
  void CopyFrameToWindow() override {
    for (int y = 0; y < height_; ++y) {
      std::memcpy(&window_[static_cast<std::size_t>(y) * static_cast<std::size_t>(width_)],
                  &frame_[static_cast<std::size_t>(y) * static_cast<std::size_t>(width_ + 1)],
                  static_cast<std::size_t>(width_) * sizeof(std::uint32_t));
    }
    benchmark::ClobberMemory();
  }
  bool PlayerIsPlaying() override { return false; }
  void PlayAgain() override { ++replays_; }

 private:
  std::vector<std::uint32_t> frame_;
  std::vector<std::uint32_t> window_;
  int width_;
  int height_;
  int passesLeft_ = 0;
  std::uint64_t replays_ = 0;
};

void RunFrames(benchmark::State& state, bool loopMovie) {
  BenchSteps steps(kPlayerWidth, kPlayerHeight);
  const std::uint64_t allocationsBefore = g_allocations.load();
  for (auto _ : state) {
    steps.Reset(kFramesPerRun);
    benchmark::DoNotOptimize(tpl::RunPreviewFrames(steps, loopMovie));
  }
  const std::uint64_t allocations = g_allocations.load() - allocationsBefore;
  const double frames = static_cast<double>(state.iterations()) * kFramesPerRun;
  state.counters["frames"] = benchmark::Counter(frames, benchmark::Counter::kIsRate);
  state.counters["allocs_per_frame"] = static_cast<double>(allocations) / frames;
  if (loopMovie && steps.Replays() == 0) state.SkipWithError("the looping movie was never played again");
  if (allocations != 0) state.SkipWithError("a frame allocated memory");
}

void BM_PreviewFrame(benchmark::State& state) { RunFrames(state, false); }
void BM_PreviewFrameReplaying(benchmark::State& state) { RunFrames(state, true); }

// Baseline: the frame's copy alone, without the loop around it.
void BM_BaselinePreviewCopy(benchmark::State& state) {
  BenchSteps steps(kPlayerWidth, kPlayerHeight);
  for (auto _ : state) {
    for (int frame = 0; frame < kFramesPerRun; ++frame) steps.CopyFrameToWindow();
  }
  state.counters["frames"] =
      benchmark::Counter(static_cast<double>(state.iterations()) * kFramesPerRun, benchmark::Counter::kIsRate);
}

BENCHMARK(BM_PreviewFrame);
BENCHMARK(BM_PreviewFrameReplaying);
BENCHMARK(BM_BaselinePreviewCopy);

}  // namespace
