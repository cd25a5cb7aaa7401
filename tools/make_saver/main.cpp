// MakeSaver: makes a saver package from a movie, as the authoring tool does.
// Exit codes: 0 written, 1 a file could not be read or written (or an old file
// could not be deleted), 2 refused input or usage.
#include <atomic>
#include <csignal>
#include <cstdio>
#include <exception>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "make_saver/input_checks.h"
#include "make_saver/package_writer.h"
#include "make_saver/saver_request.h"

#ifdef _WIN32
#include <windows.h>
// After windows.h, which it needs.
#include <shellapi.h>

#include "common/win_handles.h"
#endif

namespace {

constexpr int kExitWritten = 0;
constexpr int kExitFailed = 1;
constexpr int kExitRefused = 2;
constexpr int kExitPlayerRefusesContent = 3;
constexpr char kProgramFileName[] = "Template.scr";

#ifdef _WIN32
std::string Utf8FromWide(const wchar_t* text) {
  const int size = ::WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
  if (size <= 1) return {};
  std::string result(static_cast<std::size_t>(size), '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, text, -1, result.data(), size, nullptr, nullptr);
  result.resize(static_cast<std::size_t>(size - 1));
  return result;
}

std::wstring WideFromUtf8(const std::string& text) {
  if (text.empty()) return {};
  const int length = static_cast<int>(text.size());
  const int size = ::MultiByteToWideChar(CP_UTF8, 0, text.data(), length, nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(size), L'\0');
  ::MultiByteToWideChar(CP_UTF8, 0, text.data(), length, wide.data(), size);
  return wide;
}

std::vector<std::string> Arguments(int, char**) {
  int count = 0;
  wchar_t** wide = ::CommandLineToArgvW(::GetCommandLineW(), &count);
  std::vector<std::string> arguments;
  for (int i = 1; wide != nullptr && i < count; ++i) arguments.push_back(Utf8FromWide(wide[i]));
  if (wide != nullptr) ::LocalFree(wide);
  return arguments;
}

// The configuration file is read in the system's 8-bit code page; a character
// that has no exact form there would arrive as something else.
std::optional<std::string> FileText(const std::string& utf8) {
  if (utf8.empty()) return utf8;
  const int length = static_cast<int>(utf8.size());
  const int wideSize = ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), length, nullptr, 0);
  if (wideSize == 0) return std::nullopt;
  std::wstring wide(static_cast<std::size_t>(wideSize), L'\0');
  ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), length, wide.data(), wideSize);
  BOOL lost = FALSE;
  const int size =
      ::WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(), wideSize, nullptr, 0, nullptr, &lost);
  if (size == 0 || lost) return std::nullopt;
  std::string text(static_cast<std::size_t>(size), '\0');
  ::WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(), wideSize, text.data(), size, nullptr, nullptr);
  return text;
}

std::filesystem::path ToolFolder() {
  std::wstring path(MAX_PATH, L'\0');
  DWORD length = ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
  while (length == path.size()) {
    path.resize(path.size() * 2);
    length = ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
  }
  path.resize(length);
  return std::filesystem::path(path).parent_path();
}
#else
std::vector<std::string> Arguments(int argc, char** argv) { return std::vector<std::string>(argv + 1, argv + argc); }

// Values go into the file byte for byte, in whatever 8-bit text they were given.
std::optional<std::string> FileText(const std::string& text) { return text; }

std::filesystem::path ToolFolder() {
  std::error_code ignored;
  return std::filesystem::read_symlink("/proc/self/exe", ignored).parent_path();
}
#endif

