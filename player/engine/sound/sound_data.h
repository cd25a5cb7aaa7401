#pragma once
// The sound data of a movie as its tags carry it (DefineSound, the sound info
// of StartSound, the stream head and blocks) and its decoding into 16-bit
// samples. Uncompressed and ADPCM data are decoded here; MP3 goes through a
// decoder the host supplies (the control uses the system's), and the other
// formats are left silent.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <vector>

namespace swf {

class ByteReader;

enum class SoundFormat : std::uint8_t {
  RawNativeEndian = 0,  // written by little-endian authoring machines in practice
  Adpcm = 1,
  Mp3 = 2,
  RawLittleEndian = 3,
  Nellymoser16k = 4,
  Nellymoser8k = 5,
  Nellymoser = 6,
  Speex = 11,
};

// The format fields every sound header shares.
struct SoundShape {
  SoundFormat format = SoundFormat::RawLittleEndian;
  int rate = 44100;  // 5512, 11025, 22050 or 44100 samples a second
  bool sixteenBit = true;
  bool stereo = false;
  [[nodiscard]] int Channels() const { return stereo ? 2 : 1; }
};

// DefineSound: one event sound of the dictionary.
struct SoundDef {
  SoundShape shape;
  std::uint32_t sampleCount = 0;  // per channel, as declared
  std::vector<std::uint8_t> data;  // MP3: the seek samples (2 bytes) come first
};

struct EnvelopePoint {
  std::uint32_t position44 = 0;  // in samples at 44.1 kHz from the sound's start
  std::uint16_t left = 32768;    // 0 to 32768
  std::uint16_t right = 32768;
};

// How a StartSound plays its sound.
struct SoundInfo {
  bool stop = false;        // stop the sound's running instances instead
  bool noMultiple = false;  // do not start when the sound already plays
  std::optional<std::uint32_t> inPoint44;
  std::optional<std::uint32_t> outPoint44;
  std::uint16_t loops = 1;  // 0 counts as once
  std::vector<EnvelopePoint> envelope;
};

// SoundStreamHead/SoundStreamHead2: the stream sound of one timeline.
struct StreamHead {
  SoundShape shape;
  std::uint16_t samplesPerFrame = 0;  // average, per channel
  std::int16_t latencySeek = 0;       // MP3 only
};

// How loud a clip's sounds play (Sound.setVolume, setPan, setTransform), in
// percent: `volume` scales all, the four terms route the channels (ll: left
// into left, lr: right into left, rr: right into right, rl: left into right).
struct SoundTransform {
  int volume = 100;
  int ll = 100, lr = 0, rr = 100, rl = 0;
  // setPan: -100 plays only the left, 100 only the right.
  void SetPan(int pan);
  [[nodiscard]] int Pan() const;
  friend bool operator==(const SoundTransform&, const SoundTransform&) = default;
};

// Samples as the mixer plays them: interleaved 16-bit, `channels` of them per frame.
struct DecodedSound {
  int rate = 44100;
  int channels = 1;
  std::vector<std::int16_t> samples;
  [[nodiscard]] std::size_t Frames() const {
    return channels > 0 ? samples.size() / static_cast<std::size_t>(channels) : 0;
  }
};

// Decodes MP3 frames of the given sample rate and channel count; nullopt when
// it cannot. The host supplies it; without one MP3 sounds stay silent.
using Mp3Decoder = std::function<std::optional<DecodedSound>(std::span<const std::uint8_t> frames, int rate,
                                                             int channels)>;

// The most samples a decoded sound may hold (per channel): about six minutes
// at 44.1 kHz. Longer declared sounds are cut, so that a hostile header
// cannot make the player allocate gigabytes.
inline constexpr std::size_t kMaxDecodedFrames = 16u << 20;

// What the first MP3 frame header of `frames` says (Layer III only).
struct Mp3FrameInfo {
  int rate = 0;
  int channels = 0;
  int bitrateKbps = 0;
  int frameBytes = 0;
  int samplesPerFrame = 0;
};
[[nodiscard]] std::optional<Mp3FrameInfo> ReadMp3FrameHeader(std::span<const std::uint8_t> frames);

[[nodiscard]] int SoundRateFromCode(unsigned code);
[[nodiscard]] std::optional<SoundDef> ReadDefineSound(ByteReader& body, std::uint16_t& id);
[[nodiscard]] SoundInfo ReadSoundInfo(ByteReader& body);
[[nodiscard]] std::optional<StreamHead> ReadStreamHead(ByteReader& body);

// Uncompressed samples: 8-bit ones are unsigned around 128, 16-bit ones little-endian.
[[nodiscard]] DecodedSound DecodeRaw(const SoundShape& shape, std::span<const std::uint8_t> data,
                                     std::size_t maxFrames = kMaxDecodedFrames);
// The format's ADPCM: packets of 4096 samples a channel, each starting with a
// plain 16-bit sample and a 6-bit step index, then 2- to 5-bit codes.
[[nodiscard]] DecodedSound DecodeAdpcm(const SoundShape& shape, std::span<const std::uint8_t> data,
                                       std::size_t maxFrames = kMaxDecodedFrames);

// A DefineSound's samples in whatever format it has; empty samples when the
// format cannot be decoded here.
[[nodiscard]] DecodedSound DecodeSound(const SoundDef& sound, const Mp3Decoder& mp3);
// One SoundStreamBlock's samples (for MP3 the block's sample count and seek come first).
[[nodiscard]] DecodedSound DecodeStreamBlock(const StreamHead& head, std::span<const std::uint8_t> block,
                                             const Mp3Decoder& mp3);

}  // namespace swf
