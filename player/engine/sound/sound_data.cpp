#include "sound/sound_data.h"

#include <algorithm>
#include <array>

#include "swf_reader.h"

namespace swf {
namespace {

SoundShape ReadShapeBits(std::uint8_t bits) {
  SoundShape shape;
  shape.format = static_cast<SoundFormat>(bits >> 4);
  shape.rate = SoundRateFromCode((bits >> 2) & 3u);
  shape.sixteenBit = (bits & 0x02u) != 0;
  shape.stereo = (bits & 0x01u) != 0;
  return shape;
}

constexpr std::array<int, 89> kAdpcmSteps = {
    7,     8,     9,     10,    11,    12,    13,    14,    16,    17,    19,    21,    23,    25,    28,
    31,    34,    37,    41,    45,    50,    55,    60,    66,    73,    80,    88,    97,    107,   118,
    130,   143,   157,   173,   190,   209,   230,   253,   279,   307,   337,   371,   408,   449,   494,
    544,   598,   658,   724,   796,   876,   963,   1060,  1166,  1282,  1411,  1552,  1707,  1878,  2066,
    2272,  2499,  2749,  3024,  3327,  3660,  4026,  4428,  4871,  5358,  5894,  6484,  7132,  7845,  8630,
    9493,  10442, 11487, 12635, 13899, 15289, 16818, 18500, 20350, 22385, 24623, 27086, 29794, 32767};

// Step index changes by code magnitude, for codes of 2, 3, 4 and 5 bits.
constexpr std::array<int, 2> kIndexShift2 = {-1, 2};
constexpr std::array<int, 4> kIndexShift3 = {-1, -1, 2, 4};
constexpr std::array<int, 8> kIndexShift4 = {-1, -1, -1, -1, 2, 4, 6, 8};
constexpr std::array<int, 16> kIndexShift5 = {-1, -1, -1, -1, -1, -1, -1, -1, 1, 2, 4, 6, 8, 10, 13, 16};

int IndexShift(unsigned bits, unsigned magnitude) {
  switch (bits) {
    case 2: return kIndexShift2[magnitude];
    case 3: return kIndexShift3[magnitude];
    case 4: return kIndexShift4[magnitude];
    default: return kIndexShift5[magnitude];
  }
}

struct AdpcmChannel {
  int sample = 0;
  int index = 0;

