#pragma once
// What the DLL as a whole keeps: its instance handle and the count of live
// objects and server locks that decides whether it may be unloaded.

#include <windows.h>

#include <string>

namespace tpl::player {

[[nodiscard]] HINSTANCE ModuleInstance() noexcept;
// The full path of this DLL.
[[nodiscard]] std::wstring ModulePath();

void AddModuleReference() noexcept;
void ReleaseModuleReference() noexcept;

}  // namespace tpl::player
