#pragma once
// The settings dialog made by a test the way start-up makes it, with the
// configuration values a test chooses: the stand-in player registered, a
// settings key of the test's own, and the dialog shown and activated.

#include <windows.h>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "common/registry.h"
#include "common/store_layout.h"
#include "package/saver_configuration.h"
#include "settings/frm_settings_code.h"
#include "support/player_registration.h"
#include "support/player_trace.h"
#include "support/win_test_support.h"
#include "ui/application.h"
#include "win/ui_test_support.h"

namespace tpl::testing {

inline constexpr char kTestSaverId[] = "SettingsDialogTest";

[[nodiscard]] inline std::string TestSettingsKey() { return SettingsKeyPath(kTestSaverId); }
[[nodiscard]] inline std::string TestMovieValuesKey() { return MovieValuesKeyPath(kTestSaverId); }

[[nodiscard]] inline std::string StoredText(std::string_view name) {
  return ReadRegistryString(HKEY_CURRENT_USER, TestSettingsKey(), name);
}
inline void StoreText(std::string_view name, std::string_view text) {
  WriteRegistryString(HKEY_CURRENT_USER, TestSettingsKey(), name, text);
}

// A configuration with every optional control switched by `shown`.
struct ShownOptions {
  bool multimonitor = false, resolution = false, scale = false, keybQuit = false, mouseQuit = false;
};
inline constexpr ShownOptions kAllShown{true, true, true, true, true};

[[nodiscard]] inline SaverConfiguration ConfigurationShowing(const ShownOptions& shown) {
  SaverConfiguration c;
  c.SaverId = kTestSaverId;
  const auto flag = [](bool on) { return std::string(on ? "1" : "0"); };
  c.ShowMultimonitorOption = flag(shown.multimonitor);
  c.ShowResolutionOption = flag(shown.resolution);
  c.ShowScaleOption = flag(shown.scale);
  c.ShowKeybQuitOption = flag(shown.keybQuit);
  c.ShowMouseQuitOption = flag(shown.mouseQuit);
  c.MultimonitorCaption = "Show on every monitor";
  c.ResolutionCaption = "Change the resolution";
  c.ScaleCaption = "Fit the movie";
  c.KeybQuitCaption = "A key ends the saver";
  c.MouseQuitCaption = "The mouse ends the saver";
  return c;
}

// A small picture standing in for the settings picture.
[[nodiscard]] inline ui::Bitmap TestPicture(int width = 40, int height = 30) {
  HDC screen = ::GetDC(nullptr);
  HBITMAP bitmap = ::CreateCompatibleBitmap(screen, width, height);
  ::ReleaseDC(nullptr, screen);
  return ui::Bitmap(bitmap);
}

class SettingsDialogFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(registration_.Result(), S_OK);
    DeleteRegistryTree(HKEY_CURRENT_USER, TestSettingsKey());
  }
  void TearDown() override {
    application_.reset();
    DeleteRegistryTree(HKEY_CURRENT_USER, TestSettingsKey());
    DeleteRegistryKeyIfEmpty(HKEY_CURRENT_USER, kSaversKeyPath);
  }

  // Creates the dialog and hands over as start-up does; the picture (when
  // given) or the movie path comes first.
  TfrmSettings& Create(const SaverConfiguration& configuration, bool withPicture = true,
                       const std::string& moviePath = "") {
    application_ = std::make_unique<ui::Application>();
    TfrmSettings& form = application_->CreateForm<TfrmSettings>();
    if (withPicture) {
      form.SetSettingsPicture(TestPicture());
    } else {
      form.SettingsMoviePath = moviePath;
    }
    form.SetIcon(application_->Icon());
    HandOverSettingsConfiguration(form, configuration, nullptr);
    return form;
  }

  // Shows the dialog and handles messages until its activation has run.
  bool Activate(TfrmSettings& form) {
    form.Show();
    return PumpUntil(*application_, [&] { return application_->ActiveForm() == &form; });
  }

  TfrmSettings& ShowDialog(const SaverConfiguration& configuration, bool withPicture = true,
                           const std::string& moviePath = "") {
    TfrmSettings& form = Create(configuration, withPicture, moviePath);
    EXPECT_TRUE(Activate(form));
    return form;
  }

  bool WaitUntil(const std::function<bool()>& done, DWORD timeoutMs = kGenerousTimeoutMs) {
    return PumpUntil(*application_, done, timeoutMs);
  }

  ScratchFolder folder_;
  PlayerTraceFile trace_{folder_.File("trace.txt")};
  PlayerRegistration registration_{WindowsPathOf(TEMPLATE_PLAYER_DLL)};
  std::unique_ptr<ui::Application> application_;
};

// A control's window in the client coordinates of the dialog.
[[nodiscard]] inline RECT PlaceInDialog(HWND control, HWND dialog) {
  RECT bounds{};
  ::GetWindowRect(control, &bounds);
  ::MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&bounds), 2);
  return bounds;
}

[[nodiscard]] inline POINT CentreOnScreen(HWND window) {
  RECT bounds{};
  ::GetWindowRect(window, &bounds);
  return POINT{(bounds.left + bounds.right) / 2, (bounds.top + bounds.bottom) / 2};
}

// The centre of a windowless control, on the screen.
[[nodiscard]] inline POINT CentreOnScreen(const ui::Control& control) {
  POINT centre{control.Left() + control.Width() / 2, control.Top() + control.Height() / 2};
  ::ClientToScreen(control.Parent()->ContainerWindow(), &centre);
  return centre;
}

}  // namespace tpl::testing
