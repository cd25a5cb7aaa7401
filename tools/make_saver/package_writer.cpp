#include "make_saver/package_writer.h"

#include <array>
#include <fstream>
#include <system_error>

namespace tpl::maker {
namespace fs = std::filesystem;
namespace {

constexpr std::string_view kTemporarySuffix = ".partial";
constexpr std::string_view kReplacedSuffix = ".replaced";
constexpr std::array<std::string_view, 5> kPackageExtensions = {".scr", ".c1", ".swf", ".bmp", ".c2"};

// The first bytes a file of each kind starts with.
constexpr std::array<std::string_view, 3> kMovieSignatures = {"FWS", "CWS", "ZWS"};
constexpr std::string_view kBitmapSignature = "BM";
constexpr std::string_view kProgramSignature = "MZ";

fs::path WithSuffix(const fs::path& path, std::string_view suffix) {
  fs::path result = path;
  result += std::string(suffix);
  return result;
}

std::string Quoted(const fs::path& path) {
  std::string quoted(1, '\'');
  quoted += TextOfPath(path);
  quoted += '\'';
  return quoted;
}

std::string FileStart(const fs::path& path, std::size_t length) {
  std::ifstream file(path, std::ios::binary);
  std::string start(length, '\0');
  file.read(start.data(), static_cast<std::streamsize>(length));
  start.resize(static_cast<std::size_t>(file.gcount()));
  return start;
}

bool IsFile(const fs::path& path) {
  std::error_code error;
  return fs::is_regular_file(path, error);
}

// Why an input file cannot go into the package, or empty.
std::string InputProblem(const fs::path& path, std::string_view what, std::string_view kind,
                         const std::vector<std::string_view>& signatures) {
  if (!IsFile(path)) return std::string(what) + " " + Quoted(path) + " does not exist or is not a file";
  const std::string start = FileStart(path, signatures.front().size());
  for (std::string_view signature : signatures) {
    if (start == signature) return {};
  }
  return std::string(what) + " " + Quoted(path) + " is not " + std::string(kind);
}

// One file of the package: its place, and the content that goes there.
struct PackageFile {
  fs::path target;
  fs::path copyFrom;       // set for the program and the movies
  std::string contents;    // the configuration file otherwise
};

class PackageTransaction {
 public:
  explicit PackageTransaction(std::vector<PackageFile> files) : files_(std::move(files)) {}
  PackageTransaction(const PackageTransaction&) = delete;
  PackageTransaction& operator=(const PackageTransaction&) = delete;

  ~PackageTransaction() {
    if (!committed_) RollBack();
  }

  // Writes every file under its temporary name.
  bool Stage(std::string& problem) {
    for (const PackageFile& file : files_) {
      const fs::path temporary = WithSuffix(file.target, kTemporarySuffix);
      staged_.push_back(temporary);
      if (!StageOne(file, temporary, problem)) return false;
    }
    return true;
  }

  // Moves `path` aside so that it can come back if the package is not completed.
  bool SetAside(const fs::path& path, std::string& problem) {
    std::error_code error;
    const fs::path aside = WithSuffix(path, kReplacedSuffix);
    fs::rename(path, aside, error);
    if (error) return Fail("could not move the old " + Quoted(path) + " aside: " + error.message(), problem);
    setAside_.push_back(path);
    return true;
  }

  // Gives every staged file its name, then drops what was set aside.
  bool Commit(std::string& problem) {
    for (std::size_t i = 0; i < files_.size(); ++i) {
      std::error_code error;
      fs::rename(staged_[i], files_[i].target, error);
      if (error) return Fail("could not write " + Quoted(files_[i].target) + ": " + error.message(), problem);
      placed_.push_back(files_[i].target);
    }
    committed_ = true;
    for (const fs::path& path : setAside_) {
      std::error_code ignored;
      fs::remove(WithSuffix(path, kReplacedSuffix), ignored);
    }
    return true;
  }

 private:
  static bool Fail(std::string message, std::string& problem) {
    problem = std::move(message);
    return false;
  }

