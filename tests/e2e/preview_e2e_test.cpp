// Preview mode as the display settings dialog sees it: the test owns the
// preview window (a child of a window of its own), passes its handle as
// argument 2 and reads back what the program drew into it: the movie's
// 154 x 113 pixels at the top left and black beyond. The stand-in player is
// registered for these tests and traces what the program asked of it.

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "e2e/configuration_lines.h"
#include "e2e/program_run.h"
#include "e2e/program_windows.h"
#include "e2e/saver_package.h"
#include "support/player_registration.h"
#include "support/player_trace.h"
#include "swf_writer.h"

namespace tpl::e2e {
namespace {

constexpr char kHostClass[] = "TemplateE2ePreviewHost";
constexpr char kPreviewClass[] = "TemplateE2ePreview";
constexpr COLORREF kMovieColour = RGB(220, 30, 40);
constexpr COLORREF kBlack = RGB(0, 0, 0);
constexpr COLORREF kUntouched = RGB(0, 200, 0);
constexpr int kMovieWidth = 154;
constexpr int kMovieHeight = 113;
constexpr DWORD kSettleMs = 500;

// Paints nothing itself: whatever shows is what the program drew.
LRESULT CALLBACK PreviewProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_ERASEBKGND: return 1;
    case WM_PAINT: {
      PAINTSTRUCT paint;
      ::BeginPaint(window, &paint);
      ::EndPaint(window, &paint);
      return 0;
    }
    default: return ::DefWindowProcA(window, message, wParam, lParam);
  }
}

void RegisterClassOnce(const char* name, WNDPROC procedure) {
  WNDCLASSA windowClass{};
  windowClass.lpfnWndProc = procedure;
  windowClass.hInstance = ::GetModuleHandleA(nullptr);
  windowClass.lpszClassName = name;
  windowClass.hbrBackground = static_cast<HBRUSH>(::GetStockObject(GRAY_BRUSH));
  if (procedure == PreviewProc) windowClass.hbrBackground = nullptr;
  WNDCLASSA existing{};
  if (!::GetClassInfoA(windowClass.hInstance, name, &existing)) ::RegisterClassA(&windowClass);
}

// The display settings dialog's part: a top-level window with the preview
// window inside it.
class PreviewWindow {
 public:
  PreviewWindow(int width, int height, bool visible = true) {
    RegisterClassOnce(kHostClass, ::DefWindowProcA);
    RegisterClassOnce(kPreviewClass, PreviewProc);
    host_ = ::CreateWindowExA(0, kHostClass, "preview host", WS_POPUP | WS_VISIBLE, 40, 40, width + 40, height + 40,
                              nullptr, nullptr, ::GetModuleHandleA(nullptr), nullptr);
    preview_ = ::CreateWindowExA(0, kPreviewClass, "", WS_POPUP | (visible ? WS_VISIBLE : 0), 420, 20, width, height,
                                 host_, nullptr, ::GetModuleHandleA(nullptr), nullptr);
    Fill(kUntouched);
  }
  ~PreviewWindow() {
    if (host_ != nullptr) ::DestroyWindow(host_);
  }
  PreviewWindow(const PreviewWindow&) = delete;
  PreviewWindow& operator=(const PreviewWindow&) = delete;

  [[nodiscard]] HWND Handle() const { return preview_; }
  [[nodiscard]] std::string HandleText() const {
    return std::to_string(static_cast<long long>(reinterpret_cast<INT_PTR>(preview_)));
  }

  void Fill(COLORREF colour) const {
    HDC dc = ::GetDC(preview_);
    RECT client{};
    ::GetClientRect(preview_, &client);
    HBRUSH brush = ::CreateSolidBrush(colour);
    ::FillRect(dc, &client, brush);
    ::DeleteObject(brush);
    ::ReleaseDC(preview_, dc);
  }

