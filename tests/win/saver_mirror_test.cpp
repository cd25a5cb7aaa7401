// The full-screen saver's window made in this process as start-up makes it,
// with the stand-in player and a monitor list of the test's own (the test
// machine has one monitor): where the window, the player and the mirror images
// go, that copy ticks put the player's picture on every mirror, and that the
// password prompt opens in the middle of the primary monitor.

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "common/store_layout.h"
#include "password/legacy_password_store.h"
#include "saver/frm_main_code.h"
#include "support/player_registration.h"
#include "support/win_test_support.h"
#include "swf_writer.h"
#include "ui/application.h"
#include "ui/graphics.h"
#include "win/ui_test_support.h"

namespace tpl::testing {
namespace {

constexpr char kSaverId[] = "SaverMirrorTest";
constexpr char kDesktopKey[] = "Control Panel\\Desktop";

// The movie: a yellow rectangle over a dark blue background, one frame.
constexpr int kMovieWidth = 320;
constexpr int kMovieHeight = 240;
constexpr std::uint32_t kBackground = 0x002060;  // 0x00RRGGBB
constexpr std::uint32_t kSquare = 0xFFC800;

swf::testing::Bytes StillMovie() {
  swf::testing::MovieBuilder movie(kMovieWidth, kMovieHeight);
  movie.SetBackground({0x00, 0x20, 0x60});
  swf::testing::ShapeBuilder square;
  square.Rectangle(0, 0, 80, 60, square.AddSolidFill({0xFF, 0xC8, 0x00}));
  movie.Place(movie.DefineShape(square), 1, swf::testing::Transform::Translate(20, 20));
  movie.ShowFrame();
  return movie.Build();
}

// Points of the picture as fractions of its size, away from the rectangle's
// edges so that a stretched copy lands on the same colour.
struct Sample {
  double x;
  double y;
  std::uint32_t colour;
};
constexpr Sample kSamples[] = {
    {0.19, 0.21, kSquare},      // inside the rectangle (x 20..100 of 320, y 20..80 of 240)
    {0.70, 0.25, kBackground},  // right of it
    {0.19, 0.70, kBackground},  // below it
    {0.90, 0.90, kBackground},
};

struct LayoutCase {
  const char* label;
  saver::Rect primary;
  std::vector<saver::Rect> secondaries;
};

void PrintTo(const LayoutCase& tested, std::ostream* out) { *out << tested.label; }

// The smallest rectangle around every monitor.
saver::Rect DesktopAround(const LayoutCase& tested) {
  int left = tested.primary.left, top = tested.primary.top;
  int right = left + tested.primary.width, bottom = top + tested.primary.height;
  for (const saver::Rect& r : tested.secondaries) {
    left = std::min(left, r.left);
    top = std::min(top, r.top);
    right = std::max(right, r.left + r.width);
    bottom = std::max(bottom, r.top + r.height);
  }
  return saver::Rect{left, top, right - left, bottom - top};
}

saver::MonitorLayout LayoutOf(const LayoutCase& tested) {
  saver::MonitorLayout layout;
  layout.primaryScreen = saver::Size{tested.primary.width, tested.primary.height};
  layout.virtualDesktop = DesktopAround(tested);
  // The primary in the middle of the system's order, as Windows may report it.
  layout.monitors.push_back(saver::Monitor{tested.secondaries.front(), false});
  layout.monitors.push_back(saver::Monitor{tested.primary, true});
  for (std::size_t index = 1; index < tested.secondaries.size(); ++index) {
    layout.monitors.push_back(saver::Monitor{tested.secondaries[index], false});
  }
  return layout;
}

saver::Rect ScreenRectOf(HWND window) {
  RECT r{};
  ::GetWindowRect(window, &r);
  return saver::Rect{r.left, r.top, r.right - r.left, r.bottom - r.top};
}

std::string Describe(const saver::Rect& r) {
  return std::to_string(r.left) + "," + std::to_string(r.top) + " " + std::to_string(r.width) + "x" +
         std::to_string(r.height);
}

std::uint32_t PixelAt(const ui::Surface& surface, int x, int y) {
  return surface.Pixels()[static_cast<std::size_t>(y) * static_cast<std::size_t>(surface.Width()) +
                          static_cast<std::size_t>(x)] &
         0xFFFFFFu;
}

// The sample point of a picture `area` (in the surface's coordinates).
std::uint32_t SampleIn(const ui::Surface& surface, const saver::Rect& area, const Sample& sample) {
  return PixelAt(surface, area.left + static_cast<int>(sample.x * area.width),
                 area.top + static_cast<int>(sample.y * area.height));
}

class SaverMirroring : public ::testing::TestWithParam<LayoutCase> {
 protected:
  void SetUp() override {
    ASSERT_EQ(registration_.Result(), S_OK) << "the stand-in player did not register";
    DeleteRegistryTree(HKEY_CURRENT_USER, SettingsKeyPath(kSaverId));
    // A stored password: the mouse opens the prompt instead of ending the saver
    // (which would end this process).
    SetRawRegistryValue(HKEY_CURRENT_USER, kDesktopKey, "ScreenSaveUsePassword", REG_DWORD, {1, 0, 0, 0});
    WriteLegacyPassword("SECRET");
    const swf::testing::Bytes movie = StillMovie();
    WriteFileBytes(moviePath_, std::string(movie.begin(), movie.end()));
  }

