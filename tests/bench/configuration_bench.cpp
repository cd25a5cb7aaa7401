// Reading cost of configuration files: a file of normal size, and files with
// one long kept line or one long ignored line, whose time per byte should stay
// the same as they grow (one pass, no second copy of a line).

#include <benchmark/benchmark.h>

#include <cstring>
#include <string>

#include "package/saver_configuration.h"

namespace {

std::string TypicalFile() {
  std::string file = "3\r\n";
  for (int line = 2; line <= 31; ++line) file += "Value of line " + std::to_string(line) + "\r\n";
  return file;
}

// Line 4 (kept) or line 11 (ignored) holds the given number of bytes.
std::string FileWithLongLine(std::size_t bytes, bool kept) {
  std::string file = "3\r\n\r\n\r\n";
  if (kept) {
    file += std::string(bytes, 'k') + "\r\n";
  } else {
    file += "4\r\n5\r\n6\r\n7\r\n8\r\n9\r\n10\r\n" + std::string(bytes, 'i') + "\r\n";
  }
  return file + "last\r\n";
}

void FeedInChunks(const std::string& file) {
  constexpr std::size_t kChunk = 64 * 1024;
  tpl::SaverConfiguration configuration;
  tpl::SaverConfigurationReader reader(configuration);
  for (std::size_t at = 0; at < file.size() && reader.Feed(std::string_view(file).substr(at, kChunk)); at += kChunk) {
  }
  reader.Finish();
  benchmark::DoNotOptimize(configuration.SettingsCaption.data());
}

// Baseline: the least any line reader does, finding each LF and copying the
// line out, over the same bytes.
void SplitLines(const std::string& file) {
  std::string line;
  const char* at = file.data();
  const char* const end = at + file.size();
  while (at < end) {
    const void* found = std::memchr(at, '\n', static_cast<std::size_t>(end - at));
    const char* lineEnd = found != nullptr ? static_cast<const char*>(found) : end;
    line.assign(at, lineEnd);
    benchmark::DoNotOptimize(line.data());
    at = lineEnd + 1;
  }
}

void BM_TypicalFile(benchmark::State& state) {
  const std::string file = TypicalFile();
  for (auto _ : state) FeedInChunks(file);
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * file.size()));
}
BENCHMARK(BM_TypicalFile);

void BM_BaselineSplitTypicalFile(benchmark::State& state) {
  const std::string file = TypicalFile();
  for (auto _ : state) SplitLines(file);
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * file.size()));
}
BENCHMARK(BM_BaselineSplitTypicalFile);

void BM_BaselineSplitLongLine(benchmark::State& state) {
  const std::string file = FileWithLongLine(static_cast<std::size_t>(state.range(0)), true);
  for (auto _ : state) SplitLines(file);
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * file.size()));
}
BENCHMARK(BM_BaselineSplitLongLine)->RangeMultiplier(10)->Range(1 << 20, 100 << 20)->Unit(benchmark::kMillisecond);

void BM_LongKeptLine(benchmark::State& state) {
  const std::string file = FileWithLongLine(static_cast<std::size_t>(state.range(0)), true);
  for (auto _ : state) FeedInChunks(file);
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * file.size()));
}
BENCHMARK(BM_LongKeptLine)->RangeMultiplier(10)->Range(1 << 20, 100 << 20)->Unit(benchmark::kMillisecond);

void BM_LongIgnoredLine(benchmark::State& state) {
  const std::string file = FileWithLongLine(static_cast<std::size_t>(state.range(0)), false);
  for (auto _ : state) FeedInChunks(file);
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * file.size()));
}
BENCHMARK(BM_LongIgnoredLine)->RangeMultiplier(10)->Range(1 << 20, 100 << 20)->Unit(benchmark::kMillisecond);

}  // namespace
