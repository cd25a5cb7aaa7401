#pragma once
// The standard controls of the window framework. A control is a member of its
// form, named like its row in the form's layout table; the form creates it in
// table order (which is also the tab order) inside the parent the row names.
// Every property can be set before and after the control's window exists.
// Events are std::function members; only a user's own action fires them, a
// state set from code fires nothing.

#include <windows.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "common/win_handles.h"
#include "ui/graphics.h"

namespace tpl::ui {

class Form;
class Control;

// Flags of a layout row; each control kind reads those that concern it.
enum LayoutFlag : unsigned {
  kHidden = 1u << 0,
  kDisabled = 1u << 1,
  kDefaultButton = 1u << 2,  // Enter presses it
  kCancelButton = 1u << 3,   // Escape presses it
  kStretch = 1u << 4,        // images: the picture fills the bounds
  kWordWrap = 1u << 5,       // labels
  kCentred = 1u << 6,        // labels: text centred horizontally
  kLoweredBevel = 1u << 7,   // panels: a sunken edge (no flag: no bevel)
  kCreateOnShow = 1u << 8,   // panels: their controls' windows are made when the panel is first shown
};

// A window that holds controls: a form or a panel.
class Container {
 public:
  virtual ~Container();
  Container() = default;
  Container(const Container&) = delete;
  Container& operator=(const Container&) = delete;
  [[nodiscard]] virtual HWND ContainerWindow() const noexcept = 0;
  [[nodiscard]] virtual const FontStyle& Font() const noexcept = 0;
  [[nodiscard]] virtual Colour BackgroundColour() const noexcept = 0;
  [[nodiscard]] virtual Form& OwnerForm() const noexcept = 0;
  [[nodiscard]] const std::vector<Control*>& Children() const noexcept { return children_; }

 protected:
  friend class Form;
  friend class Control;
  // Messages every container answers alike: painting its windowless children and
  // their background, clicks on them, colours of its windowed children, and
  // control notifications. Returns true when the message was handled.
  bool HandleContainerMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);
  [[nodiscard]] HBRUSH BackgroundBrush();
  void PaintChildren(HDC dc, const RECT* area);
  void FontChangedForChildren();
  // The children's windows go with this one's: forget their handles.
  void DetachChildWindows() noexcept;
  // Makes the window of a child whose creation was put off.
  void CreateChildWindowOf(Control& child);

  std::vector<Control*> children_;

 private:
  [[nodiscard]] Control* GraphicControlAt(POINT point) const;
  UniqueGdiObject brush_;
  Colour brushColour_ = 0;
  Control* pressed_ = nullptr;
};

class Control {
 public:
  Control(Form& form, std::string name);
  virtual ~Control();
  Control(const Control&) = delete;
  Control& operator=(const Control&) = delete;

  [[nodiscard]] const std::string& Name() const noexcept { return name_; }
  [[nodiscard]] Form& OwnerForm() const noexcept { return form_; }
  [[nodiscard]] Container* Parent() const noexcept { return parent_; }
  // The control's own window; nullptr for windowless controls (labels, images).
  [[nodiscard]] HWND Handle() const noexcept { return window_.Get(); }

  // Bounds in pixels, relative to the parent's client area.
  [[nodiscard]] int Left() const noexcept { return left_; }
  [[nodiscard]] int Top() const noexcept { return top_; }
  [[nodiscard]] int Width() const noexcept { return width_; }
  [[nodiscard]] int Height() const noexcept { return height_; }
  void SetBounds(int left, int top, int width, int height);
  void SetLeft(int left) { SetBounds(left, top_, width_, height_); }
  void SetTop(int top) { SetBounds(left_, top, width_, height_); }
  void SetWidth(int width) { SetBounds(left_, top_, width, height_); }
  void SetHeight(int height) { SetBounds(left_, top_, width_, height); }

  [[nodiscard]] bool Visible() const noexcept { return visible_; }
  void SetVisible(bool visible);
  void Show() { SetVisible(true); }
  void Hide() { SetVisible(false); }
  [[nodiscard]] bool Enabled() const noexcept { return enabled_; }
  void SetEnabled(bool enabled);

  // The caption; for an edit box its text.
  [[nodiscard]] virtual std::string Caption() const { return caption_; }
  void SetCaption(std::string caption);

  // The control's font: its parent's until one of the setters gives it its own.
  [[nodiscard]] const FontStyle& Font() const noexcept;
  void SetFont(FontStyle font);
  void SetFontFace(std::string face);
  void SetFontPoints(int points);
  void SetFontHeight(int pixels);
  void SetFontBold(bool bold);
  void SetFontCharset(int charset);
  void SetFontColour(Colour colour);

  // Background colour: the parent's until set.
  [[nodiscard]] Colour BackgroundColour() const noexcept;
  void SetColour(Colour colour);

  void SetFocus();
  [[nodiscard]] bool Focused() const noexcept;

 protected:
  friend class Container;
  friend class Form;

