#include "avm1.h"

#include <array>
#include <charconv>
#include <cmath>
#include <limits>
#include <optional>
#include <utility>
#include <vector>

#include "swf_reader.h"
#include "swf_text.h"

namespace swf {

std::string NumberToString(double number) {
  if (std::isnan(number)) return "NaN";
  if (std::isinf(number)) return number > 0 ? "Infinity" : "-Infinity";
  if (number == 0) return "0";  // also -0
  std::array<char, 64> buffer{};
  const auto result =
      std::to_chars(buffer.data(), buffer.data() + buffer.size(), number, std::chars_format::general, 15);
  std::string text(buffer.data(), result.ptr);
  // "1e+07" is written "1e+7", "1e-07" "1e-7".
  const std::size_t e = text.find('e');
  if (e != std::string::npos) {
    std::size_t digits = e + 2;
    while (digits + 1 < text.size() && text[digits] == '0') text.erase(digits, 1);
  }
  return text;
}

namespace {

bool IsBlank(char ch) { return ch == ' ' || ch == '\t' || ch == '\r' || ch == '\n'; }

double StringToNumber(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
  if (text.empty()) return kNaN;
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    std::uint64_t value = 0;
    const auto result = std::from_chars(text.data() + 2, text.data() + text.size(), value, 16);
    if (result.ec != std::errc() || result.ptr != text.data() + text.size()) return kNaN;
    return static_cast<double>(value);
  }
  bool negative = false;
  if (text[0] == '+' || text[0] == '-') {
    negative = text[0] == '-';
    text.remove_prefix(1);
  }
  // from_chars would also take "inf" and "nan": numbers start with a digit or a point.
  if (text.empty() || !((text[0] >= '0' && text[0] <= '9') || text[0] == '.')) return kNaN;
  double value = 0;
  const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
  if (result.ec == std::errc::result_out_of_range) {
    value = std::numeric_limits<double>::infinity();
  } else if (result.ec != std::errc() || result.ptr != text.data() + text.size()) {
    return kNaN;
  }
  return negative ? -value : value;
}

}  // namespace

std::string ToString(const Value& value, int version) {
  struct Visitor {
    int version;
    std::string operator()(Undefined) const { return version >= 7 ? "undefined" : ""; }
    std::string operator()(Null) const { return "null"; }
    std::string operator()(bool b) const { return b ? "true" : "false"; }
    std::string operator()(double d) const { return NumberToString(d); }
    std::string operator()(const std::string& s) const { return s; }
  };
  return std::visit(Visitor{version}, value);
}

double ToNumber(const Value& value, int version) {
  struct Visitor {
    int version;
    double operator()(Undefined) const { return version >= 7 ? std::numeric_limits<double>::quiet_NaN() : 0.0; }
    double operator()(Null) const { return version >= 7 ? std::numeric_limits<double>::quiet_NaN() : 0.0; }
    double operator()(bool b) const { return b ? 1.0 : 0.0; }
    double operator()(double d) const { return d; }
    double operator()(const std::string& s) const { return StringToNumber(s); }
  };
  return std::visit(Visitor{version}, value);
}

bool ToBoolean(const Value& value, int version) {
  if (const auto* text = std::get_if<std::string>(&value)) {
    if (version >= 7) return !text->empty();
  }
  if (const auto* b = std::get_if<bool>(&value)) return *b;
  if (std::holds_alternative<Undefined>(value) || std::holds_alternative<Null>(value)) return false;
  const double number = ToNumber(value, version);
  return number != 0 && !std::isnan(number);
}

bool LooselyEqual(const Value& left, const Value& right, int version) {
  const auto isNothing = [](const Value& v) {
    return std::holds_alternative<Undefined>(v) || std::holds_alternative<Null>(v);
  };
  if (isNothing(left) || isNothing(right)) return isNothing(left) && isNothing(right);
  if (left.index() == right.index()) return left == right;  // doubles: NaN != NaN
  // Mixed kinds (bool, number, string) compare as numbers.
  return ToNumber(left, version) == ToNumber(right, version);
}

