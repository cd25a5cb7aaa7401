#include "notices/frm_main_black_code.h"

#include <array>

#include "common/font_charset_text.h"
#include "common/win_handles.h"
#include "package/mode_handover.h"
#include "ui/window_procedure.h"

namespace tpl {
namespace {

const ui::FontStyle kNoticeFont{"Tahoma", 8, 0, true, 238, ui::kWhite};
const ui::FontStyle kAddressFont{"Tahoma", 8, 0, true, DEFAULT_CHARSET, ui::kWhite};

const ui::FormDesign kDesign{
    "TfrmMainBlack", "", 533, 320, ui::BorderStyle::None, ui::kBlack, {}, ui::FormPosition::Designed, true, 0, 0};

const std::array kLayout{
    ui::ControlLayout{"fraHlaska", nullptr, 116, 111, 313, 97},
    ui::ControlLayout{"lblHlaska", "fraHlaska", 8, 5, 297, 52, "", ui::kCentred | ui::kWordWrap},
    ui::ControlLayout{"lblURL", "fraHlaska", 8, 64, 297, 25, kPlayerPageAddress, ui::kCentred},
};

// What the window procedure and the keyboard hook share with the form, for
// the life of the process: both may run while the form object goes away.
struct NoticeState {
  UINT quitMessage = 0;
  ui::WindowProcedureReplacement procedure;
  UniqueHook keyboardHook;
  HANDLE mutex = nullptr;
  bool startRecorded = false;
  POINT startCursor{};
};
NoticeState g_notice;

[[noreturn]] void EndNoticeProcess() {
  ::ReleaseMutex(g_notice.mutex);
  ::ExitProcess(0);
}

bool MouseLeftItsStart() {
  // Before activation there is no start to measure from.
  if (!g_notice.startRecorded) return false;
  POINT cursor{};
  if (!::GetCursorPos(&cursor)) return false;
  return MovedBeyondSlack(g_notice.startCursor.x, g_notice.startCursor.y, cursor.x, cursor.y);
}

// Mouse input over the message panel goes to the panel's own window and never
// reaches this procedure.
LRESULT CALLBACK NoticeFormWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept {
  if (g_notice.quitMessage != 0 && message == g_notice.quitMessage) {
    ::ReplyMessage(0);
    EndNoticeProcess();
  }
  switch (message) {
    case WM_MOUSEMOVE:
      if (MouseLeftItsStart()) EndNoticeProcess();
      break;
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN: EndNoticeProcess();
    default: break;
  }
  return g_notice.procedure.CallPrevious(window, message, wParam, lParam);
}

// Any key event at all, a release or a modifier alone included, ends the
// notice; the key goes no further down the hook chain.
LRESULT CALLBACK NoticeKeyboardHookProc(int, WPARAM, LPARAM) noexcept {
  ::ReleaseMutex(g_notice.mutex);
  if (ui::Application* application = ui::Application::Current()) application->Terminate();
  return 0;
}

}  // namespace

TfrmMainBlack::TfrmMainBlack() : ui::Form(kDesign, kLayout) {
  fraHlaska.SetColour(ui::kBlack);
  lblHlaska.SetFont(kNoticeFont);
  lblURL.SetFont(kAddressFont);
  tmrAnimace.OnTimer = [this] { tmrAnimaceTimer(); };
  SetDialogKeys(false);
}

void TfrmMainBlack::UseNewerWindowsFonts() {
  SetFontFace(kNewerWindowsFont);
  lblHlaska.SetFontFace(kNewerWindowsFont);
  lblURL.SetFontFace(kNewerWindowsFont);
}

void TfrmMainBlack::FormCreate() {
  g_notice.quitMessage = ::RegisterWindowMessageA(kQuitMessageName);
  g_notice.procedure = ui::WindowProcedureReplacement(Handle(), NoticeFormWindowProc);
  g_notice.keyboardHook.Reset(
      ::SetWindowsHookExA(WH_KEYBOARD, NoticeKeyboardHookProc, ::GetModuleHandleA(nullptr), ::GetCurrentThreadId()));
}

void TfrmMainBlack::FormActivate() {
  lblHlaska.SetCaption(PlayerMissingNotice);
  lblHlaska.SetFontCharset(FontCharsetFromText(FontCharset));
  g_notice.mutex = InstanceMutex;
  if (ui::Application* application = ui::Application::Current()) application->SetTitle(SaverTitle);
  SetCaption(SaverTitle);
  SetTop(0);
  SetLeft(0);
  g_notice.startRecorded = ::GetCursorPos(&g_notice.startCursor) != FALSE;
  CoverTheScreen();
  ::ShowCursor(FALSE);
  ::SetWindowPos(Handle(), HWND_TOPMOST, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE | SWP_NOACTIVATE);
  tmrAnimace.SetEnabled(true);
}

void TfrmMainBlack::CoverTheScreen() {
  const ScreenArea virtualDesktop{::GetSystemMetrics(SM_XVIRTUALSCREEN), ::GetSystemMetrics(SM_YVIRTUALSCREEN),
                                  ::GetSystemMetrics(SM_CXVIRTUALSCREEN), ::GetSystemMetrics(SM_CYVIRTUALSCREEN)};
  const ScreenArea area = NoticeArea(::GetSystemMetrics(SM_CMONITORS), ::GetSystemMetrics(SM_CXSCREEN),
                                     ::GetSystemMetrics(SM_CYSCREEN), virtualDesktop);
  SetBounds(area.left, area.top, area.width, area.height);
}

void TfrmMainBlack::tmrAnimaceTimer() {
  const RECT bounds = Bounds();
  const PanelPosition next = NextPanelPosition(random_, bounds.right - bounds.left, bounds.bottom - bounds.top,
                                               fraHlaska.Width(), fraHlaska.Height());
  fraHlaska.SetBounds(next.left, next.top, fraHlaska.Width(), fraHlaska.Height());
}

void TfrmMainBlack::FormDestroy() {
  ::ReleaseMutex(g_notice.mutex);
  g_notice.keyboardHook.Reset();
  g_notice.procedure.Restore();
}

}  // namespace tpl
