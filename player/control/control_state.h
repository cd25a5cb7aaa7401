#pragma once
// The control's persisted state: what IPersistStreamInit saves and loads.
// Our own small format, versioned so a later control can still read it:
//   "TPLS", UI16 version, UI32 body size, then the body: UI8 flags (bit 0
//   loop, bit 1 menu), SI32 extent width and height (HIMETRIC), and five
//   texts (UI32 byte count + UTF-8): window mode, quality, scale, FlashVars,
//   movie. All numbers little-endian. Portable: no Windows header.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace tpl::player {

struct ControlState {
  std::string windowMode = "Window";
  std::string quality = "High";
  std::string scale = "ShowAll";
  std::string flashVars;
  std::string movie;
  bool loop = true;
  bool menu = true;
  // 200 x 200 pixels at 96 dpi, in hundredths of a millimetre.
  std::int32_t extentWidth = 5292;
  std::int32_t extentHeight = 5292;
  friend bool operator==(const ControlState&, const ControlState&) = default;
};

inline constexpr std::size_t kStateHeaderSize = 10;
// Larger bodies are refused: no state of ours comes near it.
inline constexpr std::uint32_t kMaxStateBodySize = 1u << 20;

[[nodiscard]] std::vector<std::uint8_t> EncodeState(const ControlState& state);

// The body size a header announces; nothing when the header is not ours.
[[nodiscard]] std::optional<std::uint32_t> StateBodySize(std::span<const std::uint8_t> header);

// The state in a body; nothing when it is cut short or malformed.
[[nodiscard]] std::optional<ControlState> DecodeStateBody(std::span<const std::uint8_t> body);

}  // namespace tpl::player