namespace {

enum ActionCode : std::uint8_t {
  kEnd = 0x00,
  kNextFrame = 0x04,
  kPrevFrame = 0x05,
  kPlay = 0x06,
  kStop = 0x07,
  kAdd = 0x0A,
  kSubtract = 0x0B,
  kMultiply = 0x0C,
  kDivide = 0x0D,
  kEquals = 0x0E,
  kLess = 0x0F,
  kAnd = 0x10,
  kOr = 0x11,
  kNot = 0x12,
  kStringEquals = 0x13,
  kStringLength = 0x14,
  kPop = 0x17,
  kToInteger = 0x18,
  kGetVariable = 0x1C,
  kSetVariable = 0x1D,
  kStringAdd = 0x21,
  kTrace = 0x26,
  kStringLess = 0x29,
  kAdd2 = 0x47,
  kLess2 = 0x48,
  kEquals2 = 0x49,
  kPushDuplicate = 0x4C,
  kStackSwap = 0x4D,
  kIncrement = 0x50,
  kDecrement = 0x51,
  kGreater = 0x67,
  kStringGreater = 0x68,
  kGotoFrame = 0x81,
  kGetUrl = 0x83,
  kStoreRegister = 0x87,
  kConstantPool = 0x88,
  kGotoLabel = 0x8C,
  kPush = 0x96,
  kJump = 0x99,
  kGetUrl2 = 0x9A,
  kIf = 0x9D,
  kGotoFrame2 = 0x9F,
  kSetTarget = 0x8B,
  kSetTarget2 = 0x20,
};

// A frame number from a script value, clamped so it converts safely.
int FrameNumber(double number) {
  if (std::isnan(number)) return -1;
  if (number < -1e9) return -1;
  if (number > 1e9) return 1000000000;
  return static_cast<int>(std::trunc(number));
}

class Interpreter {
 public:
  Interpreter(std::span<const std::uint8_t> code, int version, ActionHost& host)
      : code_(code), version_(version), host_(host) {}

  ActionResult Run(std::size_t& budget) {
    std::size_t position = 0;
    while (position < code_.size()) {
      if (budget == 0) return ActionResult::OutOfBudget;
      --budget;
      const std::uint8_t action = code_[position++];
      if (action == kEnd) return ActionResult::Finished;
      std::span<const std::uint8_t> payload;
      if (action >= 0x80) {
        if (code_.size() - position < 2) return ActionResult::Malformed;
        const std::size_t length = code_[position] | (std::size_t{code_[position + 1]} << 8u);
        position += 2;
        if (code_.size() - position < length) return ActionResult::Malformed;
        payload = code_.subspan(position, length);
        position += length;
      }
      std::optional<std::ptrdiff_t> branch;
      const ActionResult result = Execute(action, payload, branch);
      if (result != ActionResult::Finished) return result;
      if (branch) {
        const std::ptrdiff_t target = static_cast<std::ptrdiff_t>(position) + *branch;
        if (target < 0 || target > static_cast<std::ptrdiff_t>(code_.size())) return ActionResult::Malformed;
        position = static_cast<std::size_t>(target);
      }
    }
    return ActionResult::Finished;
  }

 private:
  static std::size_t TextBytes(const Value& value) {
    const auto* text = std::get_if<std::string>(&value);
    return text ? text->size() : 0;
  }

  Value Pop() {
    if (stack_.empty()) return Undefined{};
    Value value = std::move(stack_.back());
    stack_.pop_back();
    stackTextBytes_ -= TextBytes(value);
    return value;
  }

  [[nodiscard]] bool Push(Value value) {
    const std::size_t bytes = TextBytes(value);
    if (bytes > kMaxStringBytes || stackTextBytes_ + bytes > kMaxStackTextBytes) return false;
    if (stack_.size() >= kMaxStackValues) return false;
    stackTextBytes_ += bytes;
    stack_.push_back(std::move(value));
    return true;
  }

  double PopNumber() { return ToNumber(Pop(), version_); }
  std::string PopString() { return ToString(Pop(), version_); }
  std::string Text(std::string_view raw) const { return SwfTextToUtf8(raw, version_); }

  static ActionResult Pushed(bool ok) { return ok ? ActionResult::Finished : ActionResult::OverLimit; }

