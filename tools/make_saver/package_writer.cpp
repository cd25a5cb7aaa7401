#include "make_saver/package_writer.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <functional>
#include <limits>
#include <system_error>

#include "make_saver/input_checks.h"

namespace tpl::maker {
namespace fs = std::filesystem;
namespace {

constexpr std::array<std::string_view, 5> kPackageExtensions = {".scr", ".c1", ".swf", ".bmp", ".c2"};
constexpr std::size_t kCopyChunk = 64 * 1024;
constexpr std::size_t kWholeFile = std::numeric_limits<std::size_t>::max();

fs::path WithSuffix(const fs::path& path, std::string_view suffix) {
  fs::path result = path;
  result += std::string(suffix);
  return result;
}

// Built by appending: gcc 12's -Wrestrict misreads "'" + text + "'" at -O3.
std::string Quoted(const fs::path& path) {
  std::string quoted(1, '\'');
  quoted += TextOfPath(path);
  quoted += '\'';
  return quoted;
}

std::string ErrorText(int error) { return std::generic_category().message(error); }

std::FILE* OpenFile(const fs::path& path, bool forWriting) {
#ifdef _WIN32
  return ::_wfopen(path.c_str(), forWriting ? L"wb" : L"rb");
#else
  return std::fopen(path.c_str(), forWriting ? "wb" : "rb");
#endif
}

bool IsFile(const fs::path& path) {
  std::error_code error;
  return fs::is_regular_file(path, error);
}

bool Exists(const fs::path& path) {
  std::error_code error;
  return fs::exists(fs::symlink_status(path, error));
}

bool SameFile(const fs::path& a, const fs::path& b) {
  std::error_code error;
  return IsFile(a) && IsFile(b) && fs::equivalent(a, b, error) && !error;
}

class StdioOutputFile final : public OutputFile {
 public:
  explicit StdioOutputFile(std::FILE* file) : file_(file) {}
  ~StdioOutputFile() override {
    if (file_ != nullptr) std::fclose(file_);
  }
  StdioOutputFile(const StdioOutputFile&) = delete;
  StdioOutputFile& operator=(const StdioOutputFile&) = delete;

  std::size_t Write(std::string_view bytes) override {
    errno = 0;
    const std::size_t written = std::fwrite(bytes.data(), 1, bytes.size(), file_);
    if (written < bytes.size()) writeError_ = ErrorText(errno != 0 ? errno : EIO);
    return written;
  }
  std::string Close() override {
    errno = 0;
    // Buffered bytes reach the disk only now: a full disk often shows here.
    const int result = std::fclose(file_);
    file_ = nullptr;
    return result == 0 ? std::string() : ErrorText(errno != 0 ? errno : EIO);
  }
  [[nodiscard]] std::string WriteError() const override { return writeError_; }

