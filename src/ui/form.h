#pragma once
// Forms: top-level windows of the application, each of its own window class
// (the form's class name, so FindWindow finds it), owned by the application's
// hidden window. A derived form declares its controls as members, passes its
// design and layout table to this base, and overrides the events it needs:
//   FormCreate   - the window and its controls exist; handed-over values do not yet
//   FormActivate - the form became the application's active form (once per
//                  such change; a message box or another program does not count)
//   FormDestroy  - the window is being destroyed
// The application creates forms (Application::CreateForm) and owns them.

#include <windows.h>

#include <span>
#include <string>
#include <vector>

#include "common/win_handles.h"
#include "ui/controls.h"

namespace tpl::ui {

class Application;

enum class BorderStyle {
  None,      // no caption, no frame
  Single,    // fixed size, caption with system menu and close box
  Dialog,    // like Single, with a dialog frame
  Sizeable,  // resizable, with minimise and maximise boxes
};

enum class FormPosition {
  Designed,       // at the design left and top
  ScreenCentre,   // centred on the primary screen when first shown
  DesktopCentre,  // centred on the whole virtual desktop when first shown
};

struct FontDesign {
  const char* face = "MS Sans Serif";
  int points = 8;
  bool bold = false;
  int charset = DEFAULT_CHARSET;
};

// The form's own design values.
struct FormDesign {
  const char* className;  // "TfrmSettings"
  const char* caption;
  int clientWidth;
  int clientHeight;
  BorderStyle border = BorderStyle::Single;
  Colour colour = kButtonFace;
  FontDesign font = {};
  FormPosition position = FormPosition::Designed;
  bool scaled = true;  // design bounds follow the screen's pixels per inch
  int left = 0;
  int top = 0;
};

// One row of a form's layout table, in design pixels (96 pixels per inch).
// Rows are created in order, which is also the tab order; a panel's row comes
// before the rows of the controls inside it.
struct ControlLayout {
  const char* name;
  const char* parent;  // nullptr: the form itself
  int left;
  int top;
  int width;
  int height;
  const char* caption = "";
  unsigned flags = 0;  // LayoutFlag values
};

class Form : public Container {
 public:
  Form(const FormDesign& design, std::span<const ControlLayout> layout);
  ~Form() override;
  Form(const Form&) = delete;
  Form& operator=(const Form&) = delete;

  [[nodiscard]] HWND Handle() const noexcept { return window_.Get(); }
  [[nodiscard]] const char* ClassName() const noexcept { return design_.className; }

  [[nodiscard]] std::string Caption() const { return caption_; }
  void SetCaption(std::string caption);

  // Outer bounds in pixels, screen coordinates.
  [[nodiscard]] RECT Bounds() const noexcept;
  void SetBounds(int left, int top, int width, int height);
  void SetLeft(int left);
  void SetTop(int top);
  void SetWidth(int width);
  void SetHeight(int height);
  [[nodiscard]] int ClientWidth() const noexcept;
  [[nodiscard]] int ClientHeight() const noexcept;
  void SetClientSize(int width, int height);

  [[nodiscard]] BorderStyle Border() const noexcept { return border_; }
  void SetBorderStyle(BorderStyle border);
  void SetTopmost(bool topmost);
  void SetIcon(HICON icon);

  [[nodiscard]] Colour BackgroundColour() const noexcept override { return colour_; }
  void SetColour(Colour colour);
  [[nodiscard]] const FontStyle& Font() const noexcept override { return font_; }
  void SetFont(FontStyle font);
  void SetFontFace(std::string face);
  void SetFontCharset(int charset);

  [[nodiscard]] bool Visible() const noexcept;
  void Show();
  void Hide();
  // Centres the window on the primary screen.
  void CentreOnScreen();
  // Closes the form as its close box does: the window is destroyed, and when
  // it is the application's main form the application's loop ends.
  void Close();

  // Whether the application's loop gives this form dialog keys: Tab moves the
  // focus, Enter presses the default button, Escape the cancel button.
  void SetDialogKeys(bool enabled) noexcept { dialogKeys_ = enabled; }
  [[nodiscard]] bool DialogKeys() const noexcept { return dialogKeys_; }

  // Pixels per inch the form's design values are scaled to (96 when unscaled).
  [[nodiscard]] int PixelsPerInch() const noexcept { return pixelsPerInch_; }
  // A design value (96 pixels per inch) in this form's pixels.
  [[nodiscard]] int Scale(int designPixels) const noexcept;

  [[nodiscard]] HWND ContainerWindow() const noexcept override { return Handle(); }
  [[nodiscard]] Form& OwnerForm() const noexcept override { return const_cast<Form&>(*this); }

 protected:
  virtual void FormCreate() {}
  virtual void FormActivate() {}
  virtual void FormDestroy() {}

 private:
  friend class Application;
  friend class Container;
  friend class Control;
  friend class Button;
  friend class Timer;

  void CreateWindowAndControls(Application& application);
  void CreateControls();
  void DestroyWindowNow() noexcept;
  void Register(Control& control) { controls_.push_back(&control); }
  void Unregister(Control& control) noexcept;
  int NextControlId() noexcept { return nextControlId_++; }
  UINT_PTR NextTimerId() noexcept { return nextTimerId_++; }
  void Register(Timer& timer) { timers_.push_back(&timer); }
  void Unregister(Timer& timer) noexcept;
  [[nodiscard]] Control* FindControl(const char* name) const noexcept;
  [[nodiscard]] Control* FindControl(HWND window) const noexcept;
  [[nodiscard]] Control* FindControlById(int id) const noexcept;
  [[nodiscard]] Button* DefaultButton() const noexcept;
  [[nodiscard]] Button* CancelButton() const noexcept;
  void DispatchCommand(WPARAM wParam, LPARAM lParam);

  static LRESULT CALLBACK WindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept;
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
  void Activated();
  void Deactivated();
  void RunEvent(void (Form::*event)());
  [[nodiscard]] DWORD Style() const noexcept;
  [[nodiscard]] DWORD ExtendedStyle() const noexcept;
  void ApplyStyle();

  FormDesign design_;
  std::span<const ControlLayout> layout_;
  Application* application_ = nullptr;
  UniqueWindow window_;
  std::string caption_;
  BorderStyle border_;
  Colour colour_;
  FontStyle font_;
  int pixelsPerInch_ = 96;
  bool dialogKeys_ = true;
  bool shownOnce_ = false;
  bool topmost_ = false;
  HWND lastFocus_ = nullptr;
  std::vector<Control*> controls_;
  std::vector<Timer*> timers_;
  int nextControlId_ = 100;  // clear of IDOK and IDCANCEL, which the dialog keys send
  UINT_PTR nextTimerId_ = 1;
};

}  // namespace tpl::ui