  ActionResult Arithmetic(std::uint8_t action) {
    const double right = PopNumber();
    const double left = PopNumber();
    switch (action) {
      case kAdd: return Pushed(Push(left + right));
      case kSubtract: return Pushed(Push(left - right));
      case kMultiply: return Pushed(Push(left * right));
      case kDivide: return Pushed(Push(left / right));
      case kEquals: return Pushed(Push(left == right));
      case kLess: return Pushed(Push(left < right));
      case kGreater: return Pushed(Push(left > right));
      default: return Pushed(Push(Undefined{}));
    }
  }

  ActionResult StringCompare(std::uint8_t action) {
    const std::string right = PopString();
    const std::string left = PopString();
    switch (action) {
      case kStringEquals: return Pushed(Push(left == right));
      case kStringLess: return Pushed(Push(left < right));
      default: return Pushed(Push(left > right));
    }
  }

  ActionResult Add2() {
    const Value right = Pop();
    const Value left = Pop();
    if (std::holds_alternative<std::string>(left) || std::holds_alternative<std::string>(right)) {
      return Pushed(Push(ToString(left, version_) + ToString(right, version_)));
    }
    return Pushed(Push(ToNumber(left, version_) + ToNumber(right, version_)));
  }

  ActionResult Less2() {
    const Value right = Pop();
    const Value left = Pop();
    if (std::holds_alternative<std::string>(left) && std::holds_alternative<std::string>(right)) {
      return Pushed(Push(std::get<std::string>(left) < std::get<std::string>(right)));
    }
    const double l = ToNumber(left, version_);
    const double r = ToNumber(right, version_);
    if (std::isnan(l) || std::isnan(r)) return Pushed(Push(Undefined{}));
    return Pushed(Push(l < r));
  }

  ActionResult PushValues(std::span<const std::uint8_t> payload) {
    ByteReader reader(payload);
    while (!reader.AtEnd()) {
      Value value;
      switch (reader.U8()) {
        case 0: value = Text(reader.CString()); break;
        case 1: value = static_cast<double>(reader.F32()); break;
        case 2: value = Null{}; break;
        case 3: value = Undefined{}; break;
        case 4: {
          const std::uint8_t index = reader.U8();
          value = index < registers_.size() ? registers_[index] : Value{Undefined{}};
          break;
        }
        case 5: value = reader.U8() != 0; break;
        case 6: value = reader.F64Swapped(); break;
        case 7: value = static_cast<double>(reader.S32()); break;
        case 8: value = Constant(reader.U8()); break;
        case 9: value = Constant(reader.U16()); break;
        default: return ActionResult::Malformed;
      }
      if (reader.Failed()) return ActionResult::Malformed;
      if (!Push(std::move(value))) return ActionResult::OverLimit;
    }
    return ActionResult::Finished;
  }

  Value Constant(std::size_t index) const {
    if (index < constants_.size()) return constants_[index];
    return Undefined{};
  }

  ActionResult ReadConstantPool(std::span<const std::uint8_t> payload) {
    ByteReader reader(payload);
    const std::uint16_t count = reader.U16();
    constants_.clear();
    for (std::uint16_t i = 0; i < count && !reader.Failed(); ++i) constants_.push_back(Text(reader.CString()));
    return reader.Failed() ? ActionResult::Malformed : ActionResult::Finished;
  }

  ActionResult GotoFrame2(std::span<const std::uint8_t> payload) {
    ByteReader reader(payload);
    const std::uint8_t flags = reader.U8();
    const int bias = (flags & 0x02u) ? reader.U16() : 0;
    if (reader.Failed()) return ActionResult::Malformed;
    const Value frame = Pop();
    if (const auto* label = std::get_if<std::string>(&frame); label && std::isnan(StringToNumber(*label))) {
      host_.GotoLabel(*label);
    } else {
      host_.GotoFrame(FrameNumber(ToNumber(frame, version_)) - 1 + bias);
    }
    if (flags & 0x01u) {
      host_.Play();
    } else {
      host_.Stop();
    }
    return ActionResult::Finished;
  }

