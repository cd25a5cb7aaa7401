// The stand-in player control playing movies: whether a movie plays, the
// pixels it draws into any DC and into its window, its frame timer, and the
// commands a movie raises, delivered as events through the program's host.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "common/shockwave_flash.h"
#include "movie_player.h"
#include "player_control_fixture.h"
#include "support/case_name.h"
#include "swf_writer.h"

namespace tpl::testing {
namespace {

using swf::testing::Actions;
using swf::testing::Bytes;
using swf::testing::MovieBuilder;
using swf::testing::ShapeBuilder;

constexpr COLORREF kRed = RGB(255, 0, 0);
constexpr COLORREF kBlue = RGB(0, 0, 255);
constexpr COLORREF kGreen = RGB(0, 255, 0);

// A 100 x 100 stage on blue with its left half red.
Bytes RedLeftHalfOnBlue() {
  MovieBuilder movie(100, 100);
  movie.SetBackground({0, 0, 255});
  ShapeBuilder half;
  half.Rectangle(0, 0, 50, 100, half.AddSolidFill({255, 0, 0}));
  const std::uint16_t id = movie.DefineShape(half);
  movie.Place(id, 1).ShowFrame();
  movie.ShowFrame();
  return movie.Build();
}

// Objects moving over each other and a clip turning inside them for six
// frames, on a 100 x 50 stage; everything stops on the last frame.
Bytes MovesForSixFramesThenStops() {
  MovieBuilder movie(100, 50);
  movie.SetBackground({20, 30, 80});
  ShapeBuilder box;
  box.Rectangle(0, 0, 30, 20, box.AddSolidFill({250, 200, 0}));
  ShapeBuilder ball;
  ball.Ellipse(0, 0, 14, 9, ball.AddSolidFill({0, 220, 120, 150}), ball.AddLineStyle(2, {255, 255, 255, 200}));
  const std::uint16_t boxId = movie.DefineShape(box);
  const std::uint16_t ballId = movie.DefineShape(ball);
  swf::testing::SpriteBuilder turning;
  for (int f = 0; f < 6; ++f) {
    const auto at = swf::testing::Transform::ScaleRotateTranslate(0.6, 25.0 * f, 0, 0);
    if (f == 0) {
      turning.Place(ballId, 1, at);
    } else {
      turning.Move(1, at);
    }
    if (f == 5) turning.DoAction(Actions().Stop());
    turning.ShowFrame();
  }
  const std::uint16_t clipId = movie.DefineSprite(turning);
  for (int f = 0; f < 6; ++f) {
    const auto boxAt = swf::testing::Transform::Translate(5 + 11.5 * f, 5 + 3.5 * f);
    const auto ballAt = swf::testing::Transform::ScaleRotateTranslate(1 + 0.1 * f, 9.0 * f, 85 - 12.25 * f, 25);
    if (f == 0) {
      movie.Place(boxId, 1, boxAt)
          .Place(ballId, 2, ballAt)
          .Place(clipId, 3, swf::testing::Transform::Translate(50, 25));
    } else {
      movie.Move(1, boxAt).Move(2, ballAt);
    }
    if (f == 5) movie.DoAction(Actions().Stop());
    movie.ShowFrame();
  }
  return movie.Build();
}

Bytes StopsInFirstFrame() {
  MovieBuilder movie(100, 100);
  movie.DoAction(Actions().Stop()).ShowFrame();
  movie.ShowFrame();
  return movie.Build();
}

Bytes PlaysOn(bool compressed) {
  MovieBuilder movie(100, 100);
  movie.ShowFrame(3);
  return movie.Build(compressed);
}

// Both forms a compiler writes fscommand in, in its first frame.
Bytes RaisesTwoCommands() {
  MovieBuilder movie(100, 100);
  movie
      .DoAction(Actions()
                    .FsCommand("quit", "now")
                    .SetVariable("command", "save")
                    .SetVariable("argument", "x=1")
                    .FsCommandFromVariables("command", "argument")
                    .Stop())
      .ShowFrame();
  return movie.Build();
}

// Reports its "reply" variable in frame 1, sets it in frame 1, reports it
// again in frame 2 and stops.
Bytes ReportsItsReplyTwice() {
  MovieBuilder movie(100, 100);
  movie
      .DoAction(Actions()
                    .SetVariable("command", "report")
                    .FsCommandFromVariables("command", "reply")
                    .SetVariable("reply", "set-by-movie"))
      .ShowFrame();
  movie.DoAction(Actions().FsCommandFromVariables("command", "reply").Stop()).ShowFrame();
  return movie.Build();
}

// Raises "tick" with the frame's number in each of three frames, looping.
Bytes TicksEveryFrame() {
  MovieBuilder movie(100, 100, 30);
  for (const char* frame : {"1", "2", "3"}) movie.DoAction(Actions().FsCommand("tick", frame)).ShowFrame();
  return movie.Build();
}

std::string FileUrl(std::string path) {
  for (char& c : path) {
    if (c == '\\') c = '/';
  }
  return "file:///" + path;
}

// A 32-bit top-down DIB section in a memory DC, filled with one colour.
class MemoryCanvas {
 public:
  MemoryCanvas(int width, int height, COLORREF fill) : width_(width) {
    BITMAPINFO info{};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    bitmap_.Reset(::CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    pixels_ = static_cast<const std::uint32_t*>(bits);
    dc_ = ::CreateCompatibleDC(nullptr);
    previous_ = ::SelectObject(dc_, bitmap_.Get());
    const RECT all{0, 0, width, height};
    const UniqueGdiObject brush(::CreateSolidBrush(fill));
    ::FillRect(dc_, &all, static_cast<HBRUSH>(brush.Get()));
  }
  ~MemoryCanvas() {
    ::SelectObject(dc_, previous_);
    ::DeleteDC(dc_);
  }
  MemoryCanvas(const MemoryCanvas&) = delete;
  MemoryCanvas& operator=(const MemoryCanvas&) = delete;

  [[nodiscard]] HDC Dc() const { return dc_; }
  [[nodiscard]] COLORREF Pixel(int x, int y) const {
    ::GdiFlush();
    const std::uint32_t bgra = pixels_[y * width_ + x];
    return RGB((bgra >> 16) & 0xFF, (bgra >> 8) & 0xFF, bgra & 0xFF);
  }

 private:
  int width_;
  UniqueGdiObject bitmap_;
  const std::uint32_t* pixels_ = nullptr;
  HDC dc_ = nullptr;
  HGDIOBJ previous_ = nullptr;
};

std::string ColorText(COLORREF c) {
  char text[32];
  std::snprintf(text, sizeof text, "rgb(%u,%u,%u)", GetRValue(c), GetGValue(c), GetBValue(c));
  return text;
}

// ---------------------------------------------------------------------------

struct PlayingCase {
  const char* name;
  Bytes (*movie)();
  bool asFileUrl;
  bool playing;
};

class IsPlayingTest : public PlayerControlTest, public ::testing::WithParamInterface<PlayingCase> {};

TEST_P(IsPlayingTest, AnswersWhetherTheLoadedMovieStoppedItself) {
  const std::string path = WriteMovie("movie.swf", GetParam().movie());
  ASSERT_EQ(LoadMovie(GetParam().asFileUrl ? FileUrl(path) : path), S_OK);
  EXPECT_EQ(client_->IsPlaying(), GetParam().playing);
  EXPECT_EQ(TraceOf({"IsPlaying"}), std::vector<std::string>{GetParam().playing ? "IsPlaying 1" : "IsPlaying 0"});
  EXPECT_NE(TraceOf({"Loaded"}), std::vector<std::string>{"Loaded 0"});
}

INSTANTIATE_TEST_SUITE_P(Movies, IsPlayingTest,
                         ::testing::Values(PlayingCase{"StopsInFrameOne", StopsInFirstFrame, false, false},
                                           PlayingCase{"PlaysOn", [] { return PlaysOn(false); }, false, true},
                                           PlayingCase{"CompressedByFileUrl", [] { return PlaysOn(true); }, true,
                                                       true}),
                         CaseName());

// ---------------------------------------------------------------------------

// The 100 x 100 movie drawn into 200 x 100 at (10, 20) of a green canvas.
struct DrawCase {
  const char* name;
  const wchar_t* scale;
  COLORREF atQuarter;       // x = 25 of the bounds
  COLORREF atThreeQuarter;  // x = 125
};

class ViewDrawTest : public PlayerControlTest, public ::testing::WithParamInterface<DrawCase> {};

TEST_P(ViewDrawTest, DrawsTheCurrentFrameIntoAMemoryDcAtTheBounds) {
  ASSERT_EQ(LoadMovie(WriteMovie("movie.swf", RedLeftHalfOnBlue())), S_OK);
  ASSERT_EQ(client_->Put(L"Scale", Value::Text(GetParam().scale)), S_OK);
  MemoryCanvas canvas(220, 140, kGreen);
  const RECTL bounds{10, 20, 210, 120};
  const auto view = control_.As<IViewObject>(IID_IViewObject);
  ASSERT_EQ(view->Draw(DVASPECT_CONTENT, -1, nullptr, nullptr, nullptr, canvas.Dc(), &bounds, nullptr, nullptr, 0),
            S_OK);
  EXPECT_EQ(ColorText(canvas.Pixel(10 + 25, 70)), ColorText(GetParam().atQuarter));
  EXPECT_EQ(ColorText(canvas.Pixel(10 + 75, 70)), ColorText(kRed));
  EXPECT_EQ(ColorText(canvas.Pixel(10 + 125, 70)), ColorText(GetParam().atThreeQuarter));
  EXPECT_EQ(ColorText(canvas.Pixel(5, 10)), ColorText(kGreen)) << "outside the bounds";
  EXPECT_EQ(ColorText(canvas.Pixel(215, 130)), ColorText(kGreen)) << "outside the bounds";
}

INSTANTIATE_TEST_SUITE_P(Scales, ViewDrawTest,
                         ::testing::Values(DrawCase{"ShowAllCentres", L"ShowAll", kBlue, kBlue},
                                           DrawCase{"NoScaleCentres", L"NOSCALE", kBlue, kBlue},
                                           DrawCase{"ExactFitStretches", L"exactfit", kRed, kBlue},
                                           DrawCase{"NoBorderCrops", L"NoBorder", kRed, kBlue}),
                         CaseName());

// ---------------------------------------------------------------------------
// In place, hosted by the program's own container.

LRESULT CALLBACK PlainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return ::DefWindowProcW(window, message, wParam, lParam);
}

UniqueWindow MakeParentWindow(int width, int height) {
  WNDCLASSW windowClass{};
  windowClass.lpfnWndProc = PlainWindowProc;
  windowClass.hInstance = ::GetModuleHandleW(nullptr);
  windowClass.lpszClassName = L"PlayerControlTestParent";
  ::RegisterClassW(&windowClass);
  return UniqueWindow(::CreateWindowExW(WS_EX_TOPMOST, windowClass.lpszClassName, L"player test",
                                        WS_POPUP | WS_VISIBLE | WS_CLIPCHILDREN, 0, 0, width, height, nullptr, nullptr,
                                        windowClass.hInstance, nullptr));
}

// Counts the timer messages that reach the control's window, then hands
// every message on to the control.
struct TimerCounter {
  static inline WNDPROC previous = nullptr;
  static inline int timers = 0;
  static LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_TIMER) ++timers;
    return ::CallWindowProcW(previous, window, message, wParam, lParam);
  }
};

