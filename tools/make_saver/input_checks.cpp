#include "make_saver/input_checks.h"

#include <algorithm>

#include "saver/saver_resources.h"
#include "settings/settings_resources.h"

namespace tpl::maker {
namespace {

std::uint32_t Little(std::string_view bytes, std::size_t offset, std::size_t size) {
  std::uint32_t value = 0;
  for (std::size_t i = size; i-- > 0;) value = (value << 8) | static_cast<unsigned char>(bytes[offset + i]);
  return value;
}

// Reads little-endian numbers at offsets that may lie outside the bytes.
class ByteReader {
 public:
  explicit ByteReader(std::string_view bytes) : bytes_(bytes) {}
  [[nodiscard]] bool Has(std::uint64_t offset, std::uint64_t size) const {
    return offset <= bytes_.size() && size <= bytes_.size() - offset;
  }
  [[nodiscard]] std::optional<std::uint32_t> U16(std::uint64_t offset) const { return Number(offset, 2); }
  [[nodiscard]] std::optional<std::uint32_t> U32(std::uint64_t offset) const { return Number(offset, 4); }

 private:
  [[nodiscard]] std::optional<std::uint32_t> Number(std::uint64_t offset, std::size_t size) const {
    if (!Has(offset, size)) return std::nullopt;
    return Little(bytes_, static_cast<std::size_t>(offset), size);
  }
  std::string_view bytes_;
};

// The SWF header: signature, version, then the uncompressed length. A compressed
// movie also needs its compression's own header: zlib's 2 bytes, or LZMA's
// 4-byte compressed length and 5 bytes of properties.
constexpr std::size_t kSwfHeader = 8;
constexpr std::size_t kZlibHeader = 2;
constexpr std::size_t kLzmaHeader = 9;

// The BMP file header and the sizes of the info headers Windows reads.
constexpr std::size_t kBitmapFileHeader = 14;
constexpr std::array<std::uint32_t, 6> kBitmapInfoSizes = {12, 40, 52, 56, 108, 124};
constexpr std::uint32_t kUncompressed = 0;
constexpr std::uint32_t kBitFields = 3;

// Portable executable layout.
constexpr std::size_t kNewHeaderOffset = 0x3C;
constexpr std::size_t kFileHeaderSize = 20;
constexpr std::uint32_t kFileIsExecutable = 0x0002;
constexpr std::uint32_t kFileIsDll = 0x2000;
constexpr std::uint32_t kPe32Magic = 0x10B;
constexpr std::uint32_t kPe32PlusMagic = 0x20B;
constexpr std::size_t kResourceDirectoryIndex = 2;
constexpr std::size_t kSectionHeaderSize = 40;
constexpr std::uint32_t kSubdirectoryBit = 0x80000000U;
constexpr std::uint32_t kResourceTypeBitmap = 2;
constexpr std::uint32_t kResourceTypeRcData = 10;
constexpr std::uint32_t kResourceTypeVersion = 16;
constexpr std::uint32_t kFixedFileInfoSignature = 0xFEEF04BDU;

// The resource tree of a Windows program file, found through its sections.
class ProgramResources {
 public:
  explicit ProgramResources(std::string_view file) : file_(file), reader_(file) {}

  // Why the file is no Windows program at all, or empty; reads the resource tree's place.
  std::string Load() {
    if (file_.substr(0, 2) != "MZ") return "is not a Windows program";
    const std::uint32_t pe = reader_.U32(kNewHeaderOffset).value_or(0);
    if (!reader_.Has(pe, 4) || file_.substr(pe, 4) != std::string_view("PE\0\0", 4)) {
      return "is not a Windows program";
    }
    const std::uint64_t fileHeader = std::uint64_t{pe} + 4;
    const auto sections = reader_.U16(fileHeader + 2);
    const auto optionalSize = reader_.U16(fileHeader + 16);
    const auto characteristics = reader_.U16(fileHeader + 18);
    const std::uint64_t optional = fileHeader + kFileHeaderSize;
    const auto magic = reader_.U16(optional);
    if (!sections || !optionalSize || !characteristics || !magic) return "is a damaged Windows program";
    characteristics_ = *characteristics;
    if (*magic != kPe32Magic && *magic != kPe32PlusMagic) return "is a damaged Windows program";
    const std::uint64_t directories = optional + (*magic == kPe32Magic ? 96 : 112);
    const auto directoryCount = reader_.U32(optional + (*magic == kPe32Magic ? 92 : 108));
    if (!directoryCount || *directoryCount <= kResourceDirectoryIndex) return {};
    resourceRva_ = reader_.U32(directories + kResourceDirectoryIndex * 8).value_or(0);
    sectionTable_ = optional + *optionalSize;
    sectionCount_ = *sections;
    if (resourceRva_ != 0) resourceStart_ = FileOffset(resourceRva_);
    return {};
  }