  void TearDown() override {
    if (application_ && form_ != nullptr && form_->Handle() != nullptr) form_->Close();
    application_.reset();
    DeleteRegistryTree(HKEY_CURRENT_USER, SettingsKeyPath(kSaverId));
    DeleteRegistryKeyIfEmpty(HKEY_CURRENT_USER, kSaversKeyPath);
  }

  // Makes the window as the saver's start-up does and lets it activate.
  TfrmMain& StartSaver(const saver::MonitorLayout& layout) {
    application_ = std::make_unique<ui::Application>();
    form_ = &application_->CreateForm<TfrmMain>();
    TfrmMain& form = *form_;
    form.SetWidth(0);
    form.SetHeight(0);
    form.Title = "Mirror test";
    form.ScaleMode = "exactfit";
    form.LoopFlag = "1";
    form.MoviePath = moviePath_;
    form.KeybQuitFlag = "1";
    form.MouseQuitFlag = "1";
    form.MovieQuitFlag = "0";
    form.MonitorMode = "all";
    form.TargetWidth = "65536";
    form.TargetHeight = "65536";
    form.PasswordLabel = "Kennwort:";  // not the layout's own text
    form.EnterLabel = "OK";
    form.EscapeLabel = "Cancel";
    form.SaverId = kSaverId;
    form.LabelCharset = "1";
    form.MonitorLayoutSource = [layout] { return layout; };
    form.Show();
    EXPECT_TRUE(PumpUntil(*application_, [&] { return form.swfFlash.IsCreated() && form.Visible(); }));
    // Activation has run once the player has been placed over the primary monitor.
    EXPECT_TRUE(PumpUntil(*application_, [&] {
      return ScreenRectOf(form.Handle()) == layout.virtualDesktop && form.swfFlash.IsPlaying();
    }));
    return form;
  }

  // Timer messages of the player's window, each as the saver receives one.
  void Tick(TfrmMain& form, int count) {
    for (int tick = 0; tick < count; ++tick) ::SendMessageA(form.swfFlash.Handle(), WM_TIMER, 0x7E57, 0);
    application_->ProcessMessages();
  }

  // The window's client area as it paints it (mirror images included), also
  // where it lies off the screen.
  std::unique_ptr<ui::Surface> PrintedWindow(const TfrmMain& form) {
    RECT client{};
    ::GetClientRect(form.Handle(), &client);
    auto surface = std::make_unique<ui::Surface>(client.right, client.bottom);
    ::SendMessageA(form.Handle(), WM_PRINTCLIENT, reinterpret_cast<WPARAM>(surface->Dc()), PRF_CLIENT);
    ::GdiFlush();
    return surface;
  }