  // Called once by the form, in layout order, after the parent's window exists.
  virtual void CreateWindowIn(Container& parent) = 0;
  virtual void ApplyLayoutFlags(unsigned flags) { static_cast<void>(flags); }
  [[nodiscard]] virtual bool Windowless() const noexcept { return false; }
  virtual void Paint(HDC dc) { static_cast<void>(dc); }
  virtual void Clicked() {}                                      // a windowless control was clicked
  virtual void Notified(WORD code) { static_cast<void>(code); }  // WM_COMMAND from the control
  virtual HBRUSH ColourMessage(HDC dc);                          // WM_CTLCOLOR... of the control's window
  virtual void FontChanged();
  virtual void CaptionChanged();
  virtual void LayoutChanged() {}  // after SetBounds or SetVisible
  virtual void BeforeShown() {}    // SetVisible(true) is about to show it
  // The height its window gets (a drop-down list needs room for its list).
  [[nodiscard]] virtual int WindowHeight() const noexcept { return height_; }
  // Edit boxes and lists have the window colour of their own unless set.
  [[nodiscard]] virtual bool InheritsColour() const noexcept { return true; }
  [[nodiscard]] HBRUSH OwnBrush();

  // Creates the control's window from the current properties.
  void CreateChildWindow(Container& parent, const char* windowClass, DWORD style, DWORD extendedStyle = 0);
  void Invalidate();
  [[nodiscard]] HFONT FontHandle();
  void DetachWindow() noexcept { static_cast<void>(window_.Release()); }
  // Runs a user-event handler the way every event runs: errors go to the
  // application's standard error message.
  void Fire(const std::function<void()>& handler);

  [[nodiscard]] int Id() const noexcept { return id_; }

  Form& form_;
  Container* parent_ = nullptr;
  UniqueWindow window_;
  std::string caption_;
  bool settingFromCode_ = false;

 private:
  std::string name_;
  int id_;
  int left_ = 0;
  int top_ = 0;
  int width_ = 0;
  int height_ = 0;
  bool visible_ = true;
  bool enabled_ = true;
  std::optional<FontStyle> font_;
  std::optional<Colour> colour_;
  UniqueGdiObject fontHandle_;
  UniqueGdiObject brush_;
  Colour brushColour_ = 0;
};

// Text painted by its parent; it has no window, so mouse input over it goes to the parent.
class Label : public Control {
 public:
  using Control::Control;
  std::function<void()> OnClick;
  void SetWordWrap(bool wordWrap);
  void SetCentred(bool centred);

 protected:
  void CreateWindowIn(Container& parent) override;
  void ApplyLayoutFlags(unsigned flags) override;
  [[nodiscard]] bool Windowless() const noexcept override { return true; }
  void Paint(HDC dc) override;
  void Clicked() override { Fire(OnClick); }
  void CaptionChanged() override;
  void FontChanged() override;

 private:
  void AdjustSize();
  bool wordWrap_ = false;
  bool centred_ = false;
  bool autoSize_ = false;  // a row without a size: the label takes its text's size
};

class Edit : public Control {
 public:
  using Control::Control;
  std::function<void()> OnChange;
  [[nodiscard]] std::string Caption() const override;
  [[nodiscard]] std::string Text() const { return Caption(); }
  void SetText(std::string text) { SetCaption(std::move(text)); }
  // '\0' shows the text itself.
  void SetPasswordChar(char passwordChar);
  // 0: no limit.
  void SetMaxLength(int maxLength);

 protected:
  void CreateWindowIn(Container& parent) override;
  void Notified(WORD code) override;
  [[nodiscard]] bool InheritsColour() const noexcept override { return false; }

 private:
  char passwordChar_ = '\0';
  int maxLength_ = 0;
};

class Button : public Control {
 public:
  using Control::Control;
  std::function<void()> OnClick;
  // Enter presses the form's default button, Escape its cancel button.
  void SetDefault(bool isDefault);
  void SetCancel(bool isCancel);
  [[nodiscard]] bool IsDefault() const noexcept;
  [[nodiscard]] bool IsCancel() const noexcept;

 protected:
  friend class Form;
  void CreateWindowIn(Container& parent) override;
  void ApplyLayoutFlags(unsigned flags) override;
  void Notified(WORD code) override;

 private:
  bool isDefault_ = false;
  bool isCancel_ = false;
};

class CheckBox : public Control {
 public:
  using Control::Control;
  std::function<void()> OnClick;
  [[nodiscard]] bool Checked() const noexcept;
  void SetChecked(bool checked);

 protected:
  void CreateWindowIn(Container& parent) override;
  void Notified(WORD code) override;

 private:
  bool checked_ = false;
};

// Radio buttons with the same parent form one group: checking one unchecks the others.
class RadioButton : public Control {
 public:
  using Control::Control;
  std::function<void()> OnClick;
  [[nodiscard]] bool Checked() const noexcept { return checked_; }
  void SetChecked(bool checked);