  // Read from the screen: what another process drew into the window is not in
  // this process's own picture of it under Wine.
  [[nodiscard]] COLORREF PixelAt(int x, int y) const {
    POINT onScreen{x, y};
    ::ClientToScreen(preview_, &onScreen);
    HDC screen = ::GetDC(nullptr);
    const COLORREF colour = ::GetPixel(screen, onScreen.x, onScreen.y);
    ::ReleaseDC(nullptr, screen);
    return colour;
  }

  // Handles this thread's messages until the pixel shows the colour.
  [[nodiscard]] bool WaitForPixel(int x, int y, COLORREF colour, DWORD timeoutMs = 10000) const {
    const ULONGLONG deadline = ::GetTickCount64() + timeoutMs;
    while (PixelAt(x, y) != colour) {
      if (::GetTickCount64() >= deadline) return false;
      testing::PumpMessagesFor(20);
    }
    return true;
  }

  void Show() const { ::ShowWindow(preview_, SW_SHOWNA); }
  void Hide() const { ::ShowWindow(preview_, SW_HIDE); }
  void Destroy() {
    ::DestroyWindow(host_);
    host_ = nullptr;
    preview_ = nullptr;
  }

 private:
  HWND host_ = nullptr;
  HWND preview_ = nullptr;
};

// A movie of one colour that stops on its third frame.
std::vector<std::uint8_t> StoppingMovie() {
  swf::testing::MovieBuilder movie(100, 80, 30);
  movie.SetBackground({220, 30, 40});
  movie.ShowFrame(2);
  movie.DoAction(swf::testing::Actions().Stop()).ShowFrame();
  return movie.Build();
}

// StoppingMovie with a second of sound starting on its first frame.
std::vector<std::uint8_t> SoundingMovie() {
  swf::testing::MovieBuilder movie(100, 80, 30);
  movie.SetBackground({220, 30, 40});
  constexpr std::uint32_t kSamples = 22050;
  std::vector<std::uint8_t> sound = {1, 0, 0x3A};  // id 1: raw, 22 kHz, 16-bit, mono
  for (int shift = 0; shift < 32; shift += 8) sound.push_back(static_cast<std::uint8_t>(kSamples >> shift));
  for (std::uint32_t i = 0; i < kSamples; ++i) sound.insert(sound.end(), {0x00, static_cast<std::uint8_t>(i % 2 ? 0x20 : 0xE0)});
  movie.Tag(14, sound);
  movie.Tag(15, {1, 0, 0}).ShowFrame(2);
  movie.DoAction(swf::testing::Actions().Stop()).ShowFrame();
  return movie.Build();
}

std::string Hex(COLORREF colour) {
  char text[16];
  std::snprintf(text, sizeof text, "%06lX", static_cast<unsigned long>(colour));
  return text;
}

class PreviewMode : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(registration_.Result(), S_OK); }

  // A package whose saver movie is a real movie, with these configuration lines.
  void MakePackage(const std::vector<std::string>& configuration) { MakePackage(configuration, movie_); }
  void MakePackage(const std::vector<std::string>& configuration, const std::vector<std::uint8_t>& movie) {
    package_.emplace("MySaver", kCompletePackage, configuration);
    testing::WriteFileBytes(package_->SaverMoviePath(),
                            std::string_view(reinterpret_cast<const char*>(movie.data()), movie.size()));
  }

  void Start(const PreviewWindow& window) { run_.emplace(package_->ProgramPath(), "/p " + window.HandleText()); }

  [[nodiscard]] std::optional<DWORD> Ends() { return run_->Finish(MessageBoxes::Leave); }

  [[nodiscard]] std::string TraceText() const {
    std::string text;
    for (const std::string& line : trace_.Lines()) text += "\n  " + line;
    return text;
  }

  // What the program asked of the player once it was made (its creation sets
  // defaults of its own first).
  [[nodiscard]] std::vector<std::string> Calls() const {
    std::vector<std::string> lines = trace_.Lines();
    const auto made = std::find(lines.begin(), lines.end(), "InPlaceActivate");
    if (made == lines.end()) return {};
    lines.erase(lines.begin(), made + 1);
    return testing::TraceLinesStartingWith(lines, {"LoadMovie", "Play", "Stop", "IsPlaying", "Scale="});
  }

  const testing::ScratchFolder traceFolder_;
  const testing::PlayerTraceFile trace_{traceFolder_.File("trace.txt")};
  const testing::PlayerRegistration registration_{testing::WindowsPathOf(TEMPLATE_PLAYER_DLL)};
  const std::vector<std::uint8_t> movie_ = StoppingMovie();
  std::optional<SaverPackage> package_;
  std::optional<ProgramRun> run_;
};

