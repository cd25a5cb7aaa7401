#pragma once
// TfrmSettingsBlack: the settings notice when no player is installed. A small
// white dialog with the notice, the address of the player's page and a Close
// button; Close, the close box or the quit message of a newly started
// instance ends the program.

#include <windows.h>

#include <string>

#include "ui/application.h"
#include "ui/controls.h"
#include "ui/form.h"

namespace tpl {

class TfrmSettingsBlack : public ui::Form {
 public:
  TfrmSettingsBlack();

  // Start-up's choice on systems of version 6 and above.
  void UseNewerWindowsFonts();

  ui::Button cmdClose{*this, "cmdClose"};
  ui::Panel fraHlaska{*this, "fraHlaska"};
  ui::Label lblHlaska{*this, "lblHlaska"};
  ui::Label lblURL{*this, "lblURL"};

  // Handed over by start-up after creation, read at activation.
  std::string CloseCaption;
  std::string PlayerMissingNotice;
  std::string SaverTitle;
  std::string FontCharset;
  HANDLE InstanceMutex = nullptr;

 protected:
  void FormCreate() override;
  void FormActivate() override;
  void FormDestroy() override;

 private:
  void cmdCloseClick();
};

}  // namespace tpl
