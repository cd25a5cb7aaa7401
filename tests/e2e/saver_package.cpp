#include "e2e/saver_package.h"

#include <cstdint>
#include <stdexcept>

namespace tpl::e2e {
namespace {

void AppendLittleEndian(std::string& bytes, std::uint32_t value, int size) {
  for (int i = 0; i < size; ++i) {
    bytes.push_back(static_cast<char>(value & 0xFFu));
    value >>= 8;
  }
}

// A 1 x 1 pixel, 24-bit Windows bitmap file.
std::string TinyBitmapFile() {
  constexpr std::uint32_t kHeaderBytes = 14 + 40;
  constexpr std::uint32_t kPixelBytes = 4;  // one pixel, padded to a whole DWORD
  std::string bytes = "BM";
  AppendLittleEndian(bytes, kHeaderBytes + kPixelBytes, 4);
  AppendLittleEndian(bytes, 0, 4);
  AppendLittleEndian(bytes, kHeaderBytes, 4);
  AppendLittleEndian(bytes, 40, 4);  // BITMAPINFOHEADER
  AppendLittleEndian(bytes, 1, 4);   // width
  AppendLittleEndian(bytes, 1, 4);   // height
  AppendLittleEndian(bytes, 1, 2);   // planes
  AppendLittleEndian(bytes, 24, 2);  // bits per pixel
  AppendLittleEndian(bytes, 0, 4);   // BI_RGB
  AppendLittleEndian(bytes, kPixelBytes, 4);
  AppendLittleEndian(bytes, 2835, 4);
  AppendLittleEndian(bytes, 2835, 4);
  AppendLittleEndian(bytes, 0, 4);
  AppendLittleEndian(bytes, 0, 4);
  bytes += std::string("\x40\x80\xC0\x00", 4);
  return bytes;
}

// Only the player ever reads a movie; the start-up checks just need the file.
std::string PlaceholderMovie() { return std::string("FWS\x06\x10\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00", 16); }

void Lay(const std::string& path, Entry entry, const std::string& content) {
  switch (entry) {
    case Entry::Missing: return;
    case Entry::File: testing::WriteFileBytes(path, content); return;
    case Entry::Folder:
      if (!::CreateDirectoryA(path.c_str(), nullptr)) {
        throw std::runtime_error("CreateDirectory " + path + " (error " + std::to_string(::GetLastError()) + ")");
      }
      return;
  }
}

}  // namespace

std::string BuiltProgramPath() { return testing::WindowsPathOf(TEMPLATE_EXE_UNIX_PATH); }

SaverPackage::SaverPackage(std::string_view name, const PackageLayout& layout,
                           const std::vector<std::string>& configurationLines)
    : programPath_(folder_.File(std::string(name) + ".scr")), baseName_(folder_.File(name)) {
  testing::CopyFileOrFail(BuiltProgramPath(), programPath_);
  std::string configuration;
  for (const std::string& line : configurationLines) configuration += line + "\r\n";
  Lay(ConfigurationPath(), layout.configuration, configuration);
  Lay(SaverMoviePath(), layout.saverMovie, PlaceholderMovie());
  Lay(SettingsPicturePath(), layout.settingsPicture, TinyBitmapFile());
  Lay(SettingsMoviePath(), layout.settingsMovie, PlaceholderMovie());
}

ExclusiveFileLock::ExclusiveFileLock(const std::string& path)
    : file_(::CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr)) {
  if (file_ == INVALID_HANDLE_VALUE) {
    throw std::runtime_error("cannot lock " + path + " (error " + std::to_string(::GetLastError()) + ")");
  }
}

ExclusiveFileLock::~ExclusiveFileLock() {
  if (file_ != INVALID_HANDLE_VALUE) ::CloseHandle(file_);
}

}  // namespace tpl::e2e
