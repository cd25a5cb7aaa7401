#include "sound/sound_mixer.h"

#include <algorithm>
#include <cmath>

namespace swf {
namespace {

constexpr std::size_t kChunkFrames = 4096;

double SourceFramesFrom44(std::uint32_t position44, int rate) {
  return static_cast<double>(position44) * rate / kMixRate;
}

// The sample of `channel` at a fractional source position, linear between neighbours.
double SampleAt(const DecodedSound& sound, double position, int channel, std::size_t frames) {
  const auto index = static_cast<std::size_t>(position);
  const double fraction = position - static_cast<double>(index);
  const auto channels = static_cast<std::size_t>(sound.channels);
  const auto pick = static_cast<std::size_t>(std::min(channel, sound.channels - 1));
  const double here = sound.samples[index * channels + pick];
  if (fraction == 0 || index + 1 >= frames) return here;
  const double next = sound.samples[(index + 1) * channels + pick];
  return here + (next - here) * fraction;
}

// The channel routing of levels as factors: left out = ll * left + lr * right,
// right out = rl * left + rr * right.
struct Gains {
  double ll = 1, lr = 0, rl = 0, rr = 1;
};

Gains GainsOf(const SoundTransform& levels) {
  const double volume = std::max(levels.volume, 0) / 100.0;
  return {volume * levels.ll / 100.0, volume * levels.lr / 100.0, volume * levels.rl / 100.0,
          volume * levels.rr / 100.0};
}

}  // namespace

std::pair<int, int> EnvelopeLevel(std::span<const EnvelopePoint> envelope, double position44) {
  if (envelope.empty()) return {32768, 32768};
  if (position44 <= envelope.front().position44) return {envelope.front().left, envelope.front().right};
  for (std::size_t i = 1; i < envelope.size(); ++i) {
    const EnvelopePoint& before = envelope[i - 1];
    const EnvelopePoint& after = envelope[i];
    if (position44 >= after.position44) continue;
    const double span = static_cast<double>(after.position44) - before.position44;
    const double t = span > 0 ? (position44 - before.position44) / span : 1.0;
    return {static_cast<int>(std::lround(before.left + (after.left - before.left) * t)),
            static_cast<int>(std::lround(before.right + (after.right - before.right) * t))};
  }
  return {envelope.back().left, envelope.back().right};
}

// The stream's ring (700 KB) is made when the first block arrives: most
// movies have no stream sound, and a player is made at every start.
SoundMixer::SoundMixer() : sum_(kChunkFrames * 2) {
  voices_.reserve(kMaxVoices);
  levels_.reserve(16);
}

void SoundMixer::Start(std::uint32_t id, std::shared_ptr<const DecodedSound> sound, const SoundInfo& info,
                       const void* owner) {
  if (info.stop) {
    Stop(id);
    return;
  }
  if (!sound || sound->channels < 1 || sound->channels > 2 || sound->rate <= 0 || sound->Frames() == 0) return;
  Voice voice;
  voice.id = id;
  voice.owner = owner;
  voice.step = static_cast<double>(sound->rate) / kMixRate;
  const auto frames = static_cast<double>(sound->Frames());
  voice.start = info.inPoint44 ? std::min(SourceFramesFrom44(*info.inPoint44, sound->rate), frames) : 0.0;
  voice.end = info.outPoint44 ? std::min(SourceFramesFrom44(*info.outPoint44, sound->rate), frames) : frames;
  if (voice.end <= voice.start) return;
  voice.position = voice.start;
  voice.loopsLeft = std::max<int>(info.loops, 1);
  voice.envelope = info.envelope;
  voice.sound = std::move(sound);
  const std::lock_guard guard(lock_);
  if (info.noMultiple && std::any_of(voices_.begin(), voices_.end(), [id](const Voice& v) { return v.id == id; }))
    return;
  if (voices_.size() >= kMaxVoices) return;
  voices_.push_back(std::move(voice));
}

void SoundMixer::Stop(std::uint32_t id) {
  const std::lock_guard guard(lock_);
  std::erase_if(voices_, [id](const Voice& v) { return v.id == id; });
}

void SoundMixer::StopOwnedBy(const void* owner) {
  const std::lock_guard guard(lock_);
  std::erase_if(voices_, [owner](const Voice& v) { return v.owner == owner; });
}

void SoundMixer::StopAll() {
  const std::lock_guard guard(lock_);
  voices_.clear();
  streamRead_ = streamCount_ = 0;
  streamPlayed_ = 0;
  streamCarry_ = 0;
}

bool SoundMixer::IsPlaying(std::uint32_t id, const void* owner) const {
  const std::lock_guard guard(lock_);
  return std::any_of(voices_.begin(), voices_.end(),
                     [id, owner](const Voice& v) { return v.id == id && v.owner == owner; });
}

std::optional<double> SoundMixer::Position(std::uint32_t id, const void* owner) const {
  const std::lock_guard guard(lock_);
  for (auto it = voices_.rbegin(); it != voices_.rend(); ++it) {
    if (it->id == id && it->owner == owner) return it->position;
  }
  return std::nullopt;
}

void SoundMixer::Stop(std::uint32_t id, const void* owner) {
  const std::lock_guard guard(lock_);
  std::erase_if(voices_, [id, owner](const Voice& v) { return v.id == id && v.owner == owner; });
}

bool SoundMixer::IsPlaying(std::uint32_t id) const {
  const std::lock_guard guard(lock_);
  return std::any_of(voices_.begin(), voices_.end(), [id](const Voice& v) { return v.id == id; });
}

std::size_t SoundMixer::VoiceCount() const {
  const std::lock_guard guard(lock_);
  return voices_.size();
}

void SoundMixer::QueueStream(const DecodedSound& block) {
  if (block.channels < 1 || block.channels > 2 || block.rate <= 0 || block.Frames() == 0) return;
  const std::size_t frames = block.Frames();
  const double step = static_cast<double>(block.rate) / kMixRate;
  const std::lock_guard guard(lock_);
  if (stream_.empty()) stream_.assign(kStreamCapacity * 2, 0);
  double position = streamCarry_;
  while (position < static_cast<double>(frames)) {
    if (streamCount_ >= kStreamCapacity) break;
    const std::size_t write = (streamRead_ + streamCount_) % kStreamCapacity;
    stream_[write * 2] = static_cast<std::int16_t>(std::lround(SampleAt(block, position, 0, frames)));
    stream_[write * 2 + 1] = static_cast<std::int16_t>(std::lround(SampleAt(block, position, 1, frames)));
    ++streamCount_;
    position += step;
  }
  streamCarry_ = std::max(0.0, position - static_cast<double>(frames));
}

std::uint64_t SoundMixer::StreamFramesPlayed() const {
  const std::lock_guard guard(lock_);
  return streamPlayed_;
}

std::uint64_t SoundMixer::FramesMixed() const {
  const std::lock_guard guard(lock_);
  return mixed_;
}

std::size_t SoundMixer::StreamFramesQueued() const {
  const std::lock_guard guard(lock_);
  return streamCount_;
}

void SoundMixer::SetOwnerLevels(const void* owner, const SoundTransform& levels) {
  const std::lock_guard guard(lock_);
  for (OwnerLevel& level : levels_) {
    if (level.owner == owner) {
      level.levels = levels;
      return;
    }
  }
  levels_.push_back(OwnerLevel{owner, levels});
}

void SoundMixer::SetGlobalLevels(const SoundTransform& levels) {
  const std::lock_guard guard(lock_);
  global_ = levels;
}

SoundTransform SoundMixer::LevelsOf(const void* owner) const {
  for (const OwnerLevel& level : levels_) {
    if (level.owner == owner) return level.levels;
  }
  return SoundTransform{};
}

void SoundMixer::MixVoice(Voice& voice, std::span<std::int32_t> sum) {
  const DecodedSound& sound = *voice.sound;
  const std::size_t frames = sound.Frames();
  const Gains gains = GainsOf(LevelsOf(voice.owner));
  const double to44 = static_cast<double>(kMixRate) / sound.rate;
  const std::size_t count = sum.size() / 2;
  for (std::size_t i = 0; i < count; ++i) {
    double left = SampleAt(sound, voice.position, 0, frames);
    double right = SampleAt(sound, voice.position, 1, frames);
    if (!voice.envelope.empty()) {
      const auto [envelopeLeft, envelopeRight] = EnvelopeLevel(voice.envelope, voice.position * to44);
      left *= envelopeLeft / 32768.0;
      right *= envelopeRight / 32768.0;
    }
    sum[2 * i] += static_cast<std::int32_t>(std::lround(left * gains.ll + right * gains.lr));
    sum[2 * i + 1] += static_cast<std::int32_t>(std::lround(left * gains.rl + right * gains.rr));
    voice.position += voice.step;
    if (voice.position >= voice.end) {
      if (--voice.loopsLeft <= 0) return;
      voice.position = voice.start + (voice.position - voice.end);
      if (voice.position >= voice.end) voice.position = voice.start;
    }
  }
}

void SoundMixer::MixStream(std::span<std::int32_t> sum) {
  const std::size_t count = std::min(sum.size() / 2, streamCount_);
  for (std::size_t i = 0; i < count; ++i) {
    sum[2 * i] += stream_[streamRead_ * 2];
    sum[2 * i + 1] += stream_[streamRead_ * 2 + 1];
    streamRead_ = (streamRead_ + 1) % kStreamCapacity;
  }
  streamCount_ -= count;
  streamPlayed_ += count;
}

void SoundMixer::Mix(std::span<std::int16_t> out) {
  const std::lock_guard guard(lock_);
  for (std::size_t done = 0; done < out.size() / 2;) {
    const std::size_t frames = std::min(kChunkFrames, out.size() / 2 - done);
    const std::span<std::int32_t> sum(sum_.data(), frames * 2);
    std::fill(sum.begin(), sum.end(), 0);
    for (Voice& voice : voices_) MixVoice(voice, sum);
    std::erase_if(voices_, [](const Voice& v) { return v.loopsLeft <= 0; });
    MixStream(sum);
    const Gains global = GainsOf(global_);
    for (std::size_t i = 0; i < frames; ++i) {
      const double left = sum[2 * i], right = sum[2 * i + 1];
      const double outLeft = std::round(left * global.ll + right * global.lr);
      const double outRight = std::round(left * global.rl + right * global.rr);
      out[(done + i) * 2] = static_cast<std::int16_t>(std::clamp(outLeft, -32768.0, 32767.0));
      out[(done + i) * 2 + 1] = static_cast<std::int16_t>(std::clamp(outRight, -32768.0, 32767.0));
    }
    done += frames;
  }
  mixed_ += out.size() / 2;
}

}  // namespace swf
