// Runs a program on a desktop of its own with a screen of the given size:
//   on_virtual_desktop NAME WIDTHxHEIGHT PROGRAM [ARGUMENTS...]
// Under Wine a desktop named in HKCU\Software\Wine\Explorer\Desktops with a
// size is a virtual desktop: a window on the real screen whose display modes
// programs really change, which the real screen of a test run (Xvfb) refuses.
// The program inherits the standard handles; its exit code is returned.
// Each run gets a desktop of its own (the name with this process's id): a
// desktop outlives the programs on it, and whatever a crashed or killed
// program left in its mode must not become the next run's starting mode.
#include <windows.h>

#include <cstdio>
#include <string>

namespace {

// A Unix path as Wine's Z: drive shows it; anything else as given.
std::string WindowsPathOf(std::string path) {
  if (path.empty() || path[0] != '/') return path;
  std::string windowsPath = "Z:";
  for (const char c : path) windowsPath += c == '/' ? '\\' : c;
  return windowsPath;
}

std::string Quoted(const std::string& argument) {
  std::string quoted = "\"";
  quoted += argument;
  quoted += '"';
  return quoted;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4) {
    std::fprintf(stderr, "usage: on_virtual_desktop NAME WIDTHxHEIGHT PROGRAM [ARGUMENTS...]\n");
    return 2;
  }
  const std::string name = std::string(argv[1]) + "-" + std::to_string(::GetCurrentProcessId());
  const std::string size = argv[2];
  HKEY desktops = nullptr;
  if (::RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Wine\\Explorer\\Desktops", 0, nullptr, 0, KEY_SET_VALUE,
                        nullptr, &desktops, nullptr) != ERROR_SUCCESS ||
      ::RegSetValueExA(desktops, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(size.c_str()),
                       static_cast<DWORD>(size.size() + 1)) != ERROR_SUCCESS) {
    std::fprintf(stderr, "on_virtual_desktop: cannot record the desktop's size\n");
    return 2;
  }
  ::RegCloseKey(desktops);

  std::string commandLine = Quoted(WindowsPathOf(argv[3]));
  for (int i = 4; i < argc; ++i) {
    commandLine += ' ';
    commandLine += Quoted(argv[i]);
  }
  STARTUPINFOA startup{};
  startup.cb = sizeof(startup);
  startup.lpDesktop = const_cast<char*>(name.c_str());
  PROCESS_INFORMATION process{};
  if (!::CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                        &process)) {
    std::fprintf(stderr, "on_virtual_desktop: cannot start %s (error %lu)\n", commandLine.c_str(), ::GetLastError());
    return 2;
  }
  ::CloseHandle(process.hThread);
  ::WaitForSingleObject(process.hProcess, INFINITE);
  DWORD exitCode = 1;
  ::GetExitCodeProcess(process.hProcess, &exitCode);
  ::CloseHandle(process.hProcess);
  return static_cast<int>(exitCode);
}
