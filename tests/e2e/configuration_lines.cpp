#include "e2e/configuration_lines.h"

namespace tpl::e2e {

// Built from whole strings moved into place: assigning a literal to an empty
// string trips a false -Wrestrict alarm of GCC 12 here.
std::vector<std::string> ConfigurationLines(std::initializer_list<std::pair<int, const char*>> values) {
  std::vector<std::string> lines;
  lines.reserve(kConfigurationLines);
  lines.emplace_back("3");
  lines.resize(kConfigurationLines);
  for (const auto& [number, text] : values) lines[static_cast<std::size_t>(number - 1)] = std::string(text);
  return lines;
}

}  // namespace tpl::e2e
