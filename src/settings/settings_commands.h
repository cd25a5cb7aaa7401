#pragma once
// The commands a settings movie sends (command and argument, as the player
// delivers them) and what the dialog does with each. Names and arguments are
// compared exactly; a setting command whose argument is not one of the
// setting's own texts is a question, answered with the stored text.

#include <string_view>

#include "settings/settings_choices.h"

namespace tpl {

enum class SettingsCommandAction {
  Ignore,             // not a command of the settings movie
  StoreSetting,       // the argument becomes the setting's stored text
  ReplySetting,       // reply: argument "=" the stored setting
  StoreMovieValue,    // "setvalue": name ":" value into the movie values key
  ReplyMovieValue,    // "getvalue": argument "=" the named movie value
  ReplySaverSetting,  // "getsaversetting": argument "=" the named value of the settings key
};

struct SettingsCommand {
  SettingsCommandAction action = SettingsCommandAction::Ignore;
  StoredSetting setting = StoredSetting::MouseQuit;  // for StoreSetting and ReplySetting
  friend bool operator==(const SettingsCommand&, const SettingsCommand&) = default;
};

[[nodiscard]] SettingsCommand ClassifySettingsCommand(std::wstring_view command, std::wstring_view argument) noexcept;

}  // namespace tpl