 private:
  std::FILE* file_;
  std::string writeError_;
};

class StdioFileCreator final : public FileCreator {
 public:
  std::unique_ptr<OutputFile> Create(const fs::path& path, std::string& error) override {
    errno = 0;
    std::FILE* file = OpenFile(path, true);
    if (file == nullptr) {
      error = ErrorText(errno != 0 ? errno : EIO);
      return nullptr;
    }
    return std::make_unique<StdioOutputFile>(file);
  }
};

// Problems found before anything is written: refused input, or files that could not be read.
struct CheckResult {
  std::vector<std::string> refused;
  std::vector<std::string> unreadable;
};

// The first `limit` bytes of a file and its size, or why it could not be read.
struct FileStart {
  std::string bytes;
  std::uint64_t size = 0;
  std::string error;
};

FileStart ReadStart(const fs::path& path, std::size_t limit) {
  FileStart start;
  std::error_code sizeError;
  start.size = fs::file_size(path, sizeError);
  errno = 0;
  std::FILE* file = OpenFile(path, false);
  if (file == nullptr || sizeError) {
    start.error = sizeError ? sizeError.message() : ErrorText(errno != 0 ? errno : EIO);
    if (file != nullptr) std::fclose(file);
    return start;
  }
  const std::size_t wanted = static_cast<std::size_t>(std::min<std::uint64_t>(limit, start.size));
  start.bytes.resize(wanted);
  const std::size_t read = std::fread(start.bytes.data(), 1, wanted, file);
  if (read < wanted)
    start.error = std::ferror(file) != 0 ? ErrorText(errno != 0 ? errno : EIO) : "the file ended early";
  std::fclose(file);
  return start;
}

using ContentCheck = std::function<std::string(std::string_view start, std::uint64_t size)>;

void CheckInput(const fs::path& path, std::string_view what, std::size_t limit, const ContentCheck& check,
                CheckResult& result) {
  const std::string named = std::string(what) + " " + Quoted(path);
  if (!IsFile(path)) {
    result.refused.push_back(named + " does not exist or is not a file");
    return;
  }
  const FileStart start = ReadStart(path, limit);
  if (!start.error.empty()) {
    result.unreadable.push_back("could not read " + named + ": " + start.error);
    return;
  }
  if (std::string problem = check(start.bytes, start.size); !problem.empty()) {
    result.refused.push_back(named + " " + problem);
  }
}

void CheckInputs(const SaverRequest& request, CheckResult& result) {
  CheckInput(
      request.program, "the program", kWholeFile,
      [](std::string_view file, std::uint64_t) { return ProgramProblem(file); }, result);
  CheckInput(request.movie, "the movie", kHeaderBytes, MovieHeaderProblem, result);
  if (!request.settingsPicture.empty()) {
    CheckInput(request.settingsPicture, "the settings picture", kHeaderBytes, BitmapProblem, result);
  }
  if (!request.settingsMovie.empty()) {
    CheckInput(request.settingsMovie, "the settings movie", kHeaderBytes, MovieHeaderProblem, result);
  }
}

fs::path PackagePath(const SaverRequest& request, std::string_view extension) {
  return request.outFolder / PathFromText(request.name + std::string(extension));
}

// One file of the package: its place, and the content that goes there.
struct PackageFile {
  fs::path target;
  fs::path copyFrom;     // set for the program and the movies
  std::string contents;  // the configuration file otherwise
  bool inPlace = false;  // the input is the target itself: nothing to write
};

std::vector<PackageFile> PackageFiles(const SaverRequest& request) {
  std::vector<PackageFile> files;
  files.push_back({PackagePath(request, ".scr"), request.program, {}});
  files.push_back({PackagePath(request, ".c1"), {}, ConfigurationFileText(request.values)});
  files.push_back({PackagePath(request, ".swf"), request.movie, {}});
  if (!request.settingsPicture.empty()) {
    files.push_back({PackagePath(request, ".bmp"), request.settingsPicture, {}});
  } else {
    files.push_back({PackagePath(request, ".c2"), request.settingsMovie, {}});
  }
  for (PackageFile& file : files) file.inPlace = !file.copyFrom.empty() && SameFile(file.copyFrom, file.target);
  return files;
}

bool IsInPlace(const std::vector<PackageFile>& files, const fs::path& target) {
  return std::any_of(files.begin(), files.end(),
                     [&](const PackageFile& file) { return file.inPlace && file.target == target; });
}

// The old files that go: every file of an existing package that is not an input
// used in place, also a settings file of the other kind (a leftover picture
// would hide a new settings movie). Refuses what is no saver's file.
std::vector<fs::path> CheckTargets(const SaverRequest& request, const std::vector<PackageFile>& files,
                                   std::vector<std::string>& problems) {
  std::error_code error;
  if (Exists(request.outFolder) && !fs::is_directory(request.outFolder, error)) {
    problems.push_back("the folder " + Quoted(request.outFolder) + " is a file, not a folder");
    return {};
  }
  const fs::path program = fs::absolute(PackagePath(request, ".scr"), error);
  const fs::path longest = WithSuffix(program, kReplacedSuffix);
  if (WindowsLength(TextOfPath(longest)) > kLongestProgramPath) {
    problems.push_back("the saver's path " + Quoted(program) + " is too long: an old copy is set aside as " +
                       Quoted(longest) + ", over the " + std::to_string(kLongestProgramPath) +
                       " characters Windows allows; choose a shorter name or folder");
  }
  const bool packageThere = IsFile(PackagePath(request, ".scr"));
  std::vector<fs::path> old;
  for (std::string_view extension : kPackageExtensions) {
    const fs::path target = PackagePath(request, extension);
    if (!Exists(target) || IsInPlace(files, target)) continue;
    if (!IsFile(target)) {
      problems.push_back(Quoted(target) + " is in the way and is not a file");
    } else if (!packageThere) {
      problems.push_back(Quoted(target) + " is there but belongs to no saver (there is no " +
                         Quoted(PackagePath(request, ".scr")) +
                         "); MakeSaver does not overwrite it: move it away, or give it as the input it is");
    } else if (!request.replace) {
      problems.push_back("a saver named '" + request.name + "' is already there (" + Quoted(target) +
                         "); --replace replaces it");
      return {};
    } else {
      old.push_back(target);
    }
  }
  return old;
}

class PackageTransaction {
 public:
  PackageTransaction(std::vector<PackageFile> files, const WriteSettings& settings)
      : files_(std::move(files)),
        creator_(settings.creator != nullptr ? *settings.creator : SystemFileCreator()),
        interrupted_(settings.interrupted) {}
  PackageTransaction(const PackageTransaction&) = delete;
  PackageTransaction& operator=(const PackageTransaction&) = delete;

