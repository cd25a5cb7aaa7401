#include "control_state.h"

#include <cstring>
#include <string_view>

namespace tpl::player {
namespace {

constexpr std::uint8_t kMagic[4] = {'T', 'P', 'L', 'S'};
constexpr std::uint16_t kVersion = 1;
constexpr std::uint8_t kLoopFlag = 0x01;
constexpr std::uint8_t kMenuFlag = 0x02;

void PutUint(std::vector<std::uint8_t>& out, std::uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

void PutText(std::vector<std::uint8_t>& out, const std::string& text) {
  PutUint(out, static_cast<std::uint32_t>(text.size()), 4);
  out.insert(out.end(), text.begin(), text.end());
}

// Reads the body front to back; any read past its end spoils the whole read.
class BodyReader {
 public:
  explicit BodyReader(std::span<const std::uint8_t> data) : data_(data) {}

  std::uint32_t Uint(int bytes) {
    if (!Has(static_cast<std::size_t>(bytes))) return 0;
    std::uint32_t value = 0;
    for (int i = 0; i < bytes; ++i) value |= static_cast<std::uint32_t>(data_[position_++]) << (8 * i);
    return value;
  }

  std::string Text() {
    const std::uint32_t size = Uint(4);
    if (!Has(size)) return {};
    std::string text(reinterpret_cast<const char*>(data_.data() + position_), size);
    position_ += size;
    return text;
  }

  [[nodiscard]] bool Ok() const { return ok_; }

 private:
  bool Has(std::size_t count) {
    if (!ok_ || data_.size() - position_ < count) ok_ = false;
    return ok_;
  }

  std::span<const std::uint8_t> data_;
  std::size_t position_ = 0;
  bool ok_ = true;
};

}  // namespace

std::vector<std::uint8_t> EncodeState(const ControlState& state) {
  std::vector<std::uint8_t> body;
  PutUint(body, (state.loop ? kLoopFlag : 0u) | (state.menu ? kMenuFlag : 0u), 1);
  PutUint(body, static_cast<std::uint32_t>(state.extentWidth), 4);
  PutUint(body, static_cast<std::uint32_t>(state.extentHeight), 4);
  for (const std::string* text : {&state.windowMode, &state.quality, &state.scale, &state.flashVars, &state.movie}) {
    PutText(body, *text);
  }
  std::vector<std::uint8_t> out(std::begin(kMagic), std::end(kMagic));
  PutUint(out, kVersion, 2);
  PutUint(out, static_cast<std::uint32_t>(body.size()), 4);
  out.insert(out.end(), body.begin(), body.end());
  return out;
}

std::optional<std::uint32_t> StateBodySize(std::span<const std::uint8_t> header) {
  if (header.size() < kStateHeaderSize || std::memcmp(header.data(), kMagic, sizeof kMagic) != 0) return std::nullopt;
  BodyReader reader(header.subspan(sizeof kMagic));
  if (reader.Uint(2) != kVersion) return std::nullopt;
  const std::uint32_t size = reader.Uint(4);
  if (size > kMaxStateBodySize) return std::nullopt;
  return size;
}

std::optional<ControlState> DecodeStateBody(std::span<const std::uint8_t> body) {
  BodyReader reader(body);
  ControlState state;
  const std::uint32_t flags = reader.Uint(1);
  state.loop = (flags & kLoopFlag) != 0;
  state.menu = (flags & kMenuFlag) != 0;
  state.extentWidth = static_cast<std::int32_t>(reader.Uint(4));
  state.extentHeight = static_cast<std::int32_t>(reader.Uint(4));
  for (std::string* text : {&state.windowMode, &state.quality, &state.scale, &state.flashVars, &state.movie}) {
    *text = reader.Text();
  }
  if (!reader.Ok()) return std::nullopt;
  return state;
}

}  // namespace tpl::player