struct WindowSizeCase {
  const char* label;
  int width;
  int height;
};

const WindowSizeCase kWindowSizes[] = {
    {"larger_than_the_movie", 300, 200},
    {"as_large_as_the_movie", kMovieWidth, kMovieHeight},
    {"smaller_than_the_movie", 152, 112},
};

void PrintTo(const WindowSizeCase& tested, std::ostream* out) { *out << tested.label; }

class PreviewDrawing : public PreviewMode, public ::testing::WithParamInterface<WindowSizeCase> {};

TEST_P(PreviewDrawing, MovieAtTheTopLeftBlackBeyondUntilHidden) {
  MakePackage(ConfigurationLines({{12, "exactfit"}, {14, "0"}}));
  const PreviewWindow window(GetParam().width, GetParam().height);
  Start(window);
  ASSERT_TRUE(window.WaitForPixel(0, 0, kMovieColour))
      << "drawn: " << Hex(window.PixelAt(0, 0)) << "; player calls:" << TraceText();

  const int right = std::min(GetParam().width, kMovieWidth) - 1;
  const int bottom = std::min(GetParam().height, kMovieHeight) - 1;
  for (const POINT p : {POINT{right, 0}, POINT{0, bottom}, POINT{right, bottom}, POINT{right / 2, bottom / 2}}) {
    EXPECT_EQ(Hex(window.PixelAt(p.x, p.y)), Hex(kMovieColour)) << p.x << "," << p.y;
  }
  if (GetParam().width > kMovieWidth) {
    for (const POINT p : {POINT{kMovieWidth, 0}, POINT{GetParam().width - 1, GetParam().height - 1},
                          POINT{0, kMovieHeight}, POINT{kMovieWidth, kMovieHeight}}) {
      EXPECT_EQ(Hex(window.PixelAt(p.x, p.y)), Hex(kBlack)) << p.x << "," << p.y;
    }
  }
  window.Hide();
  EXPECT_EQ(Ends(), std::optional<DWORD>(0));
  EXPECT_TRUE(testing::GetRawRegistryValue(HKEY_CURRENT_USER, "\\Software\\GlimmerforgeSavers", "CLSIDHACK") ==
              std::nullopt);

  const std::vector<std::string> calls = Calls();
  ASSERT_GE(calls.size(), 3u);
  EXPECT_EQ(calls[0], "Scale=exactfit");
  EXPECT_EQ(calls[1], "LoadMovie 0 " + package_->SaverMoviePath());
  EXPECT_EQ(calls[2], "Play");
  EXPECT_EQ(calls.back(), "Stop");
}

INSTANTIATE_TEST_SUITE_P(Sizes, PreviewDrawing, ::testing::ValuesIn(kWindowSizes),
                         [](const auto& tested) { return std::string(tested.param.label); });

struct ScaleCase {
  const char* label;
  const char* configured;
  const char* shown;
};

const ScaleCase kScales[] = {
    {"noscale_shows_all", "noscale", "ShowAll"},
    {"capital_noscale_as_it_is", "NoScale", "NoScale"},
    {"showall_as_it_is", "showall", "showall"},
};

void PrintTo(const ScaleCase& tested, std::ostream* out) { *out << tested.label; }

class PreviewScale : public PreviewMode, public ::testing::WithParamInterface<ScaleCase> {};