  [[nodiscard]] bool IsLibrary() const { return (characteristics_ & kFileIsDll) != 0; }
  [[nodiscard]] bool IsExecutable() const { return (characteristics_ & kFileIsExecutable) != 0; }

  // The bytes of the first resource of this type and numeric id, in any language.
  [[nodiscard]] std::optional<std::string_view> Find(std::uint32_t type, std::optional<std::uint32_t> id) const {
    if (!resourceStart_) return std::nullopt;
    std::optional<std::uint32_t> entry = Entry(0, type);
    if (!entry || (*entry & kSubdirectoryBit) == 0) return std::nullopt;
    entry = id ? Entry(*entry & ~kSubdirectoryBit, *id) : Entry(*entry & ~kSubdirectoryBit, std::nullopt);
    if (!entry || (*entry & kSubdirectoryBit) == 0) return std::nullopt;
    entry = Entry(*entry & ~kSubdirectoryBit, std::nullopt);  // the first language
    if (!entry || (*entry & kSubdirectoryBit) != 0) return std::nullopt;
    const auto dataRva = reader_.U32(*resourceStart_ + *entry);
    const auto dataSize = reader_.U32(*resourceStart_ + *entry + 4);
    if (!dataRva || !dataSize) return std::nullopt;
    const std::optional<std::uint64_t> data = FileOffset(*dataRva);
    if (!data || !reader_.Has(*data, *dataSize)) return std::nullopt;
    return file_.substr(static_cast<std::size_t>(*data), *dataSize);
  }

 private:
  // The file offset of a relative virtual address, through the section that holds it.
  [[nodiscard]] std::optional<std::uint64_t> FileOffset(std::uint32_t rva) const {
    for (std::uint32_t i = 0; i < sectionCount_; ++i) {
      const std::uint64_t header = sectionTable_ + std::uint64_t{i} * kSectionHeaderSize;
      const auto virtualSize = reader_.U32(header + 8);
      const auto virtualAddress = reader_.U32(header + 12);
      const auto rawSize = reader_.U32(header + 16);
      const auto rawOffset = reader_.U32(header + 20);
      if (!virtualSize || !virtualAddress || !rawSize || !rawOffset) return std::nullopt;
      const std::uint32_t size = std::max(*virtualSize, *rawSize);
      if (rva >= *virtualAddress && rva - *virtualAddress < size) {
        return std::uint64_t{*rawOffset} + (rva - *virtualAddress);
      }
    }
    return std::nullopt;
  }

  // The offset field of the directory entry with this numeric id (or the first entry).
  [[nodiscard]] std::optional<std::uint32_t> Entry(std::uint32_t directory, std::optional<std::uint32_t> id) const {
    const std::uint64_t start = *resourceStart_ + directory;
    const auto named = reader_.U16(start + 12);
    const auto numbered = reader_.U16(start + 14);
    if (!named || !numbered) return std::nullopt;
    for (std::uint32_t i = 0; i < *named + *numbered; ++i) {
      const std::uint64_t entry = start + 16 + std::uint64_t{i} * 8;
      const auto name = reader_.U32(entry);
      const auto offset = reader_.U32(entry + 4);
      if (!name || !offset) return std::nullopt;
      if (!id || (i >= *named && *name == *id)) return offset;
    }
    return std::nullopt;
  }

