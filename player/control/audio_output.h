#pragma once
// The movie's sound on the system's wave output: a thread of its own keeps a
// few fixed buffers queued and fills each one from the mixer as the device
// gives it back. Without a device (or when the output cannot be opened) the
// player simply stays silent.

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <optional>
#include <span>
#include <thread>
#include <vector>

#include "common/win_handles.h"
#include "sound_libraries.h"
#include "engine/sound/sound_data.h"

namespace swf {
class SoundMixer;
}

namespace tpl::player {

class AudioOutput {
 public:
  // Opens the default wave device (loading the wave output library the first
  // time); Opened() tells whether it worked.
  explicit AudioOutput(swf::SoundMixer& mixer);
  ~AudioOutput();  // silences the device at once and waits for the thread
  AudioOutput(const AudioOutput&) = delete;
  AudioOutput& operator=(const AudioOutput&) = delete;

  [[nodiscard]] bool Opened() const { return device_.IsValid(); }

 private:
  static constexpr int kBuffers = 4;
  static constexpr std::size_t kFramesPerBuffer = 1024;  // 23 ms at 44.1 kHz

  void Run() noexcept;
  void Refill(WAVEHDR& header) noexcept;

  swf::SoundMixer& mixer_;
  const WaveOutFunctions* wave_ = nullptr;
  UniqueHandle bufferDone_;
  UniqueWaveOut device_;
  std::atomic<bool> stopping_{false};
  std::vector<std::int16_t> samples_;
  WAVEHDR headers_[kBuffers]{};
  std::thread thread_;
};

// MP3 frames decoded by the system's audio compression manager (msacm32), as
// the engine's Mp3Decoder wants them; nullopt when no MP3 codec is installed
// or the data is not MP3.
[[nodiscard]] std::optional<swf::DecodedSound> DecodeMp3ThroughAcm(std::span<const std::uint8_t> frames, int rate,
                                                                  int channels) noexcept;

// Whether the control's window is a thumbnail, where the movie plays silent:
// it sits in another process's window (a display settings dialog's preview),
// or in a fully transparent window of its own process whose frames are
// copied elsewhere (the saver's preview mode draws so).
[[nodiscard]] bool IsThumbnailWindow(HWND window) noexcept;

}  // namespace tpl::player
