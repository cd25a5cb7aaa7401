#include "settings/settings_choices.h"

#include "common/store_layout.h"

namespace tpl {
namespace {

constexpr std::string_view kNoResolutionChange = "65536";
constexpr std::string_view kResolution1024 = "1024";
constexpr std::string_view kResolution800 = "800";
constexpr int kItem1024 = 0;
constexpr int kItem800 = 1;

}  // namespace

std::string_view ValueNameOf(StoredSetting setting) noexcept {
  switch (setting) {
    case StoredSetting::MouseQuit: return kMouseQuitValue;
    case StoredSetting::KeybQuit: return kKeybQuitValue;
    case StoredSetting::Multimonitors: return kMultimonitorsValue;
    case StoredSetting::ScaleMode: return kScaleModeValue;
    case StoredSetting::ResChange: return kResChangeValue;
  }
  return {};
}

ResolutionChoice ResolutionChoiceFor(std::string_view resChange) noexcept {
  if (resChange == kNoResolutionChange) return ResolutionChoice{false, false, kItem1024};
  return ResolutionChoice{true, true, resChange == kResolution800 ? kItem800 : kItem1024};
}

std::string_view ResChangeForChoice(bool checked, int itemIndex) noexcept {
  return checked ? ResChangeForItem(itemIndex) : kNoResolutionChange;
}

std::string_view ResChangeForItem(int itemIndex) noexcept {
  return itemIndex == kItem1024 ? kResolution1024 : kResolution800;
}

ScaleChoice ScaleChoiceFor(std::string_view scaleMode) noexcept {
  if (scaleMode == "exactfit") return ScaleChoice::ExactFit;
  if (scaleMode == "noscale") return ScaleChoice::NoScale;
  return ScaleChoice::ShowAll;
}

std::string_view ScaleModeText(ScaleChoice choice) noexcept {
  switch (choice) {
    case ScaleChoice::ShowAll: return "showall";
    case ScaleChoice::ExactFit: return "exactfit";
    case ScaleChoice::NoScale: return "noscale";
  }
  return "showall";
}

bool FlagChecked(std::string_view stored) noexcept { return stored == "1"; }
std::string_view FlagText(bool checked) noexcept { return checked ? "1" : "0"; }

bool MultimonitorChecked(std::string_view stored) noexcept { return stored == "all"; }
std::string_view MultimonitorsText(bool checked) noexcept { return checked ? "all" : "primary"; }

}  // namespace tpl
