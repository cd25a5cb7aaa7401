#pragma once
// Mixes the sounds a movie plays into 16-bit stereo at 44.1 kHz: event sounds
// (each with its in and out points, loops and envelope), the stream sound of
// the timeline, volume and pan. The movie's thread starts and stops sounds,
// the audio output's thread calls Mix; a lock keeps them apart. Mixing never
// allocates, so the output thread never waits on the heap.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <vector>

#include "sound/sound_data.h"

namespace swf {

inline constexpr int kMixRate = 44100;

class SoundMixer {
 public:
  // At most this many event sounds play at once; a start beyond it is dropped,
  // as the platform caps its channels too.
  static constexpr std::size_t kMaxVoices = 32;
  // The stream's queue holds at most this many frames at the mix rate (4 s);
  // blocks that would overfill it are dropped.
  static constexpr std::size_t kStreamCapacity = 4 * kMixRate;

  SoundMixer();

  // Starts `sound` (identified by `id`) as `info` says; a "stop" info stops
  // the id's voices instead. `owner` ties the voice to what started it (a clip,
  // a Sound object), so that its volume and stop reach only its own voices.
  void Start(std::uint32_t id, std::shared_ptr<const DecodedSound> sound, const SoundInfo& info,
             const void* owner = nullptr);
  void Stop(std::uint32_t id);
  void StopOwnedBy(const void* owner);
  void StopAll();  // event sounds and the stream
  [[nodiscard]] bool IsPlaying(std::uint32_t id) const;
  [[nodiscard]] bool IsPlaying(std::uint32_t id, const void* owner) const;
  // How far the owner's newest voice of the sound has played, in source frames at its rate; nullopt when none plays.
  [[nodiscard]] std::optional<double> Position(std::uint32_t id, const void* owner) const;
  void Stop(std::uint32_t id, const void* owner);
  [[nodiscard]] std::size_t VoiceCount() const;

  // Appends a stream block, resampled to the mix rate. The stream plays as
  // long as blocks come; a gap plays silence.
  void QueueStream(const DecodedSound& block);
  // Frames of stream sound played since the stream last started.
  [[nodiscard]] std::uint64_t StreamFramesPlayed() const;
  [[nodiscard]] std::size_t StreamFramesQueued() const;
  // Every frame Mix has produced, silence included: the output device's clock.
  [[nodiscard]] std::uint64_t FramesMixed() const;

  // The levels of one owner's voices (volume 0 to 100, more amplifies, as the
  // platform allows), and those of every voice and the stream.
  void SetOwnerLevels(const void* owner, const SoundTransform& levels);
  void SetGlobalLevels(const SoundTransform& levels);

  // Fills `out` (interleaved left, right) with the next frames of the mix and
  // advances every voice; finished voices are dropped.
  void Mix(std::span<std::int16_t> out);

 private:
  struct Voice {
    std::uint32_t id = 0;
    const void* owner = nullptr;
    std::shared_ptr<const DecodedSound> sound;
    double position = 0;  // in source frames
    double step = 1;      // source frames per mixed frame
    double start = 0;     // first source frame of each loop
    double end = 0;       // frame after the last one played
    int loopsLeft = 1;
    std::vector<EnvelopePoint> envelope;
  };
  struct OwnerLevel {
    const void* owner = nullptr;
    SoundTransform levels;
  };

  void MixVoice(Voice& voice, std::span<std::int32_t> sum);
  void MixStream(std::span<std::int32_t> sum);
  [[nodiscard]] SoundTransform LevelsOf(const void* owner) const;

  mutable std::mutex lock_;
  std::vector<Voice> voices_;
  std::vector<OwnerLevel> levels_;
  std::vector<std::int16_t> stream_;  // ring of stereo frames
  std::size_t streamRead_ = 0, streamCount_ = 0;
  std::uint64_t streamPlayed_ = 0;
  std::uint64_t mixed_ = 0;
  double streamCarry_ = 0;  // resampling phase between blocks
  SoundTransform global_;
  std::vector<std::int32_t> sum_;  // the mix before clipping, kept between calls
};

// The level (0 to 32768) of an envelope at a position in 44.1 kHz samples:
// linear between points, the first point's level before it, the last's after.
[[nodiscard]] std::pair<int, int> EnvelopeLevel(std::span<const EnvelopePoint> envelope, double position44);

}  // namespace swf
