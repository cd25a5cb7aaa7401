#include "sound_libraries.h"

namespace tpl::player {
namespace {

// Resolves one function into its typed slot; false when it is missing.
template <typename Function>
bool Resolve(HMODULE library, const char* name, Function& slot) noexcept {
  // GetProcAddress hands out an untyped pointer; the slot's type is the
  // function's own declaration, calling convention included.
  slot = reinterpret_cast<Function>(reinterpret_cast<void*>(::GetProcAddress(library, name)));
  return slot != nullptr;
}

// The library stays loaded for the rest of the process: the functions are
// called until the last movie goes, and a DLL never unloads it from DllMain.
// By full path from the system folder, so a DLL of that name beside the saver
// is never picked up instead (older systems lack the search flags for that).
HMODULE LoadSystemLibrary(const wchar_t* name) noexcept {
  wchar_t path[MAX_PATH];
  const UINT length = ::GetSystemDirectoryW(path, MAX_PATH);
  if (length == 0 || length + 1 + ::lstrlenW(name) >= MAX_PATH) return nullptr;
  path[length] = L'\\';
  ::lstrcpyW(path + length + 1, name);
  return ::LoadLibraryW(path);
}

WaveOutFunctions LoadWaveOut() noexcept {
  WaveOutFunctions functions;
  const HMODULE library = LoadSystemLibrary(L"winmm.dll");
  if (library == nullptr) return {};
  const bool complete = Resolve(library, "waveOutOpen", functions.open) &&
                        Resolve(library, "waveOutPrepareHeader", functions.prepareHeader) &&
                        Resolve(library, "waveOutUnprepareHeader", functions.unprepareHeader) &&
                        Resolve(library, "waveOutWrite", functions.write) &&
                        Resolve(library, "waveOutReset", functions.reset) &&
                        Resolve(library, "waveOutClose", functions.close);
  return complete ? functions : WaveOutFunctions{};
}

AcmFunctions LoadAcm() noexcept {
  AcmFunctions functions;
  const HMODULE library = LoadSystemLibrary(L"msacm32.dll");
  if (library == nullptr) return {};
  const bool complete = Resolve(library, "acmStreamOpen", functions.open) &&
                        Resolve(library, "acmStreamPrepareHeader", functions.prepareHeader) &&
                        Resolve(library, "acmStreamUnprepareHeader", functions.unprepareHeader) &&
                        Resolve(library, "acmStreamConvert", functions.convert) &&
                        Resolve(library, "acmStreamClose", functions.close);
  return complete ? functions : AcmFunctions{};
}

}  // namespace

// Function-local statics: the first caller loads, concurrent callers wait for it.
const WaveOutFunctions* WaveOut() noexcept {
  static const WaveOutFunctions functions = LoadWaveOut();
  return functions.open != nullptr ? &functions : nullptr;
}

const AcmFunctions* Acm() noexcept {
  static const AcmFunctions functions = LoadAcm();
  return functions.open != nullptr ? &functions : nullptr;
}

}  // namespace tpl::player
