#include "ui/application.h"

#include <commctrl.h>
#include <ole2.h>

#include <stdexcept>

#include "common/startup_times.h"
#include "common/system_error.h"
#include "resources/resource_ids.h"
#include "ui/standard_error_message.h"

namespace tpl::ui {
namespace {

// Posted to the owner window when it was activated (a click on the taskbar
// button): the active form takes the activation over once the click is done.
constexpr UINT kActivateFormMessage = WM_APP + 1;

// Until a form names it, the application is known by the program file's name.
std::string ProgramFileTitle() {
  char path[MAX_PATH] = {};
  const DWORD length = ::GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string name(path, length < MAX_PATH ? length : 0);
  const std::size_t slash = name.find_last_of("\\/");
  if (slash != std::string::npos) name.erase(0, slash + 1);
  const std::size_t dot = name.find_last_of('.');
  if (dot != std::string::npos && dot > 0) name.resize(dot);
  return name;
}

}  // namespace

void LoadCommonControls() {
  static bool loaded = false;
  if (loaded) return;
  loaded = true;
  // Loaded by name, not imported: a process that makes none of the system's
  // controls (the saver) does not pay for the library's start.
  using InitFunction = BOOL(WINAPI*)(const INITCOMMONCONTROLSEX*);
  HMODULE library = ::LoadLibraryA("comctl32.dll");
  if (library == nullptr) return;
  auto initialise =
      reinterpret_cast<InitFunction>(reinterpret_cast<void*>(::GetProcAddress(library, "InitCommonControlsEx")));
  if (initialise == nullptr) return;
  INITCOMMONCONTROLSEX commonControls{sizeof(commonControls), ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES};
  initialise(&commonControls);
}

void RegisterWindowClass(const char* name, WNDPROC procedure, HICON icon) {
  WNDCLASSEXA windowClass{};
  windowClass.cbSize = sizeof(windowClass);
  windowClass.style = CS_DBLCLKS;
  windowClass.lpfnWndProc = procedure;
  windowClass.hInstance = ::GetModuleHandleA(nullptr);
  windowClass.hIcon = icon;
  windowClass.hCursor = ::LoadCursorA(nullptr, IDC_ARROW);
  windowClass.lpszClassName = name;
  if (::RegisterClassExA(&windowClass) == 0 && ::GetLastError() != ERROR_CLASS_ALREADY_EXISTS) {
    throw WindowsError(std::string("Registering the window class ") + name, ::GetLastError());
  }
}

Application* Application::current_ = nullptr;

Application::Application() : title_(ProgramFileTitle()) {
  if (current_ != nullptr) throw std::logic_error("A process has one application object.");
  const HRESULT ole = ::OleInitialize(nullptr);
  if (FAILED(ole)) throw WindowsError("OleInitialize", static_cast<DWORD>(ole));
  oleInitialised_ = true;
  MarkStartupStep("application: ole");
  current_ = this;
  try {
    HINSTANCE module = ::GetModuleHandleA(nullptr);
    icon_ = ::LoadIconA(module, MAKEINTRESOURCEA(IDI_APPLICATION_ICON));
    if (icon_ == nullptr) icon_ = ::LoadIconA(nullptr, IDI_APPLICATION);
    MarkStartupStep("application: icon");
    RegisterWindowClass(kWindowClass, WindowProcedure, icon_);
    RegisterWindowClass(Panel::kWindowClass, Panel::WindowProcedure, nullptr);
    // A visible window of no size carries the taskbar button; the forms it owns get none.
    window_.Reset(::CreateWindowExA(0, kWindowClass, title_.c_str(),
                                    WS_POPUP | WS_CAPTION | WS_CLIPSIBLINGS | WS_SYSMENU | WS_MINIMIZEBOX,
                                    ::GetSystemMetrics(SM_CXSCREEN) / 2, ::GetSystemMetrics(SM_CYSCREEN) / 2, 0, 0,
                                    nullptr, nullptr, module, nullptr));
    if (!window_) throw WindowsError("Creating the application window", ::GetLastError());
    MarkStartupStep("application: window");
    ::SendMessageA(window_.Get(), WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon_));
    ::SendMessageA(window_.Get(), WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon_));
  } catch (...) {
    current_ = nullptr;
    ::OleUninitialize();
    throw;
  }
}

