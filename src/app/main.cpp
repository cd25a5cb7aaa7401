// Program entry. Start-up and the chosen mode run inside RunStartup; nothing
// may escape from here into the C runtime, so every error ends with exit code 1.

#include <windows.h>

#include "app/startup.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  try {
    return tpl::RunStartup(::GetCommandLineA());
  } catch (...) {
    return 1;
  }
}
