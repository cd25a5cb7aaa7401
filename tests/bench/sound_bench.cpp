// Cost of the stand-in player's sound mixing: one second of output (44.1 kHz
// stereo) with four event sounds at 22 kHz and a 44.1 kHz stereo stream, the
// load of a movie with music and effects. The time of one iteration over one
// second is the share of a core the mixing takes. The baseline is a plain
// copy of one second of stereo samples.

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <memory>
#include <vector>

#include "sound/sound_mixer.h"

namespace {

constexpr std::size_t kSecond = swf::kMixRate;

std::shared_ptr<const swf::DecodedSound> Tone(int rate, int channels, double hz, double seconds) {
  auto sound = std::make_shared<swf::DecodedSound>();
  sound->rate = rate;
  sound->channels = channels;
  const auto frames = static_cast<std::size_t>(rate * seconds);
  for (std::size_t i = 0; i < frames; ++i) {
    const auto value = static_cast<std::int16_t>(8000 * std::sin(6.283185307 * hz * static_cast<double>(i) / rate));
    for (int c = 0; c < channels; ++c) sound->samples.push_back(value);
  }
  return sound;
}

void BM_MixFourEventsAndAStreamOneSecond(benchmark::State& state) {
  swf::SoundMixer mixer;
  const auto effect = Tone(22050, 2, 440, 0.5);
  swf::SoundInfo looping;
  looping.loops = 60000;
  looping.envelope = {{0, 32768, 16000}, {22050, 16000, 32768}};
  for (std::uint32_t id = 1; id <= 4; ++id) mixer.Start(id, effect, looping);
  // The stream comes as frame blocks of 1/30 s, as a 30 fps movie delivers them.
  const auto block = Tone(44100, 2, 220, 1.0 / 30);
  std::vector<std::int16_t> out(kSecond * 2);
  for (auto _ : state) {
    for (int frame = 0; frame < 30; ++frame) mixer.QueueStream(*block);
    mixer.Mix(out);
    benchmark::DoNotOptimize(out.data());
  }
}

void BM_BaselineCopyOneSecondOfSound(benchmark::State& state) {
  std::vector<std::int16_t> from(kSecond * 2, 3), to(kSecond * 2);
  for (auto _ : state) {
    std::copy(from.begin(), from.end(), to.begin());
    benchmark::DoNotOptimize(to.data());
    benchmark::ClobberMemory();
  }
}

}  // namespace

BENCHMARK(BM_MixFourEventsAndAStreamOneSecond)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BaselineCopyOneSecondOfSound)->Unit(benchmark::kMicrosecond);
