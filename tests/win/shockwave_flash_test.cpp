// The player host against the stand-in control, registered for the test run:
// set-up order, calls and their arguments, events, painting, errors and
// tear-down, as the control's trace and pixels show them.

#include "common/shockwave_flash.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "common/system_error.h"
#include "support/player_registration.h"
#include "support/player_trace.h"
#include "support/win_test_support.h"
#include "swf_writer.h"

namespace tpl {
namespace {

using testing::PlayerRegistration;
using testing::PlayerTraceFile;
using testing::ScratchFolder;
using testing::TraceLinesStartingWith;
using testing::WindowsPathOf;

constexpr COLORREF kMarker = RGB(0, 255, 0);

// Handles this thread's messages until the condition holds or the time is up.
bool PumpMessagesUntil(const std::function<bool()>& done, DWORD timeoutMs = 5000) {
  const DWORD start = ::GetTickCount();
  while (!done()) {
    if (::GetTickCount() - start > timeoutMs) return false;
    MSG message;
    while (::PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
      ::TranslateMessage(&message);
      ::DispatchMessageA(&message);
    }
    ::Sleep(5);
  }
  return true;
}

// A plain top-level window for the control to live in.
class ParentWindow {
 public:
  ParentWindow() {
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = ::DefWindowProcA;
    windowClass.hInstance = ::GetModuleHandleA(nullptr);
    windowClass.lpszClassName = "PlayerHostTestParent";
    ::RegisterClassA(&windowClass);
    window_.Reset(::CreateWindowExA(0, "PlayerHostTestParent", "host", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, 0, 0, 400,
                                    300, nullptr, nullptr, ::GetModuleHandleA(nullptr), nullptr));
  }
  [[nodiscard]] HWND Get() const { return window_.Get(); }

 private:
  UniqueWindow window_;
};

std::wstring Wide(const std::string& text) { return std::wstring(text.begin(), text.end()); }

swf::testing::Bytes RedSquareOnBlue(const swf::testing::Actions& firstFrame) {
  swf::testing::MovieBuilder movie(100, 100);
  movie.SetBackground({0, 0, 255});
  swf::testing::ShapeBuilder square;
  square.Rectangle(25, 25, 50, 50, square.AddSolidFill({255, 0, 0}));
  const std::uint16_t id = movie.DefineShape(square);
  movie.Place(id, 1);
  movie.DoAction(firstFrame);
  movie.ShowFrame(2);
  return movie.Build();
}

// The host expects COM to be ready on its thread, as the application object makes it.
class OleSession {
 public:
  OleSession() : result_(::OleInitialize(nullptr)) {}
  ~OleSession() {
    if (SUCCEEDED(result_)) ::OleUninitialize();
  }
  OleSession(const OleSession&) = delete;
  OleSession& operator=(const OleSession&) = delete;

 private:
  HRESULT result_;
};

class ShockwaveFlashTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(registration_.Result(), S_OK);
    ASSERT_NE(parent_.Get(), nullptr);
  }

  std::wstring WriteMovie(const std::string& name, const swf::testing::Bytes& bytes) {
    const std::string path = folder_.File(name);
    testing::WriteFileBytes(path, std::string(bytes.begin(), bytes.end()));
    return Wide(path);
  }

  OleSession ole_;
  ScratchFolder folder_;
  PlayerTraceFile trace_{folder_.File("trace.txt")};
  PlayerRegistration registration_{WindowsPathOf(TEMPLATE_PLAYER_DLL)};
  ParentWindow parent_;
  TShockwaveFlash flash_;
};

TEST_F(ShockwaveFlashTest, SetsUpInTheHostingOrderAsAChildWindowAtItsBounds) {
  flash_.Create(parent_.Get(), RECT{10, 20, 164, 133});

  ASSERT_NE(flash_.Handle(), nullptr);
  EXPECT_EQ(::GetParent(flash_.Handle()), parent_.Get());
  RECT placed{};
  ::GetWindowRect(flash_.Handle(), &placed);
  ::MapWindowPoints(nullptr, parent_.Get(), reinterpret_cast<POINT*>(&placed), 2);
  EXPECT_EQ(placed.left, 10);
  EXPECT_EQ(placed.top, 20);
  EXPECT_EQ(placed.right - placed.left, 154);
  EXPECT_EQ(placed.bottom - placed.top, 113);

  const auto setUp = TraceLinesStartingWith(
      trace_.Lines(), {"SetClientSite", "InitNew", "WMode=", "Scale=", "Advise", "InPlaceActivate", "SetObjectRects"});
  const std::vector<std::string> expected = {"SetClientSite",
                                             "InitNew",
                                             "WMode=Window",
                                             "Scale=ShowAll",
                                             "Advise",
                                             "InPlaceActivate",
                                             "SetObjectRects 10 20 154 113"};
  EXPECT_EQ(setUp, expected);
}

