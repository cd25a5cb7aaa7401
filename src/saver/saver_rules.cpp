#include "saver/saver_rules.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <stdexcept>

#include "common/integer_text.h"
#include "ui/layout_scaling.h"

namespace tpl::saver {
namespace {

bool IsOneOf(std::string_view text, std::initializer_list<std::string_view> accepted) {
  return std::find(accepted.begin(), accepted.end(), text) != accepted.end();
}

// The stored resolution names the width; the height goes with it.
std::string_view HeightForStoredWidth(std::string_view width) {
  if (width == "1024") return "768";
  if (width == "800") return "600";
  return kNoResolutionChange;
}

}  // namespace

void MergeStoredSettings(SaverSettings& settings, const StoredSettings& stored) {
  if (IsOneOf(stored.mouseQuit, {"0", "1"})) settings.mouseQuit = stored.mouseQuit;
  if (IsOneOf(stored.keybQuit, {"0", "1"})) settings.keybQuit = stored.keybQuit;
  if (IsOneOf(stored.scaleMode, {"showall", "exactfit", "noscale"})) settings.scaleMode = stored.scaleMode;
  if (IsOneOf(stored.resChange, {"1024", "800", "65536"})) {
    settings.targetWidth = stored.resChange;
    settings.targetHeight = std::string(HeightForStoredWidth(stored.resChange));
  }
}

std::string MonitorModeAfterStore(std::string_view configured, std::string_view stored) {
  return std::string(stored.empty() ? configured : stored);
}

bool MirroringOn(std::string_view monitorMode) { return monitorMode == "all"; }

std::int32_t IntegerOrThrow(std::string_view text) {
  const std::optional<std::int32_t> value = ParseIntegerText(text);
  if (!value) throw std::invalid_argument("'" + std::string(text) + "' is not a valid integer value");
  return *value;
}

bool KeepsDisplayMode(std::string_view targetWidth) noexcept { return targetWidth == kNoResolutionChange; }

std::optional<DisplayMode> SavedModeFor(std::string_view targetWidth, const DisplayMode& current) {
  if (KeepsDisplayMode(targetWidth)) return std::nullopt;
  return current;
}

std::optional<DisplayMode> ModeChangeFor(std::string_view targetWidth, std::string_view targetHeight,
                                         const std::optional<DisplayMode>& saved) {
  if (!saved) return std::nullopt;
  // The height is only looked at once the width is smaller.
  const std::int32_t width = IntegerOrThrow(targetWidth);
  if (width >= saved->width) return std::nullopt;
  const std::int32_t height = IntegerOrThrow(targetHeight);
  if (height >= saved->height) return std::nullopt;
  return DisplayMode{width, height, saved->frequency};
}

SaverPlacement PlanPlacement(Size primaryScreen, const Rect& virtualDesktop, const std::vector<Monitor>& monitors) {
  SaverPlacement placement;
  const Rect primaryArea{0, 0, primaryScreen.width, primaryScreen.height};
  placement.window = primaryArea;
  placement.player = primaryArea;
  if (monitors.size() < 2) return placement;

  placement.window = virtualDesktop;
  for (const Monitor& monitor : monitors) {
    const Rect inWindow{monitor.bounds.left - virtualDesktop.left, monitor.bounds.top - virtualDesktop.top,
                        monitor.bounds.width, monitor.bounds.height};
    if (monitor.primary) {
      placement.player = inWindow;
      placement.offscreen = Size{monitor.bounds.width, monitor.bounds.height};
    } else if (placement.mirrors.size() < kMirrorImageCount) {
      placement.mirrors.push_back(inWindow);
    }
  }
  return placement;
}

bool MovedBeyondSlack(Point start, Point now) noexcept {
  return std::abs(now.x - start.x) > kMouseSlackPixels || std::abs(now.y - start.y) > kMouseSlackPixels;
}

InputAction DecideMouseMessage(MouseMessage message, bool movedBeyondSlack, const InputState& state) {
  bool trigger = false;
  switch (message) {
    case MouseMessage::Move: trigger = movedBeyondSlack; break;
    case MouseMessage::LeftButtonDown:
    case MouseMessage::RightButtonDown:
    case MouseMessage::MiddleButtonDown:
    case MouseMessage::Wheel: trigger = true; break;
    case MouseMessage::Other: break;
  }
  if (state.mouseQuit == "0") trigger = false;
  if (trigger && !state.promptVisible) return state.passwordStored ? InputAction::OpenPrompt : InputAction::Quit;
  // The right button never reaches the player.
  if (message == MouseMessage::RightButtonDown) return InputAction::Swallow;
  return InputAction::PassOn;
}

bool IsCombinationKey(unsigned virtualKey) noexcept {
  constexpr std::array<unsigned, 7> kKeys{18, 17, 115, 9, 91, 92, 93};
  return std::find(kKeys.begin(), kKeys.end(), virtualKey) != kKeys.end();
}

KeyAction DecideKey(int hookCode, unsigned virtualKey, bool released, bool passwordBoxEmpty, const InputState& state) {
  if (hookCode != 0) return KeyAction::Ignore;
  const bool escape = virtualKey == kEscapeKey;
  if (escape && released) return KeyAction::Ignore;
  if (state.keybQuit == "0" && !state.promptVisible && !escape) {
    // A release is not answered by another one: the synthesised release comes
    // back through the hook, and answering it would never end.
    return IsCombinationKey(virtualKey) && !released ? KeyAction::ReleaseAgain : KeyAction::Ignore;
  }
  if (state.promptVisible) {
    if (virtualKey == kEnterKey) return KeyAction::CheckPassword;
    if (escape) return passwordBoxEmpty ? KeyAction::HidePrompt : KeyAction::EmptyPassword;
    return KeyAction::Ignore;
  }
  return state.passwordStored ? KeyAction::OpenPrompt : KeyAction::Quit;
}

Point PromptPosition(Size primaryScreen, Size panel) noexcept {
  return Point{ui::CentredStart(primaryScreen.width, panel.width),
               ui::CentredStart(primaryScreen.height, panel.height)};
}

SaverCommand ClassifySaverCommand(std::wstring_view command) noexcept {
  if (command == L"quit") return SaverCommand::Quit;
  if (command == L"restart") return SaverCommand::Restart;
  if (command == L"loadswf") return SaverCommand::LoadSwf;
  if (command == L"mousequit") return SaverCommand::MouseQuit;
  if (command == L"keybquit") return SaverCommand::KeybQuit;
  if (command == L"scalemode") return SaverCommand::ScaleMode;
  if (command == L"setvalue") return SaverCommand::SetValue;
  if (command == L"getvalue") return SaverCommand::GetValue;
  return SaverCommand::None;
}

std::string QuitFlagFromArgument(std::wstring_view argument) { return argument == L"0" ? "0" : "1"; }

std::string ScaleModeAfterCommand(std::wstring_view argument, std::string_view current) {
  if (argument == L"showall") return "ShowAll";
  if (argument == L"exactfit") return "ExactFit";
  if (argument == L"noscale") return "NoScale";
  return std::string(current);
}

}  // namespace tpl::saver