TEST_P(PreviewScale, SetsTheScaleModeBeforeLoading) {
  MakePackage(ConfigurationLines({{12, GetParam().configured}}));
  const PreviewWindow window(200, 150);
  Start(window);
  ASSERT_TRUE(window.WaitForPixel(kMovieWidth / 2, kMovieHeight / 2, kMovieColour));
  window.Hide();
  EXPECT_EQ(Ends(), std::optional<DWORD>(0));
  const std::vector<std::string> calls = Calls();
  ASSERT_GE(calls.size(), 2u);
  EXPECT_EQ(calls[0], std::string("Scale=") + GetParam().shown);
  EXPECT_EQ(calls[1].rfind("LoadMovie 0 ", 0), 0u) << calls[1];
}

INSTANTIATE_TEST_SUITE_P(Modes, PreviewScale, ::testing::ValuesIn(kScales),
                         [](const auto& tested) { return std::string(tested.param.label); });

// With the loop flag "1" a stopped movie is played again; otherwise the
// player is never even asked whether it plays.
TEST_F(PreviewMode, LoopFlagReplaysTheStoppedMovie) {
  MakePackage(ConfigurationLines({{14, "1"}}));
  const PreviewWindow window(200, 150);
  Start(window);
  ASSERT_TRUE(window.WaitForPixel(0, 0, kMovieColour));
  const ULONGLONG deadline = ::GetTickCount64() + 10000;
  auto replays = [&] {
    const std::vector<std::string> calls = Calls();
    return std::count(calls.begin(), calls.end(), "Play");
  };
  while (replays() < 3 && ::GetTickCount64() < deadline) testing::PumpMessagesFor(50);
  window.Hide();
  EXPECT_EQ(Ends(), std::optional<DWORD>(0));
  const std::vector<std::string> calls = Calls();
  EXPECT_GE(std::count(calls.begin(), calls.end(), "Play"), 3);
  const auto stopped = std::find(calls.begin(), calls.end(), "IsPlaying 0");
  ASSERT_NE(stopped, calls.end());
  ASSERT_NE(stopped + 1, calls.end());
  EXPECT_EQ(*(stopped + 1), "Play");
}

// A thumbnail makes no noise: the movie's sound never reaches an output
// (which, on a machine without a sound device, would say so).
TEST_F(PreviewMode, AMovieWithSoundStaysSilent) {
  MakePackage(ConfigurationLines({{14, "0"}}), SoundingMovie());
  const PreviewWindow window(200, 150);
  Start(window);
  ASSERT_TRUE(window.WaitForPixel(0, 0, kMovieColour));
  const auto soundLines = [&] { return testing::TraceLinesStartingWith(trace_.Lines(), {"Sound "}); };
  const ULONGLONG deadline = ::GetTickCount64() + 10000;
  while (soundLines().empty() && ::GetTickCount64() < deadline) testing::PumpMessagesFor(50);
  window.Hide();
  EXPECT_EQ(Ends(), std::optional<DWORD>(0));
  EXPECT_EQ(soundLines(), std::vector<std::string>{"Sound silent"}) << TraceText();
}

TEST_F(PreviewMode, WithoutTheLoopFlagTheMovieStaysStopped) {
  MakePackage(ConfigurationLines({{14, "0"}}));
  const PreviewWindow window(200, 150);
  Start(window);
  ASSERT_TRUE(window.WaitForPixel(0, 0, kMovieColour));
  // The movie stops on its third frame, a tenth of a second in.
  EXPECT_TRUE(StillRunningAfter(run_->Process(), kSettleMs));
  EXPECT_EQ(Hex(window.PixelAt(0, 0)), Hex(kMovieColour)) << "the last picture stays";
  window.Hide();
  EXPECT_EQ(Ends(), std::optional<DWORD>(0));
  const std::vector<std::string> calls = Calls();
  EXPECT_EQ(std::count(calls.begin(), calls.end(), "Play"), 1);
  EXPECT_EQ(std::count_if(calls.begin(), calls.end(), [](const std::string& c) { return c.starts_with("IsPlaying"); }),
            0);
}

