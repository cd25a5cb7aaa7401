#pragma once
// Writes a saver package from a checked request, all or nothing: every file is
// first written under a temporary name beside its place and checked (every
// byte written, the file closed, its size on disk), and only when all are
// written do they take their names. Any failure removes what was written and
// puts back what a replaced package had.

#include <atomic>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "make_saver/saver_request.h"

namespace tpl::maker {

enum class Outcome {
  Written,
  Refused,  // the input would make a broken package; nothing was touched
  Failed,   // a file could not be read or written; nothing of the new package is left
};

// What happened to one file of the package's folder.
enum class FileAction {
  Written,   // a new file
  Replaced,  // written over the old package's file of that name
  Kept,      // the input already was that file: used as it is
  Removed,   // the old package's file that the new package does not have
};

struct FileReport {
  std::filesystem::path path;
  FileAction action = FileAction::Written;
};

struct PackageResult {
  Outcome outcome = Outcome::Written;
  std::vector<std::string> problems;
  std::vector<FileReport> files;  // the package's files, program copy first, then what was removed
  // Old files moved aside that could not be deleted (the reason in `problems`): the
  // package is written, but these are left over.
  std::vector<std::filesystem::path> leftOver;
};

// A file being written. Every call reports what really happened, so that a full
// disk or a failing close is never taken for a written file.
class OutputFile {
 public:
  virtual ~OutputFile() = default;
  // The number of bytes written; fewer than given when writing failed.
  virtual std::size_t Write(std::string_view bytes) = 0;
  // Empty, or why the file could not be completed.
  virtual std::string Close() = 0;
  // Why the last write stopped short, or empty.
  [[nodiscard]] virtual std::string WriteError() const = 0;
};

// Creates and deletes the files of a package: the file system itself, or a test's stand-in.
class FileCreator {
 public:
  virtual ~FileCreator() = default;
  // The created (emptied) file, or null with the reason in `error`.
  virtual std::unique_ptr<OutputFile> Create(const std::filesystem::path& path, std::string& error) = 0;
  // Deletes a file; false with the reason when it stays (a running program's file on Windows).
  virtual bool Remove(const std::filesystem::path& path, std::error_code& error);
};

// Creates real files through the C library (wide paths on Windows).
[[nodiscard]] FileCreator& SystemFileCreator();

struct WriteSettings {
  FileCreator* creator = nullptr;                  // the file system when null
  const std::atomic<bool>* interrupted = nullptr;  // set to stop and roll back (Ctrl+C)
};

// The longest program path Windows starts a saver from, in characters.
inline constexpr std::size_t kLongestProgramPath = 259;
// What the tool appends to a package file's name while it writes or replaces it.
inline constexpr std::string_view kTemporarySuffix = ".partial";
inline constexpr std::string_view kReplacedSuffix = ".replaced";

[[nodiscard]] PackageResult WriteSaverPackage(const SaverRequest& request, const WriteSettings& settings = {});

// The package's file names with an extension: .scr, .c1, .swf, .bmp, .c2.
[[nodiscard]] std::vector<std::filesystem::path> PackagePaths(const SaverRequest& request);

}  // namespace tpl::maker
