// Reads arbitrary bytes as a configuration file, whole and in pieces. The first
// input byte chooses where the file is cut; every way of feeding it must give
// the same configuration and format version as reading it in one piece, and
// the fixed values must never change.

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "fuzz_check.h"
#include "package/saver_configuration.h"
#include "saver_configuration_fields.h"

namespace {

using tpl::SaverConfiguration;
using tpl::SaverConfigurationReader;

struct Result {
  SaverConfiguration configuration;
  std::int32_t formatVersion = 0;
};

// Feeds pieces of at most pieceSize bytes, the first one firstPiece bytes long.
// With stopEarly the feeding ends as soon as the reader takes nothing more, as
// the loader does; without it the rest is fed all the same.
Result ReadInPieces(std::string_view file, std::size_t firstPiece, std::size_t pieceSize, bool stopEarly) {
  Result result;
  SaverConfigurationReader reader(result.configuration);
  std::size_t offset = 0;
  std::size_t length = firstPiece;
  while (offset < file.size()) {
    const bool more = reader.Feed(file.substr(offset, length));
    offset += length;
    length = pieceSize;
    if (stopEarly && !more) {
      FUZZ_CHECK(reader.Done());
      break;
    }
  }
  reader.Finish();
  FUZZ_CHECK(reader.Done());
  result.formatVersion = reader.FormatVersion();
  return result;
}

void CheckSame(const Result& actual, const Result& expected) {
  FUZZ_CHECK(tpl::test::FirstDifference(actual.configuration, expected.configuration) == nullptr);
  FUZZ_CHECK(actual.formatVersion == expected.formatVersion);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::string_view file(reinterpret_cast<const char*>(data + 1), size - 1);
  const std::size_t cut = file.size() * data[0] / 255;

  const Result whole = ReadInPieces(file, file.size(), file.size(), false);
  const SaverConfiguration parsed = tpl::ParseSaverConfiguration(file);
  FUZZ_CHECK(tpl::test::FirstDifference(parsed, whole.configuration) == nullptr);

  for (const tpl::test::ConfigurationField& field : tpl::test::kConfigurationFields) {
    if (field.line == tpl::test::kFixedValue) FUZZ_CHECK(whole.configuration.*field.member == field.defaultValue);
  }

  CheckSame(ReadInPieces(file, cut, file.size(), false), whole);
  CheckSame(ReadInPieces(file, cut, file.size(), true), whole);
  // Small pieces of a size also taken from the first byte, and byte by byte.
  CheckSame(ReadInPieces(file, cut % 7, data[0] % 13 + 1u, true), whole);
  CheckSame(ReadInPieces(file, 1, 1, false), whole);
  return 0;
}