  ~PackageTransaction() {
    if (!committed_) RollBack();
  }

  // Makes the folder and the folders above it that are missing.
  bool MakeFolder(const fs::path& folder, std::string& problem) {
    std::vector<fs::path> missing;
    for (fs::path path = folder; !path.empty() && !Exists(path); path = path.parent_path()) {
      missing.push_back(path);
      if (path == path.parent_path()) break;
    }
    for (auto it = missing.rbegin(); it != missing.rend(); ++it) {
      std::error_code error;
      if (!fs::create_directory(*it, error) && error) {
        return Fail("could not make the folder " + Quoted(*it) + ": " + error.message(), problem);
      }
      createdFolders_.push_back(*it);
    }
    return true;
  }

  // Writes every file under its temporary name.
  bool Stage(std::string& problem) {
    for (const PackageFile& file : files_) {
      if (file.inPlace) continue;
      const fs::path temporary = WithSuffix(file.target, kTemporarySuffix);
      staged_.push_back(temporary);
      if (!StageOne(file, temporary, problem)) return false;
    }
    return true;
  }

  // Moves `path` aside so that it can come back if the package is not completed.
  bool SetAside(const fs::path& path, std::string& problem) {
    std::error_code error;
    fs::rename(path, WithSuffix(path, kReplacedSuffix), error);
    if (error) return Fail("could not move the old " + Quoted(path) + " aside: " + error.message(), problem);
    setAside_.push_back(path);
    return true;
  }

  // Gives every staged file its name.
  bool Commit(std::string& problem) {
    std::size_t next = 0;
    for (const PackageFile& file : files_) {
      if (file.inPlace) continue;
      if (Interrupted()) return Fail("interrupted", problem);
      std::error_code error;
      fs::rename(staged_[next++], file.target, error);
      if (error) return Fail("could not name " + Quoted(file.target) + ": " + error.message(), problem);
      placed_.push_back(file.target);
    }
    committed_ = true;
    return true;
  }

  // Deletes what was set aside; what cannot go is listed with the reason.
  void DropSetAside(PackageResult& result) const {
    for (const fs::path& path : setAside_) {
      const fs::path aside = WithSuffix(path, kReplacedSuffix);
      std::error_code error;
      if (creator_.Remove(aside, error)) continue;
      // A read-only file is deleted once it may be written.
      std::error_code ignored;
      fs::permissions(aside, fs::perms::owner_write, fs::perm_options::add, ignored);
      if (creator_.Remove(aside, error)) continue;
      result.leftOver.push_back(aside);
      result.problems.push_back("could not delete the old " + Quoted(aside) + " (" + error.message() +
                                "; a running saver keeps its program file): delete it yourself once it is free");
    }
  }

  [[nodiscard]] const std::vector<fs::path>& SetAsideFiles() const { return setAside_; }

 private:
  static bool Fail(std::string message, std::string& problem) {
    problem = std::move(message);
    return false;
  }

  [[nodiscard]] bool Interrupted() const { return interrupted_ != nullptr && interrupted_->load(); }

  bool StageOne(const PackageFile& file, const fs::path& temporary, std::string& problem) {
    if (Interrupted()) return Fail("interrupted", problem);
    std::string error;
    const std::unique_ptr<OutputFile> out = creator_.Create(temporary, error);
    if (!out) return Fail("could not write " + Quoted(temporary) + ": " + error, problem);
    std::uint64_t total = 0;
    if (file.copyFrom.empty()) {
      if (!WriteAll(*out, file.contents, temporary, problem)) return false;
      total = file.contents.size();
    } else if (!CopyInto(*out, file.copyFrom, temporary, total, problem)) {
      return false;
    }
    if (std::string closeError = out->Close(); !closeError.empty()) {
      return Fail("could not write " + Quoted(temporary) + ": closing it failed: " + closeError, problem);
    }
    std::error_code sizeError;
    const std::uint64_t onDisk = fs::file_size(temporary, sizeError);
    if (sizeError || onDisk != total) {
      return Fail("could not write " + Quoted(temporary) + ": it holds " + (sizeError ? "?" : std::to_string(onDisk)) +
                      " of " + std::to_string(total) + " bytes",
                  problem);
    }
    return true;
  }

  static bool WriteAll(OutputFile& out, std::string_view bytes, const fs::path& temporary, std::string& problem) {
    const std::size_t written = out.Write(bytes);
    if (written == bytes.size()) return true;
    const std::string reason = out.WriteError().empty() ? std::string() : ": " + out.WriteError();
    return Fail("could not write " + Quoted(temporary) + ": " + std::to_string(written) + " of " +
                    std::to_string(bytes.size()) + " bytes written" + reason,
                problem);
  }