 protected:
  void CreateWindowIn(Container& parent) override;
  void Notified(WORD code) override;

 private:
  void ApplyCheck();
  bool checked_ = false;
};

// A drop-down list: the user picks one of its items.
class ComboBox : public Control {
 public:
  using Control::Control;
  std::function<void()> OnChange;
  void SetItems(std::vector<std::string> items);
  [[nodiscard]] const std::vector<std::string>& Items() const noexcept { return items_; }
  // -1: nothing chosen.
  [[nodiscard]] int ItemIndex() const noexcept;
  void SetItemIndex(int index);

 protected:
  void CreateWindowIn(Container& parent) override;
  void Notified(WORD code) override;
  [[nodiscard]] int WindowHeight() const noexcept override { return Height() + 200; }
  [[nodiscard]] bool InheritsColour() const noexcept override { return false; }

 private:
  void FillList();
  std::vector<std::string> items_;
  int index_ = -1;
};

enum class Bevel { None, Lowered };

// A child window of its own that holds controls; mouse input over it goes to it.
class Panel : public Control, public Container {
 public:
  Panel(Form& form, std::string name);
  ~Panel() override;
  [[nodiscard]] HWND ContainerWindow() const noexcept override { return Handle(); }
  [[nodiscard]] const FontStyle& Font() const noexcept override { return Control::Font(); }
  [[nodiscard]] Colour BackgroundColour() const noexcept override { return Control::BackgroundColour(); }
  [[nodiscard]] Form& OwnerForm() const noexcept override { return Control::OwnerForm(); }
  void SetBevel(Bevel bevel);
  // Made with kCreateOnShow and not shown yet: its controls have no windows.
  [[nodiscard]] bool ControlsPending() const noexcept { return !pending_.empty(); }

  static constexpr char kWindowClass[] = "TPanel";
  static LRESULT CALLBACK WindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept;

 protected:
  void CreateWindowIn(Container& parent) override;
  void ApplyLayoutFlags(unsigned flags) override;
  void FontChanged() override;
  void BeforeShown() override;

 private:
  friend class Form;
  void CreatePendingControls();

  Bevel bevel_ = Bevel::None;
  bool createOnShow_ = false;
  std::vector<Control*> pending_;  // controls whose windows wait for the first show
};

// A picture painted by its parent: a bitmap, or an off-screen drawing surface
// the owner draws into. Windowless, like a label.
class Image : public Control {
 public:
  using Control::Control;
  std::function<void()> OnClick;
  void SetPicture(Bitmap picture);
  [[nodiscard]] const Bitmap& Picture() const noexcept { return picture_; }
  // A Windows bitmap or a JPEG file.
  void LoadFromFile(const std::string& path) { SetPicture(Bitmap::FromPictureFile(path)); }
  void SetStretch(bool stretch);
  [[nodiscard]] bool Stretch() const noexcept { return stretch_; }
  // A surface of the given size, painted instead of the picture from now on.
  Surface& CreateSurface(int width, int height);
  [[nodiscard]] Surface* DrawingSurface() const noexcept { return surface_.get(); }
  // Repaints after the owner drew into the surface.
  void Refresh() { Invalidate(); }

 protected:
  void CreateWindowIn(Container& parent) override;
  void ApplyLayoutFlags(unsigned flags) override;
  [[nodiscard]] bool Windowless() const noexcept override { return true; }
  void Paint(HDC dc) override;
  void Clicked() override { Fire(OnClick); }

 private:
  Bitmap picture_;
  std::unique_ptr<Surface> surface_;
  bool stretch_ = false;
};

// A place in the layout for a control the framework does not make itself (the
// movie player): it holds the row's bounds and visibility, paints nothing, and
// tells its host when code changes them. The host creates its window inside
// Parent()->ContainerWindow() at these bounds.
class HostedControl : public Control {
 public:
  using Control::Control;
  std::function<void()> OnLayoutChanged;

 protected:
  void CreateWindowIn(Container&) override {}
  [[nodiscard]] bool Windowless() const noexcept override { return true; }
  void LayoutChanged() override {
    if (OnLayoutChanged) OnLayoutChanged();
  }
};

// A timer of the form: OnTimer runs every Interval() milliseconds while enabled.
class Timer {
 public:
  Timer(Form& form, unsigned intervalMs = 1000, bool enabled = true);
  ~Timer();
  Timer(const Timer&) = delete;
  Timer& operator=(const Timer&) = delete;

  std::function<void()> OnTimer;
  [[nodiscard]] unsigned Interval() const noexcept { return interval_; }
  void SetInterval(unsigned intervalMs);
  [[nodiscard]] bool Enabled() const noexcept { return enabled_; }
  void SetEnabled(bool enabled);

 private:
  friend class Form;
  void Start() noexcept;
  void Stop() noexcept;
  Form& form_;
  UINT_PTR id_;
  unsigned interval_;
  bool enabled_;
};

}  // namespace tpl::ui
