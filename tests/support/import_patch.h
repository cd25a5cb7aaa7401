#pragma once
// Replaces one system function in this test program's import table while the
// object lives, so that a test sees the exact arguments the program's code
// passes to a Windows call (or answers in its place) without changing the
// machine: the display mode's flags, the access asked for a registry key.
// The program's own code is linked into the test program and calls through
// the same import table.

#include <windows.h>

namespace tpl::testing {

class ImportPatch {
 public:
  // `function` exported by `module` ("user32.dll"), replaced by `replacement`.
  ImportPatch(const char* module, const char* function, const void* replacement) {
    const FARPROC real = ::GetProcAddress(::GetModuleHandleA(module), function);
    if (real == nullptr) return;
    original_ = reinterpret_cast<ULONG_PTR>(real);
    auto* base = reinterpret_cast<BYTE*>(::GetModuleHandleA(nullptr));
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& imports = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    for (auto* descriptor = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(base + imports.VirtualAddress);
         descriptor->Name != 0 && entry_ == nullptr; ++descriptor) {
      for (auto* thunk = reinterpret_cast<IMAGE_THUNK_DATA*>(base + descriptor->FirstThunk); thunk->u1.Function != 0;
           ++thunk) {
        if (thunk->u1.Function == original_) {
          entry_ = &thunk->u1.Function;
          break;
        }
      }
    }
    if (entry_ != nullptr) Write(reinterpret_cast<ULONG_PTR>(replacement));
  }
  ~ImportPatch() {
    if (entry_ != nullptr) Write(original_);
  }
  ImportPatch(const ImportPatch&) = delete;
  ImportPatch& operator=(const ImportPatch&) = delete;

  // False when the program does not import the function (nothing replaced).
  [[nodiscard]] bool Installed() const noexcept { return entry_ != nullptr; }
  // The real function, for a replacement that passes calls on.
  template <typename Function>
  [[nodiscard]] Function Original() const noexcept {
    return reinterpret_cast<Function>(original_);
  }

 private:
  void Write(ULONG_PTR value) {
    DWORD protection = 0;
    ::VirtualProtect(entry_, sizeof(*entry_), PAGE_READWRITE, &protection);
    *entry_ = value;
    ::VirtualProtect(entry_, sizeof(*entry_), protection, &protection);
  }

  ULONG_PTR* entry_ = nullptr;
  ULONG_PTR original_ = 0;
};

}  // namespace tpl::testing
