#pragma once
// Where the savers keep their per-user values. Paths start with a backslash:
// they are always taken from the root key, never from an opened key.

#include <string>
#include <string_view>

namespace tpl {

inline constexpr std::string_view kSaversKeyPath = "\\Software\\GlimmerforgeSavers";
inline constexpr std::string_view kPlayerPathOverrideValue = "CLSIDHACK";
inline constexpr std::string_view kPlayerPresentOverrideValue = "CLSIDOVER";

// Value names of a saver's settings key.
inline constexpr std::string_view kMouseQuitValue = "MouseQuit";
inline constexpr std::string_view kKeybQuitValue = "KeybQuit";
inline constexpr std::string_view kScaleModeValue = "ScaleMode";
inline constexpr std::string_view kResChangeValue = "ResChange";
inline constexpr std::string_view kMultimonitorsValue = "Multimonitors";

[[nodiscard]] inline std::string SettingsKeyPath(std::string_view saverId) {
  return std::string(kSaversKeyPath) + "\\" + std::string(saverId);
}

[[nodiscard]] inline std::string MovieValuesKeyPath(std::string_view saverId) {
  return SettingsKeyPath(saverId) + "\\FlashVars";
}

}  // namespace tpl
