#include "package/configuration_file.h"

#include <windows.h>

#include <vector>

#include "common/system_error.h"
#include "common/win_handles.h"

namespace tpl {
namespace {

constexpr DWORD kConfigurationReadChunk = 64 * 1024;

}  // namespace

void LoadSaverConfiguration(const std::string& configurationPath, SaverConfiguration& configuration) {
  configuration = SaverConfiguration();
  const UniqueFile file(::CreateFileA(configurationPath.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                      nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
  if (!file) throw WindowsError("Cannot open the configuration file \"" + configurationPath + "\"", ::GetLastError());

  SaverConfigurationReader reader(configuration);
  std::vector<char> chunk(kConfigurationReadChunk);
  for (;;) {
    DWORD received = 0;
    if (!::ReadFile(file.Get(), chunk.data(), kConfigurationReadChunk, &received, nullptr)) {
      throw WindowsError("Cannot read the configuration file \"" + configurationPath + "\"", ::GetLastError());
    }
    if (received == 0) break;
    if (!reader.Feed(std::string_view(chunk.data(), received))) break;
  }
  reader.Finish();
}

}  // namespace tpl