class HostedPlayerTest : public PlayerControlTest {
 protected:
  // One shown parent for the whole suite: Wine takes about two seconds to
  // take a shown top-level window down again.
  static void SetUpTestSuite() {
    PlayerControlTest::SetUpTestSuite();
    parent_ = MakeParentWindow(300, 200);
  }
  static void TearDownTestSuite() {
    parent_.Reset();
    PlayerControlTest::TearDownTestSuite();
  }

  void SetUp() override {
    PlayerControlTest::SetUp();
    ASSERT_TRUE(parent_);
    host_.OnFSCommand = [this](const std::wstring& command, const std::wstring& args) {
      received_.push_back({command, args, ::GetCurrentThreadId(), insideHostCall_});
    };
    host_.Create(parent_.Get(), RECT{0, 0, 200, 100});
    ASSERT_NE(host_.Handle(), nullptr);
  }
  void TearDown() override { host_.Destroy(); }

  void LoadMovieHosted(const std::string& path) {
    insideHostCall_ = true;
    host_.LoadMovie(0, std::wstring(path.begin(), path.end()));
    insideHostCall_ = false;
  }

  struct Received {
    std::wstring command;
    std::wstring args;
    DWORD thread;
    bool duringHostCall;
  };

  static inline UniqueWindow parent_;
  TShockwaveFlash host_;
  std::vector<Received> received_;
  bool insideHostCall_ = false;
};