TEST_F(ShockwaveFlashTest, PassesCallsAndPropertiesWithTheirArgumentsInOrder) {
  const std::wstring movie = WriteMovie("plays.swf", RedSquareOnBlue({}));
  flash_.Create(parent_.Get(), RECT{0, 0, 100, 100});

  flash_.SetScale(L"noscale");
  flash_.LoadMovie(0, movie);
  flash_.SetMenu(false);
  flash_.SetFlashVars(L"768=ShowAll");
  flash_.Stop();
  const bool stopped = flash_.IsPlaying();
  flash_.Play();
  const bool playing = flash_.IsPlaying();

  EXPECT_FALSE(stopped);
  EXPECT_TRUE(playing);
  EXPECT_EQ(flash_.Scale(), L"noscale");
  EXPECT_FALSE(flash_.Menu());
  const auto calls = TraceLinesStartingWith(
      trace_.Lines(), {"LoadMovie", "Play", "Stop", "IsPlaying", "Scale=noscale", "Menu=", "FlashVars="});
  const std::vector<std::string> expected = {"Scale=noscale", "LoadMovie 0 " + std::string(movie.begin(), movie.end()),
                                             "Menu=false",    "FlashVars=768=ShowAll",
                                             "Stop",          "IsPlaying 0",
                                             "Play",          "IsPlaying 1"};
  EXPECT_EQ(calls, expected);
}

TEST_F(ShockwaveFlashTest, AMovieThatStopsItselfIsNotPlaying) {
  swf::testing::Actions stop;
  stop.Stop();
  flash_.Create(parent_.Get(), RECT{0, 0, 100, 100});
  flash_.LoadMovie(0, WriteMovie("stops.swf", RedSquareOnBlue(stop)));
  EXPECT_FALSE(flash_.IsPlaying());
}

TEST_F(ShockwaveFlashTest, DeliversCommandsOnTheWindowThreadAfterTheCallThatRaisedThem) {
  swf::testing::Actions commands;
  commands.SetVariable("name", "setvalue").SetVariable("value", "color=red");
  commands.FsCommand("quit", "now").FsCommandFromVariables("name", "value").Stop();
  std::vector<std::pair<std::wstring, std::wstring>> received;
  bool insideLoad = false;
  bool raisedInsideLoad = false;
  DWORD thread = 0;
  flash_.OnFSCommand = [&](const std::wstring& command, const std::wstring& args) {
    raisedInsideLoad = raisedInsideLoad || insideLoad;
    thread = ::GetCurrentThreadId();
    received.emplace_back(command, args);
  };
  flash_.Create(parent_.Get(), RECT{0, 0, 100, 100});

  insideLoad = true;
  flash_.LoadMovie(0, WriteMovie("commands.swf", RedSquareOnBlue(commands)));
  insideLoad = false;

  ASSERT_TRUE(PumpMessagesUntil([&] { return received.size() >= 2; }));
  const std::vector<std::pair<std::wstring, std::wstring>> expected = {{L"quit", L"now"}, {L"setvalue", L"color=red"}};
  EXPECT_EQ(received, expected);
  EXPECT_FALSE(raisedInsideLoad);
  EXPECT_EQ(thread, ::GetCurrentThreadId());
}

TEST_F(ShockwaveFlashTest, AnErrorEscapingTheCommandHandlerReachesTheErrorHandlerAndTheNextCommandStillArrives) {
  swf::testing::Actions commands;
  commands.FsCommand("first", "1").FsCommand("second", "2").Stop();
  std::vector<std::wstring> received;
  std::vector<std::string> errors;
  flash_.OnFSCommand = [&](const std::wstring& command, const std::wstring&) {
    received.push_back(command);
    if (command == L"first") throw std::runtime_error("handler failed");
  };
  flash_.OnEventError = [&](const std::exception& error) { errors.emplace_back(error.what()); };
  flash_.Create(parent_.Get(), RECT{0, 0, 100, 100});
  flash_.LoadMovie(0, WriteMovie("throws.swf", RedSquareOnBlue(commands)));

  ASSERT_TRUE(PumpMessagesUntil([&] { return received.size() >= 2; }));
  EXPECT_EQ(received, (std::vector<std::wstring>{L"first", L"second"}));
  EXPECT_EQ(errors, std::vector<std::string>{"handler failed"});
}

// A command that ends the window ends the control inside its own event.
TEST_F(ShockwaveFlashTest, AHandlerMayDestroyTheHostInsideTheEvent) {
  swf::testing::Actions commands;
  commands.FsCommand("quit", "").FsCommand("after", "").Stop();
  auto flash = std::make_unique<TShockwaveFlash>();
  int received = 0;
  flash->OnFSCommand = [&](const std::wstring& command, const std::wstring&) {
    ++received;
    if (command == L"quit") flash.reset();
  };
  flash->Create(parent_.Get(), RECT{0, 0, 100, 100});
  flash->LoadMovie(0, WriteMovie("quits.swf", RedSquareOnBlue(commands)));

  ASSERT_TRUE(PumpMessagesUntil([&] { return flash == nullptr; }));
  testing::PumpMessagesFor(200);
  EXPECT_EQ(received, 1);
  EXPECT_EQ(TraceLinesStartingWith(trace_.Lines(), {"Destroy"}), std::vector<std::string>{"Destroy"});
}

