#pragma once
// No exception leaves a COM method or the window procedure: each body runs
// inside Guarded, which turns what escapes into an HRESULT.

#include <windows.h>

#include <new>

namespace tpl::player {

template <typename Body>
HRESULT Guarded(Body&& body) noexcept {
  try {
    return body();
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  } catch (...) {
    return E_UNEXPECTED;
  }
}

}  // namespace tpl::player