TEST_F(HostedPlayerTest, PlaysInARealChildWindowOfTheHost) {
  EXPECT_EQ(::GetParent(host_.Handle()), parent_.Get());
  RECT client{};
  ::GetClientRect(host_.Handle(), &client);
  EXPECT_EQ(client.right, 200);
  EXPECT_EQ(client.bottom, 100);
  host_.SetBounds(RECT{10, 10, 130, 70});
  ::GetClientRect(host_.Handle(), &client);
  EXPECT_EQ(client.right, 120);
  EXPECT_EQ(client.bottom, 60);
  EXPECT_EQ(TraceOf({"InPlaceActivate"}), std::vector<std::string>{"InPlaceActivate"});
}

TEST_F(HostedPlayerTest, DeliversBothCommandFormsInOrderOnTheWindowThreadAfterTheCall) {
  LoadMovieHosted(WriteMovie("commands.swf", RaisesTwoCommands()));
  EXPECT_TRUE(received_.empty()) << "raised inside LoadMovie";
  for (int i = 0; i < 100 && received_.size() < 2; ++i) PumpMessagesFor(20);
  ASSERT_EQ(received_.size(), 2u);
  EXPECT_EQ(received_[0].command, L"quit");
  EXPECT_EQ(received_[0].args, L"now");
  EXPECT_EQ(received_[1].command, L"save");
  EXPECT_EQ(received_[1].args, L"x=1");
  for (const Received& r : received_) {
    EXPECT_EQ(r.thread, ::GetWindowThreadProcessId(host_.Handle(), nullptr));
    EXPECT_FALSE(r.duringHostCall);
  }
  EXPECT_EQ(TraceOf({"Loaded", "FSCommand"}),
            (std::vector<std::string>{"Loaded 1", "FSCommand quit|now", "FSCommand save|x=1"}));
}

