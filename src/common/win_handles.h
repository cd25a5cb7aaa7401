#pragma once
// Owning wrappers for Windows handles and COM pointers: move-only, closed once,
// on every path. Everything the program opens is held by one of these.

#include <objbase.h>
#include <windows.h>

#include <utility>

namespace tpl {

template <typename Traits>
class UniqueResource {
 public:
  using Handle = typename Traits::Handle;

  UniqueResource() noexcept = default;
  explicit UniqueResource(Handle handle) noexcept : handle_(handle) {}
  ~UniqueResource() { Reset(); }

  UniqueResource(UniqueResource&& other) noexcept : handle_(other.Release()) {}
  UniqueResource& operator=(UniqueResource&& other) noexcept {
    if (this != &other) Reset(other.Release());
    return *this;
  }
  UniqueResource(const UniqueResource&) = delete;
  UniqueResource& operator=(const UniqueResource&) = delete;

  [[nodiscard]] Handle Get() const noexcept { return handle_; }
  [[nodiscard]] bool IsValid() const noexcept { return handle_ != Traits::Invalid(); }
  explicit operator bool() const noexcept { return IsValid(); }

  // For functions that hand out a handle through a pointer; closes the old one first.
  [[nodiscard]] Handle* Receive() noexcept {
    Reset();
    return &handle_;
  }

  [[nodiscard]] Handle Release() noexcept { return std::exchange(handle_, Traits::Invalid()); }

  void Reset(Handle handle = Traits::Invalid()) noexcept {
    const Handle old = std::exchange(handle_, handle);
    if (old != Traits::Invalid()) Traits::Close(old);
  }

 private:
  Handle handle_ = Traits::Invalid();
};

struct KernelHandleTraits {
  using Handle = HANDLE;
  static Handle Invalid() noexcept { return nullptr; }
  static void Close(Handle h) noexcept { ::CloseHandle(h); }
};

// CreateFile reports failure with INVALID_HANDLE_VALUE rather than null.
struct FileHandleTraits {
  using Handle = HANDLE;
  static Handle Invalid() noexcept { return INVALID_HANDLE_VALUE; }
  static void Close(Handle h) noexcept { ::CloseHandle(h); }
};

struct RegistryKeyTraits {
  using Handle = HKEY;
  static Handle Invalid() noexcept { return nullptr; }
  static void Close(Handle h) noexcept { ::RegCloseKey(h); }
};

struct ModuleTraits {
  using Handle = HMODULE;
  static Handle Invalid() noexcept { return nullptr; }
  static void Close(Handle h) noexcept { ::FreeLibrary(h); }
};

struct GdiObjectTraits {
  using Handle = HGDIOBJ;
  static Handle Invalid() noexcept { return nullptr; }
  static void Close(Handle h) noexcept { ::DeleteObject(h); }
};

struct WindowTraits {
  using Handle = HWND;
  static Handle Invalid() noexcept { return nullptr; }
  static void Close(Handle h) noexcept { ::DestroyWindow(h); }
};

struct HookTraits {
  using Handle = HHOOK;
  static Handle Invalid() noexcept { return nullptr; }
  static void Close(Handle h) noexcept { ::UnhookWindowsHookEx(h); }
};

using UniqueHandle = UniqueResource<KernelHandleTraits>;
using UniqueFile = UniqueResource<FileHandleTraits>;
using UniqueRegistryKey = UniqueResource<RegistryKeyTraits>;
using UniqueModule = UniqueResource<ModuleTraits>;
using UniqueGdiObject = UniqueResource<GdiObjectTraits>;
using UniqueWindow = UniqueResource<WindowTraits>;
using UniqueHook = UniqueResource<HookTraits>;

// A counted COM reference: AddRef on copy, Release on destruction.
template <typename T>
class ComPtr {
 public:
  ComPtr() noexcept = default;
  ComPtr(std::nullptr_t) noexcept {}
  // Takes over a reference the caller already owns.
  static ComPtr Attach(T* raw) noexcept {
    ComPtr p;
    p.ptr_ = raw;
    return p;
  }
  ComPtr(const ComPtr& other) noexcept : ptr_(other.ptr_) {
    if (ptr_) ptr_->AddRef();
  }
  ComPtr(ComPtr&& other) noexcept : ptr_(std::exchange(other.ptr_, nullptr)) {}
  ComPtr& operator=(ComPtr other) noexcept {
    std::swap(ptr_, other.ptr_);
    return *this;
  }
  ~ComPtr() { Reset(); }

  void Reset() noexcept {
    if (T* old = std::exchange(ptr_, nullptr)) old->Release();
  }
  [[nodiscard]] T* Get() const noexcept { return ptr_; }
  T* operator->() const noexcept { return ptr_; }
  explicit operator bool() const noexcept { return ptr_ != nullptr; }

  // For functions that hand out an interface through a pointer.
  [[nodiscard]] T** Receive() noexcept {
    Reset();
    return &ptr_;
  }
  [[nodiscard]] void** ReceiveVoid() noexcept { return reinterpret_cast<void**>(Receive()); }

  template <typename U>
  [[nodiscard]] ComPtr<U> As(REFIID iid) const noexcept {
    ComPtr<U> other;
    if (ptr_) ptr_->QueryInterface(iid, other.ReceiveVoid());
    return other;
  }

 private:
  T* ptr_ = nullptr;
};

}  // namespace tpl

namespace tpl {

// A window's device context from GetDC, given back with ReleaseDC to the same window.
class UniqueWindowDc {
 public:
  UniqueWindowDc() noexcept = default;
  explicit UniqueWindowDc(HWND window) noexcept : window_(window), dc_(::GetDC(window)) {}
  ~UniqueWindowDc() { Reset(); }
  UniqueWindowDc(UniqueWindowDc&& other) noexcept
      : window_(std::exchange(other.window_, nullptr)), dc_(std::exchange(other.dc_, nullptr)) {}
  UniqueWindowDc& operator=(UniqueWindowDc&& other) noexcept {
    if (this != &other) {
      Reset();
      window_ = std::exchange(other.window_, nullptr);
      dc_ = std::exchange(other.dc_, nullptr);
    }
    return *this;
  }
  UniqueWindowDc(const UniqueWindowDc&) = delete;
  UniqueWindowDc& operator=(const UniqueWindowDc&) = delete;

  [[nodiscard]] HDC Get() const noexcept { return dc_; }
  explicit operator bool() const noexcept { return dc_ != nullptr; }
  void Reset() noexcept {
    if (dc_ != nullptr) ::ReleaseDC(window_, dc_);
    dc_ = nullptr;
    window_ = nullptr;
  }

 private:
  HWND window_ = nullptr;
  HDC dc_ = nullptr;
};

}  // namespace tpl
