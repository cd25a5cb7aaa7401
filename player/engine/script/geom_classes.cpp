// flash.geom: Point, Rectangle, Matrix, ColorTransform and Transform as the
// platform defines them for ActionScript 2. Their values are plain members
// (x, y, width, ...) that scripts may read and write; the methods read them
// back as numbers, so any object with those members works with them.
// Transform reaches a clip's matrix and colour transform through the stage.

#include <array>
#include <cmath>
#include <numbers>
#include <string>

#include "geom.h"
#include "native_class.h"

namespace swf {
namespace {

using Args = std::span<const Value>;

// A property computed by native getter and setter functions.
void DefineAccessor(Vm& vm, Object* proto, std::string_view name, NativeFunction getter, NativeFunction setter = {}) {
  vm.Define(proto, name, Undefined{});
  if (Property* property = vm.FindOwn(proto, name)) {
    property->getter = vm.NewNative(std::move(getter));
    if (setter) property->setter = vm.NewNative(std::move(setter));
  }
}

double Num(Vm& vm, Object* self, std::string_view name) { return self ? NumberMember(vm, self, name) : NAN; }
void Set(Vm& vm, Object* self, std::string_view name, double value) {
  if (self) vm.SetMember(self, name, value);
}
std::string Text(Vm& vm, Object* self, std::string_view name) {
  return self ? vm.ToStr(vm.GetMember(self, name)) : std::string("undefined");
}

// ---- Point

void InstallPoint(Vm& vm, Object* geom) {
  const auto [point, proto] = DefineNativeClass(vm, geom, "Point", [](Vm& v, Object* self, Args args) -> Value {
    if (!self) return Undefined{};
    v.SetMember(self, "x", args.empty() ? Value{0.0} : args[0]);
    v.SetMember(self, "y", args.size() < 2 ? (args.empty() ? Value{0.0} : Value{Undefined{}}) : args[1]);
    return Undefined{};
  });
  DefineAccessor(vm, proto, "length",
                 [](Vm& v, Object* self, Args) -> Value { return std::hypot(Num(v, self, "x"), Num(v, self, "y")); });
  vm.DefineMethod(proto, "toString", [](Vm& v, Object* self, Args) -> Value {
    return "(x=" + Text(v, self, "x") + ", y=" + Text(v, self, "y") + ")";
  });
  vm.DefineMethod(proto, "clone",
                  [](Vm& v, Object* self, Args) -> Value { return NewPoint(v, Num(v, self, "x"), Num(v, self, "y")); });
  vm.DefineMethod(proto, "add", [](Vm& v, Object* self, Args args) -> Value {
    Object* other = AsObjectValue(Arg(args, 0));
    return NewPoint(v, Num(v, self, "x") + Num(v, other, "x"), Num(v, self, "y") + Num(v, other, "y"));
  });
  vm.DefineMethod(proto, "subtract", [](Vm& v, Object* self, Args args) -> Value {
    Object* other = AsObjectValue(Arg(args, 0));
    return NewPoint(v, Num(v, self, "x") - Num(v, other, "x"), Num(v, self, "y") - Num(v, other, "y"));
  });
  vm.DefineMethod(proto, "equals", [](Vm& v, Object* self, Args args) -> Value {
    Object* other = AsObjectValue(Arg(args, 0));
    if (!other || !v.InstanceOf(Value{other}, GeomClass(v, "Point"))) return false;
    return Num(v, self, "x") == Num(v, other, "x") && Num(v, self, "y") == Num(v, other, "y");
  });
  vm.DefineMethod(proto, "offset", [](Vm& v, Object* self, Args args) -> Value {
    Set(v, self, "x", Num(v, self, "x") + v.ToNum(Arg(args, 0)));
    Set(v, self, "y", Num(v, self, "y") + v.ToNum(Arg(args, 1)));
    return Undefined{};
  });
  vm.DefineMethod(proto, "normalize", [](Vm& v, Object* self, Args args) -> Value {
    const double x = Num(v, self, "x"), y = Num(v, self, "y"), length = std::hypot(x, y);
    if (length > 0) {
      const double scale = v.ToNum(Arg(args, 0)) / length;
      Set(v, self, "x", x * scale);
      Set(v, self, "y", y * scale);
    }
    return Undefined{};
  });
  vm.DefineMethod(point, "distance", [](Vm& v, Object*, Args args) -> Value {
    Object* a = AsObjectValue(Arg(args, 0));
    Object* b = AsObjectValue(Arg(args, 1));
    if (!a || !b) return Undefined{};
    return std::hypot(Num(v, a, "x") - Num(v, b, "x"), Num(v, a, "y") - Num(v, b, "y"));
  });
  vm.DefineMethod(point, "interpolate", [](Vm& v, Object*, Args args) -> Value {
    Object* a = AsObjectValue(Arg(args, 0));
    Object* b = AsObjectValue(Arg(args, 1));
    const double f = v.ToNum(Arg(args, 2));
    return NewPoint(v, Num(v, b, "x") + f * (Num(v, a, "x") - Num(v, b, "x")),
                    Num(v, b, "y") + f * (Num(v, a, "y") - Num(v, b, "y")));
  });
  vm.DefineMethod(point, "polar", [](Vm& v, Object*, Args args) -> Value {
    const double length = v.ToNum(Arg(args, 0)), angle = v.ToNum(Arg(args, 1));
    return NewPoint(v, length * std::cos(angle), length * std::sin(angle));
  });
}

// ---- Rectangle

struct Box {
  double x, y, w, h;
};
Box BoxOf(Vm& vm, Object* self) {
  return {Num(vm, self, "x"), Num(vm, self, "y"), Num(vm, self, "width"), Num(vm, self, "height")};
}
void Store(Vm& vm, Object* self, const Box& b) {
  Set(vm, self, "x", b.x);
  Set(vm, self, "y", b.y);
  Set(vm, self, "width", b.w);
  Set(vm, self, "height", b.h);
}
bool BoxEmpty(const Box& b) { return !(b.w > 0) || !(b.h > 0); }

void InstallRectangle(Vm& vm, Object* geom) {
  Object* proto = DefineNativeClass(vm, geom, "Rectangle", [](Vm& v, Object* self, Args args) -> Value {
                    if (!self) return Undefined{};
                    const char* names[] = {"x", "y", "width", "height"};
                    for (std::size_t i = 0; i < 4; ++i)
                      v.SetMember(self, names[i], args.empty() ? Value{0.0} : Arg(args, i));
                    return Undefined{};
                  }).prototype;
  vm.DefineMethod(proto, "toString", [](Vm& v, Object* self, Args) -> Value {
    return "(x=" + Text(v, self, "x") + ", y=" + Text(v, self, "y") + ", w=" + Text(v, self, "width") +
           ", h=" + Text(v, self, "height") + ")";
  });
  vm.DefineMethod(proto, "clone", [](Vm& v, Object* self, Args) -> Value {
    const Box b = BoxOf(v, self);
    return NewRectangle(v, b.x, b.y, b.w, b.h);
  });
  vm.DefineMethod(proto, "isEmpty", [](Vm& v, Object* self, Args) -> Value { return BoxEmpty(BoxOf(v, self)); });
  vm.DefineMethod(proto, "setEmpty", [](Vm& v, Object* self, Args) -> Value {
    Store(v, self, {0, 0, 0, 0});
    return Undefined{};
  });
  vm.DefineMethod(proto, "contains", [](Vm& v, Object* self, Args args) -> Value {
    const Box b = BoxOf(v, self);
    const double x = v.ToNum(Arg(args, 0)), y = v.ToNum(Arg(args, 1));
    return x >= b.x && y >= b.y && x < b.x + b.w && y < b.y + b.h;
  });
  vm.DefineMethod(proto, "containsPoint", [](Vm& v, Object* self, Args args) -> Value {
    const Box b = BoxOf(v, self);
    Object* p = AsObjectValue(Arg(args, 0));
    const double x = Num(v, p, "x"), y = Num(v, p, "y");
    return x >= b.x && y >= b.y && x < b.x + b.w && y < b.y + b.h;
  });
  vm.DefineMethod(proto, "containsRectangle", [](Vm& v, Object* self, Args args) -> Value {
    const Box b = BoxOf(v, self), o = BoxOf(v, AsObjectValue(Arg(args, 0)));
    return o.x >= b.x && o.y >= b.y && o.x + o.w <= b.x + b.w && o.y + o.h <= b.y + b.h;
  });
  vm.DefineMethod(proto, "equals", [](Vm& v, Object* self, Args args) -> Value {
    Object* other = AsObjectValue(Arg(args, 0));
    if (!other || !v.InstanceOf(Value{other}, GeomClass(v, "Rectangle"))) return false;
    const Box a = BoxOf(v, self), b = BoxOf(v, other);
    return a.x == b.x && a.y == b.y && a.w == b.w && a.h == b.h;
  });
  vm.DefineMethod(proto, "inflate", [](Vm& v, Object* self, Args args) -> Value {
    Box b = BoxOf(v, self);
    const double dx = v.ToNum(Arg(args, 0)), dy = v.ToNum(Arg(args, 1));
    Store(v, self, {b.x - dx, b.y - dy, b.w + 2 * dx, b.h + 2 * dy});
    return Undefined{};
  });
  vm.DefineMethod(proto, "inflatePoint", [](Vm& v, Object* self, Args args) -> Value {
    Box b = BoxOf(v, self);
    Object* p = AsObjectValue(Arg(args, 0));
    const double dx = Num(v, p, "x"), dy = Num(v, p, "y");
    Store(v, self, {b.x - dx, b.y - dy, b.w + 2 * dx, b.h + 2 * dy});
    return Undefined{};
  });
  vm.DefineMethod(proto, "offset", [](Vm& v, Object* self, Args args) -> Value {
    Set(v, self, "x", Num(v, self, "x") + v.ToNum(Arg(args, 0)));
    Set(v, self, "y", Num(v, self, "y") + v.ToNum(Arg(args, 1)));
    return Undefined{};
  });
  vm.DefineMethod(proto, "offsetPoint", [](Vm& v, Object* self, Args args) -> Value {
    Object* p = AsObjectValue(Arg(args, 0));
    Set(v, self, "x", Num(v, self, "x") + Num(v, p, "x"));
    Set(v, self, "y", Num(v, self, "y") + Num(v, p, "y"));
    return Undefined{};
  });
  vm.DefineMethod(proto, "intersects", [](Vm& v, Object* self, Args args) -> Value {
    const Box a = BoxOf(v, self), b = BoxOf(v, AsObjectValue(Arg(args, 0)));
    return std::max(a.x, b.x) < std::min(a.x + a.w, b.x + b.w) && std::max(a.y, b.y) < std::min(a.y + a.h, b.y + b.h);
  });
  vm.DefineMethod(proto, "intersection", [](Vm& v, Object* self, Args args) -> Value {
    const Box a = BoxOf(v, self), b = BoxOf(v, AsObjectValue(Arg(args, 0)));
    const double x0 = std::max(a.x, b.x), y0 = std::max(a.y, b.y);
    const double x1 = std::min(a.x + a.w, b.x + b.w), y1 = std::min(a.y + a.h, b.y + b.h);
    if (!(x1 > x0) || !(y1 > y0)) return NewRectangle(v, 0, 0, 0, 0);
    return NewRectangle(v, x0, y0, x1 - x0, y1 - y0);
  });
  vm.DefineMethod(proto, "union", [](Vm& v, Object* self, Args args) -> Value {
    const Box a = BoxOf(v, self), b = BoxOf(v, AsObjectValue(Arg(args, 0)));
    if (BoxEmpty(a)) return NewRectangle(v, b.x, b.y, b.w, b.h);
    if (BoxEmpty(b)) return NewRectangle(v, a.x, a.y, a.w, a.h);
    const double x0 = std::min(a.x, b.x), y0 = std::min(a.y, b.y);
    return NewRectangle(v, x0, y0, std::max(a.x + a.w, b.x + b.w) - x0, std::max(a.y + a.h, b.y + b.h) - y0);
  });
  // Edges and corners computed from x, y, width and height; setting one
  // moves that edge and keeps the opposite one.
  DefineAccessor(
      vm, proto, "left", [](Vm& v, Object* self, Args) -> Value { return Num(v, self, "x"); },
      [](Vm& v, Object* self, Args args) -> Value {
        const double left = v.ToNum(Arg(args, 0));
        Set(v, self, "width", Num(v, self, "width") + Num(v, self, "x") - left);
        Set(v, self, "x", left);
        return Undefined{};
      });
  DefineAccessor(
      vm, proto, "top", [](Vm& v, Object* self, Args) -> Value { return Num(v, self, "y"); },
      [](Vm& v, Object* self, Args args) -> Value {
        const double top = v.ToNum(Arg(args, 0));
        Set(v, self, "height", Num(v, self, "height") + Num(v, self, "y") - top);
        Set(v, self, "y", top);
        return Undefined{};
      });
  DefineAccessor(
      vm, proto, "right", [](Vm& v, Object* self, Args) -> Value { return Num(v, self, "x") + Num(v, self, "width"); },
      [](Vm& v, Object* self, Args args) -> Value {
        Set(v, self, "width", v.ToNum(Arg(args, 0)) - Num(v, self, "x"));
        return Undefined{};
      });
  DefineAccessor(
      vm, proto, "bottom",
      [](Vm& v, Object* self, Args) -> Value { return Num(v, self, "y") + Num(v, self, "height"); },
      [](Vm& v, Object* self, Args args) -> Value {
        Set(v, self, "height", v.ToNum(Arg(args, 0)) - Num(v, self, "y"));
        return Undefined{};
      });
  DefineAccessor(
      vm, proto, "topLeft",
      [](Vm& v, Object* self, Args) -> Value { return NewPoint(v, Num(v, self, "x"), Num(v, self, "y")); },
      [](Vm& v, Object* self, Args args) -> Value {
        Object* p = AsObjectValue(Arg(args, 0));
        const double x = Num(v, p, "x"), y = Num(v, p, "y");
        Set(v, self, "width", Num(v, self, "width") + Num(v, self, "x") - x);
        Set(v, self, "height", Num(v, self, "height") + Num(v, self, "y") - y);
        Set(v, self, "x", x);
        Set(v, self, "y", y);
        return Undefined{};
      });
  DefineAccessor(
      vm, proto, "bottomRight",
      [](Vm& v, Object* self, Args) -> Value {
        return NewPoint(v, Num(v, self, "x") + Num(v, self, "width"), Num(v, self, "y") + Num(v, self, "height"));
      },
      [](Vm& v, Object* self, Args args) -> Value {
        Object* p = AsObjectValue(Arg(args, 0));
        Set(v, self, "width", Num(v, p, "x") - Num(v, self, "x"));
        Set(v, self, "height", Num(v, p, "y") - Num(v, self, "y"));
        return Undefined{};
      });
  DefineAccessor(
      vm, proto, "size",
      [](Vm& v, Object* self, Args) -> Value { return NewPoint(v, Num(v, self, "width"), Num(v, self, "height")); },
      [](Vm& v, Object* self, Args args) -> Value {
        Object* p = AsObjectValue(Arg(args, 0));
        Set(v, self, "width", Num(v, p, "x"));
        Set(v, self, "height", Num(v, p, "y"));
        return Undefined{};
      });
}

// ---- Matrix

void StoreMatrix(Vm& vm, Object* self, const ClipMatrix& m) {
  Set(vm, self, "a", m.a);
  Set(vm, self, "b", m.b);
  Set(vm, self, "c", m.c);
  Set(vm, self, "d", m.d);
  Set(vm, self, "tx", m.tx);
  Set(vm, self, "ty", m.ty);
}

// `outer` applied after `inner`.
ClipMatrix Multiply(const ClipMatrix& outer, const ClipMatrix& inner) {
  return {inner.a * outer.a + inner.b * outer.c,
          inner.a * outer.b + inner.b * outer.d,
          inner.c * outer.a + inner.d * outer.c,
          inner.c * outer.b + inner.d * outer.d,
          inner.tx * outer.a + inner.ty * outer.c + outer.tx,
          inner.tx * outer.b + inner.ty * outer.d + outer.ty};
}

void InstallMatrix(Vm& vm, Object* geom) {
  Object* proto = DefineNativeClass(vm, geom, "Matrix", [](Vm& v, Object* self, Args args) -> Value {
                    if (!self) return Undefined{};
                    if (args.empty()) {
                      StoreMatrix(v, self, {});
                    } else {
                      const char* names[] = {"a", "b", "c", "d", "tx", "ty"};
                      for (std::size_t i = 0; i < 6; ++i) v.SetMember(self, names[i], Arg(args, i));
                    }
                    return Undefined{};
                  }).prototype;
  vm.DefineMethod(proto, "toString", [](Vm& v, Object* self, Args) -> Value {
    return "(a=" + Text(v, self, "a") + ", b=" + Text(v, self, "b") + ", c=" + Text(v, self, "c") +
           ", d=" + Text(v, self, "d") + ", tx=" + Text(v, self, "tx") + ", ty=" + Text(v, self, "ty") + ")";
  });
  vm.DefineMethod(proto, "clone", [](Vm& v, Object* self, Args) -> Value { return NewMatrix(v, ReadMatrix(v, self)); });
  vm.DefineMethod(proto, "identity", [](Vm& v, Object* self, Args) -> Value {
    StoreMatrix(v, self, {});
    return Undefined{};
  });
  vm.DefineMethod(proto, "concat", [](Vm& v, Object* self, Args args) -> Value {
    StoreMatrix(v, self, Multiply(ReadMatrix(v, AsObjectValue(Arg(args, 0))), ReadMatrix(v, self)));
    return Undefined{};
  });
  vm.DefineMethod(proto, "invert", [](Vm& v, Object* self, Args) -> Value {
    const ClipMatrix m = ReadMatrix(v, self);
    const double det = m.a * m.d - m.b * m.c;
    if (det == 0) {
      StoreMatrix(v, self, {0, 0, 0, 0, -m.tx, -m.ty});
    } else {
      const double a = m.d / det, b = -m.b / det, c = -m.c / det, d = m.a / det;
      StoreMatrix(v, self, {a, b, c, d, -(a * m.tx + c * m.ty), -(b * m.tx + d * m.ty)});
    }
    return Undefined{};
  });
  vm.DefineMethod(proto, "rotate", [](Vm& v, Object* self, Args args) -> Value {
    const double angle = v.ToNum(Arg(args, 0));
    const ClipMatrix r{std::cos(angle), std::sin(angle), -std::sin(angle), std::cos(angle), 0, 0};
    StoreMatrix(v, self, Multiply(r, ReadMatrix(v, self)));
    return Undefined{};
  });
  vm.DefineMethod(proto, "scale", [](Vm& v, Object* self, Args args) -> Value {
    const ClipMatrix s{v.ToNum(Arg(args, 0)), 0, 0, v.ToNum(Arg(args, 1)), 0, 0};
    StoreMatrix(v, self, Multiply(s, ReadMatrix(v, self)));
    return Undefined{};
  });
  vm.DefineMethod(proto, "translate", [](Vm& v, Object* self, Args args) -> Value {
    Set(v, self, "tx", Num(v, self, "tx") + v.ToNum(Arg(args, 0)));
    Set(v, self, "ty", Num(v, self, "ty") + v.ToNum(Arg(args, 1)));
    return Undefined{};
  });
  // createBox(scaleX, scaleY, rotation, tx, ty): scale, then rotate, then move.
  vm.DefineMethod(proto, "createBox", [](Vm& v, Object* self, Args args) -> Value {
    const double sx = v.ToNum(Arg(args, 0)), sy = v.ToNum(Arg(args, 1));
    const double angle = args.size() > 2 ? v.ToNum(args[2]) : 0;
    const double tx = args.size() > 3 ? v.ToNum(args[3]) : 0, ty = args.size() > 4 ? v.ToNum(args[4]) : 0;
    StoreMatrix(v, self,
                {sx * std::cos(angle), sy * std::sin(angle), -sx * std::sin(angle), sy * std::cos(angle), tx, ty});
    return Undefined{};
  });
  // createGradientBox(width, height, rotation, tx, ty): the gradient square of
  // 1638.4 pixels scaled onto the box, centred in it.
  vm.DefineMethod(proto, "createGradientBox", [](Vm& v, Object* self, Args args) -> Value {
    const double width = v.ToNum(Arg(args, 0)), height = v.ToNum(Arg(args, 1));
    const double angle = args.size() > 2 ? v.ToNum(args[2]) : 0;
    const double tx = args.size() > 3 ? v.ToNum(args[3]) : 0, ty = args.size() > 4 ? v.ToNum(args[4]) : 0;
    const double sx = width / 1638.4, sy = height / 1638.4;
    StoreMatrix(v, self,
                {sx * std::cos(angle), sy * std::sin(angle), -sx * std::sin(angle), sy * std::cos(angle),
                 tx + width / 2, ty + height / 2});
    return Undefined{};
  });
  vm.DefineMethod(proto, "transformPoint", [](Vm& v, Object* self, Args args) -> Value {
    const ClipMatrix m = ReadMatrix(v, self);
    Object* p = AsObjectValue(Arg(args, 0));
    const double x = Num(v, p, "x"), y = Num(v, p, "y");
    return NewPoint(v, m.a * x + m.c * y + m.tx, m.b * x + m.d * y + m.ty);
  });
  vm.DefineMethod(proto, "deltaTransformPoint", [](Vm& v, Object* self, Args args) -> Value {
    const ClipMatrix m = ReadMatrix(v, self);
    Object* p = AsObjectValue(Arg(args, 0));
    const double x = Num(v, p, "x"), y = Num(v, p, "y");
    return NewPoint(v, m.a * x + m.c * y, m.b * x + m.d * y);
  });
}

// ---- ColorTransform

constexpr const char* kTermNames[] = {"redMultiplier", "greenMultiplier", "blueMultiplier", "alphaMultiplier",
                                      "redOffset",     "greenOffset",     "blueOffset",     "alphaOffset"};

void StoreTerms(Vm& vm, Object* self, const ColorTerms& t) {
  const double values[] = {t.mr, t.mg, t.mb, t.ma, t.ar, t.ag, t.ab, t.aa};
  for (std::size_t i = 0; i < 8; ++i) Set(vm, self, kTermNames[i], values[i]);
}

void InstallColorTransform(Vm& vm, Object* geom) {
  Object* proto = DefineNativeClass(vm, geom, "ColorTransform", [](Vm& v, Object* self, Args args) -> Value {
                    if (!self) return Undefined{};
                    if (args.empty()) {
                      StoreTerms(v, self, {});
                    } else {
                      for (std::size_t i = 0; i < 8; ++i) v.SetMember(self, kTermNames[i], Arg(args, i));
                    }
                    return Undefined{};
                  }).prototype;
  vm.DefineMethod(proto, "toString", [](Vm& v, Object* self, Args) -> Value {
    std::string text = "(";
    for (std::size_t i = 0; i < 8; ++i)
      text += (i ? ", " : "") + std::string(kTermNames[i]) + "=" + Text(v, self, kTermNames[i]);
    return text + ")";
  });
  vm.DefineMethod(proto, "concat", [](Vm& v, Object* self, Args args) -> Value {
    const ColorTerms outer = ReadColorTerms(v, self), inner = ReadColorTerms(v, AsObjectValue(Arg(args, 0)));
    // This transform applied to the result of the given one.
    StoreTerms(v, self,
               {outer.mr * inner.mr, outer.mg * inner.mg, outer.mb * inner.mb, outer.ma * inner.ma,
                outer.ar + outer.mr * inner.ar, outer.ag + outer.mg * inner.ag, outer.ab + outer.mb * inner.ab,
                outer.aa + outer.ma * inner.aa});
    return Undefined{};
  });
  // rgb: the offsets as one colour; setting it clears the colour multipliers.
  DefineAccessor(
      vm, proto, "rgb",
      [](Vm& v, Object* self, Args) -> Value {
        const auto part = [&](std::string_view name) {
          return static_cast<std::uint32_t>(PixelInt(Num(v, self, name))) & 0xFFu;
        };
        return static_cast<double>((part("redOffset") << 16) | (part("greenOffset") << 8) | part("blueOffset"));
      },
      [](Vm& v, Object* self, Args args) -> Value {
        const auto rgb = static_cast<std::uint32_t>(PixelInt(v.ToNum(Arg(args, 0))));
        Set(v, self, "redMultiplier", 0);
        Set(v, self, "greenMultiplier", 0);
        Set(v, self, "blueMultiplier", 0);
        Set(v, self, "redOffset", (rgb >> 16) & 0xFF);
        Set(v, self, "greenOffset", (rgb >> 8) & 0xFF);
        Set(v, self, "blueOffset", rgb & 0xFF);
        return Undefined{};
      });
}

// ---- Transform: a clip's matrix and colour transform, read and written live.

Object* ClipOfTransform(Vm& vm, Object* self) {
  if (!self) return nullptr;
  Object* clip = AsObjectValue(vm.GetMember(self, "__clip"));
  return clip && clip->kind == ObjectKind::Clip ? clip : nullptr;
}

void InstallTransform(Vm& vm, Object* geom) {
  Object* proto = DefineNativeClass(vm, geom, "Transform", [](Vm& v, Object* self, Args args) -> Value {
                    if (!self) return Undefined{};
                    Object* clip = AsObjectValue(Arg(args, 0));
                    if (clip && clip->kind == ObjectKind::Clip) v.Define(self, "__clip", Value{clip}, kDontEnum);
                    return Undefined{};
                  }).prototype;
  auto matrixGetter = [](bool concatenated) {
    return [concatenated](Vm& v, Object* self, Args) -> Value {
      ClipMatrix m;
      Object* clip = ClipOfTransform(v, self);
      if (!clip || !v.Host().GetClipMatrix(clip, concatenated, m)) return Undefined{};
      return NewMatrix(v, m);
    };
  };
  auto colorGetter = [](bool concatenated) {
    return [concatenated](Vm& v, Object* self, Args) -> Value {
      ColorTerms t;
      Object* clip = ClipOfTransform(v, self);
      if (!clip || !v.Host().GetClipColors(clip, concatenated, t)) return Undefined{};
      return NewColorTransform(v, t);
    };
  };
  DefineAccessor(vm, proto, "matrix", matrixGetter(false), [](Vm& v, Object* self, Args args) -> Value {
    Object* clip = ClipOfTransform(v, self);
    Object* given = AsObjectValue(Arg(args, 0));
    if (clip && given) v.Host().SetClipMatrix(clip, ReadMatrix(v, given));
    return Undefined{};
  });
  DefineAccessor(vm, proto, "colorTransform", colorGetter(false), [](Vm& v, Object* self, Args args) -> Value {
    Object* clip = ClipOfTransform(v, self);
    Object* given = AsObjectValue(Arg(args, 0));
    if (clip && given) v.Host().SetClipColors(clip, ReadColorTerms(v, given));
    return Undefined{};
  });
  DefineAccessor(vm, proto, "concatenatedMatrix", matrixGetter(true));
  DefineAccessor(vm, proto, "concatenatedColorTransform", colorGetter(true));
  DefineAccessor(vm, proto, "pixelBounds", [](Vm& v, Object* self, Args) -> Value {
    Object* clip = ClipOfTransform(v, self);
    double x0 = 0, y0 = 0, x1 = 0, y1 = 0;
    if (!clip) return Undefined{};
    if (!v.Host().Bounds(clip, v.Host().RootClip(), x0, y0, x1, y1)) return NewRectangle(v, 0, 0, 0, 0);
    return NewRectangle(v, std::floor(x0), std::floor(y0), std::ceil(x1) - std::floor(x0),
                        std::ceil(y1) - std::floor(y0));
  });

  // MovieClip.transform: a new Transform of the clip each time it is read;
  // setting one copies its matrix and colour transform onto the clip.
  if (Object* clipProto = vm.clipProto_) {
    DefineAccessor(
        vm, clipProto, "transform",
        [](Vm& v, Object* self, Args) -> Value {
          if (!self || self->kind != ObjectKind::Clip) return Undefined{};
          const Value clip{self};
          return NewGeom(v, "Transform", std::span<const Value>(&clip, 1));
        },
        [](Vm& v, Object* self, Args args) -> Value {
          Object* given = AsObjectValue(Arg(args, 0));
          if (!self || self->kind != ObjectKind::Clip || !given) return Undefined{};
          if (Object* m = AsObjectValue(v.GetMember(given, "matrix"))) v.Host().SetClipMatrix(self, ReadMatrix(v, m));
          if (Object* c = AsObjectValue(v.GetMember(given, "colorTransform"))) {
            v.Host().SetClipColors(self, ReadColorTerms(v, c));
          }
          return Undefined{};
        });
    // MovieClip.scrollRect: a copy of the rectangle each time it is read;
    // anything without the four members takes the rectangle away.
    DefineAccessor(
        vm, clipProto, "scrollRect",
        [](Vm& v, Object* self, Args) -> Value {
          std::array<double, 4> r{};
          if (!self || self->kind != ObjectKind::Clip || !v.Host().GetScrollRect(self, r)) return Undefined{};
          Object* made = NewRectangle(v, r[0], r[1], r[2], r[3]);
          return made ? Value{made} : Value{Undefined{}};
        },
        [](Vm& v, Object* self, Args args) -> Value {
          if (!self || self->kind != ObjectKind::Clip) return Undefined{};
          Object* given = AsObjectValue(Arg(args, 0));
          std::optional<std::array<double, 4>> rect;
          if (given && HasMember(v, given, "x") && HasMember(v, given, "y") && HasMember(v, given, "width") &&
              HasMember(v, given, "height")) {
            rect.emplace();
            const char* names[] = {"x", "y", "width", "height"};
            for (std::size_t i = 0; i < 4; ++i) {
              const double n = NumberMember(v, given, names[i]);
              (*rect)[i] = std::isfinite(n) ? n : 0;
            }
          }
          v.Host().SetScrollRect(self, rect);
          return Undefined{};
        });
  }
}

}  // namespace

Object* AsObjectValue(const Value& value) {
  auto* const* object = std::get_if<Object*>(&value);
  return object ? *object : nullptr;
}

bool HasMember(Vm& vm, Object* object, std::string_view name, bool own) {
  if (!object) return false;
  return own ? vm.FindOwn(object, name) != nullptr : vm.FindInChain(object, name) != nullptr;
}

double NumberMember(Vm& vm, Object* object, std::string_view name) {
  if (!object) return NAN;
  return vm.ToNum(vm.GetMember(object, name));
}

int PixelInt(double number) { return std::isfinite(number) ? ToInt32(number) : 0; }

Object* GeomClass(Vm& vm, std::string_view name) {
  Object* flash = AsObjectValue(vm.GetMember(vm.Global(), "flash"));
  Object* geom = flash ? AsObjectValue(vm.GetMember(flash, "geom")) : nullptr;
  return geom ? AsObjectValue(vm.GetMember(geom, name)) : nullptr;
}

Object* NewGeom(Vm& vm, std::string_view name, std::span<const Value> args) {
  Object* constructor = GeomClass(vm, name);
  if (!constructor) return nullptr;
  return AsObjectValue(vm.Construct(Value{constructor}, args));
}

Object* NewPoint(Vm& vm, double x, double y) {
  const Value args[] = {x, y};
  return NewGeom(vm, "Point", args);
}

Object* NewRectangle(Vm& vm, double x, double y, double width, double height) {
  const Value args[] = {x, y, width, height};
  return NewGeom(vm, "Rectangle", args);
}

Object* NewMatrix(Vm& vm, const ClipMatrix& m) {
  const Value args[] = {m.a, m.b, m.c, m.d, m.tx, m.ty};
  return NewGeom(vm, "Matrix", args);
}

Object* NewColorTransform(Vm& vm, const ColorTerms& t) {
  const Value args[] = {t.mr, t.mg, t.mb, t.ma, t.ar, t.ag, t.ab, t.aa};
  return NewGeom(vm, "ColorTransform", args);
}

ClipMatrix ReadMatrix(Vm& vm, Object* object) {
  auto read = [&](std::string_view name, double fallback) {
    const double value = NumberMember(vm, object, name);
    return std::isfinite(value) ? value : fallback;
  };
  return {read("a", 1), read("b", 0), read("c", 0), read("d", 1), read("tx", 0), read("ty", 0)};
}

ColorTerms ReadColorTerms(Vm& vm, Object* object) {
  double values[8] = {1, 1, 1, 1, 0, 0, 0, 0};
  for (std::size_t i = 0; i < 8; ++i) {
    const double value = NumberMember(vm, object, kTermNames[i]);
    if (std::isfinite(value)) values[i] = value;
  }
  return {values[0], values[1], values[2], values[3], values[4], values[5], values[6], values[7]};
}

void InstallGeomClasses(Vm& vm) {
  Object* flash = AsObjectValue(vm.GetMember(vm.Global(), "flash"));
  if (!flash) {
    flash = vm.NewPlain();
    vm.Define(vm.Global(), "flash", Value{flash});
  }
  Object* geom = vm.NewPlain();
  vm.Define(flash, "geom", Value{geom});
  InstallPoint(vm, geom);
  InstallRectangle(vm, geom);
  InstallMatrix(vm, geom);
  InstallColorTransform(vm, geom);
  InstallTransform(vm, geom);
}

void InstallGraphicsClasses(Vm& vm) {
  InstallGeomClasses(vm);
  InstallBitmapDataClass(vm);
  InstallColorClass(vm);
}

}  // namespace swf
