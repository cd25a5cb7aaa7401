// The single-instance signal between runs: a run announces itself with the
// named mutex, and a run that finds the mutex already there broadcasts the quit
// message to every top-level window, then goes on with its own work.
//
// The test plays the running instance: it holds the mutex itself and keeps a
// hidden top-level window of its own that counts the quit messages it gets.

#include <gtest/gtest.h>

#include <optional>
#include <ostream>
#include <string>

#include "e2e/program_run.h"
#include "e2e/program_windows.h"
#include "e2e/saver_package.h"

namespace tpl::e2e {
namespace {

constexpr char kInstanceMutexName[] = "GlimmerforgeScreensaver";
constexpr char kQuitMessageName[] = "GlimmerforgeQuit";
constexpr char kListenerClass[] = "TemplateE2eQuitListener";

// Long enough for a broadcast already under way to arrive; only used where no
// message is expected, or as the upper bound of a wait that normally ends early.
constexpr DWORD kSettleMs = 1000;

struct QuitLog {
  UINT message = 0;
  int received = 0;
  WPARAM lastWParam = 0;
  LPARAM lastLParam = 0;
};
QuitLog g_quitLog;

LRESULT CALLBACK ListenerProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (g_quitLog.message != 0 && message == g_quitLog.message) {
    ++g_quitLog.received;
    g_quitLog.lastWParam = wParam;
    g_quitLog.lastLParam = lParam;
    return 0;
  }
  return ::DefWindowProcA(window, message, wParam, lParam);
}

// A hidden top-level window standing in for the main window of a running instance.
class QuitListener {
 public:
  QuitListener() {
    g_quitLog = QuitLog{::RegisterWindowMessageA(kQuitMessageName), 0, 0, 0};
    WNDCLASSEXA windowClass{};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.lpfnWndProc = ListenerProc;
    windowClass.hInstance = ::GetModuleHandleA(nullptr);
    windowClass.lpszClassName = kListenerClass;
    WNDCLASSEXA existing{};
    existing.cbSize = sizeof(existing);
    if (!::GetClassInfoExA(windowClass.hInstance, kListenerClass, &existing)) ::RegisterClassExA(&windowClass);
    window_ = ::CreateWindowExA(0, kListenerClass, "quit listener", WS_OVERLAPPED, 0, 0, 100, 100, nullptr, nullptr,
                                windowClass.hInstance, nullptr);
  }
  ~QuitListener() {
    if (window_ != nullptr) ::DestroyWindow(window_);
    g_quitLog = QuitLog{};
  }
  QuitListener(const QuitListener&) = delete;
  QuitListener& operator=(const QuitListener&) = delete;

  [[nodiscard]] bool IsReady() const { return window_ != nullptr && g_quitLog.message != 0; }
  [[nodiscard]] int Received() const { return g_quitLog.received; }

  // Handles this thread's messages until a quit message has come in, at most
  // for the given time, then a little longer for any further ones.
  void AwaitQuitMessage(DWORD timeoutMs) const {
    const ULONGLONG deadline = ::GetTickCount64() + timeoutMs;
    while (g_quitLog.received == 0 && ::GetTickCount64() < deadline) testing::PumpMessagesFor(20);
    testing::PumpMessagesFor(200);
  }

 private:
  HWND window_ = nullptr;
};

// The mutex a running instance holds: created unowned, closed when the test ends.
class HeldInstanceMutex {
 public:
  HeldInstanceMutex() : handle_(::CreateMutexA(nullptr, FALSE, kInstanceMutexName)) {
    alreadyExisted_ = handle_ != nullptr && ::GetLastError() == ERROR_ALREADY_EXISTS;
  }
  ~HeldInstanceMutex() {
    if (handle_ != nullptr) ::CloseHandle(handle_);
  }
  HeldInstanceMutex(const HeldInstanceMutex&) = delete;
  HeldInstanceMutex& operator=(const HeldInstanceMutex&) = delete;

  // Made here, not found from an earlier run.
  [[nodiscard]] bool IsFresh() const { return handle_ != nullptr && !alreadyExisted_; }

