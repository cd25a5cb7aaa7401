#pragma once
// One run of the program under test, watched from outside the way a user sees
// it: which top-level windows it shows while it runs, what its message boxes
// say, and how it ends.

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

#include "support/win_test_support.h"

namespace tpl::e2e {

// A safety net only: every run the tests make ends far sooner.
inline constexpr DWORD kRunTimeoutMs = 15000;

inline constexpr char kMessageBoxClass[] = "#32770";

struct SeenWindow {
  HWND handle = nullptr;
  std::string className;
  std::string caption;  // as last seen while the window was visible
  std::string text;     // the static texts inside it, for dialogs
  bool wasVisible = false;
};

enum class MessageBoxes { Leave, Close };

class ProgramRun {
 public:
  ProgramRun(const std::string& program, const std::string& arguments);

  // Waits for the process to end, watching its windows meanwhile; visible
  // message boxes are answered with OK when asked to. Nothing when it still
  // runs after the timeout.
  [[nodiscard]] std::optional<DWORD> Finish(MessageBoxes boxes, DWORD timeoutMs = kRunTimeoutMs);

  // Waits until the program shows a message box and returns it; null when the
  // process ends or the timeout passes first.
  [[nodiscard]] HWND WaitForMessageBox(DWORD timeoutMs = kRunTimeoutMs);

  // Every top-level window of the program seen so far.
  [[nodiscard]] const std::vector<SeenWindow>& Windows() const { return windows_; }
  // Those of them that were message boxes.
  [[nodiscard]] std::vector<SeenWindow> MessageBoxesSeen() const;

  [[nodiscard]] testing::ChildProcess& Process() { return child_; }

 private:
  // Records the program's current top-level windows; returns the first visible
  // message box among them.
  HWND Look();

  testing::ChildProcess child_;
  std::vector<SeenWindow> windows_;
};

// The texts of a dialog's static controls, one per line.
[[nodiscard]] std::string StaticTextsOf(HWND dialog);

// Presses OK on a message box.
void AnswerMessageBox(HWND box);

}  // namespace tpl::e2e