Application::~Application() {
  // Windows first, while every form object is still whole: FormDestroy runs.
  for (auto it = forms_.rbegin(); it != forms_.rend(); ++it) (*it)->DestroyWindowNow();
  forms_.clear();
  window_.Reset();
  if (oleInitialised_) ::OleUninitialize();
  current_ = nullptr;
}

void Application::SetTitle(std::string title) {
  title_ = std::move(title);
  ::SetWindowTextA(window_.Get(), title_.c_str());
}

int Application::Run() {
  if (mainForm_ == nullptr || mainForm_->Handle() == nullptr) return 0;
  mainForm_->Show();
  MSG message;
  while (!terminated_) {
    const BOOL got = ::GetMessageA(&message, nullptr, 0, 0);
    if (got == 0 || got == -1) {
      terminated_ = true;
      break;
    }
    Dispatch(message);
  }
  return 0;
}

void Application::ProcessMessages() {
  MSG message;
  while (::PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (message.message == WM_QUIT) {
      terminated_ = true;
      break;
    }
    Dispatch(message);
  }
}

void Application::Terminate() noexcept { terminated_ = true; }

void Application::ShowErrorMessage(std::string_view text) const noexcept { ShowStandardErrorMessage(title_, text); }

void Application::ReportError(std::exception_ptr error) const noexcept {
  try {
    std::rethrow_exception(error);
  } catch (const std::exception& e) {
    ShowErrorMessage(e.what());
  } catch (...) {
    ShowErrorMessage("An unexpected error occurred.");
  }
}

void Application::FormActivated(Form& form) {
  if (activeForm_ == &form) return;
  activeForm_ = &form;
  form.RunEvent(&Form::FormActivate);
}

void Application::FormDestroyed(Form& form) noexcept {
  if (activeForm_ == &form) activeForm_ = nullptr;
  if (mainForm_ == &form) Terminate();
}

void Application::FormGone(Form& form) noexcept {
  if (activeForm_ == &form) activeForm_ = nullptr;
  if (mainForm_ == &form) mainForm_ = nullptr;
}

Form* Application::FormOf(HWND window) const noexcept {
  if (window == nullptr) return nullptr;
  for (const auto& form : forms_) {
    if (form->Handle() == window) return form.get();
  }
  return nullptr;
}

bool Application::HandleDialogKeys(MSG& message) {
  if (message.message < WM_KEYFIRST || message.message > WM_KEYLAST || message.hwnd == nullptr) return false;
  HWND root = ::GetAncestor(message.hwnd, GA_ROOT);
  const Form* form = FormOf(root);
  if (form == nullptr || !form->DialogKeys()) return false;
  return ::IsDialogMessageA(root, &message) != FALSE;
}

void Application::Dispatch(MSG& message) {
  if (HandleDialogKeys(message)) return;
  ::TranslateMessage(&message);
  ::DispatchMessageA(&message);
}

void Application::ShowOwnerWindow() {
  if (!::IsWindowVisible(window_.Get())) ::ShowWindow(window_.Get(), SW_SHOWNOACTIVATE);
}

LRESULT CALLBACK Application::WindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept {
  Application* application = current_;
  if (application == nullptr || application->window_.Get() != window) {
    return ::DefWindowProcA(window, message, wParam, lParam);
  }
  Form* target = application->activeForm_ != nullptr ? application->activeForm_ : application->mainForm_;
  switch (message) {
    case WM_ACTIVATE:
      if (LOWORD(wParam) != WA_INACTIVE) ::PostMessageA(window, kActivateFormMessage, 0, 0);
      return 0;
    case kActivateFormMessage:
      if (target != nullptr && ::IsWindowVisible(target->Handle()) && ::IsWindowEnabled(target->Handle())) {
        ::SetActiveWindow(target->Handle());
      }
      return 0;
    case WM_CLOSE:
      // The taskbar button's Close closes the main form.
      if (application->mainForm_ != nullptr && application->mainForm_->Handle() != nullptr) {
        ::PostMessageA(application->mainForm_->Handle(), WM_CLOSE, 0, 0);
      }
      return 0;
    default: return ::DefWindowProcA(window, message, wParam, lParam);
  }
}

}  // namespace tpl::ui
