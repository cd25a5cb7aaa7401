// The DLL's entry points: DllMain, the class object and DllCanUnloadNow.
// Registration lives in registration.cpp.
#include "module.h"

#include <windows.h>

#include <objbase.h>

#include <atomic>
#include <new>

#include "common/startup_times.h"
#include "control_ids.h"
#include "player_control.h"

namespace tpl::player {
namespace {

HINSTANCE g_instance = nullptr;
std::atomic<long> g_references{0};

#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"  // never deleted: it is a static object
#endif

// The one class object; it lives as long as the DLL and counts as a module
// reference only through LockServer.
class PlayerClassFactory final : public IClassFactory {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (out == nullptr) return E_POINTER;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IClassFactory)) {
      *out = static_cast<IClassFactory*>(this);
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }

  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** out) override {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    if (outer != nullptr) return CLASS_E_NOAGGREGATION;
    return PlayerControl::Create(iid, out);
  }

  HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override {
    if (lock) {
      AddModuleReference();
    } else {
      ReleaseModuleReference();
    }
    return S_OK;
  }
};

#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif

PlayerClassFactory g_factory;

}  // namespace

HINSTANCE ModuleInstance() noexcept { return g_instance; }

std::wstring ModulePath() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = ::GetModuleFileNameW(g_instance, path.data(), static_cast<DWORD>(path.size()));
    if (length == 0) return {};
    if (length < path.size()) {
      path.resize(length);
      return path;
    }
    path.resize(path.size() * 2);
  }
}

void AddModuleReference() noexcept { ++g_references; }
void ReleaseModuleReference() noexcept { --g_references; }

}  // namespace tpl::player

using tpl::player::g_factory;

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
  if (reason == DLL_PROCESS_ATTACH) {
    tpl::player::g_instance = instance;
    tpl::MarkStartupStep("player: dll attached");
    ::DisableThreadLibraryCalls(instance);
  } else if (reason == DLL_PROCESS_DETACH && reserved == nullptr) {
    // Unloaded by FreeLibrary: the window class must not outlive its procedure.
    tpl::player::UnregisterPlayerWindowClass();
  }
  return TRUE;
}

STDAPI DllGetClassObject(REFCLSID classId, REFIID iid, LPVOID* out) {
  tpl::MarkStartupStep("player: class object");
  if (out == nullptr) return E_POINTER;
  *out = nullptr;
  if (!IsEqualCLSID(classId, tpl::player::kPlayerClassId)) return CLASS_E_CLASSNOTAVAILABLE;
  return g_factory.QueryInterface(iid, out);
}

STDAPI DllCanUnloadNow() { return tpl::player::g_references.load() == 0 ? S_OK : S_FALSE; }
