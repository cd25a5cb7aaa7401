#include "package/player_detection.h"

#include <windows.h>

#include <utility>
#include <vector>

#include "common/registry.h"
#include "common/store_layout.h"

namespace tpl {
namespace {

// Older players shipped under this name; only their version 5 hosts our movies.
constexpr std::string_view kOldPlayerFileName = "swflash.ocx";
constexpr int kUsableOldPlayerMajorVersion = 5;

bool EndsInOldPlayerFileName(const std::string& serverPath) {
  const std::size_t n = kOldPlayerFileName.size();
  std::string tail = serverPath.size() > n ? serverPath.substr(serverPath.size() - n) : serverPath;
  ::CharLowerBuffA(tail.data(), static_cast<DWORD>(tail.size()));
  return tail == kOldPlayerFileName;
}

bool IsUsableServer(const std::string& serverPath) {
  if (serverPath.empty() || !FileExists(serverPath)) return false;
  if (!EndsInOldPlayerFileName(serverPath)) return true;
  return FileMajorVersion(serverPath) == kUsableOldPlayerMajorVersion;
}

// A player path as stored: a REG_EXPAND_SZ value (such as
// "%SystemRoot%\System32\Macromed\Flash\Flash.ocx", as installers register
// it) is expanded before the file is looked for.
std::string PlayerPath(HKEY root, std::string_view keyPath, std::string_view valueName) {
  RegistryText stored = ReadRegistryText(root, keyPath, valueName);
  return stored.expandable ? ExpandEnvironmentText(stored.text) : std::move(stored.text);
}

}  // namespace

bool FileExists(const std::string& path) {
  const DWORD attributes = ::GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

int FileMajorVersion(const std::string& path) {
  DWORD ignored = 0;
  const DWORD size = ::GetFileVersionInfoSizeA(path.c_str(), &ignored);
  if (size == 0) return 0;
  std::vector<BYTE> data(size);
  if (!::GetFileVersionInfoA(path.c_str(), 0, size, data.data())) return 0;
  void* block = nullptr;
  UINT blockSize = 0;
  char root[] = "\\";
  if (!::VerQueryValueA(data.data(), root, &block, &blockSize) || block == nullptr ||
      blockSize < sizeof(VS_FIXEDFILEINFO)) {
    return 0;
  }
  const auto* info = static_cast<const VS_FIXEDFILEINFO*>(block);
  if (info->dwSignature != 0xFEEF04BD) return 0;
  return HIWORD(info->dwFileVersionMS);
}

bool DetectPlayer() {
  for (std::string_view classId : kPlayerClassIds) {
    const std::string key = "\\CLSID\\" + std::string(classId) + "\\InprocServer32";
    if (IsUsableServer(PlayerPath(HKEY_CLASSES_ROOT, key, ""))) return true;
  }
  const std::string overridePath = PlayerPath(HKEY_CURRENT_USER, kSaversKeyPath, kPlayerPathOverrideValue);
  if (!overridePath.empty() && FileExists(overridePath)) return true;
  return !ReadRegistryString(HKEY_CURRENT_USER, kSaversKeyPath, kPlayerPresentOverrideValue).empty();
}

}  // namespace tpl