 private:
  HANDLE handle_ = nullptr;
  bool alreadyExisted_ = false;
};

bool InstanceMutexExists() {
  const HANDLE mutex = ::OpenMutexA(SYNCHRONIZE, FALSE, kInstanceMutexName);
  if (mutex == nullptr) return false;
  ::CloseHandle(mutex);
  return true;
}

struct BroadcastCase {
  const char* label;
  const char* arguments;
  PackageLayout layout;
  bool lockConfiguration;
  DWORD exitCode;    // what the run ends with, quit broadcast or not
  const char* form;  // the form the run shows (no player here), closed by the test; none: it ends by itself
};

const BroadcastCase kBroadcastCases[] = {
    {"compile_request_without_package", "-compile", kProgramOnly, false, 0, nullptr},
    {"saver", "/s", kCompletePackage, false, 0, "TfrmMainBlack"},
    {"settings_without_argument", "", kCompletePackage, false, 0, "TfrmSettingsBlack"},
    // Exit code 1 shows that the run went on into its own start-up after the broadcast.
    {"saver_reaching_an_unreadable_configuration", "/s", kCompletePackage, true, 1, nullptr},
    {"preview_reaching_an_unreadable_configuration", "/p 123", kCompletePackage, true, 1, nullptr},
};

void PrintTo(const BroadcastCase& tested, std::ostream* out) { *out << tested.label; }

class QuitBroadcast : public ::testing::TestWithParam<BroadcastCase> {
 protected:
  void RunProgram() {
    const SaverPackage package("MySaver", GetParam().layout);
    std::optional<ExclusiveFileLock> lock;
    if (GetParam().lockConfiguration) lock.emplace(package.ConfigurationPath());
    ProgramRun run(package.ProgramPath(), GetParam().arguments);
    if (GetParam().form != nullptr) {
      // Told to quit on its own, not by broadcast: the listener counts only the program's messages.
      const HWND form = WaitForVisibleWindow(run.Process(), GetParam().form);
      ASSERT_NE(form, nullptr) << "no " << GetParam().form;
      ::PostMessageA(form, g_quitLog.message, 0, 0);
    }
    EXPECT_EQ(run.Finish(MessageBoxes::Close), std::optional<DWORD>(GetParam().exitCode));
  }
};

TEST_P(QuitBroadcast, SentWhenAnotherInstanceRuns) {
  const QuitListener listener;
  ASSERT_TRUE(listener.IsReady());
  const HeldInstanceMutex mutex;
  ASSERT_TRUE(mutex.IsFresh()) << "an instance from elsewhere holds the mutex";

  RunProgram();
  listener.AwaitQuitMessage(kRunTimeoutMs);
  EXPECT_EQ(listener.Received(), 1);
  EXPECT_EQ(g_quitLog.lastWParam, 0u);
  EXPECT_EQ(g_quitLog.lastLParam, 0);
}

TEST_P(QuitBroadcast, NotSentWhenNoOtherInstanceRuns) {
  const QuitListener listener;
  ASSERT_TRUE(listener.IsReady());
  ASSERT_FALSE(InstanceMutexExists()) << "an instance from elsewhere holds the mutex";

  RunProgram();
  testing::PumpMessagesFor(kSettleMs);
  EXPECT_EQ(listener.Received(), 0);
}

INSTANTIATE_TEST_SUITE_P(Runs, QuitBroadcast, ::testing::ValuesIn(kBroadcastCases),
                         [](const auto& tested) { return std::string(tested.param.label); });

// A receiver that is busy must not hold up the new instance: this thread
// handles no message at all until the program has ended.
TEST(QuitBroadcastDelivery, SenderDoesNotWaitForTheReceivers) {
  const QuitListener listener;
  ASSERT_TRUE(listener.IsReady());
  const HeldInstanceMutex mutex;
  ASSERT_TRUE(mutex.IsFresh()) << "an instance from elsewhere holds the mutex";
  const SaverPackage package("MySaver", kProgramOnly);

  testing::ChildProcess child(package.ProgramPath(), "-compile");
  ASSERT_EQ(::WaitForSingleObject(child.Handle(), kRunTimeoutMs), WAIT_OBJECT_0)
      << "the program waited for this thread to take the quit message";
  DWORD exitCode = 99;
  ASSERT_TRUE(::GetExitCodeProcess(child.Handle(), &exitCode));
  EXPECT_EQ(exitCode, 0u);

  listener.AwaitQuitMessage(kRunTimeoutMs);
  EXPECT_EQ(listener.Received(), 1);
}

// The real pair of instances: the first stays up with its start-up message, the
// second finds the first one's mutex and tells it to quit.
TEST(RunningInstance, AnnouncesItselfWithAnUnownedMutexForAsLongAsItRuns) {
  const QuitListener listener;
  ASSERT_TRUE(listener.IsReady());
  ASSERT_FALSE(InstanceMutexExists()) << "an instance from elsewhere holds the mutex";
  const SaverPackage package("MySaver");
  const ExclusiveFileLock lock(package.ConfigurationPath());

  ProgramRun first(package.ProgramPath(), "/c");
  const HWND box = first.WaitForMessageBox();
  ASSERT_NE(box, nullptr) << "the first instance did not stay up";

  {
    const HANDLE mutex = ::OpenMutexA(SYNCHRONIZE | MUTEX_MODIFY_STATE, FALSE, kInstanceMutexName);
    ASSERT_NE(mutex, nullptr) << "no mutex while the first instance runs";
    // Nobody owns it, so it can be taken at once.
    EXPECT_EQ(::WaitForSingleObject(mutex, 0), static_cast<DWORD>(WAIT_OBJECT_0));
    ::ReleaseMutex(mutex);
    ::CloseHandle(mutex);
  }

  ProgramRun second(package.ProgramPath(), "-compile");
  EXPECT_EQ(second.Finish(MessageBoxes::Leave), std::optional<DWORD>(0));
  listener.AwaitQuitMessage(kRunTimeoutMs);
  EXPECT_EQ(listener.Received(), 1);

  AnswerMessageBox(box);
  EXPECT_EQ(first.Finish(MessageBoxes::Leave), std::optional<DWORD>(1));
  EXPECT_FALSE(InstanceMutexExists()) << "the mutex outlived the instances";
}

}  // namespace
}  // namespace tpl::e2e
