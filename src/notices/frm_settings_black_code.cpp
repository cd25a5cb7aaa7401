#include "notices/frm_settings_black_code.h"

#include <array>

#include "common/font_charset_text.h"
#include "notices/notice_motion.h"
#include "package/mode_handover.h"
#include "ui/window_procedure.h"

namespace tpl {
namespace {

const ui::FontStyle kNoticeFont{"Tahoma", 8, 0, true, 238, ui::kWindowText};
const ui::FontStyle kAddressFont{"Tahoma", 8, 0, true, DEFAULT_CHARSET, ui::kWindowText};

const ui::FormDesign kDesign{"TfrmSettingsBlack",
                             "",
                             331,
                             171,
                             ui::BorderStyle::Single,
                             ui::kWhite,
                             {"Tahoma", 8, false, DEFAULT_CHARSET},
                             ui::FormPosition::DesktopCentre,
                             false};

// The button has neither the default nor the cancel role: Enter and Escape do nothing.
const std::array kLayout{
    ui::ControlLayout{"cmdClose", nullptr, 232, 128, 81, 25},
    ui::ControlLayout{"fraHlaska", nullptr, 8, 8, 313, 97},
    ui::ControlLayout{"lblHlaska", "fraHlaska", 8, 5, 297, 52, "", ui::kCentred | ui::kWordWrap},
    ui::ControlLayout{"lblURL", "fraHlaska", 8, 64, 297, 25, kPlayerPageAddress, ui::kCentred},
};

struct SettingsNoticeState {
  UINT quitMessage = 0;
  ui::WindowProcedureReplacement procedure;
  HANDLE mutex = nullptr;
};
SettingsNoticeState g_settingsNotice;

LRESULT CALLBACK SettingsNoticeFormWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept {
  if (g_settingsNotice.quitMessage != 0 && message == g_settingsNotice.quitMessage) {
    ::ReplyMessage(0);
    ::ReleaseMutex(g_settingsNotice.mutex);
    ::ExitProcess(0);
  }
  return g_settingsNotice.procedure.CallPrevious(window, message, wParam, lParam);
}

}  // namespace

TfrmSettingsBlack::TfrmSettingsBlack() : ui::Form(kDesign, kLayout) {
  fraHlaska.SetColour(ui::kWhite);
  lblHlaska.SetFont(kNoticeFont);
  lblURL.SetFont(kAddressFont);
  cmdClose.OnClick = [this] { cmdCloseClick(); };
}

// The settings notice's labels also lose their bold style.
void TfrmSettingsBlack::UseNewerWindowsFonts() {
  SetFontFace(kNewerWindowsFont);
  cmdClose.SetFontFace(kNewerWindowsFont);
  lblURL.SetFontFace(kNewerWindowsFont);
  lblHlaska.SetFontFace(kNewerWindowsFont);
  lblURL.SetFontBold(false);
  lblHlaska.SetFontBold(false);
}

void TfrmSettingsBlack::FormCreate() {
  g_settingsNotice.quitMessage = ::RegisterWindowMessageA(kQuitMessageName);
  g_settingsNotice.procedure = ui::WindowProcedureReplacement(Handle(), SettingsNoticeFormWindowProc);
}

void TfrmSettingsBlack::FormActivate() {
  g_settingsNotice.mutex = InstanceMutex;
  cmdClose.SetCaption(CloseCaption);
  cmdClose.SetFontCharset(FontCharsetFromText(FontCharset));
  lblHlaska.SetCaption(PlayerMissingNotice);
  lblHlaska.SetFontCharset(FontCharsetFromText(FontCharset));
  if (ui::Application* application = ui::Application::Current()) application->SetTitle(SaverTitle);
  SetCaption(SaverTitle);
}

// Closing the form ends the message loop; the run then ends with exit code 0,
// as it does after the close box.
void TfrmSettingsBlack::cmdCloseClick() { Close(); }

void TfrmSettingsBlack::FormDestroy() {
  ::ReleaseMutex(g_settingsNotice.mutex);
  g_settingsNotice.procedure.Restore();
}

}  // namespace tpl