  std::string_view file_;
  ByteReader reader_;
  std::uint32_t characteristics_ = 0;
  std::uint32_t resourceRva_ = 0;
  std::uint64_t sectionTable_ = 0;
  std::uint32_t sectionCount_ = 0;
  std::optional<std::uint64_t> resourceStart_;
};

}  // namespace

std::string MovieHeaderProblem(std::string_view start, std::uint64_t fileSize) {
  const std::string_view signature = start.substr(0, 3);
  if (signature != "FWS" && signature != "CWS" && signature != "ZWS") return "is not a Flash movie";
  if (fileSize < kSwfHeader || start.size() < kSwfHeader) return "ends inside its header";
  if (start[3] == 0) return "has no version number in its header";
  const std::uint32_t length = Little(start, 4, 4);
  if (signature == "FWS") {
    if (length != fileSize) {
      return "is damaged: its header gives a length of " + std::to_string(length) + " bytes, the file has " +
             std::to_string(fileSize);
    }
    return {};
  }
  if (length < kSwfHeader) return "is damaged: its header gives an impossible length";
  const std::size_t compressionHeader = signature == "CWS" ? kZlibHeader : kLzmaHeader;
  if (fileSize < kSwfHeader + compressionHeader) return "ends inside its header";
  return {};
}

std::string BitmapProblem(std::string_view start, std::uint64_t fileSize) {
  const ByteReader bytes(start);
  if (start.substr(0, 2) != "BM") return "is not a Windows bitmap";
  const auto pixelOffset = bytes.U32(10);
  const auto infoSize = bytes.U32(kBitmapFileHeader);
  if (!pixelOffset || !infoSize) return "ends inside its header";
  if (std::find(kBitmapInfoSizes.begin(), kBitmapInfoSizes.end(), *infoSize) == kBitmapInfoSizes.end()) {
    return "has a bitmap header of an unknown kind";
  }
  if (!bytes.Has(kBitmapFileHeader, *infoSize) || fileSize < kBitmapFileHeader + *infoSize) {
    return "ends inside its header";
  }
  const bool core = *infoSize == 12;
  // The old core header has unsigned 16-bit sizes; the others signed 32-bit ones (a negative height: top-down).
  const auto size = [&](std::size_t coreOffset, std::size_t offset) -> std::int64_t {
    if (core) return bytes.U16(coreOffset).value_or(0);
    return static_cast<std::int32_t>(bytes.U32(offset).value_or(0));
  };
  const std::int64_t width = size(18, 18);
  const std::int64_t height = size(20, 22);
  const std::uint32_t planes = bytes.U16(core ? 22 : 26).value_or(0);
  const std::uint32_t bitCount = bytes.U16(core ? 24 : 28).value_or(0);
  const std::uint32_t compression = core ? kUncompressed : bytes.U32(30).value_or(0);
  if (width <= 0 || height == 0 || planes != 1) return "has no picture size in its header";
  if (bitCount != 1 && bitCount != 4 && bitCount != 8 && bitCount != 16 && bitCount != 24 && bitCount != 32) {
    return "has " + std::to_string(bitCount) + " bits per pixel, which Windows does not read";
  }
  if (*pixelOffset < kBitmapFileHeader + *infoSize || *pixelOffset >= fileSize) return "has no pixels";
  if (compression == kUncompressed || compression == kBitFields) {
    const std::uint64_t rowBytes = (static_cast<std::uint64_t>(width) * bitCount + 31) / 32 * 4;
    const std::uint64_t rows = static_cast<std::uint64_t>(height < 0 ? -height : height);
    if (fileSize - *pixelOffset < rowBytes * rows) return "is cut short: its pixels are not all there";
  }
  return {};
}

std::string ProgramProblem(std::string_view file) {
  ProgramResources resources(file);
  if (std::string problem = resources.Load(); !problem.empty()) return problem;
  if (resources.IsLibrary()) return "is a library (DLL), not a program";
  if (!resources.IsExecutable()) return "is not an executable Windows program";
  // The key-hint picture and the settings dialog's pictures are this program's own.
  if (!resources.Find(kResourceTypeRcData, IDR_SAVER_KEY_HINT) ||
      !resources.Find(kResourceTypeBitmap, IDB_SCALE_SHOW_ALL)) {
    return "is a Windows program, but not the saver program (it lacks the saver's resources)";
  }
  return {};
}

std::string FileVersionText(const FileVersion& version) {
  return std::to_string(version[0]) + "." + std::to_string(version[1]) + "." + std::to_string(version[2]) + "." +
         std::to_string(version[3]);
}

bool PlayerBuildRefusesContent(const FileVersion& version) {
  constexpr std::uint16_t kFirstRefusing = 387;
  constexpr std::uint16_t kLastOfficial = 465;
  return version[0] == 32 && version[1] == 0 && version[2] == 0 && version[3] >= kFirstRefusing &&
         version[3] <= kLastOfficial;
}

std::optional<FileVersion> ProgramFileVersion(std::string_view file) {
  ProgramResources resources(file);
  if (!resources.Load().empty()) return std::nullopt;
  const std::optional<std::string_view> data = resources.Find(kResourceTypeVersion, std::nullopt);
  if (!data) return std::nullopt;
  // The fixed part follows the root block's key, aligned to 4 bytes; its signature marks it.
  const ByteReader bytes(*data);
  for (std::size_t offset = 0; bytes.Has(offset, 16); offset += 4) {
    if (bytes.U32(offset) != kFixedFileInfoSignature) continue;
    const std::uint32_t high = bytes.U32(offset + 8).value_or(0);
    const std::uint32_t low = bytes.U32(offset + 12).value_or(0);
    return FileVersion{static_cast<std::uint16_t>(high >> 16), static_cast<std::uint16_t>(high & 0xFFFF),
                       static_cast<std::uint16_t>(low >> 16), static_cast<std::uint16_t>(low & 0xFFFF)};
  }
  return std::nullopt;
}

std::size_t WindowsLength(std::string_view utf8) {
  std::size_t length = 0;
  for (const char c : utf8) {
    const auto byte = static_cast<unsigned char>(c);
    if ((byte & 0xC0) == 0x80) continue;  // a continuation byte
    length += byte >= 0xF0 ? 2 : 1;       // beyond the basic plane: a surrogate pair
  }
  return length;
}

}  // namespace tpl::maker
