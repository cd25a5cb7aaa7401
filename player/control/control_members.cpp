#include "control_members.h"

#include <array>
#include <utility>

namespace tpl::player {
namespace {

constexpr std::array<std::pair<std::string_view, MemberId>, 10> kMembers{{
    {"Movie", MemberId::Movie},
    {"Loop", MemberId::Loop},
    {"Play", MemberId::Play},
    {"Stop", MemberId::Stop},
    {"IsPlaying", MemberId::IsPlaying},
    {"WMode", MemberId::WMode},
    {"Menu", MemberId::Menu},
    {"Scale", MemberId::Scale},
    {"LoadMovie", MemberId::LoadMovie},
    {"FlashVars", MemberId::FlashVars},
}};

constexpr wchar_t AsciiLower(wchar_t c) { return (c >= L'A' && c <= L'Z') ? static_cast<wchar_t>(c - L'A' + L'a') : c; }

bool SameNameIgnoringCase(std::wstring_view given, std::string_view known) {
  if (given.size() != known.size()) return false;
  for (std::size_t i = 0; i < given.size(); ++i) {
    if (AsciiLower(given[i]) != AsciiLower(static_cast<wchar_t>(known[i]))) return false;
  }
  return true;
}

}  // namespace

std::optional<MemberId> FindMember(std::wstring_view name) {
  for (const auto& [known, id] : kMembers) {
    if (SameNameIgnoringCase(name, known)) return id;
  }
  return std::nullopt;
}

std::optional<MemberId> MemberFromId(long id) {
  for (const auto& entry : kMembers) {
    if (static_cast<long>(entry.second) == id) return entry.second;
  }
  return std::nullopt;
}

std::string_view MemberName(MemberId member) {
  for (const auto& [known, id] : kMembers) {
    if (id == member) return known;
  }
  return {};
}

}  // namespace tpl::player
