#include "package/package_files.h"

namespace tpl {

std::string ExeBaseName(std::string_view programPath) {
  constexpr std::size_t kExtensionLength = 4;
  if (programPath.size() <= kExtensionLength) return {};
  return std::string(programPath.substr(0, programPath.size() - kExtensionLength));
}

PackagePaths PackagePathsFor(std::string_view baseName) {
  const std::string base(baseName);
  return PackagePaths{base + ".c1", base + ".swf", base + ".bmp", base + ".c2"};
}

}  // namespace tpl