  bool CopyInto(OutputFile& out, const fs::path& source, const fs::path& temporary, std::uint64_t& total,
                std::string& problem) {
    errno = 0;
    std::FILE* in = OpenFile(source, false);
    if (in == nullptr) return Fail("could not read " + Quoted(source) + ": " + ErrorText(errno), problem);
    std::string buffer(kCopyChunk, '\0');
    bool done = true;
    while (done) {
      if (Interrupted()) {
        done = Fail("interrupted", problem);
        break;
      }
      const std::size_t read = std::fread(buffer.data(), 1, buffer.size(), in);
      if (read == 0) break;
      done = WriteAll(out, std::string_view(buffer.data(), read), temporary, problem);
      total += read;
    }
    if (done && std::ferror(in) != 0) done = Fail("could not read " + Quoted(source) + ": " + ErrorText(EIO), problem);
    std::fclose(in);
    return done;
  }

  void RollBack() {
    std::error_code ignored;
    for (const fs::path& path : placed_) fs::remove(path, ignored);
    for (const fs::path& path : staged_) fs::remove(path, ignored);
    for (const fs::path& path : setAside_) fs::rename(WithSuffix(path, kReplacedSuffix), path, ignored);
    // Only folders left empty go.
    for (auto it = createdFolders_.rbegin(); it != createdFolders_.rend(); ++it) fs::remove(*it, ignored);
  }

  std::vector<PackageFile> files_;
  FileCreator& creator_;
  const std::atomic<bool>* interrupted_;
  std::vector<fs::path> createdFolders_;
  std::vector<fs::path> staged_;
  std::vector<fs::path> placed_;
  std::vector<fs::path> setAside_;
  bool committed_ = false;
};

void ReportFiles(const std::vector<PackageFile>& files, const std::vector<fs::path>& setAside, PackageResult& result) {
  const auto wasSetAside = [&](const fs::path& path) {
    return std::find(setAside.begin(), setAside.end(), path) != setAside.end();
  };
  for (const PackageFile& file : files) {
    const FileAction action =
        file.inPlace ? FileAction::Kept : (wasSetAside(file.target) ? FileAction::Replaced : FileAction::Written);
    result.files.push_back({file.target, action});
  }
  for (const fs::path& path : setAside) {
    const bool isNew = std::any_of(files.begin(), files.end(), [&](const PackageFile& f) { return f.target == path; });
    if (!isNew) result.files.push_back({path, FileAction::Removed});
  }
}

}  // namespace

bool FileCreator::Remove(const fs::path& path, std::error_code& error) {
  return fs::remove(path, error) || !Exists(path);
}

FileCreator& SystemFileCreator() {
  static StdioFileCreator creator;
  return creator;
}

std::vector<fs::path> PackagePaths(const SaverRequest& request) {
  std::vector<fs::path> paths;
  for (std::string_view extension : kPackageExtensions) paths.push_back(PackagePath(request, extension));
  return paths;
}

PackageResult WriteSaverPackage(const SaverRequest& request, const WriteSettings& settings) {
  PackageResult result;
  CheckResult checked;
  CheckInputs(request, checked);
  const std::vector<PackageFile> files = PackageFiles(request);
  const std::vector<fs::path> old = CheckTargets(request, files, checked.refused);
  if (!checked.unreadable.empty() || !checked.refused.empty()) {
    // A file that cannot be read is a failure of the file system, not of the input.
    result.outcome = checked.unreadable.empty() ? Outcome::Refused : Outcome::Failed;
    result.problems = std::move(checked.unreadable);
    result.problems.insert(result.problems.end(), checked.refused.begin(), checked.refused.end());
    return result;
  }
  // Left by an interrupted run of this name: only this tool writes such names.
  for (const fs::path& path : PackagePaths(request)) {
    std::error_code ignored;
    if (IsFile(WithSuffix(path, kTemporarySuffix))) fs::remove(WithSuffix(path, kTemporarySuffix), ignored);
  }
  PackageTransaction transaction(files, settings);
  std::string problem;
  bool done = transaction.MakeFolder(request.outFolder, problem) && transaction.Stage(problem);
  for (const fs::path& path : old) {
    if (done) done = transaction.SetAside(path, problem);
  }
  if (done) done = transaction.Commit(problem);
  if (!done) {
    result.outcome = Outcome::Failed;
    result.problems.push_back(problem);
    return result;
  }
  ReportFiles(files, transaction.SetAsideFiles(), result);
  transaction.DropSetAside(result);
  return result;
}

}  // namespace tpl::maker
