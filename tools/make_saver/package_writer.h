#pragma once
// Writes a saver package from a checked request, all or nothing: every file is
// first written under a temporary name beside its place, and only when all are
// written do they take their names. Any failure removes what was written and
// puts back what a replaced package had.

#include <filesystem>
#include <string>
#include <vector>

#include "make_saver/saver_request.h"

namespace tpl::maker {

enum class Outcome {
  Written,
  Refused,  // the input would make a broken package; nothing was touched
  Failed,   // the file system failed; nothing is left half-written
};

struct PackageResult {
  Outcome outcome = Outcome::Written;
  std::vector<std::string> problems;
  std::vector<std::filesystem::path> written;  // the package's files, program copy first
};

// The longest program path Windows starts a saver from.
inline constexpr std::size_t kLongestProgramPath = 259;

[[nodiscard]] PackageResult WriteSaverPackage(const SaverRequest& request);

}  // namespace tpl::maker
