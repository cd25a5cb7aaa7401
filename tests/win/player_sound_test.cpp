// The stand-in player's sound on the system: MP3 through the audio compression
// manager, and the wave output thread pulling the mix.

#include <windows.h>

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <memory>
#include <vector>

#include "audio_output.h"
#include "engine/sound/sound_mixer.h"

namespace tpl::player {
namespace {

std::vector<std::uint8_t> ReadTone() {
  std::ifstream file(TEMPLATE_TONE_MP3, std::ios::binary);
  return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

// The tone file: 0.2 s of a 441 Hz sine at 22.05 kHz, mono, amplitude 12000.
TEST(PlayerSound, Mp3DecodesThroughTheSystemCodec) {
  const std::vector<std::uint8_t> mp3 = ReadTone();
  ASSERT_GT(mp3.size(), 1000u);
  const std::optional<swf::DecodedSound> decoded = DecodeMp3ThroughAcm(mp3, 22050, 1);
  ASSERT_TRUE(decoded.has_value()) << "no MP3 codec answered";
  EXPECT_EQ(decoded->rate, 22050);
  EXPECT_EQ(decoded->channels, 1);
  ASSERT_GE(decoded->samples.size(), 4400u);
  // The middle of it: a sine of period 50 samples, about 12000 high.
  const std::size_t from = 1500, to = 3500;  // past the coder's delay of about 1100 samples
  int crossings = 0;
  int side = 0;  // the sign of the last sample well away from zero (coding noise wobbles near it)
  double energy = 0;
  for (std::size_t i = from; i < to; ++i) {
    const int sample = decoded->samples[i];
    energy += static_cast<double>(sample) * sample;
    const int now = sample > 3000 ? 1 : sample < -3000 ? -1 : 0;
    if (now != 0 && side != 0 && now != side) ++crossings;
    if (now != 0) side = now;
  }
  EXPECT_NEAR(crossings, 2 * (to - from) / 50, 4);
  EXPECT_NEAR(std::sqrt(energy / static_cast<double>(to - from)), 12000 / std::sqrt(2.0), 1500);
}

TEST(PlayerSound, DataThatIsNotMp3GivesNothing) {
  std::vector<std::uint8_t> noise(4000);
  for (std::size_t i = 0; i < noise.size(); ++i) noise[i] = static_cast<std::uint8_t>(i * 37 + 11);
  EXPECT_FALSE(DecodeMp3ThroughAcm(noise, 44100, 2).has_value());
  // A valid first header over noise: the codec may give samples or none, but returns.
  noise[0] = 0xFF;
  noise[1] = 0xFB;
  noise[2] = 0x90;
  noise[3] = 0x00;
  const auto decoded = DecodeMp3ThroughAcm(noise, 44100, 2);
  if (decoded) {
    EXPECT_EQ(decoded->channels, 2);
  }
}

// With a device the output thread drains the voices as it plays them; without
// one the output says so and ending it returns at once.
TEST(PlayerSound, TheOutputPullsTheMixOrStaysSilent) {
  swf::SoundMixer mixer;
  auto output = std::make_unique<AudioOutput>(mixer);
  mixer.Start(1, std::make_shared<const swf::DecodedSound>(swf::DecodedSound{44100, 1, std::vector<std::int16_t>(4410, 100)}),
              {});
  if (output->Opened()) {
    const DWORD start = ::GetTickCount();
    while (mixer.VoiceCount() > 0 && ::GetTickCount() - start < 5000) ::Sleep(20);
    EXPECT_EQ(mixer.VoiceCount(), 0u) << "the device never took the sound";
  } else {
    EXPECT_EQ(mixer.VoiceCount(), 1u);
  }
  const DWORD before = ::GetTickCount();
  output.reset();
  EXPECT_LT(::GetTickCount() - before, 1000u);
}

// Windows of the own process are no thumbnail unless fully transparent (the
// saver's preview form, whose frames are copied into the real thumbnail).
TEST(PlayerSound, OnlyFullyTransparentWindowsOfItsOwnProcessAreAThumbnail) {
  struct Case {
    bool layered;
    BYTE alpha;
    bool thumbnail;
  };
  for (const Case c : {Case{false, 255, false}, Case{true, 255, false}, Case{true, 1, false}, Case{true, 0, true}}) {
    const HWND top = ::CreateWindowExW(c.layered ? WS_EX_LAYERED : 0, L"STATIC", L"", WS_OVERLAPPEDWINDOW, 0, 0, 100,
                                       100, nullptr, nullptr, nullptr, nullptr);
    if (c.layered) ::SetLayeredWindowAttributes(top, 0, c.alpha, LWA_ALPHA);
    const HWND child = ::CreateWindowExW(0, L"STATIC", L"", WS_CHILD, 0, 0, 10, 10, top, nullptr, nullptr, nullptr);
    ASSERT_NE(child, nullptr);
    EXPECT_EQ(IsThumbnailWindow(top), c.thumbnail) << c.layered << " " << int{c.alpha};
    EXPECT_EQ(IsThumbnailWindow(child), c.thumbnail) << c.layered << " " << int{c.alpha};
    ::DestroyWindow(top);
  }
}

}  // namespace
}  // namespace tpl::player
