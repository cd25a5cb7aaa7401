#pragma once
// Reading the package's configuration file from disk.

#include <string>

#include "package/saver_configuration.h"

namespace tpl {

// Fills the configuration from its defaults and the file at the path, reading
// no further than the format version asks. Throws a WindowsError naming the
// file when it cannot be opened or read.
void LoadSaverConfiguration(const std::string& configurationPath, SaverConfiguration& configuration);

}  // namespace tpl