// Writes text (UTF-8) to standard output or error: through the wide-character
// API to a console, whose code page would garble other characters, and as
// UTF-8 bytes to a file or a pipe.
void Print(bool error, const std::string& text) {
#ifdef _WIN32
  const HANDLE handle = ::GetStdHandle(error ? STD_ERROR_HANDLE : STD_OUTPUT_HANDLE);
  DWORD mode = 0;
  DWORD written = 0;
  if (handle == nullptr || handle == INVALID_HANDLE_VALUE) return;
  if (::GetConsoleMode(handle, &mode) != FALSE) {
    const std::wstring wide = WideFromUtf8(text);
    ::WriteConsoleW(handle, wide.data(), static_cast<DWORD>(wide.size()), &written, nullptr);
  } else {
    ::WriteFile(handle, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
  }
#else
  std::fputs(text.c_str(), error ? stderr : stdout);
#endif
}

void PrintProblems(const std::vector<std::string>& problems) {
  for (const std::string& problem : problems) Print(true, "MakeSaver: " + problem + "\n");
}

std::string ReportLine(const tpl::maker::FileReport& report) {
  const std::string path = tpl::maker::TextOfPath(report.path);
  switch (report.action) {
    case tpl::maker::FileAction::Written: return "wrote " + path;
    case tpl::maker::FileAction::Replaced: return "replaced " + path;
    case tpl::maker::FileAction::Kept: return "kept " + path + " (the input itself)";
    case tpl::maker::FileAction::Removed: return "removed " + path + " (the old package's, not in the new one)";
  }
  return path;
}

// Set by Ctrl+C or a closed console: the writing stops and removes its temporary files.
std::atomic<bool> interrupted{false};

#ifdef _WIN32
tpl::UniqueHandle finished;  // set once the run has cleaned up

BOOL WINAPI OnConsoleControl(DWORD) {
  interrupted = true;
  // Windows ends the process when this returns (for a closed console, a few
  // seconds later at most): wait for the roll-back first.
  constexpr DWORD kCleanUpMs = 4000;
  if (finished) ::WaitForSingleObject(finished.Get(), kCleanUpMs);
  return TRUE;
}

void WatchForInterruption() {
  finished.Reset(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
  ::SetConsoleCtrlHandler(OnConsoleControl, TRUE);
}

void SignalFinished() {
  if (finished) ::SetEvent(finished.Get());
}
#else
void WatchForInterruption() {
  std::signal(SIGINT, [](int) { interrupted = true; });
}
void SignalFinished() {}
#endif

std::optional<std::string> ReadWholeFile(const std::filesystem::path& path) {
  std::ifstream file(path, std::ios::binary);
  if (!file) return std::nullopt;
  std::string bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  if (file.bad()) return std::nullopt;
  return bytes;
}

// install.cmd asks which player build is registered: prints its file version;
// exit code 3 for the builds that refuse to play, 1 when there is no version.
int PrintPlayerVersion(const std::string& fileText) {
  const std::optional<std::string> file = ReadWholeFile(tpl::maker::PathFromText(fileText));
  const std::optional<tpl::maker::FileVersion> version = file ? tpl::maker::ProgramFileVersion(*file) : std::nullopt;
  if (!version) {
    Print(true, "MakeSaver: '" + fileText + "' has no version resource\n");
    return kExitFailed;
  }
  Print(false, tpl::maker::FileVersionText(*version) + "\n");
  return tpl::maker::PlayerBuildRefusesContent(*version) ? kExitPlayerRefusesContent : kExitWritten;
}

int Run(int argc, char** argv) {
  const std::vector<std::string> arguments = Arguments(argc, argv);
  if (arguments.size() == 2 && arguments[0] == "--player-version") return PrintPlayerVersion(arguments[1]);
  const tpl::maker::ParsedArguments parsed = tpl::maker::ParseArguments(arguments, FileText);
  if (parsed.helpAsked) {
    Print(false, tpl::maker::UsageText());
    return kExitWritten;
  }
  if (!parsed.request) {
    PrintProblems(parsed.problems);
    Print(true, "MakeSaver: nothing was written (--help shows the usage)\n");
    return kExitRefused;
  }
  tpl::maker::SaverRequest request = *parsed.request;
  if (request.program.empty()) request.program = ToolFolder() / kProgramFileName;
  tpl::maker::WriteSettings settings;
  settings.interrupted = &interrupted;
  const tpl::maker::PackageResult result = tpl::maker::WriteSaverPackage(request, settings);
  if (result.outcome != tpl::maker::Outcome::Written) {
    PrintProblems(result.problems);
    Print(true, "MakeSaver: nothing was written\n");
    return result.outcome == tpl::maker::Outcome::Refused ? kExitRefused : kExitFailed;
  }
  for (const tpl::maker::FileReport& file : result.files) Print(false, ReportLine(file) + "\n");
  if (!result.leftOver.empty()) {
    PrintProblems(result.problems);
    return kExitFailed;
  }
  return kExitWritten;
}

}  // namespace

int main(int argc, char** argv) {
  WatchForInterruption();
  int exitCode = kExitFailed;
  try {
    exitCode = Run(argc, argv);
  } catch (const std::exception& error) {
    Print(true, std::string("MakeSaver: ") + error.what() + "\n");
  }
  SignalFinished();
  return exitCode;
}
