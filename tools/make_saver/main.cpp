// MakeSaver: makes a saver package from a movie, as the authoring tool does.
// Exit codes: 0 written, 1 the file system failed, 2 refused input or usage.
#include <cstdio>
#include <exception>
#include <string>
#include <vector>

#include "make_saver/package_writer.h"
#include "make_saver/saver_request.h"

#ifdef _WIN32
#include <windows.h>
#include <shellapi.h>
#endif

namespace {

constexpr int kExitWritten = 0;
constexpr int kExitFailed = 1;
constexpr int kExitRefused = 2;
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
  const int size = ::WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(), wideSize, nullptr, 0, nullptr, &lost);
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

void PrintProblems(const std::vector<std::string>& problems) {
  for (const std::string& problem : problems) std::fprintf(stderr, "MakeSaver: %s\n", problem.c_str());
}

int Run(int argc, char** argv) {
  const tpl::maker::ParsedArguments parsed = tpl::maker::ParseArguments(Arguments(argc, argv), FileText);
  if (parsed.helpAsked) {
    std::fputs(tpl::maker::UsageText().c_str(), stdout);
    return kExitWritten;
  }
  if (!parsed.request) {
    PrintProblems(parsed.problems);
    std::fputs("MakeSaver: nothing was written (--help shows the usage)\n", stderr);
    return kExitRefused;
  }
  tpl::maker::SaverRequest request = *parsed.request;
  if (request.program.empty()) request.program = ToolFolder() / kProgramFileName;
  const tpl::maker::PackageResult result = tpl::maker::WriteSaverPackage(request);
  if (result.outcome != tpl::maker::Outcome::Written) {
    PrintProblems(result.problems);
    std::fputs("MakeSaver: nothing was written\n", stderr);
    return result.outcome == tpl::maker::Outcome::Refused ? kExitRefused : kExitFailed;
  }
  for (const std::filesystem::path& file : result.written) {
    std::printf("wrote %s\n", tpl::maker::TextOfPath(file).c_str());
  }
  return kExitWritten;
}

}  // namespace

int main(int argc, char** argv) {
  try {
    return Run(argc, argv);
  } catch (const std::exception& error) {
    std::fprintf(stderr, "MakeSaver: %s\n", error.what());
    return kExitFailed;
  }
}
