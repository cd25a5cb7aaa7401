#include "package/saver_configuration.h"

#include "common/integer_text.h"

namespace tpl {
namespace {

constexpr char kLineFeed = '\n';
constexpr char kCarriageReturn = '\r';
constexpr char kEndOfFileMark = '\x1A';

}  // namespace

SaverConfigurationReader::SaverConfigurationReader(SaverConfiguration& configuration) : configuration_(configuration) {}

std::string* SaverConfigurationReader::FieldForLine(std::uint32_t line) {
  if (line == 1) return &versionLine_;
  for (const ConfigurationFileLine& entry : kConfigurationFileLines) {
    if (entry.number == line) return &(configuration_.*entry.field);
  }
  return nullptr;  // 2, 3, 11, 13 and everything after 31 are ignored
}

void SaverConfigurationReader::BeginLine() {
  atLineStart_ = false;
  target_ = FieldForLine(lineNumber_);
  if (target_ != nullptr) target_->clear();
}

void SaverConfigurationReader::EndLine() {
  if (lineNumber_ == 1) {
    formatVersion_ = ParseIntegerText(versionLine_).value_or(1);
    versionLine_ = std::string();  // may have been long; its value is all we need
  }
  const bool stop = (formatVersion_ == 1 && lineNumber_ == 5) || (formatVersion_ == 2 && lineNumber_ == 24);
  target_ = nullptr;
  atLineStart_ = true;
  if (stop) {
    done_ = true;
    return;
  }
  // Past the last numbered line the count no longer matters; keep it from wrapping.
  if (lineNumber_ <= 31) ++lineNumber_;
}

bool SaverConfigurationReader::Feed(std::string_view bytes) {
  std::size_t i = 0;
  while (i < bytes.size() && !done_) {
    if (pendingCarriageReturn_) {
      pendingCarriageReturn_ = false;
      if (bytes[i] == kLineFeed) {
        ++i;
        EndLine();
        continue;
      }
      // A lone CR is dropped from the line; the byte after it is read as usual.
    }
    if (atLineStart_) {
      if (bytes[i] == kEndOfFileMark) {
        done_ = true;
        break;
      }
      BeginLine();
    }
    // Copy the run of ordinary bytes up to the next CR or LF in one step.
    std::size_t end = i;
    while (end < bytes.size() && bytes[end] != kLineFeed && bytes[end] != kCarriageReturn) ++end;
    if (target_ != nullptr) target_->append(bytes.data() + i, end - i);
    i = end;
    if (i == bytes.size()) break;
    if (bytes[i] == kCarriageReturn) {
      pendingCarriageReturn_ = true;
    } else {
      EndLine();
    }
    ++i;
  }
  return !done_;
}

void SaverConfigurationReader::Finish() {
  pendingCarriageReturn_ = false;
  if (!done_ && !atLineStart_) EndLine();
  done_ = true;
}

SaverConfiguration ParseSaverConfiguration(std::string_view fileContents) {
  SaverConfiguration configuration;
  SaverConfigurationReader reader(configuration);
  reader.Feed(fileContents);
  reader.Finish();
  return configuration;
}

}  // namespace tpl