  ActionResult Execute(std::uint8_t action, std::span<const std::uint8_t> payload,
                       std::optional<std::ptrdiff_t>& branch) {
    ByteReader reader(payload);
    switch (action) {
      case kNextFrame: host_.NextFrame(); break;
      case kPrevFrame: host_.PrevFrame(); break;
      case kPlay: host_.Play(); break;
      case kStop: host_.Stop(); break;
      case kAdd:
      case kSubtract:
      case kMultiply:
      case kDivide:
      case kEquals:
      case kLess:
      case kGreater: return Arithmetic(action);
      case kAnd: {
        const bool right = ToBoolean(Pop(), version_);
        const bool left = ToBoolean(Pop(), version_);
        return Pushed(Push(left && right));
      }
      case kOr: {
        const bool right = ToBoolean(Pop(), version_);
        const bool left = ToBoolean(Pop(), version_);
        return Pushed(Push(left || right));
      }
      case kNot: return Pushed(Push(!ToBoolean(Pop(), version_)));
      case kStringEquals:
      case kStringLess:
      case kStringGreater: return StringCompare(action);
      case kStringLength: return Pushed(Push(static_cast<double>(PopString().size())));
      case kPop:
      case kTrace: (void)Pop(); break;
      case kToInteger: {
        const double number = PopNumber();
        return Pushed(Push(std::isfinite(number) ? std::trunc(number) : 0.0));
      }
      case kGetVariable: return Pushed(Push(host_.GetVariable(PopString())));
      case kSetVariable: {
        Value value = Pop();
        host_.SetVariable(PopString(), std::move(value));
        break;
      }
      case kStringAdd: {
        const std::string right = PopString();
        return Pushed(Push(PopString() + right));
      }
      case kAdd2: return Add2();
      case kLess2: return Less2();
      case kEquals2: {
        const Value right = Pop();
        return Pushed(Push(LooselyEqual(Pop(), right, version_)));
      }
      case kPushDuplicate: {
        Value top = Pop();
        Value copy = top;
        return Pushed(Push(std::move(top)) && Push(std::move(copy)));
      }
      case kStackSwap: {
        Value top = Pop();
        Value below = Pop();
        return Pushed(Push(std::move(top)) && Push(std::move(below)));
      }
      case kIncrement: return Pushed(Push(PopNumber() + 1));
      case kDecrement: return Pushed(Push(PopNumber() - 1));
      case kGotoFrame: {
        const std::uint16_t frame = reader.U16();
        if (reader.Failed()) return ActionResult::Malformed;
        host_.GotoFrame(frame);
        break;
      }
      case kGotoLabel: {
        const std::string label = reader.CString();
        if (reader.Failed()) return ActionResult::Malformed;
        host_.GotoLabel(Text(label));
        break;
      }
      case kGetUrl: {
        const std::string url = Text(reader.CString());
        const std::string target = Text(reader.CString());
        if (reader.Failed()) return ActionResult::Malformed;
        host_.GetUrl(url, target);
        break;
      }
      case kGetUrl2: {
        const std::string target = PopString();
        const std::string url = PopString();
        host_.GetUrl(url, target);
        break;
      }
      case kStoreRegister: {
        const std::uint8_t index = reader.U8();
        if (reader.Failed()) return ActionResult::Malformed;
        if (index < registers_.size()) registers_[index] = stack_.empty() ? Value{Undefined{}} : stack_.back();
        break;
      }
      case kConstantPool: return ReadConstantPool(payload);
      case kPush: return PushValues(payload);
      case kJump:
      case kIf: {
        const std::int16_t offset = reader.S16();
        if (reader.Failed()) return ActionResult::Malformed;
        if (action == kJump || ToBoolean(Pop(), version_)) branch = offset;
        break;
      }
      case kGotoFrame2: return GotoFrame2(payload);
      case kSetTarget: {
        const std::string target = reader.CString();
        if (reader.Failed()) return ActionResult::Malformed;
        host_.SetTarget(Text(target));
        break;
      }
      case kSetTarget2: host_.SetTarget(PopString()); break;
      default: break;  // actions we do not implement are skipped, as the player does
    }
    return ActionResult::Finished;
  }

  std::span<const std::uint8_t> code_;
  int version_;
  ActionHost& host_;
  std::vector<Value> stack_;
  std::size_t stackTextBytes_ = 0;
  std::vector<Value> constants_;
  std::array<Value, 4> registers_{};
};

}  // namespace

ActionResult RunActions(std::span<const std::uint8_t> code, int version, ActionHost& host, std::size_t& budget) {
  return Interpreter(code, version, host).Run(budget);
}

}  // namespace swf