  static bool StageOne(const PackageFile& file, const fs::path& temporary, std::string& problem) {
    std::error_code error;
    if (!file.copyFrom.empty()) {
      fs::copy_file(file.copyFrom, temporary, fs::copy_options::overwrite_existing, error);
      if (error) return Fail("could not copy " + Quoted(file.copyFrom) + ": " + error.message(), problem);
      return true;
    }
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    out.write(file.contents.data(), static_cast<std::streamsize>(file.contents.size()));
    out.close();
    if (!out) return Fail("could not write " + Quoted(temporary), problem);
    return true;
  }

  void RollBack() {
    std::error_code ignored;
    for (const fs::path& path : placed_) fs::remove(path, ignored);
    for (const fs::path& path : staged_) fs::remove(path, ignored);
    for (const fs::path& path : setAside_) fs::rename(WithSuffix(path, kReplacedSuffix), path, ignored);
  }

  std::vector<PackageFile> files_;
  std::vector<fs::path> staged_;
  std::vector<fs::path> placed_;
  std::vector<fs::path> setAside_;
  bool committed_ = false;
};

fs::path PackagePath(const SaverRequest& request, std::string_view extension) {
  return request.outFolder / PathFromText(request.name + std::string(extension));
}

void CheckInputs(const SaverRequest& request, std::vector<std::string>& problems) {
  const auto check = [&problems](std::string problem) {
    if (!problem.empty()) problems.push_back(std::move(problem));
  };
  const std::vector<std::string_view> movie(kMovieSignatures.begin(), kMovieSignatures.end());
  check(InputProblem(request.program, "the program", "a Windows program", {kProgramSignature}));
  check(InputProblem(request.movie, "the movie", "a Flash movie", movie));
  if (!request.settingsPicture.empty()) {
    check(InputProblem(request.settingsPicture, "the settings picture", "a Windows bitmap", {kBitmapSignature}));
  }
  if (!request.settingsMovie.empty()) {
    check(InputProblem(request.settingsMovie, "the settings movie", "a Flash movie", movie));
  }
}

void CheckTargets(const SaverRequest& request, std::vector<std::string>& problems) {
  std::error_code error;
  if (!fs::is_directory(request.outFolder, error)) {
    problems.push_back("the folder " + Quoted(request.outFolder) + " does not exist");
    return;
  }
  const fs::path program = fs::absolute(PackagePath(request, ".scr"), error);
  if (TextOfPath(program).size() > kLongestProgramPath) {
    problems.push_back("the saver's path " + Quoted(program) + " is longer than " +
                       std::to_string(kLongestProgramPath) + " characters, too long for Windows to start it");
  }
  for (std::string_view extension : kPackageExtensions) {
    const fs::path target = PackagePath(request, extension);
    if (!fs::exists(target, error)) continue;
    if (!IsFile(target)) {
      problems.push_back(Quoted(target) + " is in the way and is not a file");
    } else if (!request.replace) {
      problems.push_back("a saver named '" + request.name + "' is already there (" + Quoted(target) +
                         "); --replace replaces it");
      return;
    }
  }
}

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
  return files;
}

}  // namespace

PackageResult WriteSaverPackage(const SaverRequest& request) {
  PackageResult result;
  CheckInputs(request, result.problems);
  CheckTargets(request, result.problems);
  if (!result.problems.empty()) {
    result.outcome = Outcome::Refused;
    return result;
  }
  std::vector<PackageFile> files = PackageFiles(request);
  PackageTransaction transaction(files);
  std::string problem;
  bool done = transaction.Stage(problem);
  // Every file of an old package goes, also a settings file of the other kind:
  // a leftover picture would hide a new settings movie.
  for (std::string_view extension : kPackageExtensions) {
    const fs::path old = PackagePath(request, extension);
    if (done && IsFile(old)) done = transaction.SetAside(old, problem);
  }
  if (done) done = transaction.Commit(problem);
  if (!done) {
    result.outcome = Outcome::Failed;
    result.problems.push_back(problem);
    return result;
  }
  for (const PackageFile& file : files) result.written.push_back(file.target);
  return result;
}

}  // namespace tpl::maker
