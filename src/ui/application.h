#pragma once
// The application object: one per process, made on the user-interface thread
// before any form. It initialises COM for the thread (OleInitialize, undone at
// its end), owns a hidden owner window that carries the taskbar button and the
// title, owns the forms, and runs the message loop.
//
//   tpl::ui::Application application;
//   auto& form = application.CreateForm<TfrmSettings>();  // FormCreate runs here
//   form.SettingsCaption = ...;                           // hand-over
//   form.SetIcon(application.Icon());
//   return application.Run();  // shows the form; FormActivate; loop until Terminate

#include <windows.h>

#include <exception>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "common/win_handles.h"
#include "ui/form.h"

namespace tpl::ui {

// Registers a window class of the program's module; registering it again is no error.
// Loads the common controls library (version 6 where the manifest asks for it)
// and registers its classes; once a process, before the first system control.
void LoadCommonControls();
void RegisterWindowClass(const char* name, WNDPROC procedure, HICON icon);

class Application {
 public:
  Application();
  ~Application();
  Application(const Application&) = delete;
  Application& operator=(const Application&) = delete;

  // The application of this process; nullptr when none exists.
  [[nodiscard]] static Application* Current() noexcept { return current_; }

  // The text of the taskbar button (the owner window's caption).
  [[nodiscard]] const std::string& Title() const noexcept { return title_; }
  void SetTitle(std::string title);
  // The program's icon (resource IDI_APPLICATION_ICON), or the system's default.
  [[nodiscard]] HICON Icon() const noexcept { return icon_; }
  // The hidden owner window of every form.
  [[nodiscard]] HWND Handle() const noexcept { return window_.Get(); }

  // Creates a form; the first one created becomes the main form.
  template <typename F, typename... Args>
  F& CreateForm(Args&&... args) {
    auto form = std::make_unique<F>(std::forward<Args>(args)...);
    F& created = *form;
    forms_.push_back(std::move(form));
    if (mainForm_ == nullptr) mainForm_ = &created;
    try {
      created.CreateWindowAndControls(*this);
    } catch (...) {
      // A form that could not be made is dropped again, window and all, without its events.
      if (mainForm_ == &created) mainForm_ = nullptr;
      forms_.pop_back();
      throw;
    }
    return created;
  }
  [[nodiscard]] Form* MainForm() const noexcept { return mainForm_; }
  // The form that last became active, nullptr before any did.
  [[nodiscard]] Form* ActiveForm() const noexcept { return activeForm_; }

  // Shows the main form and handles messages until Terminate. Returns 0 (at
  // once when there is no main form).
  int Run();
  // Handles every pending message and returns.
  void ProcessMessages();
  void Terminate() noexcept;
  [[nodiscard]] bool Terminated() const noexcept { return terminated_; }

  // The standard error message: the text in a message box with the title as
  // caption, an error icon and one OK button.
  void ShowErrorMessage(std::string_view text) const noexcept;
  // Runs an event handler: whatever escapes it is shown as the standard error
  // message and goes no further.
  template <typename Handler>
  void RunGuarded(Handler&& handler) noexcept {
    try {
      std::forward<Handler>(handler)();
    } catch (...) {
      ReportError(std::current_exception());
    }
  }
  void ReportError(std::exception_ptr error) const noexcept;

  static constexpr char kWindowClass[] = "TApplication";

 private:
  friend class Form;
  void FormActivated(Form& form);
  void FormDestroyed(Form& form) noexcept;  // its window
  void FormGone(Form& form) noexcept;       // the object
  [[nodiscard]] Form* FormOf(HWND window) const noexcept;
  // Dialog keys of the focused form; true when the message was consumed.
  bool HandleDialogKeys(MSG& message);
  void Dispatch(MSG& message);
  void ShowOwnerWindow();
  static LRESULT CALLBACK WindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept;

  static Application* current_;
  bool oleInitialised_ = false;
  std::string title_;
  HICON icon_ = nullptr;
  UniqueWindow window_;
  std::vector<std::unique_ptr<Form>> forms_;
  Form* mainForm_ = nullptr;
  Form* activeForm_ = nullptr;
  bool terminated_ = false;
};

}  // namespace tpl::ui
