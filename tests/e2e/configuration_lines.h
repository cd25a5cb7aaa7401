#pragma once
// Configuration files for the end-to-end tests: every numbered line present
// (format version 3 reads them all), empty unless a test gives it a value.

#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

namespace tpl::e2e {

inline constexpr int kConfigurationLines = 31;

[[nodiscard]] std::vector<std::string> ConfigurationLines(std::initializer_list<std::pair<int, const char*>> values);

}  // namespace tpl::e2e
