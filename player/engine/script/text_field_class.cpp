// TextField, TextFormat and Button: the display objects that are no movie
// clips, and MovieClip's createTextField, getInstanceAtDepth and geometry
// methods that need the display side.

#include <algorithm>
#include <cmath>
#include <optional>
#include <vector>

#include "geom.h"
#include "swf_text.h"
#include "text/text_field.h"
#include "vm.h"

namespace swf {

namespace {

bool IsDisplayObject(Object* self) { return self && self->kind == ObjectKind::Clip; }

Value OptionalNumber(const std::optional<double>& value) { return value ? Value{*value} : Value{Null{}}; }
Value OptionalText(const std::optional<std::string>& value) { return value ? Value{*value} : Value{Null{}}; }
Value OptionalBool(const std::optional<bool>& value) { return value ? Value{*value} : Value{Null{}}; }

// A TextFormat object's members as the format data (null or undefined
// leaves a member unset).
TextFormatData FormatFromObject(Vm& vm, Object* object) {
  TextFormatData f;
  if (!object) return f;
  const auto member = [&](std::string_view name) -> std::optional<Value> {
    Value value = vm.GetMember(object, name);
    if (std::holds_alternative<Undefined>(value) || std::holds_alternative<Null>(value)) return std::nullopt;
    return value;
  };
  const auto text = [&](std::string_view name, std::optional<std::string>& into) {
    if (auto v = member(name)) into = vm.ToStr(*v);
  };
  // Sizes, margins and the like are whole numbers, cut toward zero.
  const auto number = [&](std::string_view name, std::optional<double>& into) {
    if (auto v = member(name)) into = static_cast<double>(ToInt32(vm.ToNum(*v)));
  };
  const auto flag = [&](std::string_view name, std::optional<bool>& into) {
    if (auto v = member(name)) into = vm.ToBool(*v);
  };
  text("font", f.font);
  text("url", f.url);
  text("target", f.target);
  if (auto v = member("align")) {
    const std::string align = vm.ToStr(*v);
    const std::string lower = LowerAscii(align);
    if (lower == "left" || lower == "right" || lower == "center" || lower == "justify") f.align = lower;
  }
  if (auto v = member("display")) {
    const std::string display = vm.ToStr(*v);
    f.display = display == "inline" || display == "none" ? display : "block";
  }
  number("size", f.size);
  number("leftMargin", f.leftMargin);
  number("rightMargin", f.rightMargin);
  number("indent", f.indent);
  number("leading", f.leading);
  number("blockIndent", f.blockIndent);
  if (auto v = member("letterSpacing")) {
    const double n = vm.ToNum(*v);
    if (std::isfinite(n)) f.letterSpacing = n;
  }
  if (auto v = member("color")) {
    const double n = vm.ToNum(*v);
    f.color = static_cast<std::uint32_t>(ToInt32(n));
  }
  flag("bold", f.bold);
  flag("italic", f.italic);
  flag("underline", f.underline);
  flag("bullet", f.bullet);
  flag("kerning", f.kerning);
  // Tab stops: the elements of an array as whole pixels (a bounded number of them).
  if (auto v = member("tabStops"); v && std::holds_alternative<Object*>(*v)) {
    Object* list = std::get<Object*>(*v);
    if (list && list->kind == ObjectKind::Array) {
      constexpr std::size_t kMaxTabStops = 256;
      const std::vector<Value> elements = list->elements;  // kept: conversions may run scripts
      std::vector<double> stops;
      for (std::size_t i = 0; i < elements.size() && i < kMaxTabStops; ++i) {
        stops.push_back(static_cast<double>(ToInt32(vm.ToNum(elements[i]))));
      }
      f.tabStops = std::move(stops);
    }
  }
  return f;
}

void WriteFormat(Vm& vm, Object* object, const TextFormatData& f) {
  vm.SetMember(object, "font", OptionalText(f.font));
  vm.SetMember(object, "size", OptionalNumber(f.size));
  vm.SetMember(object, "color", f.color ? Value{static_cast<double>(*f.color)} : Value{Null{}});
  vm.SetMember(object, "bold", OptionalBool(f.bold));
  vm.SetMember(object, "italic", OptionalBool(f.italic));
  vm.SetMember(object, "underline", OptionalBool(f.underline));
  vm.SetMember(object, "url", OptionalText(f.url));
  vm.SetMember(object, "target", OptionalText(f.target));
  vm.SetMember(object, "align", OptionalText(f.align));
  vm.SetMember(object, "leftMargin", OptionalNumber(f.leftMargin));
  vm.SetMember(object, "rightMargin", OptionalNumber(f.rightMargin));
  vm.SetMember(object, "indent", OptionalNumber(f.indent));
  vm.SetMember(object, "leading", OptionalNumber(f.leading));
  vm.SetMember(object, "blockIndent", OptionalNumber(f.blockIndent));
  if (f.tabStops) {
    std::vector<Value> stops(f.tabStops->begin(), f.tabStops->end());
    vm.SetMember(object, "tabStops", Value{vm.NewArray(std::move(stops))});
  } else {
    vm.SetMember(object, "tabStops", Null{});
  }
  vm.SetMember(object, "bullet", OptionalBool(f.bullet));
  if (vm.Version() >= 8) {
    vm.SetMember(object, "kerning", OptionalBool(f.kerning));
    vm.SetMember(object, "letterSpacing", OptionalNumber(f.letterSpacing));
  }
  vm.SetMember(object, "display", OptionalText(f.display));
}

Object* NewTextFormat(Vm& vm, const TextFormatData& f) {
  Object* object = vm.NewObject(ObjectKind::Plain, vm.textFormatProto_);
  WriteFormat(vm, object, f);
  return object;
}

// What a field keeps of a format: no negative margins, indents or spacing.
TextFormatData FieldFormat(TextFormatData f) {
  for (std::optional<double>* member : {&f.leftMargin, &f.rightMargin, &f.indent, &f.leading, &f.blockIndent}) {
    if (*member) **member = std::max(0.0, **member);
  }
  return f;
}

TextField* FieldOf(Vm& vm, Object* self) { return IsDisplayObject(self) ? vm.Host().TextFieldOf(self) : nullptr; }

// The characters a format call names: none given means the whole text, one
// index that character, two a range; indexes are kept inside the text.
std::pair<int, int> FormatRange(Vm& vm, const TextField& field, std::span<const Value> args) {
  const int length = field.Utf16Length();
  const auto index = [&](const Value& value, int otherwise) {
    const double n = vm.ToNum(value);
    return std::isfinite(n) ? std::clamp(static_cast<int>(n), 0, length) : otherwise;
  };
  if (args.empty()) return {0, length};
  const int begin = index(args[0], 0);
  if (args.size() == 1) return {begin, std::min(begin + 1, length)};
  return {begin, std::max(begin, index(args[1], length))};
}

enum class FormatKind { Text, Integer, Margin, Color, Flag, Align, Display, Spacing, List };

struct FormatMember {
  const char* name;
  FormatKind kind;
};

constexpr FormatMember kFormatMembers[] = {
    {"font", FormatKind::Text},         {"size", FormatKind::Integer},       {"color", FormatKind::Color},
    {"bold", FormatKind::Flag},         {"italic", FormatKind::Flag},        {"underline", FormatKind::Flag},
    {"url", FormatKind::Text},          {"target", FormatKind::Text},        {"align", FormatKind::Align},
    {"leftMargin", FormatKind::Margin}, {"rightMargin", FormatKind::Margin}, {"indent", FormatKind::Margin},
    {"leading", FormatKind::Margin},    {"blockIndent", FormatKind::Margin}, {"tabStops", FormatKind::List},
    {"bullet", FormatKind::Flag},       {"kerning", FormatKind::Flag},       {"letterSpacing", FormatKind::Spacing},
    {"display", FormatKind::Display},
};

// A value written to a TextFormat member as the member keeps it; nullopt
// leaves the member as it was.
std::optional<Value> NormalizeFormatValue(Vm& vm, FormatKind kind, const Value& value) {
  const bool none = std::holds_alternative<Undefined>(value) || std::holds_alternative<Null>(value);
  // An align keeps its value; a display goes back to block.
  if (none && kind == FormatKind::Align) return std::nullopt;
  if (none && kind == FormatKind::Display) return Value{std::string("block")};
  if (none) return Value{Null{}};
  switch (kind) {
    case FormatKind::Text: return Value{vm.ToStr(value)};
    case FormatKind::Integer: return Value{static_cast<double>(ToInt32(vm.ToNum(value)))};
    case FormatKind::Margin: return Value{static_cast<double>(std::max(0, ToInt32(vm.ToNum(value))))};
    case FormatKind::Color: return Value{static_cast<double>(static_cast<std::uint32_t>(ToInt32(vm.ToNum(value))))};
    case FormatKind::Flag: return Value{vm.ToBool(value)};
    case FormatKind::Spacing: return Value{vm.ToNum(value)};
    case FormatKind::List: return value;
    case FormatKind::Align: {
      const std::string align = LowerAscii(vm.ToStr(value));
      if (align == "left" || align == "right" || align == "center" || align == "justify") return Value{align};
      return std::nullopt;
    }
    case FormatKind::Display: {
      const std::string display = vm.ToStr(value);
      return Value{display == "inline" || display == "none" ? display : std::string("block")};
    }
  }
  return std::nullopt;
}

// TextFormat members are properties of the prototype that keep each value in
// the form the format holds it (whole sizes, 32-bit colours, known aligns).
void DefineFormatMembers(Vm& vm, Object* proto) {
  for (const FormatMember& member : kFormatMembers) {
    const std::string slot = std::string("__format_") + member.name;
    const FormatKind kind = member.kind;
    Property property;
    property.name = member.name;
    property.flags = kDontEnum;
    property.getter = vm.NewNative([slot](Vm& v, Object* self, std::span<const Value>) -> Value {
      if (!self) return Undefined{};
      const Property* stored = v.FindOwn(self, slot);
      return stored ? stored->value : Value{Null{}};
    });
    property.setter = vm.NewNative([slot, kind](Vm& v, Object* self, std::span<const Value> args) -> Value {
      if (!self) return Undefined{};
      if (std::optional<Value> kept = NormalizeFormatValue(v, kind, Arg(args, 0))) {
        v.Define(self, slot, std::move(*kept), kDontEnum);
      }
      return Undefined{};
    });
    proto->properties.insert_or_assign(vm.Key(member.name), std::move(property));
  }
}

// new TextFormat(font, size, color, bold, italic, underline, url, target,
// align, leftMargin, rightMargin, indent, leading): unlike a later write,
// the constructor keeps negative margins.
Value ConstructTextFormat(Vm& vm, Object* self, std::span<const Value> args) {
  if (!self || self->kind != ObjectKind::Plain) return Undefined{};
  for (std::size_t i = 0; i < std::size(kFormatMembers); ++i) {
    const FormatMember& member = kFormatMembers[i];
    const std::string slot = std::string("__format_") + member.name;
    const FormatKind kind = member.kind == FormatKind::Margin ? FormatKind::Integer : member.kind;
    if (member.kind == FormatKind::Display) {
      vm.Define(self, slot, Value{std::string("block")}, kDontEnum);
      continue;
    }
    const Value given = i < 13 ? Arg(args, i) : Value{Null{}};
    vm.Define(self, slot, NormalizeFormatValue(vm, kind, given).value_or(Value{Null{}}), kDontEnum);
  }
  return Undefined{};
}

void InstallTextFormat(Vm& vm) {
  Object* proto = vm.NewPlain();
  DefineFormatMembers(vm, proto);
  vm.textFormatProto_ = proto;
  Object* constructor = vm.NewNative(ConstructTextFormat, true);
  vm.Define(constructor, "prototype", Value{proto}, kDontEnum | kDontDelete);
  vm.Define(proto, "constructor", Value{constructor}, kDontEnum);
  vm.Define(vm.Global(), "TextFormat", Value{constructor});
  vm.DefineMethod(proto, "getTextExtent", [](Vm& v, Object* self, std::span<const Value> args) -> Value {
    TextField probe;
    probe.runs.front().format.Merge(FormatFromObject(v, self));
    probe.text = v.ToStr(Arg(args, 0));
    Object* extent = v.NewPlain();
    v.SetMember(extent, "width", probe.TextWidth());
    v.SetMember(extent, "height", probe.TextHeight());
    v.SetMember(extent, "textFieldWidth", probe.TextWidth() + 4);
    v.SetMember(extent, "textFieldHeight", probe.TextHeight() + 4);
    return Value{extent};
  });
}

// replaceText came with version 8; earlier movies find no such method.
void InstallReplaceText(Vm& vm, Object* proto) {
  vm.DefineMethod(proto, "replaceText", [](Vm& v, Object* self, std::span<const Value> args) -> Value {
    TextField* field = FieldOf(v, self);
    if (!field || args.size() < 3) return Undefined{};
    const double begin = v.ToNum(args[0]);
    const double end = v.ToNum(args[1]);
    if (!(begin >= 0) || !(end >= begin)) return Undefined{};
    const double length = field->Utf16Length();
    field->ReplaceText(static_cast<int>(std::min(begin, length)), static_cast<int>(std::min(end, length)),
                       v.ToStr(args[2]));
    v.Host().TextChanged(self);
    return Undefined{};
  });
}

// The properties every field has, as the prototype lists them to for-in,
// from its first: each reads and writes the field it is asked of, and
// nothing on any other object. The hosting stage answers for the fields'
// own properties before the prototype is asked, so what reaches these is a
// field's unanswered name (its tab index, style sheet, filters), kept on the
// field itself, or an object that is no field.
constexpr const char* kFieldProperties[] = {
    "styleSheet", "mouseWheelEnabled", "condenseWhite", "restrict", "textHeight", "textWidth", "bottomScroll",
    "length", "selectable", "multiline", "password", "wordWrap", "background", "border", "html", "embedFonts",
    "maxChars", "maxhscroll", "hscroll", "variable", "htmlText", "type", "text", "autoSize", "tabIndex",
    "textColor", "backgroundColor", "borderColor", "maxscroll", "scroll", "filters", "sharpness", "thickness",
    "antiAliasType", "gridFitType"};
// From "filters" on, the properties came with version 8: earlier movies see
// plain members that hold nothing, which a write on an object covers.
constexpr std::size_t kFirstVersion8Property = 30;

// A field's filters as a clip's: reading gives new filter objects, setting
// an array keeps the filters in it (anything else clears them), and the
// field is drawn through them.
void DefineFieldProperties(Vm& vm, Object* proto) {
  if (vm.Version() < 6) return;
  // The newest property is listed first, so the list goes in from its end.
  for (std::size_t i = std::size(kFieldProperties); i-- > 0;) {
    const std::string name = kFieldProperties[i];
    vm.Define(proto, name, Undefined{}, 0);
    if (i >= kFirstVersion8Property && vm.Version() < 8) continue;
    Property* property = vm.FindOwn(proto, name);
    if (name == "filters") {
      DefineFiltersProperty(vm, *property, [](Vm& v, Object* self) { return FieldOf(v, self) != nullptr; });
      continue;
    }
    property->getter = vm.NewNative([](Vm&, Object*, std::span<const Value>) -> Value { return Undefined{}; });
    property->setter = vm.NewNative([name](Vm& v, Object* self, std::span<const Value> args) -> Value {
      if (FieldOf(v, self)) v.Define(self, name, Arg(args, 0), 0);
      return Undefined{};
    });
  }
}

void InstallTextFieldMethods(Vm& vm, Object* proto) {
  vm.DefineMethod(proto, "getTextFormat", [](Vm& v, Object* self, std::span<const Value> args) -> Value {
    TextField* field = FieldOf(v, self);
    if (!field) return Undefined{};
    const auto [begin, end] = FormatRange(v, *field, args.first(std::min<std::size_t>(args.size(), 2)));
    return Value{NewTextFormat(v, field->FormatOf(begin, end))};
  });
  vm.DefineMethod(proto, "getNewTextFormat", [](Vm& v, Object* self, std::span<const Value>) -> Value {
    TextField* field = FieldOf(v, self);
    return field ? Value{NewTextFormat(v, field->newFormat)} : Value{Undefined{}};
  });
  vm.DefineMethod(proto, "setTextFormat", [](Vm& v, Object* self, std::span<const Value> args) -> Value {
    TextField* field = FieldOf(v, self);
    if (!field || args.empty()) return Undefined{};
    // setTextFormat([begin, [end,]] format): the format is the last argument.
    auto* const* format = std::get_if<Object*>(&args.back());
    if (!format) return Undefined{};
    const auto [begin, end] = FormatRange(v, *field, args.first(args.size() - 1));
    field->ApplyFormat(begin, end, FieldFormat(FormatFromObject(v, *format)));
    return Undefined{};
  });
  vm.DefineMethod(proto, "setNewTextFormat", [](Vm& v, Object* self, std::span<const Value> args) -> Value {
    TextField* field = FieldOf(v, self);
    auto* const* format = args.empty() ? nullptr : std::get_if<Object*>(&args[0]);
    if (field && format) field->newFormat.Merge(FieldFormat(FormatFromObject(v, *format)));
    return Undefined{};
  });
  vm.DefineMethod(proto, "replaceSel", [](Vm& v, Object* self, std::span<const Value> args) -> Value {
    if (TextField* field = FieldOf(v, self)) {
      field->ReplaceSelection(v.ToStr(Arg(args, 0)));
      v.Host().TextChanged(self);
    }
    return Undefined{};
  });
  if (vm.Version() >= 8) InstallReplaceText(vm, proto);
  vm.DefineMethod(proto, "getDepth", [](Vm& v, Object* self, std::span<const Value>) -> Value {
    return IsDisplayObject(self) ? Value{static_cast<double>(v.Host().Depth(self))} : Value{Undefined{}};
  });
  vm.DefineMethod(proto, "removeTextField", [](Vm& v, Object* self, std::span<const Value>) -> Value {
    if (FieldOf(v, self)) v.Host().RemoveClip(self);
    return Undefined{};
  });
  vm.DefineMethod(proto, "swapDepths", [](Vm& v, Object* self, std::span<const Value> args) -> Value {
    if (!IsDisplayObject(self)) return Undefined{};
    const double depth = v.ToNum(Arg(args, 0));
    if (std::isfinite(depth)) v.Host().SwapDepths(self, static_cast<int>(depth));
    return Undefined{};
  });
}

Value BoundsObject(Vm& vm, Object* self, const Value& space) {
  if (!IsDisplayObject(self)) return Undefined{};
  Object* target = nullptr;
  if (auto* const* o = std::get_if<Object*>(&space); o && IsDisplayObject(*o)) target = *o;
  if (!target && !std::holds_alternative<Undefined>(space)) return Undefined{};
  double xMin = 0, yMin = 0, xMax = 0, yMax = 0;
  Object* bounds = vm.NewPlain();
  if (!vm.Host().Bounds(self, target, xMin, yMin, xMax, yMax)) {
    // What an empty clip reports: the largest twip count in its own space,
    // rounded through single precision once it is taken into another.
    const bool own = !target || target == self;
    xMin = yMin = xMax = yMax = (own ? 134217727.0 : 134217728.0) / 20;
  }
  vm.SetMember(bounds, "xMin", xMin);
  vm.SetMember(bounds, "xMax", xMax);
  vm.SetMember(bounds, "yMin", yMin);
  vm.SetMember(bounds, "yMax", yMax);
  return Value{bounds};
}

void ConvertPoint(Vm& vm, Object* self, const Value& point, bool inverse) {
  auto* const* object = std::get_if<Object*>(&point);
  if (!IsDisplayObject(self) || !object) return;
  // Only a point whose x and y are its own numbers converts: inherited
  // members, strings, booleans and null leave it as it was.
  auto coordinate = [&](std::string_view name) -> std::optional<double> {
    if (!vm.FindOwn(*object, name)) return std::nullopt;
    const Value value = vm.GetMember(*object, name);
    const double* number = std::get_if<double>(&value);
    return number ? std::optional<double>(*number) : std::nullopt;
  };
  const std::optional<double> xValue = coordinate("x"), yValue = coordinate("y");
  if (!xValue || !yValue) return;
  double x = *xValue;
  double y = *yValue;
  vm.Host().ToGlobal(self, x, y, inverse);
  vm.SetMember(*object, "x", x);
  vm.SetMember(*object, "y", y);
}

void DefineDrawMethod(Vm& vm, Object* proto, const char* name, DrawOp op, std::size_t arguments) {
  vm.DefineMethod(proto, name, [op, arguments](Vm& v, Object* self, std::span<const Value> args) -> Value {
    if (!IsDisplayObject(self)) return Undefined{};
    DrawOp what = op;
    // lineStyle() without a width ends the line style; a fill without a
    // colour fills nothing.
    if (op == DrawOp::LineStyle && (args.empty() || std::holds_alternative<Undefined>(args[0]))) what = DrawOp::NoLine;
    if (op == DrawOp::BeginFill && (args.empty() || std::holds_alternative<Undefined>(args[0]))) what = DrawOp::EndFill;
    std::vector<double> numbers;
    for (std::size_t i = 0; i < arguments && i < args.size(); ++i) {
      if (std::holds_alternative<Undefined>(args[i])) break;
      const double number = v.ToNum(args[i]);
      if (!std::isfinite(number)) return Undefined{};
      numbers.push_back(number);
    }
    if ((op == DrawOp::MoveTo || op == DrawOp::LineTo) && numbers.size() < 2) return Undefined{};
    if (op == DrawOp::CurveTo && numbers.size() < 4) return Undefined{};
    v.Host().Draw(self, what, numbers);
    return Undefined{};
  });
}

void InstallClipGeometry(Vm& vm) {
  Object* proto = vm.clipProto_;
  DefineDrawMethod(vm, proto, "clear", DrawOp::Clear, 0);
  DefineDrawMethod(vm, proto, "moveTo", DrawOp::MoveTo, 2);
  DefineDrawMethod(vm, proto, "lineTo", DrawOp::LineTo, 2);
  DefineDrawMethod(vm, proto, "curveTo", DrawOp::CurveTo, 4);
  DefineDrawMethod(vm, proto, "beginFill", DrawOp::BeginFill, 2);
  DefineDrawMethod(vm, proto, "endFill", DrawOp::EndFill, 0);
  InstallClipDrawingStyles(vm, proto);
  vm.DefineMethod(proto, "createTextField", [](Vm& v, Object* self, std::span<const Value> args) -> Value {
    if (!IsDisplayObject(self) || args.size() < 6) return Undefined{};
    double numbers[5];
    for (std::size_t i = 0; i < 5; ++i) {
      numbers[i] = v.ToNum(args[i + 1]);
      if (!std::isfinite(numbers[i])) numbers[i] = 0;
    }
    Object* made = v.Host().CreateTextField(self, v.ToStr(args[0]), static_cast<int>(numbers[0]), numbers[1],
                                            numbers[2], numbers[3], numbers[4]);
    return made && v.Version() >= 8 ? Value{made} : Value{Undefined{}};
  });
  vm.Define(proto, "enabled", true);
  vm.Define(proto, "useHandCursor", true);
  vm.DefineMethod(proto, "getSWFVersion",
                  [](Vm& v, Object*, std::span<const Value>) -> Value { return static_cast<double>(v.Version()); });
  vm.DefineMethod(proto, "getInstanceAtDepth", [](Vm& v, Object* self, std::span<const Value> args) -> Value {
    if (!IsDisplayObject(self) || args.empty()) return Undefined{};
    const double depth = v.ToNum(args[0]);
    if (!std::isfinite(depth)) return Undefined{};
    Object* found = v.Host().InstanceAtDepth(self, static_cast<int>(std::floor(depth)));
    return found ? Value{found} : Value{Undefined{}};
  });
  vm.DefineMethod(proto, "getBounds", [](Vm& v, Object* self, std::span<const Value> args) -> Value {
    return BoundsObject(v, self, Arg(args, 0));
  });
  vm.DefineMethod(proto, "getRect", [](Vm& v, Object* self, std::span<const Value> args) -> Value {
    return BoundsObject(v, self, Arg(args, 0));
  });
  vm.DefineMethod(proto, "localToGlobal", [](Vm& v, Object* self, std::span<const Value> args) -> Value {
    ConvertPoint(v, self, Arg(args, 0), false);
    return Undefined{};
  });
  vm.DefineMethod(proto, "globalToLocal", [](Vm& v, Object* self, std::span<const Value> args) -> Value {
    ConvertPoint(v, self, Arg(args, 0), true);
    return Undefined{};
  });
  vm.DefineMethod(proto, "setMask", [](Vm& v, Object* self, std::span<const Value> args) -> Value {
    if (!IsDisplayObject(self) || args.empty()) return Undefined{};
    auto* const* mask = std::get_if<Object*>(&args[0]);
    v.Host().SetScriptMask(self, mask && IsDisplayObject(*mask) ? *mask : nullptr);
    return Undefined{};
  });
  vm.DefineMethod(proto, "hitTest", [](Vm& v, Object* self, std::span<const Value> args) -> Value {
    if (!IsDisplayObject(self) || args.empty()) return false;
    if (auto* const* other = std::get_if<Object*>(&args[0]); other && args.size() == 1) {
      if (!IsDisplayObject(*other)) return false;
      double a[4], b[4];
      if (!v.Host().Bounds(self, v.Host().RootClip(), a[0], a[1], a[2], a[3])) return false;
      if (!v.Host().Bounds(*other, v.Host().RootClip(), b[0], b[1], b[2], b[3])) return false;
      return a[0] <= b[2] && b[0] <= a[2] && a[1] <= b[3] && b[1] <= a[3];
    }
    const double x = v.ToNum(Arg(args, 0));
    const double y = v.ToNum(Arg(args, 1));
    if (!std::isfinite(x) || !std::isfinite(y)) return false;
    return v.Host().HitTestPoint(self, x, y, v.ToBool(Arg(args, 2)));
  });
}

}  // namespace

void InstallTextFieldClass(Vm& vm) {
  Object* proto = vm.NewPlain();
  vm.textFieldProto_ = proto;
  Object* constructor = vm.NewNative([](Vm&, Object*, std::span<const Value>) -> Value { return Undefined{}; });
  vm.Define(constructor, "prototype", Value{proto}, kDontEnum | kDontDelete);
  vm.Define(proto, "constructor", Value{constructor}, kDontEnum);
  vm.Define(vm.Global(), "TextField", Value{constructor});
  InstallTextFieldMethods(vm, proto);
  DefineFieldProperties(vm, proto);
  // Fields broadcast their changes, focus and scrolling to listeners; each
  // field starts as its own first listener.
  const Value broadcaster = vm.GetMember(vm.Global(), "AsBroadcaster");
  if (auto* const* holder = std::get_if<Object*>(&broadcaster)) {
    for (const char* name : {"broadcastMessage", "addListener", "removeListener"}) {
      vm.Define(proto, name, vm.GetMember(*holder, name), kDontEnum);
    }
  }
  InstallTextFormat(vm);
  InstallTextSnapshotClass(vm);
  InstallClipGeometry(vm);
  InstallSelection(vm);
}

void InstallButtonClass(Vm& vm) {
  Object* proto = vm.NewPlain();
  vm.buttonProto_ = proto;
  Object* constructor = vm.NewNative([](Vm&, Object*, std::span<const Value>) -> Value { return Undefined{}; });
  vm.Define(constructor, "prototype", Value{proto}, kDontEnum | kDontDelete);
  vm.Define(proto, "constructor", Value{constructor}, kDontEnum);
  vm.Define(vm.Global(), "Button", Value{constructor});
  vm.DefineMethod(proto, "getDepth", [](Vm& v, Object* self, std::span<const Value>) -> Value {
    return IsDisplayObject(self) ? Value{static_cast<double>(v.Host().Depth(self))} : Value{Undefined{}};
  });
  vm.Define(proto, "enabled", true);
  vm.Define(proto, "useHandCursor", true);
}

}  // namespace swf
