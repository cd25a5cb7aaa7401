#pragma once
// The names and dispatch ids of the control's methods and properties. The ids
// are those hosts already use with the platform's player, so a host written
// for that one drives this control unchanged. Portable: no Windows header.

#include <optional>
#include <string_view>

namespace tpl::player {

enum class MemberId : long {
  Movie = 0x66,
  Loop = 0x6A,
  Play = 0x70,
  Stop = 0x71,
  IsPlaying = 0x81,
  WMode = 0x85,
  Menu = 0x87,
  Scale = 0x89,
  LoadMovie = 0x8E,
  FlashVars = 0xAA,
};

// The event a movie raises with fscommand, delivered to the event interface.
inline constexpr long kFsCommandEventId = 150;

// The member a name stands for, letters compared without regard to case.
[[nodiscard]] std::optional<MemberId> FindMember(std::wstring_view name);

// The member of an id a caller passed to Invoke; nothing for unknown ids.
[[nodiscard]] std::optional<MemberId> MemberFromId(long id);

// The member's name as callers usually spell it ("LoadMovie").
[[nodiscard]] std::string_view MemberName(MemberId member);

}  // namespace tpl::player
