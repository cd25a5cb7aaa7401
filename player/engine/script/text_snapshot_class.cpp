// TextSnapshot: the characters of the static text a clip shows, as scripts
// count, read, search, select and hit-test them; and MovieClip's
// getTextSnapshot, which makes one through the global constructor.

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "text/text_field.h"
#include "vm.h"

namespace swf {

namespace {

constexpr const char* kClipSlot = "__snapshotClip";
constexpr const char* kSelectionSlot = "__snapshotSelected";

std::vector<StaticGlyph> GlyphsOf(Vm& vm, Object* self) {
  if (!self) return {};
  const Property* clip = vm.FindOwn(self, kClipSlot);
  auto* const* object = clip ? std::get_if<Object*>(&clip->value) : nullptr;
  if (!object || (*object)->kind != ObjectKind::Clip) return {};
  return vm.Host().StaticTextOf(*object);
}

std::string TextOf(const std::vector<StaticGlyph>& glyphs, std::size_t from, std::size_t to) {
  std::string text;
  for (std::size_t i = from; i < to && i < glyphs.size(); ++i) AppendUtf8(text, glyphs[i].code);
  return text;
}

std::u16string Utf16Of(std::string_view text) {
  std::u16string units;
  for (const std::uint32_t point : CodePoints(text)) {
    if (point >= 0x10000) {
      units += static_cast<char16_t>(0xD800 + ((point - 0x10000) >> 10));
      units += static_cast<char16_t>(0xDC00 + ((point - 0x10000) & 0x3FFu));
    } else {
      units += static_cast<char16_t>(point);
    }
  }
  return units;
}

char16_t Fold(char16_t ch) { return ch >= 'A' && ch <= 'Z' ? static_cast<char16_t>(ch - 'A' + 'a') : ch; }

// Which characters a script selected: one '1' or '0' a character.
std::string SelectionOf(Vm& vm, Object* self, std::size_t count) {
  const Property* kept = vm.FindOwn(self, kSelectionSlot);
  const auto* text = kept ? std::get_if<SharedText>(&kept->value) : nullptr;
  std::string selection = text ? text->str() : std::string();
  selection.resize(count, '0');
  return selection;
}

// A [start, end) range of the snapshot's characters from two script numbers.
bool RangeOf(Vm& vm, std::span<const Value> args, std::size_t count, std::size_t& from, std::size_t& to) {
  const double start = vm.ToNum(Arg(args, 0));
  const double end = vm.ToNum(Arg(args, 1));
  if (std::isnan(start) || std::isnan(end) || count == 0) return false;
  from = static_cast<std::size_t>(std::clamp(std::floor(start), 0.0, static_cast<double>(count)));
  to = static_cast<std::size_t>(std::clamp(std::floor(end), static_cast<double>(from), static_cast<double>(count)));
  return true;
}

// The snapshot's methods are enumerable members of its prototype, which
// version-5 movies list but cannot read (until they set their own).
void Method(Vm& vm, Object* proto, std::string_view name, NativeFunction fn) {
  vm.Define(proto, name, Value{vm.NewNative(std::move(fn))}, kVersion6);
}

void InstallMethods(Vm& vm, Object* proto) {
  Method(vm, proto, "getCount", [](Vm& v, Object* self, std::span<const Value> args) -> Value {
    if (!args.empty()) return Undefined{};
    return static_cast<double>(GlyphsOf(v, self).size());
  });
  Method(vm, proto, "setSelected", [](Vm& v, Object* self, std::span<const Value> args) -> Value {
    if (!self || args.size() < 3) return Undefined{};
    const std::vector<StaticGlyph> glyphs = GlyphsOf(v, self);
    std::size_t from = 0, to = 0;
    if (!RangeOf(v, args, glyphs.size(), from, to)) return Undefined{};
    std::string selection = SelectionOf(v, self, glyphs.size());
    std::fill(selection.begin() + static_cast<std::ptrdiff_t>(from), selection.begin() + static_cast<std::ptrdiff_t>(to),
              v.ToBool(args[2]) ? '1' : '0');
    v.Define(self, kSelectionSlot, Value{selection}, kDontEnum);
    return Undefined{};
  });
  Method(vm, proto, "getSelected", [](Vm& v, Object* self, std::span<const Value> args) -> Value {
    if (!self || args.size() < 2) return Undefined{};
    const std::vector<StaticGlyph> glyphs = GlyphsOf(v, self);
    std::size_t from = 0, to = 0;
    if (!RangeOf(v, args, glyphs.size(), from, to)) return false;
    const std::string selection = SelectionOf(v, self, glyphs.size());
    return selection.find('1', from) < std::max(to, from + 1);
  });
  Method(vm, proto, "getText", [](Vm& v, Object* self, std::span<const Value> args) -> Value {
    if (args.size() < 2) return Undefined{};
    const std::vector<StaticGlyph> glyphs = GlyphsOf(v, self);
    std::size_t from = 0, to = 0;
    if (!RangeOf(v, args, glyphs.size(), from, to)) return std::string();
    return TextOf(glyphs, from, std::max(to, from + 1));
  });
  Method(vm, proto, "getSelectedText", [](Vm& v, Object* self, std::span<const Value>) -> Value {
    if (!self) return Undefined{};
    const std::vector<StaticGlyph> glyphs = GlyphsOf(v, self);
    const std::string selection = SelectionOf(v, self, glyphs.size());
    std::string text;
    for (std::size_t i = 0; i < glyphs.size(); ++i) {
      if (selection[i] == '1') AppendUtf8(text, glyphs[i].code);
    }
    return text;
  });
  // The character whose box holds the point (the clip's pixels), or the
  // nearest within `closeDistance` pixels; -1 when none.
  Method(vm, proto, "hitTestTextNearPos", [](Vm& v, Object* self, std::span<const Value> args) -> Value {
    if (args.size() < 2) return Undefined{};
    const double x = v.ToNum(args[0]) * 20, y = v.ToNum(args[1]) * 20;
    const double close = args.size() > 2 ? v.ToNum(args[2]) * 20 : 0;
    if (!std::isfinite(x) || !std::isfinite(y)) return -1.0;
    const std::vector<StaticGlyph> glyphs = GlyphsOf(v, self);
    double best = std::isfinite(close) ? std::max(0.0, close) : 0;
    double found = -1;
    for (std::size_t i = 0; i < glyphs.size(); ++i) {
      const StaticGlyph& g = glyphs[i];
      const double dx = std::max({g.x - x, 0.0, x - (g.x + g.width)});
      const double dy = std::max({g.y - g.height - y, 0.0, y - g.y});
      const double distance = std::hypot(dx, dy);
      if (distance <= best && (found < 0 || distance < best)) {
        best = distance;
        found = static_cast<double>(i);
      }
    }
    return found;
  });
  // findText(start, text, caseSensitive): the index of the first match at or after start, else -1.
  Method(vm, proto, "findText", [](Vm& v, Object* self, std::span<const Value> args) -> Value {
    if (args.size() != 3) return Undefined{};
    const double start = v.ToNum(args[0]);
    const std::u16string wanted = Utf16Of(v.ToStr(args[1]));
    const bool exact = v.ToBool(args[2]);
    const std::vector<StaticGlyph> glyphs = GlyphsOf(v, self);
    if (wanted.empty() || !(start >= 0) || start >= static_cast<double>(glyphs.size())) return -1.0;
    const auto same = [exact](char16_t a, char16_t b) { return exact ? a == b : Fold(a) == Fold(b); };
    for (std::size_t i = static_cast<std::size_t>(start); i + wanted.size() <= glyphs.size(); ++i) {
      std::size_t k = 0;
      while (k < wanted.size() && same(static_cast<char16_t>(glyphs[i + k].code), wanted[k])) ++k;
      if (k == wanted.size()) return static_cast<double>(i);
    }
    return -1.0;
  });
  Method(vm, proto, "setSelectColor", [](Vm&, Object*, std::span<const Value>) -> Value { return Undefined{}; });
  Method(vm, proto, "getTextRunInfo", [](Vm& v, Object* self, std::span<const Value> args) -> Value {
    if (args.size() < 2) return Undefined{};
    const std::vector<StaticGlyph> glyphs = GlyphsOf(v, self);
    std::vector<Value> runs;
    std::size_t from = 0, to = 0;
    if (RangeOf(v, args, glyphs.size(), from, to)) {
      const std::string selection = SelectionOf(v, self, glyphs.size());
      for (std::size_t i = from; i < std::min(to + 1, glyphs.size()); ++i) {
        Object* info = v.NewPlain();
        v.SetMember(info, "indexInRun", static_cast<double>(i));
        v.SetMember(info, "selected", selection[i] == '1');
        v.SetMember(info, "height", glyphs[i].height / 20);
        v.SetMember(info, "corner0x", glyphs[i].x / 20);
        v.SetMember(info, "corner0y", glyphs[i].y / 20);
        runs.emplace_back(info);
      }
    }
    return Value{v.NewArray(std::move(runs))};
  });
}

}  // namespace

void InstallTextSnapshotClass(Vm& vm) {
  Object* proto = vm.NewPlain();
  // new TextSnapshot(clip): the snapshot of that clip's static text.
  Object* constructor = vm.NewNative(
      [](Vm& v, Object* self, std::span<const Value> args) -> Value {
        if (!self) return Undefined{};
        const Value target = Arg(args, 0);
        if (auto* const* clip = std::get_if<Object*>(&target); clip && (*clip)->kind == ObjectKind::Clip) {
          v.Define(self, kClipSlot, Value{*clip}, kDontEnum);
        }
        return Undefined{};
      },
      true);
  vm.Define(constructor, "prototype", Value{proto}, kDontEnum | kDontDelete);
  vm.Define(proto, "constructor", Value{constructor}, kDontEnum);
  vm.Define(vm.Global(), "TextSnapshot", Value{constructor});
  InstallMethods(vm, proto);
  // A clip's snapshot is made by whatever _global.TextSnapshot is then.
  vm.DefineMethod(vm.clipProto_, "getTextSnapshot", [](Vm& v, Object* self, std::span<const Value>) -> Value {
    if (!self || self->kind != ObjectKind::Clip) return Undefined{};
    const Value made = v.GetMember(v.Global(), "TextSnapshot");
    const Value clip{self};
    return v.Construct(made, std::span<const Value>(&clip, 1));
  });
}

}  // namespace swf
