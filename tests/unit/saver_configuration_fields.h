#pragma once
// Every field of the saver configuration with the configuration-file line it is
// read from (0: a fixed value the file never changes) and its built-in default.
// Shared by the unit tests and the configuration fuzz target.

#include <array>
#include <cstddef>
#include <string>

#include "package/saver_configuration.h"

namespace tpl::test {

struct ConfigurationField {
  const char* name;
  std::string SaverConfiguration::*member;
  int line;
  const char* defaultValue;
};

inline constexpr int kFixedValue = 0;

inline constexpr std::array<ConfigurationField, 41> kConfigurationFields = {{
    {"SettingsCaption", &SaverConfiguration::SettingsCaption, 4, "Screensaver settings"},
    {"CloseCaption", &SaverConfiguration::CloseCaption, 5, "Close"},
    {"PasswordDialogCaption", &SaverConfiguration::PasswordDialogCaption, 6, "Password protection"},
    {"OkCaption", &SaverConfiguration::OkCaption, 7, "OK"},
    {"CancelCaption", &SaverConfiguration::CancelCaption, 8, "Cancel"},
    {"EnableProtectionCaption", &SaverConfiguration::EnableProtectionCaption, 9, "Enable password protection"},
    {"PasswordPrompt", &SaverConfiguration::PasswordPrompt, 10, "Password:"},
    {"DefaultScaleMode", &SaverConfiguration::DefaultScaleMode, 12, "exactfit"},
    {"LoopMovie", &SaverConfiguration::LoopMovie, 14, "0"},
    {"CurrentPasswordPrompt", &SaverConfiguration::CurrentPasswordPrompt, 15, "Enter your current password:"},
    {"NewPasswordPrompt", &SaverConfiguration::NewPasswordPrompt, 16, "Enter your new password:"},
    {"ConfirmPasswordPrompt", &SaverConfiguration::ConfirmPasswordPrompt, 17, "Confirm your new password:"},
    {"WrongPasswordMessage", &SaverConfiguration::WrongPasswordMessage, 18, "You have entered a wrong password."},
    {"PasswordMismatchMessage", &SaverConfiguration::PasswordMismatchMessage, 19, "Your new passwords do not match."},
    {"SaverTitle", &SaverConfiguration::SaverTitle, 20, "Screensaver"},
    {"CreatedWithText", &SaverConfiguration::CreatedWithText, 21, "Created with"},
    {"CreditVersion", &SaverConfiguration::CreditVersion, 22, "0.9"},
    {"DownloadPrompt", &SaverConfiguration::DownloadPrompt, 23,
     "This screensaver requires Adobe Flash Player component. Would you like to download it?"},
    {"PlayerVersionLine", &SaverConfiguration::PlayerVersionLine, 24, "7"},
    {"MouseQuitDefault", &SaverConfiguration::MouseQuitDefault, 25, "1"},
    {"KeybQuitDefault", &SaverConfiguration::KeybQuitDefault, 26, "1"},
    {"MovieQuitAllowed", &SaverConfiguration::MovieQuitAllowed, 27, "1"},
    {"ResChangeDefault", &SaverConfiguration::ResChangeDefault, 28, "65536"},
    {"ResChangeHeightDefault", &SaverConfiguration::ResChangeHeightDefault, 29, "65536"},
    {"Line30Value", &SaverConfiguration::Line30Value, 30, "0"},
    {"PlayerMissingNotice", &SaverConfiguration::PlayerMissingNotice, 31,
     "This screensaver requires Adobe Flash Player component to run properly."},
    {"SaverId", &SaverConfiguration::SaverId, kFixedValue, "65536"},
    {"MultimonitorsDefault", &SaverConfiguration::MultimonitorsDefault, kFixedValue, "primary"},
    {"FontCharset", &SaverConfiguration::FontCharset, kFixedValue, "0"},
    {"SettingsAreaHeight", &SaverConfiguration::SettingsAreaHeight, kFixedValue, "400"},
    {"SettingsAreaWidth", &SaverConfiguration::SettingsAreaWidth, kFixedValue, "400"},
    {"MultimonitorCaption", &SaverConfiguration::MultimonitorCaption, kFixedValue, ""},
    {"MouseQuitCaption", &SaverConfiguration::MouseQuitCaption, kFixedValue, ""},
    {"KeybQuitCaption", &SaverConfiguration::KeybQuitCaption, kFixedValue, ""},
    {"ResolutionCaption", &SaverConfiguration::ResolutionCaption, kFixedValue, ""},
    {"ScaleCaption", &SaverConfiguration::ScaleCaption, kFixedValue, ""},
    {"ShowMouseQuitOption", &SaverConfiguration::ShowMouseQuitOption, kFixedValue, "0"},
    {"ShowKeybQuitOption", &SaverConfiguration::ShowKeybQuitOption, kFixedValue, "0"},
    {"ShowScaleOption", &SaverConfiguration::ShowScaleOption, kFixedValue, "0"},
    {"ShowMultimonitorOption", &SaverConfiguration::ShowMultimonitorOption, kFixedValue, "0"},
    {"ShowResolutionOption", &SaverConfiguration::ShowResolutionOption, kFixedValue, "0"},
}};

inline constexpr std::size_t kConfigurationFieldCount = kConfigurationFields.size();

// A field added to the record without an entry here would escape every
// comparison; the record holds nothing but these strings.
static_assert(sizeof(SaverConfiguration) == kConfigurationFieldCount * sizeof(std::string),
              "every field of SaverConfiguration needs an entry in kConfigurationFields");

// The first field whose values differ, or nullptr when all are equal.
inline const ConfigurationField* FirstDifference(const SaverConfiguration& a, const SaverConfiguration& b) {
  for (const ConfigurationField& field : kConfigurationFields) {
    if (a.*field.member != b.*field.member) return &field;
  }
  return nullptr;
}

}  // namespace tpl::test
