#include "preview/frm_preview_code.h"

#include <array>

namespace tpl {
namespace {

const ui::FormDesign kDesign{
    "TfrmPreview", "Screensaver", 359, 292, ui::BorderStyle::None, ui::kButtonFace, {}, ui::FormPosition::DesktopCentre,
    false};

// The player keeps this size for the whole run: the preview copies its
// 154 x 113 pixels and leaves the rest of the frame black.
const std::array kLayout{
    ui::ControlLayout{"swfPreview", nullptr, 8, 8, 154, 113},
};

}  // namespace

TfrmPreview::TfrmPreview() : ui::Form(kDesign, kLayout) {}

TfrmPreview::~TfrmPreview() { player_.Destroy(); }

void TfrmPreview::FormCreate() {
  // Fully transparent whenever it is shown.
  const LONG_PTR extended = ::GetWindowLongPtrA(Handle(), GWL_EXSTYLE);
  ::SetWindowLongPtrA(Handle(), GWL_EXSTYLE, extended | WS_EX_LAYERED);
  ::SetLayeredWindowAttributes(Handle(), 0, 0, LWA_ALPHA);
}

void TfrmPreview::CreatePlayer() {
  const RECT bounds{swfPreview.Left(), swfPreview.Top(), swfPreview.Left() + swfPreview.Width(),
                    swfPreview.Top() + swfPreview.Height()};
  player_.Create(Handle(), bounds);
}

void TfrmPreview::FormActivate() {
  if (ui::Application* application = ui::Application::Current()) application->Terminate();
}

void TfrmPreview::FormDestroy() { player_.Destroy(); }

}  // namespace tpl