TEST_F(HostedPlayerTest, HandsFlashVarsToTheFirstFrameWithoutUndoingWhatItSets) {
  host_.SetFlashVars(L"reply=from-host");
  LoadMovieHosted(WriteMovie("reply.swf", ReportsItsReplyTwice()));
  for (int i = 0; i < 100 && received_.size() < 2; ++i) PumpMessagesFor(20);
  ASSERT_EQ(received_.size(), 2u);
  EXPECT_EQ(received_[0].args, L"from-host");
  EXPECT_EQ(received_[1].args, L"set-by-movie");
}

// A handler that runs a message loop of its own (a message box) must not
// receive the commands of the frames that play meanwhile inside itself.
TEST_F(HostedPlayerTest, NeverDeliversACommandInsideTheHandlerOfAnother) {
  int depth = 0;
  int deepest = 0;
  std::vector<std::wstring> frames;
  host_.OnFSCommand = [&](const std::wstring&, const std::wstring& args) {
    ++depth;
    deepest = std::max(deepest, depth);
    frames.push_back(args);
    if (frames.size() == 1) PumpMessagesFor(300);
    --depth;
  };
  LoadMovieHosted(WriteMovie("ticks.swf", TicksEveryFrame()));
  for (int i = 0; i < 100 && frames.size() < 6; ++i) PumpMessagesFor(20);
  host_.Stop();
  ASSERT_GE(frames.size(), 6u);
  EXPECT_EQ(deepest, 1);
  for (std::size_t i = 1; i < frames.size(); ++i) {
    const int previous = frames[i - 1][0] - L'0';
    EXPECT_EQ(frames[i][0] - L'0', previous % 3 + 1) << "command " << i;
  }
}