  ScratchFolder folder_;
  std::string moviePath_ = folder_.File("still.swf");
  PlayerRegistration registration_{WindowsPathOf(TEMPLATE_PLAYER_DLL)};
  RegistryValueBackup passwordFlag_{HKEY_CURRENT_USER, kDesktopKey, "ScreenSaveUsePassword"};
  RegistryValueBackup passwordData_{HKEY_CURRENT_USER, kDesktopKey, "ScreenSave_Data"};
  std::unique_ptr<ui::Application> application_;
  TfrmMain* form_ = nullptr;
};

TEST_P(SaverMirroring, CoversEveryMonitorAndMirrorsThePlayer) {
  const LayoutCase& tested = GetParam();
  const saver::MonitorLayout layout = LayoutOf(tested);
  TfrmMain& form = StartSaver(layout);
  ASSERT_FALSE(HasFailure());

  // The window covers the virtual desktop, the player exactly the primary monitor.
  EXPECT_EQ(Describe(ScreenRectOf(form.Handle())), Describe(layout.virtualDesktop));
  EXPECT_EQ(Describe(ScreenRectOf(form.swfFlash.Handle())), Describe(tested.primary));

  // Each secondary monitor, in the system's order, gets a mirror image at its place.
  ui::Image* images[] = {&form.imgKresli1, &form.imgKresli2, &form.imgKresli3, &form.imgKresli4};
  for (std::size_t index = 0; index < tested.secondaries.size(); ++index) {
    const ui::Image& image = *images[index];
    const saver::Rect onScreen{layout.virtualDesktop.left + image.Left(), layout.virtualDesktop.top + image.Top(),
                               image.Width(), image.Height()};
    EXPECT_EQ(Describe(onScreen), Describe(tested.secondaries[index])) << "mirror " << index;
  }

  // Copy ticks put the player's picture, stretched to each monitor, on its mirror.
  Tick(form, 8);
  const std::unique_ptr<ui::Surface> window = PrintedWindow(form);
  ui::Surface primaryPicture(tested.primary.width, tested.primary.height);
  form.swfFlash.PaintTo(primaryPicture.Dc(), 0, 0);
  ::GdiFlush();
  const saver::Rect wholePrimary{0, 0, tested.primary.width, tested.primary.height};
  for (std::size_t index = 0; index < tested.secondaries.size(); ++index) {
    const ui::Image& image = *images[index];
    const saver::Rect inWindow{image.Left(), image.Top(), image.Width(), image.Height()};
    for (const Sample& sample : kSamples) {
      SCOPED_TRACE("mirror " + std::to_string(index) + " at " + std::to_string(sample.x) + "," +
                   std::to_string(sample.y));
      EXPECT_EQ(SampleIn(*window, inWindow, sample), sample.colour);
      EXPECT_EQ(SampleIn(*window, inWindow, sample), SampleIn(primaryPicture, wholePrimary, sample));
    }
  }

  // The prompt opens in the middle of the primary monitor, wherever it lies in the window.
  ::SendMessageA(form.Handle(), WM_LBUTTONDOWN, MK_LBUTTON, 0);
  ASSERT_TRUE(::IsWindowVisible(form.fraPassword.Handle())) << "no password prompt";
  const saver::Rect prompt = ScreenRectOf(form.fraPassword.Handle());
  EXPECT_EQ(form.lblPassword.Caption(), "Kennwort:") << "the configured label text";
  EXPECT_EQ(prompt.width, 177);
  EXPECT_EQ(prompt.height, 113);
  EXPECT_NEAR(prompt.left + prompt.width / 2.0, tested.primary.left + tested.primary.width / 2.0, 1.0);
  EXPECT_NEAR(prompt.top + prompt.height / 2.0, tested.primary.top + tested.primary.height / 2.0, 1.0);
}

INSTANTIATE_TEST_SUITE_P(
    Layouts, SaverMirroring,
    ::testing::Values(
        LayoutCase{"secondary_left_at_negative_x", {0, 0, 640, 480}, {{-320, 0, 320, 240}}},
        LayoutCase{"secondary_right_lower", {0, 0, 640, 480}, {{640, 120, 400, 300}}},
        LayoutCase{"secondary_above_left_at_negative_x_and_y", {0, 0, 640, 480}, {{-480, -360, 480, 360}}},
        LayoutCase{"secondary_right_larger_than_primary", {0, 0, 480, 360}, {{480, 0, 800, 600}}},
        LayoutCase{"secondaries_either_side", {0, 0, 512, 384}, {{-256, 0, 256, 192}, {512, 0, 384, 288}}}),
    [](const auto& tested) { return std::string(tested.param.label); });

// One monitor: no mirror, the window and the player over the primary screen.
using SaverOneMonitor = SaverMirroring;

TEST_F(SaverOneMonitor, CoversThePrimaryScreenOnly) {
  saver::MonitorLayout layout;
  layout.primaryScreen = saver::Size{640, 480};
  layout.virtualDesktop = saver::Rect{0, 0, 640, 480};
  TfrmMain& form = StartSaver(layout);
  ASSERT_FALSE(HasFailure());
  EXPECT_EQ(Describe(ScreenRectOf(form.swfFlash.Handle())), Describe(layout.virtualDesktop));
  Tick(form, 8);
  EXPECT_EQ(form.imgPrechodne.DrawingSurface(), nullptr);
  EXPECT_EQ(form.imgKresli1.DrawingSurface(), nullptr) << "a mirror copy with one monitor";
}

}  // namespace
}  // namespace tpl::testing