TEST_F(PreviewMode, WaitsForAHiddenWindowThenDrawsUntilItIsHiddenAgain) {
  MakePackage(ConfigurationLines({}));
  const PreviewWindow window(200, 150, false);
  Start(window);
  EXPECT_TRUE(StillRunningAfter(run_->Process(), kSettleMs)) << "gave up on a hidden window";
  EXPECT_TRUE(Calls().empty()) << "the movie was loaded before the window showed";
  window.Show();
  window.Fill(kUntouched);
  ASSERT_TRUE(window.WaitForPixel(0, 0, kMovieColour));
  window.Hide();
  EXPECT_EQ(Ends(), std::optional<DWORD>(0));
}

TEST_F(PreviewMode, DestroyingTheWindowEndsIt) {
  MakePackage(ConfigurationLines({}));
  PreviewWindow window(200, 150);
  Start(window);
  ASSERT_TRUE(window.WaitForPixel(0, 0, kMovieColour));
  window.Destroy();
  EXPECT_EQ(Ends(), std::optional<DWORD>(0));
}

// The preview does not listen to a newly started instance.
TEST_F(PreviewMode, IgnoresTheQuitBroadcast) {
  MakePackage(ConfigurationLines({}));
  const PreviewWindow window(200, 150);
  Start(window);
  ASSERT_TRUE(window.WaitForPixel(0, 0, kMovieColour));
  BroadcastQuit();
  EXPECT_TRUE(StillRunningAfter(run_->Process(), kSettleMs));
  window.Hide();
  EXPECT_EQ(Ends(), std::optional<DWORD>(0));
}

struct HandleCase {
  const char* label;
  const char* arguments;  // "" stands for the handle of a window that is gone
};

const HandleCase kBadHandles[] = {
    {"window_that_is_gone", ""},
    {"malformed", "/p 12ab"},
    {"missing", "/p"},
    {"behind_a_colon", "/p:123"},
};

void PrintTo(const HandleCase& tested, std::ostream* out) { *out << tested.label; }

class PreviewHandle : public PreviewMode, public ::testing::WithParamInterface<HandleCase> {};

TEST_P(PreviewHandle, WithoutAWindowToDrawIntoEndsWithExitCodeOne) {
  MakePackage(ConfigurationLines({}));
  std::string arguments = GetParam().arguments;
  if (arguments.empty()) {
    PreviewWindow gone(100, 100);
    arguments = "/p " + gone.HandleText();
  }
  run_.emplace(package_->ProgramPath(), arguments);
  EXPECT_EQ(Ends(), std::optional<DWORD>(1));
  for (const SeenWindow& seen : run_->Windows()) EXPECT_FALSE(seen.wasVisible) << "shown: " << seen.className;
  EXPECT_TRUE(Calls().empty());
}

INSTANTIATE_TEST_SUITE_P(Handles, PreviewHandle, ::testing::ValuesIn(kBadHandles),
                         [](const auto& tested) { return std::string(tested.param.label); });

// No player registered: preview mode ends at once and draws nothing.
TEST(PreviewWithoutPlayer, EndsAtOnceAndDrawsNothing) {
  const SaverPackage package("MySaver", kCompletePackage, ConfigurationLines({}));
  const PreviewWindow window(200, 150);
  ASSERT_TRUE(window.WaitForPixel(0, 0, kUntouched));
  ProgramRun run(package.ProgramPath(), "/p " + window.HandleText());
  EXPECT_EQ(run.Finish(MessageBoxes::Leave), std::optional<DWORD>(0));
  EXPECT_TRUE(run.Windows().empty());
  testing::PumpMessagesFor(100);
  EXPECT_EQ(Hex(window.PixelAt(0, 0)), Hex(kUntouched));
  EXPECT_EQ(Hex(window.PixelAt(180, 140)), Hex(kUntouched));
}

}  // namespace
}  // namespace tpl::e2e