  std::int16_t Decode(unsigned code, unsigned bits) {
    const int step = kAdpcmSteps[static_cast<std::size_t>(index)];
    const unsigned signBit = 1u << (bits - 1);
    const unsigned magnitude = code & (signBit - 1);
    int delta = step >> (bits - 1);
    for (int k = static_cast<int>(bits) - 2; k >= 0; --k) {
      if (magnitude & (1u << k)) delta += step >> (static_cast<int>(bits) - 2 - k);
    }
    sample = std::clamp((code & signBit) ? sample - delta : sample + delta, -32768, 32767);
    index = std::clamp(index + IndexShift(bits, magnitude), 0, 88);
    return static_cast<std::int16_t>(sample);
  }
};

constexpr std::size_t kAdpcmPacketFrames = 4096;

std::span<const std::uint8_t> AfterMp3Seek(std::span<const std::uint8_t> data) {
  return data.size() >= 2 ? data.subspan(2) : std::span<const std::uint8_t>{};
}

DecodedSound DecodeMp3(const SoundShape& shape, std::span<const std::uint8_t> frames, const Mp3Decoder& mp3) {
  if (!mp3 || frames.empty()) return DecodedSound{shape.rate, shape.Channels(), {}};
  std::optional<DecodedSound> decoded = mp3(frames, shape.rate, shape.Channels());
  if (!decoded || decoded->channels < 1 || decoded->channels > 2 || decoded->rate <= 0) {
    return DecodedSound{shape.rate, shape.Channels(), {}};
  }
  const std::size_t most = kMaxDecodedFrames * static_cast<std::size_t>(decoded->channels);
  if (decoded->samples.size() > most) decoded->samples.resize(most);
  return std::move(*decoded);
}

}  // namespace

std::optional<Mp3FrameInfo> ReadMp3FrameHeader(std::span<const std::uint8_t> frames) {
  if (frames.size() < 4 || frames[0] != 0xFF || (frames[1] & 0xE0u) != 0xE0u) return std::nullopt;
  const unsigned version = (frames[1] >> 3) & 3u;  // 0: 2.5, 2: 2, 3: 1
  const unsigned layer = (frames[1] >> 1) & 3u;    // 1: Layer III
  const unsigned bitrateIndex = frames[2] >> 4;
  const unsigned rateIndex = (frames[2] >> 2) & 3u;
  if (version == 1 || layer != 1 || bitrateIndex == 0 || bitrateIndex == 15 || rateIndex == 3) return std::nullopt;
  static constexpr std::array<int, 15> kMpeg1Rates = {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320};
  static constexpr std::array<int, 15> kMpeg2Rates = {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160};
  static constexpr std::array<int, 3> kSampleRates = {44100, 48000, 32000};
  const bool mpeg1 = version == 3;
  Mp3FrameInfo info;
  info.rate = kSampleRates[rateIndex] >> (mpeg1 ? 0 : version == 2 ? 1 : 2);
  info.channels = (frames[3] >> 6) == 3 ? 1 : 2;
  info.bitrateKbps = (mpeg1 ? kMpeg1Rates : kMpeg2Rates)[bitrateIndex];
  const int padding = (frames[2] >> 1) & 1;
  info.frameBytes = (mpeg1 ? 144 : 72) * info.bitrateKbps * 1000 / info.rate + padding;
  info.samplesPerFrame = mpeg1 ? 1152 : 576;
  return info;
}

int SoundRateFromCode(unsigned code) {
  static constexpr std::array<int, 4> kRates = {5512, 11025, 22050, 44100};
  return kRates[code & 3u];
}

std::optional<SoundDef> ReadDefineSound(ByteReader& body, std::uint16_t& id) {
  id = body.U16();
  SoundDef sound;
  sound.shape = ReadShapeBits(body.U8());
  sound.sampleCount = body.U32();
  if (body.Failed()) return std::nullopt;
  const std::span<const std::uint8_t> rest = body.Rest();
  sound.data.assign(rest.begin(), rest.end());
  return sound;
}

SoundInfo ReadSoundInfo(ByteReader& body) {
  SoundInfo info;
  const std::uint8_t flags = body.U8();
  info.stop = (flags & 0x20u) != 0;
  info.noMultiple = (flags & 0x10u) != 0;
  if (flags & 0x01u) info.inPoint44 = body.U32();
  if (flags & 0x02u) info.outPoint44 = body.U32();
  if (flags & 0x04u) info.loops = body.U16();
  if (flags & 0x08u) {
    const std::uint8_t count = body.U8();
    for (std::uint8_t i = 0; i < count && !body.Failed(); ++i) {
      EnvelopePoint point;
      point.position44 = body.U32();
      point.left = body.U16();
      point.right = body.U16();
      if (!body.Failed()) info.envelope.push_back(point);
    }
  }
  return info;
}

std::optional<StreamHead> ReadStreamHead(ByteReader& body) {
  (void)body.U8();  // the playback format the authoring tool suggested; the stream's own follows
  StreamHead head;
  head.shape = ReadShapeBits(body.U8());
  head.samplesPerFrame = body.U16();
  if (head.shape.format == SoundFormat::Mp3) head.latencySeek = body.S16();
  if (body.Failed()) return std::nullopt;
  return head;
}

DecodedSound DecodeRaw(const SoundShape& shape, std::span<const std::uint8_t> data, std::size_t maxFrames) {
  DecodedSound out{shape.rate, shape.Channels(), {}};
  const std::size_t bytesPerSample = shape.sixteenBit ? 2 : 1;
  std::size_t count = data.size() / bytesPerSample;
  count -= count % static_cast<std::size_t>(out.channels);
  count = std::min(count, maxFrames * static_cast<std::size_t>(out.channels));
  out.samples.resize(count);
  for (std::size_t i = 0; i < count; ++i) {
    out.samples[i] = shape.sixteenBit
                         ? static_cast<std::int16_t>(data[2 * i] | (data[2 * i + 1] << 8))
                         : static_cast<std::int16_t>((static_cast<int>(data[i]) - 128) * 256);
  }
  return out;
}

DecodedSound DecodeAdpcm(const SoundShape& shape, std::span<const std::uint8_t> data, std::size_t maxFrames) {
  DecodedSound out{shape.rate, shape.Channels(), {}};
  ByteReader bytes(data);
  BitReader bits(bytes);
  const unsigned codeBits = bits.UB(2) + 2;
  const auto channels = static_cast<std::size_t>(out.channels);
  std::array<AdpcmChannel, 2> state{};
  std::size_t frames = 0;
  // Each frame needs at least a code per channel; stop as soon as the data runs out.
  while (frames < maxFrames && !bits.Failed()) {
    if (frames % kAdpcmPacketFrames == 0) {
      for (std::size_t c = 0; c < channels; ++c) {
        state[c].sample = bits.SB(16);
        state[c].index = static_cast<int>(bits.UB(6));
      }
      if (bits.Failed()) break;
      for (std::size_t c = 0; c < channels; ++c) out.samples.push_back(static_cast<std::int16_t>(state[c].sample));
    } else {
      std::array<std::int16_t, 2> decoded{};
      for (std::size_t c = 0; c < channels; ++c) decoded[c] = state[c].Decode(bits.UB(codeBits), codeBits);
      if (bits.Failed()) break;
      for (std::size_t c = 0; c < channels; ++c) out.samples.push_back(decoded[c]);
    }
    ++frames;
  }
  return out;
}

DecodedSound DecodeSound(const SoundDef& sound, const Mp3Decoder& mp3) {
  const std::size_t declared = std::min<std::size_t>(sound.sampleCount, kMaxDecodedFrames);
  switch (sound.shape.format) {
    case SoundFormat::RawNativeEndian:
    case SoundFormat::RawLittleEndian: return DecodeRaw(sound.shape, sound.data, declared);
    case SoundFormat::Adpcm: return DecodeAdpcm(sound.shape, sound.data, declared);
    case SoundFormat::Mp3: return DecodeMp3(sound.shape, AfterMp3Seek(sound.data), mp3);
    default: return DecodedSound{sound.shape.rate, sound.shape.Channels(), {}};
  }
}

DecodedSound DecodeStreamBlock(const StreamHead& head, std::span<const std::uint8_t> block, const Mp3Decoder& mp3) {
  switch (head.shape.format) {
    case SoundFormat::RawNativeEndian:
    case SoundFormat::RawLittleEndian: return DecodeRaw(head.shape, block);
    case SoundFormat::Adpcm: return DecodeAdpcm(head.shape, block);
    case SoundFormat::Mp3:
      // SampleCount (U16) and SeekSamples (S16) come before the frames.
      return DecodeMp3(head.shape, block.size() >= 4 ? block.subspan(4) : std::span<const std::uint8_t>{}, mp3);
    default: return DecodedSound{head.shape.rate, head.shape.Channels(), {}};
  }
}

void SoundTransform::SetPan(int pan) {
  pan = std::clamp(pan, -100, 100);
  ll = pan > 0 ? 100 - pan : 100;
  rr = pan < 0 ? 100 + pan : 100;
  lr = rl = 0;
}

int SoundTransform::Pan() const {
  if (ll < 100) return 100 - ll;
  if (rr < 100) return rr - 100;
  return 0;
}

}  // namespace swf
