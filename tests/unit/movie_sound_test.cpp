#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

#include "movie_player.h"
#include "sound/sound_data.h"
#include "sound/sound_mixer.h"
#include "swf_writer.h"

namespace swf::testing {
namespace {

using Samples = std::vector<std::int16_t>;

// ADPCM data: the code size, then per packet each channel's first sample and
// step index, then the codes (channels interleaved).
Bytes AdpcmData(unsigned codeBits, const std::vector<std::pair<int, unsigned>>& starts,
                const std::vector<unsigned>& codes) {
  BitWriter bits;
  bits.UB(codeBits - 2, 2);
  for (const auto& [sample, index] : starts) {
    bits.SB(sample, 16);
    bits.UB(index, 6);
  }
  for (const unsigned code : codes) bits.UB(code, codeBits);
  bits.Align();
  return bits.Take();
}

struct DecodeCase {
  std::string name;
  SoundShape shape;
  Bytes data;
  std::size_t maxFrames;
  Samples expected;
};

// The ADPCM values follow the format's published decoding: the step of the
// current index times the code's magnitude bits (plus an eighth, quarter...
// of a step), the sign bit subtracting, the index moving by the size's table.
const std::vector<DecodeCase>& DecodeCases() {
  static const std::vector<DecodeCase> cases = {
      {"Raw8BitIsUnsignedAround128", {SoundFormat::RawLittleEndian, 44100, false, false}, {128, 0, 255}, 10,
       {0, -32768, 32512}},
      {"Raw16BitIsLittleEndian", {SoundFormat::RawLittleEndian, 44100, true, true}, {0x34, 0x12, 0xFF, 0xFF}, 10,
       {0x1234, -1}},
      {"RawDropsAHalfFrame", {SoundFormat::RawNativeEndian, 44100, true, true}, {1, 0, 2, 0, 3, 0}, 10, {1, 2}},
      {"RawStopsAtTheDeclaredCount", {SoundFormat::RawLittleEndian, 44100, false, false}, {129, 130, 131}, 2,
       {256, 512}},
      {"Adpcm4Bit", {SoundFormat::Adpcm, 11025, true, false}, AdpcmData(4, {{1000, 0}}, {7, 7, 15, 0}), 10,
       {1000, 1011, 1041, 978, 987}},
      {"Adpcm2Bit", {SoundFormat::Adpcm, 11025, true, false}, AdpcmData(2, {{-5, 10}}, {1, 3, 0}), 4,
       {-5, 23, -11, 3}},
      {"Adpcm3BitStereo", {SoundFormat::Adpcm, 22050, true, true}, AdpcmData(3, {{0, 0}, {100, 0}}, {3, 4}), 10,
       {0, 100, 11, 99}},
      {"Adpcm5BitClampsAtTheTop", {SoundFormat::Adpcm, 44100, true, false}, AdpcmData(5, {{32760, 88}}, {15}), 10,
       {32760, 32767}},
  };
  return cases;
}

class SoundDecoding : public ::testing::TestWithParam<DecodeCase> {};

TEST_P(SoundDecoding, GivesTheSamples) {
  const DecodeCase& c = GetParam();
  const DecodedSound decoded = c.shape.format == SoundFormat::Adpcm ? DecodeAdpcm(c.shape, c.data, c.maxFrames)
                                                                    : DecodeRaw(c.shape, c.data, c.maxFrames);
  EXPECT_EQ(decoded.samples, c.expected);
  EXPECT_EQ(decoded.channels, c.shape.Channels());
  EXPECT_EQ(decoded.rate, c.shape.rate);
}

INSTANTIATE_TEST_SUITE_P(Formats, SoundDecoding, ::testing::ValuesIn(DecodeCases()),
                         [](const auto& tested) { return tested.param.name; });

TEST(SoundDecodingLimits, Mp3WithoutADecoderAndUnknownFormatsAreSilent) {
  SoundDef mp3{{SoundFormat::Mp3, 44100, true, false}, 1000, {0, 0, 0xFF, 0xFB, 0x90, 0x00}};
  EXPECT_TRUE(DecodeSound(mp3, nullptr).samples.empty());
  SoundDef speex{{SoundFormat::Speex, 44100, true, false}, 1000, Bytes(100, 1)};
  EXPECT_TRUE(DecodeSound(speex, nullptr).samples.empty());
  // The decoder gets the frames after the two seek bytes.
  std::size_t given = 0;
  const Mp3Decoder decoder = [&given](std::span<const std::uint8_t> frames, int rate, int channels) {
    given = frames.size();
    return std::optional<DecodedSound>(DecodedSound{rate, channels, Samples(4, 7)});
  };
  EXPECT_EQ(DecodeSound(mp3, decoder).samples, Samples(4, 7));
  EXPECT_EQ(given, 4u);
}

TEST(SoundDecodingLimits, Mp3FrameHeadersGiveRateChannelsAndSize) {
  struct Case {
    Bytes header;
    std::optional<std::tuple<int, int, int, int>> rateChannelsKbpsBytes;
  };
  const Case cases[] = {
      {{0xFF, 0xFB, 0x90, 0x00}, std::tuple{44100, 2, 128, 417}},  // MPEG-1, 128 kbit/s, stereo
      {{0xFF, 0xFB, 0x92, 0xC0}, std::tuple{44100, 1, 128, 418}},  // padded, mono
      {{0xFF, 0xF3, 0x40, 0xC0}, std::tuple{22050, 1, 32, 104}},   // MPEG-2
      {{0xFF, 0xE3, 0x10, 0x00}, std::tuple{11025, 2, 8, 52}},     // MPEG-2.5
      {{0xFF, 0xFD, 0x90, 0x00}, std::nullopt},                    // Layer II
      {{0xFF, 0xFB, 0xF0, 0x00}, std::nullopt},                    // bad bit rate
      {{0xFE, 0xFB, 0x90, 0x00}, std::nullopt},                    // no sync
      {{0xFF, 0xFB}, std::nullopt},
  };
  for (const Case& c : cases) {
    const std::optional<Mp3FrameInfo> info = ReadMp3FrameHeader(c.header);
    ASSERT_EQ(info.has_value(), c.rateChannelsKbpsBytes.has_value());
    if (!info) continue;
    EXPECT_EQ(std::tuple(info->rate, info->channels, info->bitrateKbps, info->frameBytes), *c.rateChannelsKbpsBytes);
  }
}

TEST(SoundDecodingLimits, AHugeDeclaredCountDecodesOnlyTheDataThere) {
  const SoundDef sound{{SoundFormat::Adpcm, 44100, true, true}, 0xFFFFFFFFu, AdpcmData(4, {{1, 0}, {2, 0}}, {1, 2})};
  EXPECT_EQ(DecodeSound(sound, nullptr).Frames(), 2u);
}

std::shared_ptr<const DecodedSound> Sound(int rate, int channels, Samples samples) {
  return std::make_shared<const DecodedSound>(DecodedSound{rate, channels, std::move(samples)});
}

struct Mixed {
  Samples left, right;
};

Mixed MixFrames(SoundMixer& mixer, std::size_t frames) {
  Samples out(frames * 2);
  mixer.Mix(out);
  Mixed mixed;
  for (std::size_t i = 0; i < frames; ++i) {
    mixed.left.push_back(out[2 * i]);
    mixed.right.push_back(out[2 * i + 1]);
  }
  return mixed;
}

struct VoiceCase {
  std::string name;
  std::shared_ptr<const DecodedSound> sound;
  SoundInfo info;
  int volume, pan;
  Samples left, right;
};

SoundInfo Looped(std::uint16_t loops) {
  SoundInfo info;
  info.loops = loops;
  return info;
}

SoundInfo Between(std::uint32_t in, std::uint32_t out) {
  SoundInfo info;
  info.inPoint44 = in;
  info.outPoint44 = out;
  return info;
}

SoundInfo FadingAcross() {
  SoundInfo info;
  info.envelope = {{0, 32768, 0}, {2, 0, 32768}};
  return info;
}

const std::vector<VoiceCase>& VoiceCases() {
  static const std::vector<VoiceCase> cases = {
      {"MonoReachesBothSides", Sound(44100, 1, {100, -200, 300}), {}, 100, 0, {100, -200, 300, 0}, {100, -200, 300, 0}},
      {"StereoKeepsItsSides", Sound(44100, 2, {1, 2, 3, 4}), {}, 100, 0, {1, 3, 0}, {2, 4, 0}},
      {"LoopsRepeatTheSound", Sound(44100, 1, {1, 2}), Looped(2), 100, 0, {1, 2, 1, 2, 0}, {1, 2, 1, 2, 0}},
      {"InAndOutPointsCutIt", Sound(44100, 1, {10, 20, 30, 40, 50}), Between(1, 4), 100, 0, {20, 30, 40, 0},
       {20, 30, 40, 0}},
      {"EnvelopeMovesBetweenPoints", Sound(44100, 1, {1000, 1000, 1000, 1000}), FadingAcross(), 100, 0,
       {1000, 500, 0, 0}, {0, 500, 1000, 1000}},
      {"LowerRatesAreInterpolated", Sound(22050, 1, {0, 100}), {}, 100, 0, {0, 50, 100, 100, 0},
       {0, 50, 100, 100, 0}},
      {"VolumeAndPanScaleTheSides", Sound(44100, 1, {1000, -1000}), {}, 50, -100, {500, -500}, {0, 0}},
  };
  return cases;
}

class SoundVoices : public ::testing::TestWithParam<VoiceCase> {};

TEST_P(SoundVoices, MixAsTheirInfoSays) {
  const VoiceCase& c = GetParam();
  SoundMixer mixer;
  const int owner = 0;
  SoundTransform levels;
  levels.volume = c.volume;
  levels.SetPan(c.pan);
  mixer.SetOwnerLevels(&owner, levels);
  mixer.Start(1, c.sound, c.info, &owner);
  const Mixed mixed = MixFrames(mixer, c.left.size());
  EXPECT_EQ(mixed.left, c.left);
  EXPECT_EQ(mixed.right, c.right);
  EXPECT_EQ(mixer.VoiceCount(), 0u) << "a finished voice stays";
}

INSTANTIATE_TEST_SUITE_P(Voices, SoundVoices, ::testing::ValuesIn(VoiceCases()),
                         [](const auto& tested) { return tested.param.name; });

TEST(SoundMixing, VoicesAddUpAndClip) {
  SoundMixer mixer;
  mixer.Start(1, Sound(44100, 1, {30000, -30000, 100}), {});
  mixer.Start(2, Sound(44100, 1, {30000, -30000, 23}), {});
  EXPECT_EQ(MixFrames(mixer, 3).left, (Samples{32767, -32768, 123}));
}

TEST(SoundMixing, StartsAndStopsAsTheFlagsSay) {
  SoundMixer mixer;
  const auto sound = Sound(44100, 1, Samples(1000, 5));
  SoundInfo once;
  once.noMultiple = true;
  mixer.Start(7, sound, once);
  mixer.Start(7, sound, once);
  EXPECT_EQ(mixer.VoiceCount(), 1u) << "no multiple started a second voice";
  mixer.Start(7, sound, {});
  mixer.Start(8, sound, {});
  EXPECT_EQ(mixer.VoiceCount(), 3u);
  SoundInfo stop;
  stop.stop = true;
  mixer.Start(7, sound, stop);
  EXPECT_FALSE(mixer.IsPlaying(7));
  EXPECT_TRUE(mixer.IsPlaying(8));
  for (std::size_t i = 0; i < SoundMixer::kMaxVoices + 5; ++i) mixer.Start(9, sound, {});
  EXPECT_EQ(mixer.VoiceCount(), SoundMixer::kMaxVoices);
  mixer.StopAll();
  EXPECT_EQ(MixFrames(mixer, 2).left, (Samples{0, 0}));
}

TEST(SoundMixing, TheStreamPlaysItsBlocksInOrderAndCounts) {
  SoundMixer mixer;
  mixer.QueueStream(DecodedSound{22050, 1, {0, 100, 200, 300}});
  mixer.QueueStream(DecodedSound{44100, 2, {7, 8}});
  EXPECT_EQ(mixer.StreamFramesQueued(), 9u);
  const Mixed mixed = MixFrames(mixer, 11);
  EXPECT_EQ(mixed.left, (Samples{0, 50, 100, 150, 200, 250, 300, 300, 7, 0, 0}));
  EXPECT_EQ(mixed.right, (Samples{0, 50, 100, 150, 200, 250, 300, 300, 8, 0, 0}));
  EXPECT_EQ(mixer.StreamFramesPlayed(), 9u);
}

// A movie's sound tags: DefineSound, StartSound and a stream of raw 16-bit samples.
constexpr std::uint16_t kSoundId = 100;
constexpr std::uint8_t kRaw16Mono44k = 0x3E;  // format 3, 44.1 kHz, 16-bit, mono

Bytes Le16(std::initializer_list<int> values) {
  Bytes bytes;
  for (const int v : values) {
    bytes.push_back(static_cast<std::uint8_t>(v & 0xFF));
    bytes.push_back(static_cast<std::uint8_t>((v >> 8) & 0xFF));
  }
  return bytes;
}

Bytes DefineSoundTag(const Bytes& samples) {
  Bytes body = {kSoundId & 0xFF, kSoundId >> 8, kRaw16Mono44k};
  const auto count = static_cast<std::uint32_t>(samples.size() / 2);
  for (int shift = 0; shift < 32; shift += 8) body.push_back(static_cast<std::uint8_t>(count >> shift));
  body.insert(body.end(), samples.begin(), samples.end());
  return body;
}

Bytes StartSoundTag(std::uint8_t flags) { return {kSoundId & 0xFF, kSoundId >> 8, flags}; }

TEST(MovieSounds, AFramesSoundStartsWithItAndStopsWhenTold) {
  MovieBuilder movie(10, 10);
  movie.Tag(14, DefineSoundTag(Le16({1000, 2000, 3000})));
  movie.Tag(15, StartSoundTag(0)).ShowFrame();
  movie.Tag(15, StartSoundTag(0x20)).ShowFrame();  // the stop flag
  MoviePlayer player;
  ASSERT_TRUE(player.Load(movie.Build()));
  EXPECT_EQ(MixFrames(player.Sound(), 2).left, (Samples{1000, 2000}));
  player.Advance();
  EXPECT_EQ(player.Sound().VoiceCount(), 0u) << "the stop flag left it playing";
  player.Advance();  // frame 1 again: starts anew
  EXPECT_EQ(player.Sound().VoiceCount(), 1u);
  player.StopSounds();
  EXPECT_EQ(MixFrames(player.Sound(), 1).left, (Samples{0}));
}

TEST(MovieSounds, StopAllSoundsSilencesEventsAndTheStream) {
  MovieBuilder movie(10, 10);
  movie.Tag(14, DefineSoundTag(Le16({1, 2, 3, 4})));
  movie.Tag(45, {0, kRaw16Mono44k, 2, 0});
  movie.Tag(15, StartSoundTag(0)).Tag(19, Le16({5, 6})).ShowFrame();
  Actions stopAll;
  stopAll.Raw(0x09);
  movie.DoAction(stopAll).ShowFrame();
  MoviePlayer player;
  ASSERT_TRUE(player.Load(movie.Build()));
  ASSERT_EQ(player.Sound().VoiceCount(), 1u);
  player.Advance();
  EXPECT_EQ(player.Sound().VoiceCount(), 0u);
  EXPECT_EQ(player.Sound().StreamFramesQueued(), 0u);
}

TEST(MovieSounds, TheStreamFollowsTheFramesEntered) {
  MovieBuilder movie(10, 10);
  movie.Tag(45, {0, kRaw16Mono44k, 2, 0});  // SoundStreamHead2, 2 samples a frame
  movie.Tag(19, Le16({1, 2})).ShowFrame();
  movie.Tag(19, Le16({3, 4})).ShowFrame();
  MoviePlayer player;
  ASSERT_TRUE(player.Load(movie.Build()));
  player.Advance();
  EXPECT_EQ(MixFrames(player.Sound(), 5).left, (Samples{1, 2, 3, 4, 0}));
  player.Unload();
  EXPECT_EQ(player.Sound().StreamFramesQueued(), 0u);
}

// A 10 fps movie whose stream gives 4410 samples a frame: the output's clock
// decides how many frames each tick advances.
TEST(MovieSounds, TheTimelineKeepsInStepWithTheStream) {
  MovieBuilder movie(10, 10, 10);
  movie.Tag(45, {0, kRaw16Mono44k, 0x3A, 0x11});  // 4410 samples a frame
  for (int f = 0; f < 40; ++f) movie.Tag(19, Bytes(2 * 4410, 1)).ShowFrame();
  MoviePlayer player;
  ASSERT_TRUE(player.Load(movie.Build()));
  EXPECT_EQ(player.FramesDue(), 1) << "in step at the start";
  Samples out(2 * 44100);
  player.Sound().Mix(out);  // the output played a second: ten frames of sound
  EXPECT_EQ(player.FramesDue(), 4) << "a lagging timeline catches up a few frames a tick";
  for (int i = 0; i < 20; ++i) player.Advance();  // now far ahead of the sound
  EXPECT_EQ(player.FramesDue(), 0);
  EXPECT_EQ(player.FramesDue(), 0);
  EXPECT_EQ(player.FramesDue(), 0);
  EXPECT_EQ(player.FramesDue(), 1) << "a stalled output froze the timeline";
  player.StopSounds();
  EXPECT_EQ(player.FramesDue(), 1);
}

TEST(MovieSounds, BrokenSoundTagsAreDropped) {
  MovieBuilder movie(10, 10);
  movie.Tag(14, {1, 0, kRaw16Mono44k});         // DefineSound cut before its count
  movie.Tag(15, {kSoundId & 0xFF, kSoundId >> 8, 0x0F});  // every optional field announced, none there
  movie.Tag(19, Le16({1})).ShowFrame();          // a block without a head
  MoviePlayer player;
  ASSERT_TRUE(player.Load(movie.Build()));
  player.Advance();
  EXPECT_EQ(player.Sound().VoiceCount(), 0u);
  EXPECT_EQ(player.Sound().StreamFramesQueued(), 0u);
}

// Scripts' Sound objects: a library sound attached by its export name,
// started, made quieter, panned and followed to its end.
constexpr std::uint8_t kGetVariable = 0x1C;
constexpr std::uint8_t kNewObject = 0x40;
constexpr std::uint8_t kSetMember = 0x4F;
constexpr std::uint8_t kCallMethod = 0x52;

Bytes ExportTag(std::uint16_t id, std::string_view name) {
  Bytes body = {1, 0, static_cast<std::uint8_t>(id & 0xFF), static_cast<std::uint8_t>(id >> 8)};
  body.insert(body.end(), name.begin(), name.end());
  body.push_back(0);
  return body;
}

// s.method(argument) with its result traced when `traced`, else dropped.
Actions& CallOnS(Actions& a, std::string_view method, std::optional<double> argument, bool traced = false) {
  if (argument) a.PushDouble(*argument);
  a.PushInt(argument ? 1 : 0).PushString("s").Raw(kGetVariable).PushString(method).Raw(kCallMethod);
  return traced ? a.Trace() : a.Pop();
}

struct ScriptSoundMovie {
  MoviePlayer player;
  std::vector<std::string> traced;
};

// A 100-sample sound of 1000s exported as "tone"; frame 1's script runs `script` after s = new Sound().
void LoadScriptSoundMovie(ScriptSoundMovie& m, const Actions& script) {
  MovieBuilder movie(10, 10, 10);
  Bytes samples;
  for (int i = 0; i < 100; ++i) samples.insert(samples.end(), {0xE8, 0x03});
  movie.Tag(14, DefineSoundTag(samples));
  movie.Tag(56, ExportTag(kSoundId, "tone"));
  Actions make;
  make.PushString("s").PushInt(0).PushString("Sound").Raw(kNewObject).SetVariable();
  make.PushString("s").Raw(kGetVariable).PushString("tone").PushInt(1).PushString("s").Raw(kGetVariable);
  make.PushString("attachSound").Raw(kCallMethod).Pop().Pop();
  movie.DoAction(make).DoAction(script).ShowFrame(20);
  m.player.SetTraceSink([&m](std::string_view line) { m.traced.emplace_back(line); });
  ASSERT_TRUE(m.player.Load(movie.Build()));
}

TEST(ScriptSounds, AnAttachedSoundStartsAtItsVolumeAndPanAndReportsItsEnd) {
  Actions script;
  CallOnS(script, "getDuration", std::nullopt, true);
  CallOnS(script, "setVolume", 50);
  CallOnS(script, "setPan", -100);
  CallOnS(script, "getVolume", std::nullopt, true);
  CallOnS(script, "getPan", std::nullopt, true);
  script.PushString("s").Raw(kGetVariable).PushString("onSoundComplete");
  script.DefineFunction("", {}, Actions().PushString("complete").Trace()).Raw(kSetMember);
  CallOnS(script, "start", std::nullopt);
  ScriptSoundMovie m;
  LoadScriptSoundMovie(m, script);
  EXPECT_EQ(m.traced, (std::vector<std::string>{"2", "50", "-100"}));  // 100 samples at 44.1 kHz: 2 ms
  ASSERT_EQ(m.player.Sound().VoiceCount(), 1u);
  const Mixed mixed = MixFrames(m.player.Sound(), 2);
  EXPECT_EQ(mixed.left, (Samples{500, 500}));
  EXPECT_EQ(mixed.right, (Samples{0, 0}));
  for (int i = 0; i < 3; ++i) m.player.Advance();
  EXPECT_EQ(m.traced.size(), 3u) << "ended before it played out";
  (void)MixFrames(m.player.Sound(), 200);
  for (int i = 0; i < 3; ++i) m.player.Advance();
  EXPECT_EQ(m.traced.back(), "complete");
}

TEST(ScriptSounds, StopAndStopAllSoundsSilenceWhatScriptsStarted) {
  for (const bool everything : {false, true}) {
    Actions script;
    CallOnS(script, "start", std::nullopt);
    if (everything) {
      script.Raw(0x09);
    } else {
      CallOnS(script, "stop", std::nullopt);
    }
    CallOnS(script, "start", 0.0);  // after stopAllSounds a new start still plays
    CallOnS(script, "getPosition", std::nullopt, true);
    ScriptSoundMovie m;
    LoadScriptSoundMovie(m, script);
    EXPECT_EQ(m.player.Sound().VoiceCount(), 1u) << everything;
    EXPECT_EQ(m.traced, (std::vector<std::string>{"0"}));
  }
}

// A Sound follows its clip by path: one made from text looks the path up from
// the timeline using it, one made from a clip finds a clip made again at the
// same place after the first was removed; while no clip is there it reports nothing.
TEST(ScriptSounds, ASoundFindsItsClipByPathAtEachUse) {
  constexpr std::uint8_t kCallFunction = 0x3D;
  const auto makeClip = [](Actions& a) {
    a.PushInt(1).PushString("mc").PushInt(2).PushString("createEmptyMovieClip").Raw(kCallFunction).Pop();
  };
  const auto traceVolume = [](Actions& a, std::string_view sound) {
    a.PushInt(0).PushString(sound).Raw(kGetVariable).PushString("getVolume").Raw(kCallMethod).Trace();
  };
  Actions script;
  script.PushString("byPath").PushString("mc").PushInt(1).PushString("Sound").Raw(kNewObject).SetVariable();
  traceVolume(script, "byPath");
  makeClip(script);
  script.PushString("byClip").PushString("mc").Raw(kGetVariable).PushInt(1).PushString("Sound").Raw(kNewObject);
  script.SetVariable();
  script.PushDouble(40).PushInt(1).PushString("byClip").Raw(kGetVariable).PushString("setVolume").Raw(kCallMethod).Pop();
  traceVolume(script, "byPath");
  script.PushInt(0).PushString("mc").Raw(kGetVariable).PushString("removeMovieClip").Raw(kCallMethod).Pop();
  traceVolume(script, "byClip");
  makeClip(script);
  traceVolume(script, "byClip");
  ScriptSoundMovie m;
  LoadScriptSoundMovie(m, script);
  EXPECT_EQ(m.traced, (std::vector<std::string>{"undefined", "40", "undefined", "100"}));
}

}  // namespace
}  // namespace swf::testing
