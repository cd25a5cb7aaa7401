#include "settings/settings_commands.h"

#include <array>

namespace tpl {
namespace {

struct SettingCommandRow {
  std::wstring_view command;
  StoredSetting setting;
  std::array<std::wstring_view, 3> accepted;  // empty entries accept nothing
};

constexpr SettingCommandRow kSettingCommands[] = {
    {L"mousequit", StoredSetting::MouseQuit, {L"1", L"0", L""}},
    {L"keybquit", StoredSetting::KeybQuit, {L"1", L"0", L""}},
    {L"multimonitor", StoredSetting::Multimonitors, {L"all", L"primary", L""}},
    {L"scalemode", StoredSetting::ScaleMode, {L"showall", L"exactfit", L"noscale"}},
    {L"reschange", StoredSetting::ResChange, {L"1024", L"800", L"65536"}},
};

bool Accepts(const SettingCommandRow& row, std::wstring_view argument) noexcept {
  for (std::wstring_view text : row.accepted) {
    if (!text.empty() && text == argument) return true;
  }
  return false;
}

}  // namespace

SettingsCommand ClassifySettingsCommand(std::wstring_view command, std::wstring_view argument) noexcept {
  for (const SettingCommandRow& row : kSettingCommands) {
    if (command != row.command) continue;
    return SettingsCommand{
        Accepts(row, argument) ? SettingsCommandAction::StoreSetting : SettingsCommandAction::ReplySetting,
        row.setting};
  }
  if (command == L"setvalue") return SettingsCommand{SettingsCommandAction::StoreMovieValue};
  if (command == L"getvalue") return SettingsCommand{SettingsCommandAction::ReplyMovieValue};
  if (command == L"getsaversetting") return SettingsCommand{SettingsCommandAction::ReplySaverSetting};
  return SettingsCommand{};
}

}  // namespace tpl
