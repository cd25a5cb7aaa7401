#include "e2e/program_run.h"

#include <algorithm>
#include <iterator>

namespace tpl::e2e {
namespace {

constexpr DWORD kPollMs = 20;

BOOL CALLBACK CollectStaticText(HWND child, LPARAM parameter) {
  if (testing::WindowClassName(child) == "Static") {
    const std::string text = testing::WindowText(child);
    if (!text.empty()) {
      auto* texts = reinterpret_cast<std::string*>(parameter);
      if (!texts->empty()) texts->push_back('\n');
      *texts += text;
    }
  }
  return TRUE;
}

}  // namespace

std::string StaticTextsOf(HWND dialog) {
  std::string texts;
  ::EnumChildWindows(dialog, CollectStaticText, reinterpret_cast<LPARAM>(&texts));
  return texts;
}

void AnswerMessageBox(HWND box) { ::PostMessageA(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0); }

ProgramRun::ProgramRun(const std::string& program, const std::string& arguments) : child_(program, arguments) {}

HWND ProgramRun::Look() {
  HWND box = nullptr;
  for (HWND window : testing::TopLevelWindowsOf(child_.Id())) {
    auto seen = std::find_if(windows_.begin(), windows_.end(),
                             [window](const SeenWindow& known) { return known.handle == window; });
    if (seen == windows_.end()) {
      windows_.push_back(SeenWindow{window, testing::WindowClassName(window), {}, {}, false});
      seen = windows_.end() - 1;
    }
    // A dialog gets its texts before it becomes visible, so only a visible
    // window's texts are final.
    if (!::IsWindowVisible(window)) continue;
    seen->wasVisible = true;
    seen->caption = testing::WindowText(window);
    if (seen->className == kMessageBoxClass) {
      seen->text = StaticTextsOf(window);
      if (box == nullptr) box = window;
    }
  }
  return box;
}

std::optional<DWORD> ProgramRun::Finish(MessageBoxes boxes, DWORD timeoutMs) {
  std::vector<HWND> answered;
  const ULONGLONG deadline = ::GetTickCount64() + timeoutMs;
  for (;;) {
    if (const std::optional<DWORD> code = child_.WaitForExit(kPollMs)) return code;
    const HWND box = Look();
    if (box != nullptr && boxes == MessageBoxes::Close &&
        std::find(answered.begin(), answered.end(), box) == answered.end()) {
      AnswerMessageBox(box);
      answered.push_back(box);
    }
    if (::GetTickCount64() >= deadline) return std::nullopt;
  }
}

HWND ProgramRun::WaitForMessageBox(DWORD timeoutMs) {
  const ULONGLONG deadline = ::GetTickCount64() + timeoutMs;
  for (;;) {
    if (const HWND box = Look()) return box;
    if (child_.WaitForExit(kPollMs).has_value()) return nullptr;
    if (::GetTickCount64() >= deadline) return nullptr;
  }
}

std::vector<SeenWindow> ProgramRun::MessageBoxesSeen() const {
  std::vector<SeenWindow> boxes;
  std::copy_if(windows_.begin(), windows_.end(), std::back_inserter(boxes),
               [](const SeenWindow& window) { return window.className == kMessageBoxClass; });
  return boxes;
}

}  // namespace tpl::e2e