TEST_F(ShockwaveFlashTest, PaintsTheCurrentFrameIntoAnOffScreenSurfaceAtTheGivenPlace) {
  swf::testing::Actions stop;
  stop.Stop();
  flash_.Create(parent_.Get(), RECT{0, 0, 100, 100});
  flash_.SetScale(L"ExactFit");
  flash_.LoadMovie(0, WriteMovie("paint.swf", RedSquareOnBlue(stop)));

  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = 140;
  info.bmiHeader.biHeight = -140;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  void* bits = nullptr;
  UniqueGdiObject bitmap(::CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
  ASSERT_TRUE(bitmap);
  HDC memory = ::CreateCompatibleDC(nullptr);
  HGDIOBJ previous = ::SelectObject(memory, bitmap.Get());
  RECT all{0, 0, 140, 140};
  UniqueGdiObject marker(::CreateSolidBrush(kMarker));
  ::FillRect(memory, &all, static_cast<HBRUSH>(marker.Get()));

  flash_.PaintTo(memory, 20, 30);
  ::GdiFlush();

  struct Probe {
    int x, y;
    COLORREF expected;
  };
  const Probe probes[] = {
      {10, 10, kMarker},           // outside the control's area: untouched
      {25, 35, RGB(0, 0, 255)},    // movie background
      {70, 80, RGB(255, 0, 0)},    // centre of the square
      {118, 128, RGB(0, 0, 255)},  // bottom right inside the area
      {130, 139, kMarker},         // right of the area
  };
  for (const Probe& probe : probes) {
    EXPECT_EQ(::GetPixel(memory, probe.x, probe.y), probe.expected) << "at " << probe.x << "," << probe.y;
  }
  ::SelectObject(memory, previous);
  ::DeleteDC(memory);
}

TEST_F(ShockwaveFlashTest, SetBoundsMovesTheControlsWindow) {
  flash_.Create(parent_.Get(), RECT{0, 0, 100, 100});
  flash_.SetBounds(RECT{5, 6, 55, 86});
  RECT placed{};
  ::GetWindowRect(flash_.Handle(), &placed);
  ::MapWindowPoints(nullptr, parent_.Get(), reinterpret_cast<POINT*>(&placed), 2);
  EXPECT_EQ(placed.left, 5);
  EXPECT_EQ(placed.top, 6);
  EXPECT_EQ(placed.right, 55);
  EXPECT_EQ(placed.bottom, 86);
}

// Tear-down must hold up whoever destroyed the window first.
TEST_F(ShockwaveFlashTest, TearsDownInReverseOrderWhateverHappenedToTheWindow) {
  const std::vector<std::pair<const char*, std::function<void(TShockwaveFlash&, HWND)>>> cases = {
      {"nothing", [](TShockwaveFlash&, HWND) {}},
      {"control window destroyed", [](TShockwaveFlash& flash, HWND) { ::DestroyWindow(flash.Handle()); }},
      {"parent destroyed", [](TShockwaveFlash&, HWND parent) { ::DestroyWindow(parent); }},
  };
  for (const auto& [name, before] : cases) {
    SCOPED_TRACE(name);
    ParentWindow parent;
    ::DeleteFileA(trace_.Path().c_str());
    TShockwaveFlash flash;
    flash.Create(parent.Get(), RECT{0, 0, 50, 50});
    before(flash, parent.Get());
    flash.Destroy();
    flash.Destroy();
    EXPECT_FALSE(flash.IsCreated());
    EXPECT_EQ(flash.Handle(), nullptr);
    const auto teardown = TraceLinesStartingWith(
        trace_.Lines(), {"InPlaceDeactivate", "Unadvise", "Close", "SetClientSite null", "Destroy"});
    const std::vector<std::string> expected = {"InPlaceDeactivate", "Unadvise", "Close", "SetClientSite null",
                                               "Destroy"};
    EXPECT_EQ(teardown, expected);
  }
}

TEST(ShockwaveFlashErrors, AFailingCallNamesTheOperationAndTheSystemsMessage) {
  ASSERT_FALSE(testing::RegistryKeyExists(HKEY_LOCAL_MACHINE, testing::PlayerClassKeyPath()));
  OleSession ole;
  ParentWindow parent;
  TShockwaveFlash flash;
  try {
    flash.Create(parent.Get(), RECT{0, 0, 10, 10});
    FAIL() << "created a control that is not registered";
  } catch (const WindowsError& error) {
    EXPECT_EQ(error.Code(), static_cast<DWORD>(REGDB_E_CLASSNOTREG));
    EXPECT_EQ(std::string(error.what()), "Creating the movie player: " + SystemMessageText(error.Code()));
  }
  EXPECT_FALSE(flash.IsCreated());
  EXPECT_THROW(flash.Play(), WindowsError);
  EXPECT_THROW(flash.PaintTo(nullptr, 0, 0), WindowsError);
}

}  // namespace
}  // namespace tpl
