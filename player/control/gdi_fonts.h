#pragma once
// The system's fonts as the engine's device fonts: text fields that name no
// embedded font draw with the glyph outlines GDI gives for the face.

#include <map>
#include <memory>
#include <string>
#include <tuple>

#include "engine/text/text_field.h"

namespace tpl::player {

class GdiDeviceFonts final : public swf::DeviceFonts {
 public:
  // Never throws: a face or glyph the system cannot give draws nothing.
  std::shared_ptr<const swf::FontDefinition> Font(std::string_view face, bool bold, bool italic,
                                                  std::span<const std::uint32_t> characters) override;

 private:
  using Key = std::tuple<std::string, bool, bool>;
  std::map<Key, std::shared_ptr<const swf::FontDefinition>> fonts_;
};

}  // namespace tpl::player