TEST_F(HostedPlayerTest, KeepsItsTimerRunningWhileTheMovieIsStopped) {
  LoadMovieHosted(WriteMovie("stops.swf", StopsInFirstFrame()));
  host_.Stop();
  ASSERT_FALSE(host_.IsPlaying());
  TimerCounter::timers = 0;
  TimerCounter::previous = reinterpret_cast<WNDPROC>(
      ::SetWindowLongPtrW(host_.Handle(), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&TimerCounter::Proc)));
  PumpMessagesFor(600);  // 24 frames a second: about 14 ticks
  ::SetWindowLongPtrW(host_.Handle(), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(TimerCounter::previous));
  EXPECT_GE(TimerCounter::timers, 4);
  EXPECT_FALSE(host_.IsPlaying());
}

// The sound libraries (the wave output, the MP3 codec manager) load with the
// first sound: a silent movie plays its first frames without them.
TEST_F(HostedPlayerTest, PlaysASilentMovieWithoutLoadingTheSoundLibraries) {
  LoadMovieHosted(WriteMovie("movie.swf", RedLeftHalfOnBlue()));
  host_.Play();
  ::UpdateWindow(host_.Handle());
  PumpMessagesFor(150);
  for (const char* library : {"winmm.dll", "msacm32.dll"}) {
    EXPECT_EQ(::GetModuleHandleA(library), nullptr) << library << " is loaded";
  }
}

TEST_F(HostedPlayerTest, PaintsTheMovieIntoItsWindow) {
  host_.SetScale(L"ExactFit");
  LoadMovieHosted(WriteMovie("movie.swf", RedLeftHalfOnBlue()));
  ::InvalidateRect(host_.Handle(), nullptr, FALSE);
  ::UpdateWindow(host_.Handle());
  PumpMessagesFor(100);
  MemoryCanvas canvas(200, 100, kGreen);
  const HDC windowDc = ::GetDC(host_.Handle());
  ::BitBlt(canvas.Dc(), 0, 0, 200, 100, windowDc, 0, 0, SRCCOPY);
  ::ReleaseDC(host_.Handle(), windowDc);
  EXPECT_EQ(ColorText(canvas.Pixel(50, 50)), ColorText(kRed));
  EXPECT_EQ(ColorText(canvas.Pixel(150, 50)), ColorText(kBlue));
}

