#pragma once
// frmMainCode: the full-screen saver window. On its first activation it takes
// the stored settings over the configuration, lowers the display mode when
// asked, tells Windows a saver runs, plays the movie over the primary screen
// (or covers the whole desktop and mirrors the movie to the other monitors),
// hides the cursor and starts watching input through two replaced window
// procedures and a thread keyboard hook. Every way out goes through QuitSaver.

#include <windows.h>

#include <exception>
#include <functional>
#include <optional>
#include <string>

#include "common/shockwave_flash.h"
#include "common/win_handles.h"
#include "saver/saver_rules.h"
#include "ui/application.h"
#include "ui/form.h"
#include "ui/window_procedure.h"

namespace tpl {

class TfrmMain : public ui::Form {
 public:
  TfrmMain();
  ~TfrmMain() override;

  // Handed over by start-up after creation, read at activation.
  std::string Title;
  std::string ScaleMode;
  std::string LoopFlag;
  std::string MoviePath;
  std::string KeybQuitFlag;
  std::string MouseQuitFlag;
  std::string MovieQuitFlag;
  std::string MonitorMode;
  std::string TargetWidth;
  std::string TargetHeight;
  std::string PasswordLabel;
  std::string EnterLabel;
  std::string EscapeLabel;
  HANDLE MutexHandle = nullptr;
  std::string SaverId;
  std::string LabelCharset;
  // Where the screens are, asked once at activation. Unset, the system's
  // monitors; a test program gives the window monitors the machine has not.
  std::function<saver::MonitorLayout()> MonitorLayoutSource;

  // Controls, in the order of the layout table.
  ui::HostedControl swfFlashArea{*this, "swfFlash"};
  ui::Image imgPrechodne{*this, "imgPrechodne"};
  ui::Image imgKresli1{*this, "imgKresli1"};
  ui::Image imgKresli2{*this, "imgKresli2"};
  ui::Image imgKresli3{*this, "imgKresli3"};
  ui::Image imgKresli4{*this, "imgKresli4"};
  ui::Panel fraPassword{*this, "fraPassword"};
  ui::Label lblPassword{*this, "lblPassword"};
  ui::Edit txtPassword{*this, "txtPassword"};
  ui::Image imgKlavesy{*this, "imgKlavesy"};
  ui::Label lblEnter{*this, "lblEnter"};
  ui::Label lblEscape{*this, "lblEscape"};
  // The player inside swfFlashArea.
  TShockwaveFlash swfFlash;

  // Shows the cursor, restores a lowered display mode, clears the running
  // flags, releases the mutex and ends the process with exit code 0.
  [[noreturn]] void QuitSaver() noexcept;

 protected:
  void FormCreate() override;
  void FormActivate() override;
  void FormDestroy() override;

 private:
  enum class Subclassed { Player, Form };

  void SetUpSaver();
  void PreparePromptContents();
  void MergeSettingsStore();
  void ChangeResolution();
  void PlaceWindow();
  void HideCursor();
  void SubclassAndHook();

  void swfFlashFSCommand(const std::wstring& command, const std::wstring& args);
  void txtPasswordChange();
  void LoadAndPlay(const std::wstring& path);
  void SetMouseQuitFromMovie(const std::wstring& args);

  static LRESULT CALLBACK PlayerWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept;
  static LRESULT CALLBACK FormWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept;
  static LRESULT CALLBACK KeyboardHookProc(int code, WPARAM wParam, LPARAM lParam) noexcept;
  LRESULT HandleSubclassed(Subclassed which, HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  void HandleTimer(Subclassed which);
  void HandleKey(int code, WPARAM wParam, LPARAM lParam);
  [[nodiscard]] saver::InputState CurrentInput() const;
  void KeepOnTop();
  void MirrorToMonitors();
  [[nodiscard]] ui::Image& MirrorImage(std::size_t index);

  void OpenPasswordPrompt();
  void HidePasswordPrompt();
  void CheckPassword();

  // The standard error message, one at a time, visible above the saver.
  void ShowError(std::exception_ptr error) noexcept;
  // What FormDestroy puts back when the window goes some other way than QuitSaver.
  void RestoreWithoutQuitSaver() noexcept;

  UINT quitMessage_ = 0;
  bool setUpStarted_ = false;
  bool quitting_ = false;
  bool showingError_ = false;
  HANDLE mutex_ = nullptr;
  std::string password_;
  int labelCharset_ = DEFAULT_CHARSET;
  bool promptPrepared_ = false;
  std::optional<saver::DisplayMode> savedMode_;
  int hiddenCursorCount_ = 0;  // ShowCursor(FALSE) calls not yet undone
  int playerCursor_ = 0;       // 0: the default cursor; 1: the saver's own, which resolves to the arrow
  HCURSOR saverCursor_ = nullptr;
  saver::Point startCursor_;
  saver::MonitorLayout monitors_;
  saver::SaverPlacement placement_;
  saver::MirrorCadence cadence_;
  std::size_t mirrorIndex_ = 0;
  ui::WindowProcedureReplacement playerProcedure_;
  ui::WindowProcedureReplacement formProcedure_;
  UniqueHook keyboardHook_;
};

}  // namespace tpl
