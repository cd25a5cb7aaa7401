#pragma once
// The class id and interface ids the control answers to: those of the
// platform's player, so that hosts create and drive it the same way.

#include <windows.h>

namespace tpl::player {

inline constexpr GUID kPlayerClassId = {0xD27CDB6E, 0xAE6D, 0x11CF, {0x96, 0xB8, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
// The primary interface: refused, since only its IDispatch part exists here.
inline constexpr GUID kPlayerInterfaceId = {
    0xD27CDB6C, 0xAE6D, 0x11CF, {0x96, 0xB8, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
// The event interface (a dispatch interface the host implements).
inline constexpr GUID kPlayerEventsId = {0xD27CDB6D, 0xAE6D, 0x11CF, {0x96, 0xB8, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};

inline constexpr wchar_t kPlayerClassIdText[] = L"{D27CDB6E-AE6D-11CF-96B8-444553540000}";
inline constexpr wchar_t kPlayerDisplayName[] = L"Stand-in Flash player";

}  // namespace tpl::player
