#pragma once
// TfrmMainBlack: the saver's notice when no player is installed. A black
// window over the whole screen (or desktop) whose message panel drifts every
// three seconds, until a key, a mouse button, a mouse movement of more than 5
// pixels or the quit message of a newly started instance ends the program.

#include <windows.h>

#include <string>

#include "notices/notice_motion.h"
#include "ui/application.h"
#include "ui/controls.h"
#include "ui/form.h"

namespace tpl {

class TfrmMainBlack : public ui::Form {
 public:
  TfrmMainBlack();

  // Start-up's choice on systems of version 6 and above.
  void UseNewerWindowsFonts();

  ui::Panel fraHlaska{*this, "fraHlaska"};
  ui::Label lblHlaska{*this, "lblHlaska"};
  ui::Label lblURL{*this, "lblURL"};
  ui::Timer tmrAnimace{*this, 3000, false};

  // Handed over by start-up after creation, read at activation.
  std::string PlayerMissingNotice;
  std::string SaverTitle;
  std::string FontCharset;
  HANDLE InstanceMutex = nullptr;

 protected:
  void FormCreate() override;
  void FormActivate() override;
  void FormDestroy() override;

 private:
  void tmrAnimaceTimer();
  void CoverTheScreen();

  NoticeRandom random_;
};

}  // namespace tpl