// The window and IViewObject::Draw show what the control drew frame after
// frame, area by area: the pixels of the last frame drawn whole.
TEST_F(HostedPlayerTest, ShowsAndDrawsTheLastFrameAsAWholeRedrawGivesIt) {
  const Bytes movie = MovesForSixFramesThenStops();
  host_.SetScale(L"ShowAll");
  LoadMovieHosted(WriteMovie("moves.swf", movie));
  for (int i = 0; i < 100 && host_.IsPlaying(); ++i) PumpMessagesFor(20);
  ASSERT_FALSE(host_.IsPlaying());
  PumpMessagesFor(200);  // the last frame's paints

  swf::MoviePlayer reference;
  ASSERT_TRUE(reference.Load(movie));
  for (int frame = 0; frame < 8; ++frame) reference.Advance();
  std::vector<std::uint32_t> expected(200 * 100);
  reference.Render(swf::Surface{expected.data(), 200, 100, 200}, swf::ScaleMode::ShowAll);

  MemoryCanvas shown(200, 100, kGreen);
  const HDC windowDc = ::GetDC(host_.Handle());
  ::BitBlt(shown.Dc(), 0, 0, 200, 100, windowDc, 0, 0, SRCCOPY);
  ::ReleaseDC(host_.Handle(), windowDc);
  MemoryCanvas drawn(200, 100, kGreen);
  host_.PaintTo(drawn.Dc(), 0, 0);

  int shownDiffer = 0, drawnDiffer = 0;
  for (int y = 0; y < 100; ++y) {
    for (int x = 0; x < 200; ++x) {
      const std::uint32_t want = expected[static_cast<std::size_t>(y * 200 + x)];
      const COLORREF wanted = RGB((want >> 16) & 0xFF, (want >> 8) & 0xFF, want & 0xFF);
      shownDiffer += shown.Pixel(x, y) != wanted;
      drawnDiffer += drawn.Pixel(x, y) != wanted;
    }
  }
  EXPECT_EQ(shownDiffer, 0) << "pixels of the window";
  EXPECT_EQ(drawnDiffer, 0) << "pixels drawn through IViewObject::Draw";
}

TEST_F(HostedPlayerTest, PaintsItsFrameElsewhereWhileItsWindowIsHidden) {
  LoadMovieHosted(WriteMovie("movie.swf", RedLeftHalfOnBlue()));
  host_.SetScale(L"exactfit");
  host_.SetVisible(false);
  MemoryCanvas canvas(220, 120, kGreen);
  host_.PaintTo(canvas.Dc(), 20, 10);
  EXPECT_EQ(ColorText(canvas.Pixel(20 + 50, 60)), ColorText(kRed));
  EXPECT_EQ(ColorText(canvas.Pixel(20 + 150, 60)), ColorText(kBlue));
  EXPECT_EQ(ColorText(canvas.Pixel(10, 5)), ColorText(kGreen));
}

// Play and Stop called right after a load act on the movie as its first frame
// left it (stopped or playing on).
struct StartingCase {
  const char* name;
  Bytes (*movie)();
  std::vector<std::string> calls;  // "Play" or "Stop", right after LoadMovie
  bool playing;
  const char* loaded;  // the trace's line for the movie: its frame count
};

class StartingMovieTest : public HostedPlayerTest, public ::testing::WithParamInterface<StartingCase> {};

TEST_P(StartingMovieTest, CarriesOutCallsMadeRightAfterTheLoad) {
  LoadMovieHosted(WriteMovie("movie.swf", GetParam().movie()));
  for (const std::string& call : GetParam().calls) {
    if (call == "Play") host_.Play();
    if (call == "Stop") host_.Stop();
  }
  // Asked at once: timer ticks would move the movie on (and back to a frame that stops it).
  EXPECT_EQ(host_.IsPlaying(), GetParam().playing);
  std::vector<std::string> expected{GetParam().loaded};
  expected.insert(expected.end(), GetParam().calls.begin(), GetParam().calls.end());
  EXPECT_EQ(TraceOf({"Loaded", "Play", "Stop"}), expected);
}

INSTANTIATE_TEST_SUITE_P(
    Calls, StartingMovieTest,
    ::testing::Values(StartingCase{"NoneKeepsTheFirstFramesStop", StopsInFirstFrame, {}, false, "Loaded 2"},
                      StartingCase{"NonePlaysOn", [] { return PlaysOn(false); }, {}, true, "Loaded 3"},
                      StartingCase{"PlayOverridesTheFirstFramesStop", StopsInFirstFrame, {"Play"}, true, "Loaded 2"},
                      StartingCase{"StopHolds", [] { return PlaysOn(false); }, {"Stop"}, false, "Loaded 3"},
                      StartingCase{"StopThenPlayPlays", [] { return PlaysOn(true); }, {"Stop", "Play"}, true, "Loaded 3"},
                      StartingCase{"PlayThenStopStops", StopsInFirstFrame, {"Play", "Stop"}, false, "Loaded 2"}),
    CaseName());

}  // namespace
}  // namespace tpl::testing
