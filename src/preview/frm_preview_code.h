#pragma once
// TfrmPreview: the hidden window that hosts the player for the preview. The
// preview loop paints the player's picture into the display settings' own
// preview window; this form is only shown at the very end, fully transparent,
// and its activation ends the message loop at once.

#include <windows.h>

#include "common/shockwave_flash.h"
#include "ui/application.h"
#include "ui/controls.h"
#include "ui/form.h"

namespace tpl {

class TfrmPreview : public ui::Form {
 public:
  TfrmPreview();
  ~TfrmPreview() override;

  ui::HostedControl swfPreview{*this, "swfPreview"};
  // Made by the preview's set-up rather than in FormCreate, so that a player
  // that cannot be made ends the run instead of showing an error message.
  void CreatePlayer();
  [[nodiscard]] TShockwaveFlash& Player() noexcept { return player_; }

 protected:
  void FormCreate() override;
  void FormActivate() override;
  void FormDestroy() override;

 private:
  TShockwaveFlash player_;
};

}  // namespace tpl
