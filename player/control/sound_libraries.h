#pragma once
// The system's wave output (winmm) and audio compression manager (msacm32),
// loaded by the player itself the first time a movie makes a sound. Loading
// msacm32 registers the system's codecs, which a silent movie should not pay
// for at start-up. Each library is loaded once per process, from whichever
// thread asks first; a library that cannot be loaded leaves the movie silent.

#include <windows.h>
// After windows.h: the wave output and the audio compression manager.
#include <mmsystem.h>
#include <mmreg.h>
#include <msacm.h>

#include "common/win_handles.h"

namespace tpl::player {

struct WaveOutFunctions {
  decltype(&::waveOutOpen) open = nullptr;
  decltype(&::waveOutPrepareHeader) prepareHeader = nullptr;
  decltype(&::waveOutUnprepareHeader) unprepareHeader = nullptr;
  decltype(&::waveOutWrite) write = nullptr;
  decltype(&::waveOutReset) reset = nullptr;
  decltype(&::waveOutClose) close = nullptr;
};

struct AcmFunctions {
  decltype(&::acmStreamOpen) open = nullptr;
  decltype(&::acmStreamPrepareHeader) prepareHeader = nullptr;
  decltype(&::acmStreamUnprepareHeader) unprepareHeader = nullptr;
  decltype(&::acmStreamConvert) convert = nullptr;
  decltype(&::acmStreamClose) close = nullptr;
};

// Every function of the table, or nullptr when the library or one of its
// functions is missing.
[[nodiscard]] const WaveOutFunctions* WaveOut() noexcept;
[[nodiscard]] const AcmFunctions* Acm() noexcept;

// A wave output device; its buffers must be reset and unprepared before this closes it.
struct WaveOutTraits {
  using Handle = HWAVEOUT;
  static Handle Invalid() noexcept { return nullptr; }
  static void Close(Handle h) noexcept { WaveOut()->close(h); }  // only a device WaveOut() opened is held
};

struct AcmStreamTraits {
  using Handle = HACMSTREAM;
  static Handle Invalid() noexcept { return nullptr; }
  static void Close(Handle h) noexcept { Acm()->close(h, 0); }  // only a stream Acm() opened is held
};

using UniqueWaveOut = UniqueResource<WaveOutTraits>;
using UniqueAcmStream = UniqueResource<AcmStreamTraits>;

}  // namespace tpl::player
