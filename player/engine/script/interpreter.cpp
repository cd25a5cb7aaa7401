// The action interpreter: runs action blocks and script functions on the Vm.

#include <chrono>
#include <cmath>
#include <cstring>
#include <deque>
#include <limits>
#include <optional>
#include <type_traits>
#include <utility>

#include "swf_reader.h"
#include "swf_text.h"
#include "net.h"
#include "vm.h"

// The general action switch stays a function of its own: inlined into the
// loop, its large frame would be set up for every push and branch too.
#if defined(_MSC_VER) && !defined(__clang__)
#define SWF_OUT_OF_LINE __declspec(noinline)
#else
#define SWF_OUT_OF_LINE __attribute__((noinline))
#endif

namespace swf {

// A block of actions decoded once, as far as it runs: each action's header,
// the offset of a jump and the values a push makes (its literal texts made
// once for their place and shared by every push after). A loop then reads its
// actions from here instead of parsing their bytes on every pass. Actions are
// found by their position, decoded the first time one is reached there, so a
// branch into the middle of another action still reads the bytes it lands on.
class DecodedCode {
 public:
  struct Action {
    std::uint8_t code = 0;
    // Push: the bytes after the decoded values are malformed.
    bool malformedTail = false;
    // Push: its last value is a text and a GetVariable follows, which the
    // run does with the push (reading the name where the push left it).
    bool nameForGet = false;
    std::uint32_t payload = 0;  // where the payload starts in the block
    std::uint32_t length = 0;   // of the payload
    std::uint32_t next = 0;     // the position after the action
    // Jump and If: the branch offset (malformedTail when it is missing);
    // Push: the first of its values.
    std::int32_t operand = 0;
    std::uint32_t count = 0;  // Push: how many values
  };
  // What a push puts on the stack: a value made at decoding, or one read
  // when it runs (a register, an entry of the constant pool in use then).
  struct PushItem {
    enum Kind : std::uint8_t { Made, Register, Constant } kind = Made;
    std::uint16_t index = 0;
    Value value;
    // A text a GetVariable reads that names a plain variable (no path, no
    // name the interpreter treats apart): its property key, made once.
    std::unique_ptr<const PropertyKey> key;
  };

  // The action at `position`, which stays where it is while the code lives;
  // nullptr when its header runs past the block.
  const Action* At(std::span<const std::uint8_t> code, std::size_t position, int version) {
    if (position < where_.size() && where_[position]) return where_[position];
    return Decode(code, position, version);
  }
  [[nodiscard]] const PushItem& Item(std::size_t index) const { return items_[index]; }

 private:
  const Action* Decode(std::span<const std::uint8_t> code, std::size_t position, int version) {
    if (where_.size() != code.size()) {
      where_.assign(code.size(), nullptr);
      actions_.clear();
      items_.clear();
    }
    Action action;
    action.code = code[position];
    std::size_t at = position + 1;
    if (action.code >= 0x80) {
      if (code.size() - at < 2) return nullptr;
      const std::size_t length = code[at] | (std::size_t{code[at + 1]} << 8u);
      at += 2;
      if (code.size() - at < length) return nullptr;
      action.payload = static_cast<std::uint32_t>(at);
      action.length = static_cast<std::uint32_t>(length);
      at += length;
    }
    action.next = static_cast<std::uint32_t>(at);
    const std::span<const std::uint8_t> payload = code.subspan(action.payload, action.length);
    if (action.code == 0x99 || action.code == 0x9D) {  // Jump, If
      ByteReader reader(payload);
      action.operand = reader.S16();
      action.malformedTail = reader.Failed();
    } else if (action.code == 0x96) {  // Push
      action.operand = static_cast<std::int32_t>(items_.size());
      action.malformedTail = !DecodePush(payload, version);
      action.count = static_cast<std::uint32_t>(items_.size()) - static_cast<std::uint32_t>(action.operand);
      action.nameForGet = !action.malformedTail && action.count > 0 && items_.back().kind == PushItem::Made &&
                          std::holds_alternative<SharedText>(items_.back().value) && at < code.size() &&
                          code[at] == 0x1C;
      if (action.nameForGet) {
        // The key points into the text, which the item keeps.
        const std::string_view name = std::get<SharedText>(items_.back().value);
        if (IsPlainVariableName(name)) items_.back().key = std::make_unique<const PropertyKey>(name, version < 7);
      }
    }
    actions_.push_back(action);
    where_[position] = &actions_.back();
    return where_[position];
  }

  // Whether a name reads as a variable of the scope chain and nothing else:
  // no path in it, and none of the names the interpreter looks up apart
  // (in any letter case, to be safe in every version).
  static bool IsPlainVariableName(std::string_view name) {
    if (name.empty()) return false;
    for (const char ch : name) {
      if (ch == ':' || ch == '.' || ch == '/') return false;
    }
    for (const std::string_view special : {"this", "_global", "_root", "_level0", "super", "_parent"}) {
      if (EqualsIgnoringCase(name, special)) return false;
    }
    return true;
  }

  // The values of a push, up to the first malformed one (false then).
  bool DecodePush(std::span<const std::uint8_t> payload, int version) {
    ByteReader reader(payload);
    while (!reader.AtEnd()) {
      PushItem item;
      const std::uint8_t kind = reader.U8();
      switch (kind) {
        case 0: {
          const std::span<const std::uint8_t> rest = reader.Rest();
          const void* zero = std::memchr(rest.data(), 0, rest.size());
          if (!zero) return false;
          const auto length = static_cast<std::size_t>(static_cast<const std::uint8_t*>(zero) - rest.data());
          const std::string_view raw(reinterpret_cast<const char*>(rest.data()), length);
          reader.Skip(length + 1);
          SharedText made =
              version >= 6 ? SharedText(raw.substr(0, kMaxStringBytes)) : SharedText(SwfTextToUtf8(raw, version));
          if (made.size() > kMaxStringBytes) made = SharedText(std::string_view(made).substr(0, kMaxStringBytes));
          item.value = std::move(made);
          break;
        }
        case 1: item.value = static_cast<double>(reader.F32()); break;
        case 2: item.value = Null{}; break;
        case 3: item.value = Undefined{}; break;
        case 4:
          item.kind = PushItem::Register;
          item.index = reader.U8();
          break;
        case 5: item.value = reader.U8() != 0; break;
        case 6: item.value = reader.F64Swapped(); break;
        case 7: item.value = static_cast<double>(reader.S32()); break;
        case 8:
        case 9:
          item.kind = PushItem::Constant;
          item.index = kind == 8 ? reader.U8() : reader.U16();
          break;
        default: return false;
      }
      if (reader.Failed()) return false;
      items_.push_back(std::move(item));
    }
    return true;
  }

  std::vector<const Action*> where_;  // per position: its action, null while not decoded
  std::deque<Action> actions_;        // a deque, so an action stays put as more are decoded
  std::vector<PushItem> items_;
};

struct FunctionCode {
  std::vector<std::uint8_t> body;
  std::string name;
  std::vector<std::pair<std::uint8_t, std::string>> params;  // register (0: none), name
  // Each parameter's name as the activation's properties key it (lower-cased
  // before version 7) and its hash, made once with the function.
  std::vector<std::pair<std::string, std::uint32_t>> paramKeys;
  bool second = false;                                       // DefineFunction2
  std::uint8_t registerCount = 0;
  std::uint16_t flags = 0;
  std::shared_ptr<const std::vector<Value>> constants;
  // Whether a call needs an `arguments` object: the body may name it, or a
  // DefineFunction2 preloads it.
  bool needsArguments = true;
  // Filled as calls run the body; the body never changes.
  mutable DecodedCode decoded;
};

namespace {

enum ActionCode : std::uint8_t {
  kEnd = 0x00,
  kNextFrame = 0x04,
  kPrevFrame = 0x05,
  kPlay = 0x06,
  kStop = 0x07,
  kToggleQuality = 0x08,
  kStopSounds = 0x09,
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
  kStringExtract = 0x15,
  kPop = 0x17,
  kToInteger = 0x18,
  kGetVariable = 0x1C,
  kSetVariable = 0x1D,
  kSetTarget2 = 0x20,
  kStringAdd = 0x21,
  kGetProperty = 0x22,
  kSetProperty = 0x23,
  kCloneSprite = 0x24,
  kRemoveSprite = 0x25,
  kTrace = 0x26,
  kStartDrag = 0x27,
  kEndDrag = 0x28,
  kStringLess = 0x29,
  kThrow = 0x2A,
  kCastOp = 0x2B,
  kImplementsOp = 0x2C,
  kRandomNumber = 0x30,
  kMbStringLength = 0x31,
  kCharToAscii = 0x32,
  kAsciiToChar = 0x33,
  kGetTime = 0x34,
  kMbStringExtract = 0x35,
  kMbCharToAscii = 0x36,
  kMbAsciiToChar = 0x37,
  kDelete = 0x3A,
  kDelete2 = 0x3B,
  kDefineLocal = 0x3C,
  kCallFunction = 0x3D,
  kReturn = 0x3E,
  kModulo = 0x3F,
  kNewObject = 0x40,
  kDefineLocal2 = 0x41,
  kInitArray = 0x42,
  kInitObject = 0x43,
  kTypeOf = 0x44,
  kTargetPath = 0x45,
  kEnumerate = 0x46,
  kAdd2 = 0x47,
  kLess2 = 0x48,
  kEquals2 = 0x49,
  kToNumber = 0x4A,
  kToString = 0x4B,
  kPushDuplicate = 0x4C,
  kStackSwap = 0x4D,
  kGetMember = 0x4E,
  kSetMember = 0x4F,
  kIncrement = 0x50,
  kDecrement = 0x51,
  kCallMethod = 0x52,
  kNewMethod = 0x53,
  kInstanceOf = 0x54,
  kEnumerate2 = 0x55,
  kBitAnd = 0x60,
  kBitOr = 0x61,
  kBitXor = 0x62,
  kBitLShift = 0x63,
  kBitRShift = 0x64,
  kBitURShift = 0x65,
  kStrictEquals = 0x66,
  kGreater = 0x67,
  kStringGreater = 0x68,
  kExtends = 0x69,
  kGotoFrame = 0x81,
  kGetUrl = 0x83,
  kStoreRegister = 0x87,
  kConstantPool = 0x88,
  kWaitForFrame = 0x8A,
  kSetTarget = 0x8B,
  kGotoLabel = 0x8C,
  kWaitForFrame2 = 0x8D,
  kDefineFunction2 = 0x8E,
  kTry = 0x8F,
  kWith = 0x94,
  kPush = 0x96,
  kJump = 0x99,
  kGetUrl2 = 0x9A,
  kDefineFunction = 0x9B,
  kIf = 0x9D,
  kCall = 0x9E,
  kGotoFrame2 = 0x9F,
};

constexpr const char* kClipPropertyNames[] = {
    "_x",          "_y",     "_xscale",      "_yscale",    "_currentframe", "_totalframes",  "_alpha",
    "_visible",    "_width", "_height",      "_rotation",  "_target",       "_framesloaded", "_name",
    "_droptarget", "_url",   "_highquality", "_focusrect", "_soundbuftime", "_quality",      "_xmouse",
    "_ymouse"};

int FrameNumber(double number) {
  if (std::isnan(number)) return -1;
  if (number < -1e9) return -1;
  if (number > 1e9) return 1000000000;
  return static_cast<int>(std::trunc(number));
}

// The highest 0-based frame ifFrameLoaded reports loaded: the platform plays
// at most 16000 frames a timeline.
constexpr std::int32_t kLastLoadableFrame = 16000;

// The registers a DefineFunction (not DefineFunction2) has, as a frame script does.
constexpr std::size_t kPlainFunctionRegisters = 4;

enum class Exit { Fell, Returned, Left };
// What the run does after an action: the next one, the branch of a Jump or
// If, or it ends.
enum class Step : std::uint8_t { Next, Branch, Returned, Left };

Step StepOf(const std::optional<Exit>& exit) {
  if (!exit) return Step::Next;
  return *exit == Exit::Returned ? Step::Returned : Step::Left;
}

// A copy made for the value's kind, without the variant's general copy.
Value CopyByKind(const Value& value) {
  if (const double* number = std::get_if<double>(&value)) return Value{std::in_place_type<double>, *number};
  if (const auto* text = std::get_if<SharedText>(&value)) return Value{std::in_place_type<SharedText>, *text};
  if (Object* const* object = std::get_if<Object*>(&value)) return Value{std::in_place_type<Object*>, *object};
  if (const bool* truth = std::get_if<bool>(&value)) return Value{std::in_place_type<bool>, *truth};
  if (std::holds_alternative<Null>(value)) return Value{std::in_place_type<Null>};
  return Value{};
}

// Appends a copy of a value that holds no text, made for its kind: the
// variant's general copy would ask for the kind again and copy through it.
void EmplaceTextless(std::vector<Value>& values, const Value& value) {
  if (const double* number = std::get_if<double>(&value)) {
    values.emplace_back(std::in_place_type<double>, *number);
  } else if (Object* const* object = std::get_if<Object*>(&value)) {
    values.emplace_back(std::in_place_type<Object*>, *object);
  } else if (const bool* truth = std::get_if<bool>(&value)) {
    values.emplace_back(std::in_place_type<bool>, *truth);
  } else if (std::holds_alternative<Null>(value)) {
    values.emplace_back(std::in_place_type<Null>);
  } else {
    values.emplace_back(std::in_place_type<Undefined>);
  }
}

// Stores `from` in `to`. A number over a number, the usual store of a loop,
// is written in place: the variant's assignment would go through its visitor.
void AssignValue(Value& to, Value&& from) {
  if (double* number = std::get_if<double>(&to)) {
    if (const double* other = std::get_if<double>(&from)) {
      *number = *other;
      return;
    }
  }
  to = std::move(from);
}

// Whether the value keeps a text or an object alive.
bool HoldsReference(const Value& value) {
  return std::holds_alternative<SharedText>(value) || std::holds_alternative<Object*>(value);
}

struct Frame {
  // The scope chain and registers come from the Vm's spares and go back there.
  explicit Frame(Vm& owner) : vm(owner), scope(owner.TakeScope()), registers(owner.TakeValues()) {}
  Frame(const Frame&) = delete;  // constantsOf may point into it
  Frame& operator=(const Frame&) = delete;
  ~Frame() {
    vm.ReturnScope(scope);
    vm.ReturnValues(registers);
  }
  Vm& vm;
  std::span<const std::uint8_t> code;
  std::vector<Object*> scope;  // global first, innermost last
  Object* self = nullptr;
  Object* target = nullptr;  // the timeline the actions act on
  Object* home = nullptr;
  Object* callee = nullptr;
  Object* activation = nullptr;  // a function's locals
  // A function made in this frame closes over the activation, which then
  // outlives the call.
  bool activationCaptured = false;
  std::vector<Value> registers;
  // The constant pool in use: the one the function was defined with, until a
  // ConstantPool action of this frame sets one of its own. Pointing at the
  // function's pool spares a call the count of a shared pointer.
  std::shared_ptr<const std::vector<Value>> ownConstants;
  const std::shared_ptr<const std::vector<Value>>* constantsOf = &ownConstants;
  [[nodiscard]] const std::shared_ptr<const std::vector<Value>>& constants() const { return *constantsOf; }
  Value result;
  DecodedCode* decoded = nullptr;  // for `code`
};

class Interpreter final : public ScriptRoots {
 public:
  Interpreter(Vm& vm, Frame& frame) : seenRemovals_(vm.clipRemovals), vm_(vm), f_(frame), stack_(vm.TakeValues()) {
    vm_.runningInterpreters.push_back(this);
    stack_.reserve(16);
  }
  Interpreter(const Interpreter&) = delete;
  Interpreter& operator=(const Interpreter&) = delete;

  void AddRoots(std::vector<Object*>& out) const override {
    const auto add = [&out](const Value& value) {
      if (auto* const* object = std::get_if<Object*>(&value); object && *object) out.push_back(*object);
    };
    for (Object* link : f_.scope) out.push_back(link);
    for (Object* object : {f_.self, f_.target, f_.home, f_.callee, f_.activation, original_}) {
      if (object) out.push_back(object);
    }
    for (const Value& value : f_.registers) add(value);
    for (const Value& value : stack_) add(value);
    add(f_.result);
    if (inRootedCall) {
      for (const Value* value : {callFunction_, callObject_}) {
        if (value) add(*value);
      }
      if (callArgs_) {
        for (const Value& value : *callArgs_) add(value);
      }
    }
  }
  [[nodiscard]] Object* CurrentTarget() const override { return f_.target; }

  // Runs [start, end); a branch out of it ends the run with `next` at the target.
  // The actions run are only counted as they go; the budget, the script's
  // clock and a due collection are settled as a region starts (a function's
  // body among them) and at every backward branch, which every loop takes
  // on each turn, so a script is stopped as promptly as before and a long
  // loop still frees its garbage. A timeline that left the stage is
  // followed before any action that may read one.
  Exit Run(std::size_t start, std::size_t end, std::size_t& next) {
    Settle();
    std::size_t position = start;
    while (position < end) {
      const DecodedCode::Action* decoded = f_.decoded->At(f_.code, position, Version());
      if (!decoded) return Leave(Exit::Left, position, next, true);
      const DecodedCode::Action& action = *decoded;
      const std::size_t at = position;
      position = action.next;
      ++unsettled_;
      Step step = Step::Next;
      switch (action.code) {
        case kPush:
          PushDecoded(action);
          if (action.nameForGet && position < end) {
            ++unsettled_;
            ReadPushedName(action);
            ++position;
          }
          continue;
        case kJump:
        case kIf: step = Branch(action); break;
        default:
          FollowIfRemoved();
          step = Execute(action, position);
          break;
      }
      if (step == Step::Next) continue;
      if (step == Step::Branch) {
        const std::ptrdiff_t target = static_cast<std::ptrdiff_t>(position) + action.operand;
        if (target < 0 || target > static_cast<std::ptrdiff_t>(f_.code.size())) {
          return Leave(Exit::Left, position, next, true);
        }
        position = static_cast<std::size_t>(target);
        if (position < start || position > end) return Leave(Exit::Left, position, next);
        if (position <= at) Settle();
        continue;
      }
      return Leave(step == Step::Returned ? Exit::Returned : Exit::Left, position, next);
    }
    return Leave(Exit::Fell, position, next);
  }

  // Ends a run: its actions are charged, and a malformed block ends here.
  Exit Leave(Exit exit, std::size_t position, std::size_t& next, bool malformed = false) {
    SpendActions(std::exchange(unsettled_, 0));
    if (malformed) throw Malformed{};
    next = position;
    return exit;
  }

  // A literal name and the GetVariable that reads it, run together.
  void ReadPushedName(const DecodedCode::Action& action) {
    FollowIfRemoved();
    const std::string_view name = std::get<SharedText>(stack_.back());
    const DecodedCode::PushItem& item = f_.decoded->Item(static_cast<std::size_t>(action.operand) + action.count - 1);
    Value found = item.key && !Swf4Rules() && !TellingTarget() ? ScopeVariable(name, *item.key, false)
                                                               : GetVariable(name);
    ReplaceTop(std::move(found));
  }

  // Runs the whole code, following branches that leave nested regions.
  void RunAll() {
    std::size_t position = 0;
    while (position < f_.code.size()) {
      std::size_t next = 0;
      const Exit exit = Run(position, f_.code.size(), next);
      if (exit != Exit::Left || next >= f_.code.size()) return;
      position = next;
    }
  }

  struct Malformed {};

  // A block starts on the values the previous block of the tick left, and
  // leaves its own for the next one.
  void TakeStack(std::vector<Value>& values) {
    for (Value& value : values) Push(std::move(value));
    values.clear();
  }
  void LeaveStack(std::vector<Value>& values) {
    for (const Value& value : stack_) vm_.stackTextBytes -= std::min(vm_.stackTextBytes, TextBytes(value));
    values = std::move(stack_);
    stack_.clear();
  }

 private:
  void CollectBetweenActions() { (void)vm_.Collect(); }

  // A clip left the stage while this block ran. A timeline it acted on that
  // is gone gives way to the clip living at its path now; without one, a
  // tellTarget target falls back to the block's own timeline, and that one
  // to the root.
  void FollowRemovedTimelines() {
    seenRemovals_ = vm_.clipRemovals;
    const auto gone = [](Object* clip) {
      return clip && clip->kind == ObjectKind::Clip && !clip->removedPath.empty();
    };
    Object* root = vm_.Host().RootClip();
    Object* const oldBase = original_;
    if (gone(original_)) {
      baseRemoved_ = true;
      Object* live = vm_.Host().LiveClip(original_);
      original_ = live ? live : root;
    }
    if (f_.target == oldBase) {
      f_.target = original_;
    } else if (gone(f_.target)) {
      Object* live = vm_.Host().LiveClip(f_.target);
      f_.target = live ? live : original_;
    }
    for (Object*& link : f_.scope) {
      if (link == oldBase) {
        link = original_;
      } else if (gone(link)) {
        Object* live = vm_.Host().LiveClip(link);
        link = live ? live : root;
      }
    }
  }

  void Spend() {
    if (!vm_.budget || *vm_.budget == 0) throw ScriptAbort{};
    --*vm_.budget;
    if (--vm_.actionsUntilClockCheck == 0) vm_.CheckScriptClock();
  }
  // Charges the actions counted so far and collects when due.
  void Settle() {
    SpendActions(std::exchange(unsettled_, 0));
    // Between two actions of the only running interpreter every object in
    // use is on its stack, registers or scope chain, so a long frame loop
    // can free its garbage as it goes.
    if (vm_.CollectionDue() && vm_.CollectionSafeInInnermost()) CollectBetweenActions();
  }
  void FollowIfRemoved() {
    if (vm_.clipRemovals != seenRemovals_) FollowRemovedTimelines();
  }
  void SpendActions(std::uint32_t count) {
    if (count == 0) return;
    if (!vm_.budget || *vm_.budget < count) {
      if (vm_.budget) *vm_.budget = 0;
      throw ScriptAbort{};
    }
    *vm_.budget -= count;
    if (vm_.actionsUntilClockCheck > count) {
      vm_.actionsUntilClockCheck -= count;
      return;
    }
    // The actions past the check count towards the next one, so the clock
    // is still read every kActionsPerClockCheck actions.
    const std::uint32_t past = count - vm_.actionsUntilClockCheck;
    vm_.CheckScriptClock();
    vm_.actionsUntilClockCheck -= std::min(past, vm_.actionsUntilClockCheck - 1);
  }

  // While the interpreter waits in a call, the function, object and
  // arguments it handed over count among its roots, so the call may collect.
  class RootedCall {
   public:
    RootedCall(Interpreter& in, const Value* function, const Value* object, const std::vector<Value>& args)
        : in_(in) {
      in_.callFunction_ = function;
      in_.callObject_ = object;
      in_.callArgs_ = &args;
      in_.inRootedCall = true;
    }
    ~RootedCall() {
      in_.inRootedCall = false;
      in_.callFunction_ = in_.callObject_ = nullptr;
      in_.callArgs_ = nullptr;
    }
    RootedCall(const RootedCall&) = delete;
    RootedCall& operator=(const RootedCall&) = delete;

   private:
    Interpreter& in_;
  };

  static std::size_t TextBytes(const Value& value) {
    const auto* text = std::get_if<SharedText>(&value);
    return text ? text->size() : 0;
  }

  // The text on top of the stack, taken off it; the caller checked it is one.
  SharedText PopText() {
    SharedText& top = std::get<SharedText>(stack_.back());
    vm_.stackTextBytes -= std::min(vm_.stackTextBytes, top.size());
    SharedText text = std::move(top);
    stack_.pop_back();
    return text;
  }
  // The name an action read from the top of the stack replaced by what it
  // found: a value without text takes its place without a pop and a push.
  void ReplaceTop(Value&& value) {
    if (!std::holds_alternative<SharedText>(value)) {
      vm_.stackTextBytes -= std::min(vm_.stackTextBytes, TextBytes(stack_.back()));
      stack_.back() = std::move(value);
      return;
    }
    (void)Pop();
    Push(std::move(value));
  }
  bool TopIsText() const { return !stack_.empty() && std::holds_alternative<SharedText>(stack_.back()); }

  Value Pop() {
    if (stack_.empty()) return Undefined{};
    Value value = std::move(stack_.back());
    stack_.pop_back();
    vm_.stackTextBytes -= std::min(vm_.stackTextBytes, TextBytes(value));
    return value;
  }
  // Texts on the stacks of every running block count against one limit, so
  // duplicating a long text cannot fill the memory.
  void Push(Value value) {
    if (auto* text = std::get_if<SharedText>(&value); text && text->size() > kMaxStringBytes) {
      *text = SharedText(std::string_view(*text).substr(0, kMaxStringBytes));
    }
    MakeRoom(TextBytes(value));
    stack_.push_back(std::move(value));
  }
  // A value that holds no text needs no room check beyond the count, and is
  // copied by its kind rather than through the variant's general copy.
  void PushCopy(const Value& value) {
    if (const auto* text = std::get_if<SharedText>(&value)) {
      MakeRoom(text->size());
      stack_.emplace_back(std::in_place_type<SharedText>, *text);
      return;
    }
    if (stack_.size() >= kMaxStackValues) throw ScriptAbort{};
    if (const double* number = std::get_if<double>(&value)) {
      stack_.emplace_back(std::in_place_type<double>, *number);
      return;
    }
    EmplaceTextless(stack_, value);
  }
  // Room for one more value holding `bytes` of text.
  void MakeRoom(std::size_t bytes) {
    if (stack_.size() >= kMaxStackValues) throw ScriptAbort{};
    if (vm_.stackTextBytes + bytes > kMaxStackTextBytes) throw ScriptAbort{};
    if (bytes >= kKiB) SpendPerKiB(bytes);
    vm_.stackTextBytes += bytes;
  }
  // Making a long text costs an action step per KiB, so a script's time
  // also bounds the text it can copy around.
  SWF_OUT_OF_LINE void SpendPerKiB(std::size_t bytes) {
    for (std::size_t kib = bytes / kKiB; kib > 0; --kib) Spend();
  }
  static constexpr std::size_t kKiB = 1024;
  // Calls `use` with the name on top of the stack (as a text), then pops it:
  // a literal name is read where it lies, not copied.
  template <typename Use>
  decltype(auto) WithTopName(Use&& use) {
    if (!stack_.empty()) {
      if (const auto* text = std::get_if<SharedText>(&stack_.back())) {
        // Only this interpreter pushes or pops its stack, so the text stays put.
        const std::string_view name = *text;
        if constexpr (std::is_void_v<decltype(use(name))>) {
          use(name);
          (void)Pop();
          return;
        } else {
          auto result = use(name);
          (void)Pop();
          return result;
        }
      }
    }
    return use(std::string_view(PopString()));
  }

 public:
  ~Interpreter() {
    for (const Value& value : stack_) vm_.stackTextBytes -= std::min(vm_.stackTextBytes, TextBytes(value));
    vm_.ReturnValues(stack_);
    vm_.runningInterpreters.pop_back();
  }

 private:
  double PopNumber() {
    if (double* top = TopNumber()) {
      const double number = *top;
      stack_.pop_back();
      return number;
    }
    return vm_.ToNum(Pop());
  }
  // A condition: a boolean (what comparisons leave) is read where it lies.
  bool PopTruth() {
    if (const bool* top = stack_.empty() ? nullptr : std::get_if<bool>(&stack_.back())) {
      const bool truth = *top;
      stack_.pop_back();
      return truth;
    }
    return vm_.ToBool(Pop());
  }
  // Arithmetic on two numbers works on the stack in place: no conversion is
  // called, no value moved. TopNumbers gives the left operand's place when
  // both on top are numbers; PoppedNumber then takes the right one off.
  bool TopNumbers(double*& left) {
    const std::size_t size = stack_.size();
    if (size < 2 || !std::holds_alternative<double>(stack_[size - 1])) return false;
    left = std::get_if<double>(&stack_[size - 2]);
    return left != nullptr;
  }
  double PoppedNumber() {
    const double right = *std::get_if<double>(&stack_.back());
    stack_.pop_back();
    return right;
  }
  double* TopNumber() { return stack_.empty() ? nullptr : std::get_if<double>(&stack_.back()); }
  // The two operands of an arithmetic action, the left one converted first.
  std::pair<double, double> PopOperands() {
    const Value right = Pop();
    const double left = PopNumber();
    return {left, vm_.ToNum(right)};
  }
  std::string PopString() {
    Value value = Pop();
    if (auto* text = std::get_if<SharedText>(&value)) return std::move(*text).Take();
    return vm_.ToStr(value);
  }
  std::string Text(std::string_view raw) const { return SwfTextToUtf8(raw, vm_.Version()); }
  int Version() const { return vm_.Version(); }
  // Version 4 frame scripts give numbers for truth and "#ERROR#" for a
  // division by zero; functions (a version 5 addition) run by the newer rules
  // even in a version 4 movie.
  bool Swf4Rules() const { return Version() < 5 && !f_.callee; }
  Value Truth(bool value) const { return Swf4Rules() ? Value{value ? 1.0 : 0.0} : Value{value}; }

  // A function of registers of its own that names one past its count
  // reaches the four registers of the frame script running beneath it.
  Value* Register(std::size_t index) {
    if (index < f_.registers.size()) return &f_.registers[index];
    const bool ownRegisters = f_.callee && f_.callee->code && f_.callee->code->second;
    if (f_.callee && !ownRegisters && index < kPlainFunctionRegisters) {
      // A DefineFunction's four registers are made when it first uses one.
      f_.registers.resize(kPlainFunctionRegisters);
      return &f_.registers[index];
    }
    std::vector<Value>* shared = vm_.blockRegisters;
    if (ownRegisters && shared && index < shared->size()) return &(*shared)[index];
    return nullptr;
  }

  std::vector<Value> PopArgs() {
    std::vector<Value> args;
    PopArgsInto(args);
    return args;
  }
  void PopArgsInto(std::vector<Value>& args) {
    const double count = PopNumber();
    const std::size_t n = count > 0 && count < 65536 ? static_cast<std::size_t>(count) : 0;
    for (std::size_t i = 0; i < n && !stack_.empty(); ++i) args.push_back(Pop());
  }
  // The arguments of a call action, in a list of the Vm's spares.
  class CallArgs {
   public:
    explicit CallArgs(Interpreter& in) : vm_(in.vm_), values(in.vm_.TakeValues()) { in.PopArgsInto(values); }
    ~CallArgs() { vm_.ReturnValues(values); }
    CallArgs(const CallArgs&) = delete;
    CallArgs& operator=(const CallArgs&) = delete;

   private:
    Vm& vm_;

   public:
    std::vector<Value> values;
  };

  // Variables -----------------------------------------------------------

  bool HasProperty(Object* object, std::string_view name) {
    const PropertyKey key(name, vm_.Caseless());
    return HasProperty(object, name, key);
  }
  bool HasProperty(Object* object, std::string_view name, const PropertyKey& key) {
    if (object->kind == ObjectKind::Clip) {
      Value ignored;
      if (Vm::MayBeClipProperty(object, name) && vm_.Host().GetClipProperty(object, name, ignored)) return true;
      if (vm_.Host().ChildClip(object, name)) return true;
    }
    if ((object->kind == ObjectKind::Array || object->kind == ObjectKind::String) && NameIs(name, "length")) {
      return true;
    }
    return vm_.FindInChain(object, key) != nullptr;
  }

  Object* SuperObject() { return vm_.NewSuper(f_.self, f_.home); }

  static std::size_t StoredBytes(const Value& value) { return sizeof(Value) + TextBytes(value); }

  // Where a holder keeps the name's value, found with the name's key made
  // once for every object of a scope chain, so the caller copies it once
  // into its result. Plain objects, activations and a clip on the stage
  // asked for a name that is no display property are read here; null with
  // `viaVm` when only the Vm can read the name (a getter, a display
  // property, an array or text), null alone when the holder has none.
  const Value* PlainHeld(Object* object, std::string_view name, const PropertyKey& key, bool& viaVm) {
    viaVm = true;
    if (object->superThis || object->kind == ObjectKind::Array || object->kind == ObjectKind::String ||
        NameIs(name, "__proto__")) {
      return nullptr;
    }
    if (object->kind == ObjectKind::Clip) {
      if (!object->removedPath.empty() || Vm::MayBeClipProperty(object, name)) return nullptr;
      const Property* own = vm_.FindOwn(object, key);
      return own && !own->getter ? &own->value : nullptr;
    }
    int hops = 0;
    for (Object* at = object; at && hops < 256; at = at->proto, ++hops) {
      if (const Property* property = vm_.FindOwn(at, key)) return property->getter ? nullptr : &property->value;
    }
    viaVm = false;
    return nullptr;
  }

  // Vm::SetMember with the name's key made by the caller: an own property
  // without accessors, on an object whose writes nothing else watches or
  // redirects, is written here; everything else goes to the Vm.
  void SetMemberKeyed(Object* object, std::string_view name, const PropertyKey& key, Value&& value) {
    const bool plainHolder =
        object->kind != ObjectKind::Array &&
        (object->kind != ObjectKind::Clip || (object->removedPath.empty() && !Vm::MayBeClipProperty(object, name)));
    if (plainHolder && !object->superThis && object->watches.empty() && !NameIs(name, "__proto__")) {
      if (Property* own = vm_.FindOwn(object, key); own && !own->getter && !own->setter) {
        if ((own->flags & kReadOnly) == 0 && vm_.ChargeReplacing(StoredBytes(own->value), StoredBytes(value))) {
          AssignValue(own->value, std::move(value));
        }
        return;
      }
    }
    vm_.SetMember(object, name, std::move(value));
  }

  // `name` is `builtin` (written in lower case) as this movie compares names.
  bool NameIs(std::string_view name, std::string_view builtin) const {
    if (name.size() != builtin.size()) return false;
    return vm_.Caseless() ? EqualsIgnoringCase(name, builtin) : name == builtin;
  }

  std::optional<Value> SpecialName(std::string_view name) {
    // Every special name but `this` starts with an underscore or is `super`.
    if (name.empty() || (name[0] != '_' && name[0] != 't' && name[0] != 'T' && name[0] != 's' && name[0] != 'S')) {
      return std::nullopt;
    }
    if (NameIs(name, "this")) {
      // A DefineFunction2 that preloads or suppresses `this` keeps it in a
      // register only: by name it is an ordinary (unset) variable.
      const FunctionCode* code = f_.callee ? f_.callee->code.get() : nullptr;
      if (code && code->second && (code->flags & 0x03u)) return std::nullopt;
      return f_.self ? Value{f_.self} : Value{Undefined{}};
    }
    if (NameIs(name, "_global") && Version() >= 6) return vm_.Global();
    if (NameIs(name, "_root") || NameIs(name, "_level0")) return vm_.Host().RootClip();
    if (NameIs(name, "super") && Version() >= 6) return SuperObject();
    return std::nullopt;
  }

  static bool IsParentName(std::string_view name) { return EqualsIgnoringCase(name, "_parent"); }

  // A version 4 target path: slash steps only ("/a/b", "../c", "a/"), each a
  // display object's name or "..", optionally after a level ("_level0" or
  // "_flash0", whose step ends at the next slash). "_root" and "this" are no
  // steps here.
  Object* ResolveSwf4Target(std::string_view path, Object* base) {
    if (path.empty()) return base;
    Object* at = base;
    std::string_view rest = path;
    if (rest.front() == '/') {
      at = vm_.Host().RootClip();
      rest.remove_prefix(1);
    } else if (const std::optional<int> level = LevelPrefix(rest)) {
      at = *level == 0 ? vm_.Host().RootClip() : nullptr;
      const std::size_t slash = rest.find('/');
      rest = slash == std::string_view::npos ? std::string_view() : rest.substr(slash + 1);
    }
    while (!rest.empty() && at) {
      const std::size_t slash = rest.find('/');
      const std::string_view step = rest.substr(0, slash);
      rest = slash == std::string_view::npos ? std::string_view() : rest.substr(slash + 1);
      if (step.empty()) return nullptr;  // "//": an empty step leads nowhere
      if (step == "..") {
        at = at->kind == ObjectKind::Clip ? vm_.Host().ParentClip(at) : nullptr;
      } else {
        at = at->kind == ObjectKind::Clip ? vm_.Host().ChildClip(at, step) : nullptr;
      }
    }
    return at;
  }

  // "_levelN" or "_flashN" at the start of a path: the level number.
  static std::optional<int> LevelPrefix(std::string_view path) {
    if (path.size() < 7) return std::nullopt;
    const std::string_view word = path.substr(0, 6);
    if (!EqualsIgnoringCase(word, "_level") && !EqualsIgnoringCase(word, "_flash")) return std::nullopt;
    int level = 0;
    std::size_t i = 6;
    for (; i < path.size() && i < 12 && path[i] >= '0' && path[i] <= '9'; ++i) level = level * 10 + (path[i] - '0');
    if (i == 6) return std::nullopt;
    return level;
  }

  // A target path: "/", "/a/b", "../c", "_root.a", "a.b", "this".
  Object* ResolveTarget(std::string_view path, Object* base) {
    if (Swf4Rules()) return ResolveSwf4Target(path, base);
    Object* at = base;
    if (path.empty()) return at;
    if (path.front() == '/') {
      at = vm_.Host().RootClip();
      path.remove_prefix(1);
    }
    bool first = true;
    while (!path.empty() && at) {
      std::string_view name;
      if (path.starts_with("..")) {
        name = "..";
        path.remove_prefix(2);
        if (!path.empty() && (path.front() == '/' || path.front() == ':')) path.remove_prefix(1);
      } else {
        const std::size_t end = path.find_first_of("/.:");
        name = path.substr(0, end);
        path = end == std::string_view::npos ? std::string_view() : path.substr(end + 1);
      }
      // "a//b": a path with an empty step leads nowhere.
      if (name.empty()) return nullptr;
      if (name == "..") {
        at = at->kind == ObjectKind::Clip ? vm_.Host().ParentClip(at) : nullptr;
      } else if (first) {
        const Value value = GetPlainVariable(name, at);
        auto* const* object = std::get_if<Object*>(&value);
        at = object ? *object : nullptr;
      } else {
        const Value value = vm_.GetMember(at, name);
        auto* const* object = std::get_if<Object*>(&value);
        at = object ? *object : nullptr;
      }
      first = false;
    }
    return at;
  }

  // A name without a path, through the scope chain.
  // A tellTarget (SetTarget) moved the actions to another timeline.
  bool TellingTarget() const { return f_.target && original_ && f_.target != original_; }

  Value GetPlainVariable(std::string_view name, Object* base) {
    if (std::optional<Value> special = SpecialName(name)) return *special;
    if (base != f_.target) {
      if (IsParentName(name) && base->kind == ObjectKind::Clip) {
        Object* parent = vm_.Host().ParentClip(base);
        return parent ? Value{parent} : Value{Undefined{}};
      }
      return vm_.GetMember(base, name);
    }
    if (TellingTarget()) {
      // Under tellTarget names resolve on the target, then the globals.
      if (IsParentName(name) && f_.target->kind == ObjectKind::Clip) {
        Object* parent = vm_.Host().ParentClip(f_.target);
        return parent ? Value{parent} : Value{Undefined{}};
      }
      Value found;
      if (vm_.Lookup(f_.target, name, found)) return found;
      return vm_.GetMember(vm_.Global(), name);
    }
    const PropertyKey key(name, vm_.Caseless());
    return ScopeVariable(name, key, IsParentName(name));
  }

  // A plain name through the scope chain, then the timeline.
  Value ScopeVariable(std::string_view name, const PropertyKey& key, bool parentName) {
    for (std::size_t i = f_.scope.size(); i-- > 0;) {
      Object* object = f_.scope[i];
      if (parentName && (object == f_.target || object->kind == ObjectKind::Clip)) {
        Object* parent = vm_.Host().ParentClip(object);
        return parent ? Value{parent} : Value{Undefined{}};
      }
      bool viaVm = false;
      if (const Value* held = PlainHeld(object, name, key, viaVm)) return CopyByKind(*held);
      if (viaVm) {
        Value found;
        if (vm_.Lookup(object, name, found)) return found;
      }
    }
    bool viaVm = false;
    if (const Value* held = f_.target ? PlainHeld(f_.target, name, key, viaVm) : nullptr) return CopyByKind(*held);
    if (viaVm) {
      Value found;
      if (vm_.Lookup(f_.target, name, found)) return found;
    }
    return Undefined{};
  }

  // Splits "path:name" or "a.b.name" into the object that holds the name.
  std::pair<Object*, std::string> SplitPath(std::string_view name) {
    const std::size_t colon = name.rfind(':');
    if (colon != std::string_view::npos) {
      return {ResolveTarget(name.substr(0, colon), f_.target), std::string(name.substr(colon + 1))};
    }
    const std::size_t dot = name.rfind('.');
    if (dot != std::string_view::npos && dot > 0 && dot + 1 < name.size()) {
      return {ResolveTarget(name.substr(0, dot), f_.target), std::string(name.substr(dot + 1))};
    }
    if (name.find('/') != std::string_view::npos) return {ResolveTarget(name, f_.target), ""};
    return {nullptr, std::string(name)};
  }

  static bool HasPath(std::string_view name) {
    // A plain loop: find_first_of searches the set once per character.
    for (const char ch : name) {
      if (ch == ':' || ch == '.' || ch == '/') return true;
    }
    return false;
  }

  // "a.b.c" split at its dots; empty when the name is no plain dotted path.
  std::vector<std::string_view> DottedParts(std::string_view name) {
    std::vector<std::string_view> parts;
    if (name.find_first_of(":/") != std::string_view::npos || name.front() == '.' || name.back() == '.') return parts;
    for (std::size_t start = 0; start <= name.size();) {
      const std::size_t dot = name.find('.', start);
      parts.push_back(name.substr(start, dot == std::string_view::npos ? std::string_view::npos : dot - start));
      if (dot == std::string_view::npos) break;
      start = dot + 1;
    }
    if (SpecialName(parts[0]) || IsParentName(parts[0])) parts.clear();
    return parts;
  }

  // The object "a.b" leads to for "a.b.c", from the innermost scope that has
  // an `a` leading there (and, with `needLast`, whose object also has c).
  Object* DottedHolder(std::span<const std::string_view> parts, bool needLast) {
    for (std::size_t i = f_.scope.size(); i-- > 0;) {
      Object* scope = f_.scope[i];
      if (!HasProperty(scope, parts[0])) continue;
      Value at = vm_.GetMember(scope, parts[0]);
      bool reached = true;
      for (std::size_t k = 1; k + 1 < parts.size(); ++k) {
        auto* const* object = std::get_if<Object*>(&at);
        if (!object) {
          reached = false;
          break;
        }
        at = vm_.GetMember(*object, parts[k]);
      }
      auto* const* holder = std::get_if<Object*>(&at);
      if (reached && holder && (!needLast || HasProperty(*holder, parts.back()))) return *holder;
    }
    return nullptr;
  }

  std::optional<Value> GetDottedVariable(std::string_view name) {
    const std::vector<std::string_view> parts = DottedParts(name);
    if (parts.empty()) return std::nullopt;
    Object* holder = DottedHolder(parts, true);
    return holder ? vm_.GetMember(holder, parts.back()) : Value{Undefined{}};
  }

  // Version 4 variables: "path:name" or a plain name (dots are part of it);
  // texts and numbers only, so a clip reads as undefined, and the built-in
  // globals of later versions (NaN, Infinity) are not there.
  Value GetSwf4Variable(std::string_view name) {
    Value value = Undefined{};
    if (const std::size_t colon = name.rfind(':'); colon != std::string_view::npos) {
      Object* holder = colon == 0 ? nullptr : ResolveSwf4Target(name.substr(0, colon), f_.target);
      if (holder && colon + 1 < name.size()) value = vm_.GetMember(holder, name.substr(colon + 1));
    } else if (name.find('/') == std::string_view::npos) {
      if (std::optional<Value> special = SpecialName(name)) {
        value = *special;
      } else if (f_.target && !vm_.Lookup(f_.target, name, value)) {
        value = Undefined{};
      }
    }
    if (auto* const* object = std::get_if<Object*>(&value); object && (*object)->kind == ObjectKind::Clip) {
      return Undefined{};
    }
    return value;
  }

  Value GetVariable(std::string_view name) {
    if (Swf4Rules()) return GetSwf4Variable(name);
    if (!HasPath(name)) return GetPlainVariable(name, f_.target);
    if (std::optional<Value> dotted = GetDottedVariable(name)) return *dotted;
    auto [holder, own] = SplitPath(name);
    if (!holder) return Undefined{};
    if (own.empty()) return holder;
    if (IsParentName(own) && holder->kind == ObjectKind::Clip) {
      Object* parent = vm_.Host().ParentClip(holder);
      return parent ? Value{parent} : Value{Undefined{}};
    }
    return vm_.GetMember(holder, own);
  }

  Object* TimelineOfScope() {
    for (std::size_t i = f_.scope.size(); i-- > 0;) {
      if (f_.scope[i]->kind == ObjectKind::Clip) return f_.scope[i];
    }
    return f_.target;
  }

  void SetVariable(std::string_view name, Value&& value) {
    if (Swf4Rules()) {
      // Version 4: "path:name" or a plain name of the target's, dots and all.
      Object* holder = f_.target;
      if (const std::size_t colon = name.rfind(':'); colon != std::string_view::npos) {
        holder = colon == 0 ? nullptr : ResolveSwf4Target(name.substr(0, colon), f_.target);
        name.remove_prefix(colon + 1);
      }
      if (holder && !name.empty()) vm_.SetMember(holder, name, std::move(value));
      return;
    }
    if (HasPath(name)) {
      if (const std::vector<std::string_view> parts = DottedParts(name); !parts.empty()) {
        if (Object* holder = DottedHolder(parts, false)) vm_.SetMember(holder, parts.back(), std::move(value));
        return;
      }
      auto [holder, own] = SplitPath(name);
      if (holder && !own.empty()) vm_.SetMember(holder, own, std::move(value));
      return;
    }
    if (TellingTarget()) {
      vm_.SetMember(f_.target, name, std::move(value));
      return;
    }
    const PropertyKey key(name, vm_.Caseless());
    Object* fallback = f_.target ? f_.target : TimelineOfScope();
    for (std::size_t i = f_.scope.size(); i-- > 1;) {  // the global object is never set implicitly
      // The outermost candidate takes the name whether it has it or not when
      // it is where the name would be set anyway.
      if (i == 1 && f_.scope[i] == fallback) break;
      if (HasProperty(f_.scope[i], name, key)) {
        SetMemberKeyed(f_.scope[i], name, key, std::move(value));
        return;
      }
    }
    SetMemberKeyed(fallback, name, key, std::move(value));
  }

  Object* Activation() const { return f_.activation; }

  void DefineLocal(std::string_view name, Value value) {
    Object* activation = f_.callee ? Activation() : nullptr;
    // Inside with(...), an object of the with that has the name itself takes it.
    for (std::size_t i = f_.scope.size(); i-- > 1;) {
      Object* object = f_.scope[i];
      if (object == activation || object == f_.target || object == original_) break;
      if (vm_.FindOwn(object, name)) {
        vm_.SetMember(object, name, std::move(value));
        return;
      }
    }
    if (activation) {
      vm_.Define(activation, name, std::move(value), 0);
    } else {
      vm_.SetMember(f_.target, name, std::move(value));
    }
  }

  // Calls ----------------------------------------------------------------

  Value CallNamed(const Value& target, std::string_view method, std::vector<Value>& args) {
    // A method of a clip that left the stage runs on the clip at its path now.
    Value object = target;
    if (auto* const* clip = std::get_if<Object*>(&target);
        clip && (*clip)->kind == ObjectKind::Clip && !(*clip)->removedPath.empty()) {
      if (Object* live = vm_.Host().LiveClip(*clip)) object = Value{live};
    }
    auto* const* self = std::get_if<Object*>(&object);
    if (self && (*self)->superThis) {
      // super(...) runs the constructor of the class above the method's
      // home; super.method(...) the method found above it.
      Object* base = Vm::SuperReadBase(*self);
      if (method.empty()) return vm_.Call(vm_.SuperConstructor(*self), Value{(*self)->superThis}, args, base);
      Object* holder = base;
      while (holder && !vm_.FindOwn(holder, method)) holder = holder->proto;
      const Value function = base ? vm_.GetMember(base, method) : Value{Undefined{}};
      return vm_.Call(function, Value{(*self)->superThis}, args, holder);
    }
    if (method.empty()) return vm_.Call(object, Undefined{}, args);
    const Value function = vm_.Get(object, method);
    Object* holder = nullptr;
    if (self) {
      holder = *self;
      const PropertyKey key(method, vm_.Caseless());
      int hops = 0;
      while (holder && !vm_.FindOwn(holder, key) && hops++ < 256) holder = holder->proto;
      // A method of the object itself has the object's prototype as its
      // home, as a constructor does.
      if (holder == *self) holder = (*self)->proto;
    }
    if (!std::holds_alternative<Object*>(function)) return Undefined{};
    Value receiver = object;
    if (!self) receiver = Value{vm_.ToObject(object)};
    return vm_.Call(function, receiver, args, holder);
  }

  Object* MakeFunction(std::shared_ptr<const FunctionCode> code) {
    f_.activationCaptured = true;
    Object* function = vm_.NewObject(ObjectKind::Function, vm_.functionProto_);
    function->code = std::move(code);
    function->scope = f_.scope;
    if (function->scope.empty() || function->scope.back() != f_.target) {
      bool hasTarget = false;
      for (Object* object : function->scope) hasTarget |= object == f_.target;
      if (!hasTarget && f_.target) function->scope.push_back(f_.target);
    }
    Object* prototype = vm_.NewPlain();
    vm_.Define(prototype, "constructor", Value{function}, kDontEnum);
    vm_.Define(function, "prototype", Value{prototype}, kDontEnum | kDontDelete);
    return function;
  }

  // A function names `arguments` only through a text in its body or in the
  // constant pool it shares; a DefineFunction2 says in its flags whether it
  // preloads the object or suppresses the name.
  bool NeedsArguments(const FunctionCode& code) const {
    if (code.second && (code.flags & 0x04u)) return true;
    if (code.second && (code.flags & 0x08u)) return false;
    const auto mentions = [](std::string_view text) {
      constexpr std::string_view kName = "arguments";
      for (std::size_t at = 0; at + kName.size() <= text.size(); ++at) {
        if (EqualsIgnoringCase(text.substr(at, kName.size()), kName)) return true;
      }
      return false;
    };
    const std::string_view body(reinterpret_cast<const char*>(code.body.data()), code.body.size());
    if (mentions(body)) return true;
    if (code.constants) {
      for (const Value& constant : *code.constants) {
        if (const auto* text = std::get_if<SharedText>(&constant); text && mentions(*text)) return true;
      }
    }
    return false;
  }

  void DefineFunction(std::span<const std::uint8_t> payload, bool second, std::size_t& position) {
    ByteReader reader(payload);
    auto code = std::make_shared<FunctionCode>();
    code->second = second;
    code->name = Text(reader.CString());
    const std::uint16_t count = reader.U16();
    if (second) {
      code->registerCount = reader.U8();
      code->flags = reader.U16();
    }
    for (std::uint16_t i = 0; i < count && !reader.Failed(); ++i) {
      const std::uint8_t reg = second ? reader.U8() : 0;
      code->params.emplace_back(reg, Text(reader.CString()));
      const PropertyKey key(code->params.back().second, vm_.Caseless());
      code->paramKeys.emplace_back(std::string(key.Text()), key.Hash());
    }
    const std::uint16_t size = reader.U16();
    if (reader.Failed() || f_.code.size() - position < size) throw Malformed{};
    code->body.assign(f_.code.begin() + static_cast<std::ptrdiff_t>(position),
                      f_.code.begin() + static_cast<std::ptrdiff_t>(position + size));
    position += size;
    code->constants = f_.constants();
    code->needsArguments = NeedsArguments(*code);
    Object* function = MakeFunction(std::move(code));
    const std::string& name = function->code->name;
    if (name.empty()) {
      Push(function);
    } else {
      SetVariable(name, Value{function});
    }
  }

  // Objects --------------------------------------------------------------

  void Enumerate(const Value& value) {
    Push(Null{});
    auto* const* object = std::get_if<Object*>(&value);
    if (!object) return;
    std::vector<std::string> names = vm_.EnumerableNames(*object);
    if ((*object)->kind == ObjectKind::Clip) {
      // Named children enumerate as well.
      for (std::string& name : ClipChildNames(*object)) names.push_back(std::move(name));
    }
    for (auto it = names.rbegin(); it != names.rend(); ++it) Push(*it);
  }

  std::vector<std::string> ClipChildNames(Object* clip) { return vm_.Host().ChildNames(clip); }

  // Flow -----------------------------------------------------------------

  std::optional<Exit> Try(std::span<const std::uint8_t> payload, std::size_t& position) {
    ByteReader reader(payload);
    const std::uint8_t flags = reader.U8();
    const std::uint16_t trySize = reader.U16();
    const std::uint16_t catchSize = reader.U16();
    const std::uint16_t finallySize = reader.U16();
    std::string catchName;
    std::uint8_t catchRegister = 0;
    const bool inRegister = flags & 0x04u;
    if (inRegister) {
      catchRegister = reader.U8();
    } else {
      catchName = Text(reader.CString());
    }
    if (reader.Failed()) throw Malformed{};
    const std::size_t tryStart = position;
    const std::size_t catchStart = tryStart + trySize;
    const std::size_t finallyStart = catchStart + catchSize;
    const std::size_t after = finallyStart + finallySize;
    if (after > f_.code.size()) throw Malformed{};

    std::optional<ScriptThrow> pending;
    std::size_t next = after;
    Exit exit = Exit::Fell;
    const std::size_t depth = stack_.size();
    try {
      exit = Run(tryStart, catchStart, next);
    } catch (ScriptThrow& thrown) {
      stack_.resize(std::min(stack_.size(), depth));
      if (flags & 0x01u) {
        if (inRegister) {
          if (Value* held = Register(catchRegister)) *held = thrown.value;
        } else {
          DefineLocal(catchName, thrown.value);
        }
        try {
          exit = Run(catchStart, finallyStart, next);
        } catch (ScriptThrow& again) {
          pending = std::move(again);
        }
      } else {
        pending = std::move(thrown);
      }
    }
    if (exit == Exit::Fell) next = finallyStart;
    if (flags & 0x02u) {
      std::size_t afterFinally = after;
      const Value savedResult = f_.result;
      const Exit finallyExit = Run(finallyStart, after, afterFinally);
      if (finallyExit == Exit::Returned) return Exit::Returned;
      if (finallyExit == Exit::Left) {
        position = afterFinally;
        return Exit::Left;
      }
      f_.result = savedResult;
    }
    if (pending) throw std::move(*pending);
    if (exit == Exit::Returned) return Exit::Returned;
    if (exit == Exit::Left && (next < tryStart || next > after)) {
      position = next;
      return Exit::Left;
    }
    position = after;
    return std::nullopt;
  }

  std::optional<Exit> With(std::span<const std::uint8_t> payload, std::size_t& position) {
    ByteReader reader(payload);
    const std::uint16_t size = reader.U16();
    if (reader.Failed() || f_.code.size() - position < size) throw Malformed{};
    const Value value = Pop();
    Object* object = vm_.ToObject(value);
    const std::size_t start = position;
    const std::size_t end = position + size;
    if (!object) {
      position = end;
      return std::nullopt;
    }
    if (f_.scope.size() > 64) throw ScriptAbort{};
    f_.scope.push_back(object);
    std::size_t next = end;
    Exit exit = Exit::Fell;
    try {
      exit = Run(start, end, next);
    } catch (...) {
      f_.scope.pop_back();
      throw;
    }
    f_.scope.pop_back();
    if (exit == Exit::Returned) return Exit::Returned;
    if (exit == Exit::Left) {
      position = next;
      if (next < start || next > end) return Exit::Left;
      return std::nullopt;
    }
    position = end;
    return std::nullopt;
  }

  // The values of a push as decoded: texts and numbers made then, registers
  // and constants read now. A malformed value ends the block after the ones
  // before it were pushed.
  void PushDecoded(const DecodedCode::Action& action) {
    const auto first = static_cast<std::size_t>(action.operand);
    for (std::uint32_t i = 0; i < action.count; ++i) {
      const DecodedCode::PushItem& item = f_.decoded->Item(first + i);
      if (item.kind == DecodedCode::PushItem::Made) {
        PushCopy(item.value);
      } else {
        PushRead(item);
      }
    }
    if (action.malformedTail) throw Malformed{};
  }
  // A register or a constant, read as the push runs; out of line, so a
  // literal's push keeps a small frame.
  SWF_OUT_OF_LINE void PushRead(const DecodedCode::PushItem& item) {
    if (item.kind == DecodedCode::PushItem::Constant) {
      PushConstant(item.index);
      return;
    }
    const Value* held = Register(item.index);
    Push(held ? *held : Value{Undefined{}});
  }

  void PushConstant(std::size_t index) {
    const std::vector<Value>* constants = f_.constants().get();
    if (constants && index < constants->size()) {
      PushCopy((*constants)[index]);
    } else {
      Push(Undefined{});
    }
  }

  void GotoFrame2(std::span<const std::uint8_t> payload) {
    ByteReader reader(payload);
    const std::uint8_t flags = reader.U8();
    const int bias = (flags & 0x02u) ? reader.U16() : 0;
    if (reader.Failed()) throw Malformed{};
    const Value frame = Pop();
    Object* target = TargetClip();
    std::string label;
    if (const auto* text = std::get_if<SharedText>(&frame)) {
      label = text->str();
      const std::size_t colon = label.rfind(':');
      if (colon != std::string::npos) {
        target = ResolveTarget(label.substr(0, colon), f_.target);
        label = label.substr(colon + 1);
      }
    }
    if (!target || target->kind != ObjectKind::Clip) return;
    if (!label.empty() && std::isnan(StringToNumber(label))) {
      vm_.Host().GotoLabel(target, label);
    } else {
      const double number = label.empty() ? vm_.ToNum(frame) : StringToNumber(label);
      vm_.Host().GotoFrame(target, FrameNumber(number) - 1 + bias);
    }
    vm_.Host().Play(target, flags & 0x01u);
  }

  Object* TargetClip() {
    return !targetLost_ && f_.target && f_.target->kind == ObjectKind::Clip ? f_.target : nullptr;
  }

  // An operand whose valueOf leaves a plain object compares as false (and the
  // right one is then not converted at all); a clip that stays a clip is no
  // number, so the comparison is undefined.
  Value Less(const Value& leftIn, const Value& rightIn) {
    const auto isClip = [](const Value& value) { return std::get<Object*>(value)->kind == ObjectKind::Clip; };
    Value left = vm_.ToPrimitive(leftIn);
    if (std::holds_alternative<Object*>(left)) {
      if (!isClip(left)) return false;
      left = std::numeric_limits<double>::quiet_NaN();
    }
    Value right = vm_.ToPrimitive(rightIn);
    if (std::holds_alternative<Object*>(right)) {
      if (!isClip(right)) return false;
      right = std::numeric_limits<double>::quiet_NaN();
    }
    if (std::holds_alternative<SharedText>(left) && std::holds_alternative<SharedText>(right)) {
      return TextLess(std::get<SharedText>(left), std::get<SharedText>(right));
    }
    const double l = ToNumber(left, Version());
    const double r = ToNumber(right, Version());
    if (std::isnan(l) || std::isnan(r)) return Undefined{};
    return l < r;
  }

  // NaN equals NaN here, as the player compares numbers.
  static bool StrictlyEqual(const Value& a, const Value& b) {
    if (a.index() != b.index()) return false;
    if (const auto* x = std::get_if<double>(&a); x && std::isnan(*x)) return std::isnan(std::get<double>(b));
    return a == b;
  }

  // Positions count UTF-16 units from 1 (a character beyond U+FFFF is two);
  // both numbers are 32-bit integers, a negative count takes the rest.
  static std::string Substring(const std::string& text, double start, double count) {
    const std::int32_t first = ToInt32(start);
    const std::int32_t wanted = ToInt32(count);
    const std::size_t begin = first < 1 ? 0 : static_cast<std::size_t>(first - 1);
    const std::size_t length = wanted < 0 ? text.size() * 2 : static_cast<std::size_t>(wanted);
    const auto next = [&text](std::size_t& at) {
      const bool pair = static_cast<unsigned char>(text[at]) >= 0xF0u;
      ++at;
      while (at < text.size() && (static_cast<unsigned char>(text[at]) & 0xC0u) == 0x80u) ++at;
      return pair ? std::size_t{2} : std::size_t{1};
    };
    std::size_t byteStart = 0;
    for (std::size_t units = 0; byteStart < text.size() && units < begin;) units += next(byteStart);
    std::size_t byteEnd = byteStart;
    for (std::size_t units = 0; byteEnd < text.size() && units < length;) units += next(byteEnd);
    return text.substr(byteStart, byteEnd - byteStart);
  }

  Step Branch(const DecodedCode::Action& action) {
    if (action.malformedTail) throw Malformed{};
    return action.code == kJump || PopTruth() ? Step::Branch : Step::Next;
  }

  SWF_OUT_OF_LINE Step Execute(const DecodedCode::Action& decoded, std::size_t& position) {
    const std::uint8_t action = decoded.code;
    const std::span<const std::uint8_t> payload = f_.code.subspan(decoded.payload, decoded.length);
    ByteReader reader(payload);
    DisplayHost& host = vm_.Host();
    switch (action) {
      case kEnd: position = f_.code.size(); return Step::Left;
      case kNextFrame:
        if (Object* clip = TargetClip()) {
          host.GotoFrame(clip, host.CurrentFrame(clip) + 1);
          host.Play(clip, false);
        }
        break;
      case kPrevFrame:
        if (Object* clip = TargetClip()) {
          host.GotoFrame(clip, std::max(0, host.CurrentFrame(clip) - 1));
          host.Play(clip, false);
        }
        break;
      case kPlay:
        if (Object* clip = TargetClip()) host.Play(clip, true);
        break;
      case kStop:
        if (Object* clip = TargetClip()) host.Play(clip, false);
        break;
      case kAdd: {
        if (double* left = nullptr; TopNumbers(left)) {
          *left += PoppedNumber();
          break;
        }
        const auto [left, right] = PopOperands();
        Push(left + right);
        break;
      }
      case kSubtract: {
        if (double* left = nullptr; TopNumbers(left)) {
          *left -= PoppedNumber();
          break;
        }
        const auto [left, right] = PopOperands();
        Push(left - right);
        break;
      }
      case kMultiply: {
        if (double* left = nullptr; TopNumbers(left)) {
          *left *= PoppedNumber();
          break;
        }
        const auto [left, right] = PopOperands();
        Push(left * right);
        break;
      }
      case kDivide: {
        const auto [left, right] = PopOperands();
        if (right == 0 && Swf4Rules()) {
          Push(std::string("#ERROR#"));
        } else {
          Push(left / right);
        }
        break;
      }
      case kEquals: {
        const auto [left, right] = PopOperands();
        Push(Truth(left == right));
        break;
      }
      case kLess: {
        const auto [left, right] = PopOperands();
        Push(Truth(left < right));
        break;
      }
      case kAnd: {
        const bool right = vm_.ToBool(Pop());
        const bool left = vm_.ToBool(Pop());
        Push(Truth(left && right));
        break;
      }
      case kOr: {
        const bool right = vm_.ToBool(Pop());
        const bool left = vm_.ToBool(Pop());
        Push(Truth(left || right));
        break;
      }
      case kNot: {
        if (bool* top = stack_.empty() || Swf4Rules() ? nullptr : std::get_if<bool>(&stack_.back())) {
          *top = !*top;
          break;
        }
        const bool value = !vm_.ToBool(Pop());
        Push(Truth(value));
        break;
      }
      case kStringEquals: {
        const std::string right = PopString();
        const bool equal = PopString() == right;
        Push(Truth(equal));
        break;
      }
      case kStringLess:
      case kStringGreater: {
        const std::string right = PopString();
        const std::string left = PopString();
        const bool result = action == kStringLess ? TextLess(left, right) : TextLess(right, left);
        Push(Truth(result));
        break;
      }
      case kStringLength:
      case kMbStringLength: Push(static_cast<double>(Utf8Length(PopString()))); break;
      case kStringExtract:
      case kMbStringExtract: {
        const double count = PopNumber();
        const double index = PopNumber();
        Push(Substring(PopString(), index, count));
        break;
      }
      case kCharToAscii:
      case kMbCharToAscii: {
        const std::string text = PopString();
        // A character beyond U+FFFF starts with a surrogate, which reads as U+FFFD.
        const std::uint32_t code = text.empty() ? 0 : FirstCodePoint(text);
        Push(static_cast<double>(code > 0xFFFFu ? 0xFFFDu : code));
        break;
      }
      case kAsciiToChar:
      case kMbAsciiToChar: {
        // The code is a UTF-16 unit; a lone surrogate becomes U+FFFD.
        const std::uint32_t code = static_cast<std::uint32_t>(ToInt32(PopNumber())) & 0xFFFFu;
        Push(CodePointToUtf8(code >= 0xD800u && code <= 0xDFFFu ? 0xFFFDu : code));
        break;
      }
      case kPop: (void)Pop(); break;
      case kTrace: vm_.Trace(Pop()); break;
      case kToInteger: {
        Push(static_cast<double>(ToInt32(PopNumber())));
        break;
      }
      case kGetVariable:
        if (TopIsText()) {
          // Read where it lies: only this interpreter pushes or pops its stack.
          Value found = GetVariable(std::string_view(std::get<SharedText>(stack_.back())));
          ReplaceTop(std::move(found));
        } else {
          Push(GetVariable(PopString()));
        }
        break;
      case kSetVariable: {
        Value value = Pop();
        WithTopName([this, &value](std::string_view name) { SetVariable(name, std::move(value)); });
        break;
      }
      case kStringAdd: {
        const std::string right = PopString();
        std::string left = PopString();
        if (left.size() + right.size() <= kMaxStringBytes) left += right;
        Push(std::move(left));
        break;
      }
      case kGetProperty: {
        const double index = PopNumber();
        const std::string path = PopString();
        Object* clip = path.empty() ? TargetClip() : ResolveTarget(path, f_.target);
        const int i = FrameNumber(index);
        if (clip && i >= 0 && i < static_cast<int>(std::size(kClipPropertyNames))) {
          Value value;
          if (host.GetClipProperty(clip, kClipPropertyNames[i], value)) {
            Push(std::move(value));
            break;
          }
        }
        Push(Undefined{});
        break;
      }
      case kSetProperty: {
        Value value = Pop();
        const double index = PopNumber();
        const std::string path = PopString();
        Object* clip = path.empty() ? TargetClip() : ResolveTarget(path, f_.target);
        const int i = FrameNumber(index);
        if (clip && i >= 0 && i < static_cast<int>(std::size(kClipPropertyNames))) {
          (void)host.SetClipProperty(clip, kClipPropertyNames[i], value);
        }
        break;
      }
      case kCloneSprite: {
        const Value depth = Pop();
        const Value name = Pop();
        const Value source = Pop();
        Object* clip = ResolveTarget(vm_.ToStr(source), f_.target);
        const double at = vm_.ToNum(depth) - 16384;
        if (clip && std::holds_alternative<Undefined>(vm_.GetMember(clip, "duplicateMovieClip"))) {
          // A text field has no such method, yet the action copies it too.
          if (std::isfinite(at) && std::abs(at) < 1e9) {
            (void)vm_.Host().DuplicateClip(clip, vm_.ToStr(name), static_cast<int>(at), nullptr);
          }
        } else if (clip) {
          std::vector<Value> args{name, Value{at}};
          (void)CallNamed(Value{clip}, "duplicateMovieClip", args);
        }
        break;
      }
      case kRemoveSprite: {
        Object* clip = ResolveTarget(PopString(), f_.target);
        if (clip) {
          std::vector<Value> none;
          (void)CallNamed(Value{clip}, "removeMovieClip", none);
        }
        break;
      }
      case kStartDrag: {
        // target, lock centre, constrain, then right and bottom before left and top.
        Object* clip = ResolveTarget(PopString(), f_.target);
        const bool lockCenter = vm_.ToBool(Pop());
        double limits[4] = {};
        const bool constrain = vm_.ToBool(Pop());
        if (constrain) {
          for (const int side : {3, 2, 1, 0}) limits[side] = vm_.ToNum(Pop());
        }
        if (clip) vm_.Host().StartDrag(clip, lockCenter, constrain ? limits : nullptr);
        break;
      }
      case kEndDrag: vm_.Host().StopDrag(); break;
      case kToggleQuality: break;
      case kStopSounds: vm_.Host().StopAllSounds(); break;
      case kThrow: vm_.Throw(Pop());
      case kCastOp: {
        const Value object = Pop();
        const Value constructor = Pop();
        auto* const* c = std::get_if<Object*>(&constructor);
        Push(c && vm_.InstanceOf(object, *c) ? object : Value{Null{}});
        break;
      }
      case kImplementsOp: {
        const Value constructor = Pop();
        std::vector<Value> interfaces = PopArgs();
        auto* const* c = std::get_if<Object*>(&constructor);
        if (!c) break;
        const Value prototype = vm_.GetMember(*c, "prototype");
        auto* const* p = std::get_if<Object*>(&prototype);
        if (!p) break;
        for (const Value& iface : interfaces) {
          if (auto* const* i = std::get_if<Object*>(&iface)) (*p)->interfaces.push_back(*i);
        }
        break;
      }
      case kRandomNumber: {
        const double limit = PopNumber();
        const std::int32_t max = ToInt32(limit);
        Push(max <= 0 ? 0.0 : static_cast<double>(NextRandom() % static_cast<std::uint32_t>(max)));
        break;
      }
      case kGetTime: Push(std::floor(vm_.nowMillis)); break;
      case kDelete: {
        const std::string name = PopString();
        const Value object = Pop();
        auto* const* o = std::get_if<Object*>(&object);
        Push(o ? vm_.DeleteMember(*o, name) : false);
        break;
      }
      case kDelete2: {
        const std::string name = PopString();
        bool deleted = false;
        for (std::size_t i = f_.scope.size(); i-- > 0;) {
          if (vm_.FindOwn(f_.scope[i], name)) {
            deleted = vm_.DeleteMember(f_.scope[i], name);
            break;
          }
        }
        Push(deleted);
        break;
      }
      case kDefineLocal: {
        Value value = Pop();
        DefineLocal(PopString(), std::move(value));
        break;
      }
      case kDefineLocal2: {
        const std::string name = PopString();
        Object* activation = f_.callee ? Activation() : nullptr;
        Object* holder = activation ? activation : f_.target;
        if (holder && !vm_.FindInChain(holder, name)) DefineLocal(name, Undefined{});
        break;
      }
      case kCallFunction: {
        const SharedText name = TopIsText() ? PopText() : SharedText(PopString());
        CallArgs pooled(*this);
        std::vector<Value>& args = pooled.values;
        const Value function = GetVariable(name);
        const RootedCall rooted(*this, &function, nullptr, args);
        if (auto* const* fn = std::get_if<Object*>(&function); fn && (*fn)->superThis) {
          Push(CallNamed(function, "", args));
        } else {
          // A plain call runs with the calling timeline as `this`.
          Push(vm_.Call(function, f_.target ? Value{f_.target} : Value{Undefined{}}, args));
        }
        break;
      }
      case kReturn: f_.result = Pop(); return Step::Returned;
      case kModulo: {
        if (double* left = nullptr; TopNumbers(left)) {
          *left = std::fmod(*left, PoppedNumber());
          break;
        }
        const auto [left, right] = PopOperands();
        Push(std::fmod(left, right));
        break;
      }
      case kNewObject: {
        const std::string name = PopString();
        CallArgs pooled(*this);
        std::vector<Value>& args = pooled.values;
        const Value constructor = GetVariable(name);
        Value made;
        {
          const RootedCall rooted(*this, &constructor, nullptr, args);
          made = vm_.Construct(constructor, args);
        }
        Push(std::move(made));
        break;
      }
      case kInitArray: {
        std::vector<Value> elements = PopArgs();
        Push(vm_.NewArray(std::move(elements)));
        break;
      }
      case kInitObject: {
        const double count = PopNumber();
        // A count beyond the stack makes no object and takes nothing off it.
        if (!(count >= 0) || count * 2 > static_cast<double>(stack_.size())) {
          Push(Undefined{});
          break;
        }
        Object* object = vm_.NewPlain();
        const auto n = static_cast<std::size_t>(count);
        std::vector<std::pair<std::string, Value>> pairs;
        for (std::size_t i = 0; i < n && !stack_.empty(); ++i) {
          Value value = Pop();
          pairs.emplace_back(PopString(), std::move(value));
        }
        // Stored in the order they come off the stack, the last written first:
        // enumeration (newest first) then lists them as written.
        for (auto& [name, value] : pairs) vm_.SetMember(object, name, std::move(value));
        Push(object);
        break;
      }
      case kTypeOf: Push(vm_.TypeOf(Pop())); break;
      case kTargetPath: {
        const Value value = Pop();
        auto* const* o = std::get_if<Object*>(&value);
        if (o && (*o)->kind == ObjectKind::Clip) {
          Push(host.TargetPath(*o));
        } else {
          Push(Undefined{});
        }
        break;
      }
      case kEnumerate: Enumerate(GetVariable(PopString())); break;
      case kEnumerate2: Enumerate(Pop()); break;
      case kAdd2: {
        if (double* left = nullptr; TopNumbers(left)) {
          *left += PoppedNumber();
          break;
        }
        // The right operand converts first, as the player does.
        const Value rightRaw = Pop();
        const Value leftRaw = Pop();
        const Value right = vm_.ToPrimitive(rightRaw);
        const Value left = vm_.ToPrimitive(leftRaw);
        // A valueOf that gave another object leaves the operand to convert
        // again from the start, by toString or valueOf.
        const auto operand = [](const Value& primitive, const Value& raw) -> const Value& {
          return std::holds_alternative<Object*>(primitive) ? raw : primitive;
        };
        if (std::holds_alternative<SharedText>(left) || std::holds_alternative<SharedText>(right)) {
          std::string text = vm_.ToStr(operand(left, leftRaw));
          const std::string tail = vm_.ToStr(operand(right, rightRaw));
          if (text.size() + tail.size() <= kMaxStringBytes) text += tail;
          Push(std::move(text));
        } else {
          const double l = vm_.ToNum(operand(left, leftRaw));
          Push(l + vm_.ToNum(operand(right, rightRaw)));
        }
        break;
      }
      case kLess2: {
        if (double* left = nullptr; TopNumbers(left)) {
          const double right = PoppedNumber();
          if (std::isnan(*left) || std::isnan(right)) {
            stack_.back() = Undefined{};
          } else {
            stack_.back() = *left < right;
          }
          break;
        }
        const Value right = Pop();
        Push(Less(Pop(), right));
        break;
      }
      case kGreater: {
        const Value right = Pop();
        Push(Less(right, Pop()));
        break;
      }
      case kEquals2: {
        const Value right = Pop();
        Push(Truth(vm_.Equals(Pop(), right)));
        break;
      }
      case kStrictEquals: {
        const Value right = Pop();
        Push(StrictlyEqual(Pop(), right));
        break;
      }
      case kToNumber: Push(PopNumber()); break;
      case kToString: Push(PopString()); break;
      case kPushDuplicate: {
        Value top = stack_.empty() ? Value{Undefined{}} : stack_.back();
        Push(std::move(top));
        break;
      }
      case kStackSwap: {
        Value top = Pop();
        Value below = Pop();
        Push(std::move(top));
        Push(std::move(below));
        break;
      }
      case kGetMember: {
        if (TopIsText()) {
          const SharedText name = PopText();
          const Value object = Pop();
          Push(vm_.Get(object, name));
          break;
        }
        const Value name = Pop();
        const Value object = Pop();
        Push(vm_.Get(object, vm_.ToStr(name)));
        break;
      }
      case kSetMember: {
        Value value = Pop();
        const SharedText name = TopIsText() ? PopText() : SharedText(PopString());
        const Value object = Pop();
        if (auto* const* o = std::get_if<Object*>(&object)) {
          const PropertyKey key(name, vm_.Caseless());
          SetMemberKeyed(*o, name, key, std::move(value));
        }
        break;
      }
      case kIncrement:
        if (double* top = TopNumber()) {
          *top += 1;
        } else {
          Push(PopNumber() + 1);
        }
        break;
      case kDecrement:
        if (double* top = TopNumber()) {
          *top -= 1;
        } else {
          Push(PopNumber() - 1);
        }
        break;
      case kCallMethod: {
        const Value nameValue = Pop();
        const Value object = Pop();
        CallArgs pooled(*this);
        std::vector<Value>& args = pooled.values;
        const auto* nameText = std::get_if<SharedText>(&nameValue);
        const SharedText name = nameText                                        ? *nameText
                                : std::holds_alternative<Undefined>(nameValue) ? SharedText()
                                                                                : SharedText(vm_.ToStr(nameValue));
        Value result;
        {
          const RootedCall rooted(*this, nullptr, &object, args);
          result = CallNamed(object, name, args);
        }
        Push(std::move(result));
        break;
      }
      case kNewMethod: {
        const Value nameValue = Pop();
        const Value object = Pop();
        CallArgs pooled(*this);
        std::vector<Value>& args = pooled.values;
        const std::string name = std::holds_alternative<Undefined>(nameValue) ? std::string() : vm_.ToStr(nameValue);
        const Value constructor = name.empty() ? object : vm_.Get(object, name);
        Value made;
        {
          const RootedCall rooted(*this, &constructor, &object, args);
          made = vm_.Construct(constructor, args);
        }
        Push(std::move(made));
        break;
      }
      case kInstanceOf: {
        const Value constructor = Pop();
        const Value object = Pop();
        auto* const* c = std::get_if<Object*>(&constructor);
        Push(c && vm_.InstanceOf(object, *c));
        break;
      }
      case kBitAnd:
      case kBitOr:
      case kBitXor:
      case kBitLShift:
      case kBitRShift:
      case kBitURShift: Push(BitOperation(action)); break;
      case kExtends: {
        const Value superclass = Pop();
        const Value subclass = Pop();
        auto* const* sub = std::get_if<Object*>(&subclass);
        auto* const* super = std::get_if<Object*>(&superclass);
        if (!sub || !super) break;
        Object* prototype = vm_.NewPlain();
        const Value superPrototype = vm_.GetMember(*super, "prototype");
        auto* const* sp = std::get_if<Object*>(&superPrototype);
        prototype->proto = sp ? *sp : nullptr;
        vm_.Define(prototype, "__constructor__", superclass, kDontEnum);
        vm_.Define(*sub, "prototype", Value{prototype}, kDontEnum | kDontDelete);
        break;
      }
      case kGotoFrame: {
        const std::uint16_t frame = reader.U16();
        if (reader.Failed()) throw Malformed{};
        if (Object* clip = TargetClip()) host.GotoFrame(clip, frame);
        break;
      }
      case kGotoLabel: {
        const std::string label = reader.CString();
        if (reader.Failed()) throw Malformed{};
        if (Object* clip = TargetClip()) host.GotoLabel(clip, Text(label));
        break;
      }
      case kGetUrl: {
        const std::string url = Text(reader.CString());
        const std::string target = Text(reader.CString());
        if (reader.Failed()) throw Malformed{};
        host.GetUrl(url, target);
        break;
      }
      case kGetUrl2: {
        const std::uint8_t flags = reader.U8();
        const std::string target = PopString();
        const std::string url = PopString();
        // loadVariables and loadMovie set these flags: they load, they do not navigate.
        if ((flags & (kLoadVariablesFlag | kLoadTargetFlag)) != 0) {
          LoadFromAction(vm_, TargetClip(), url, target, (flags & kLoadVariablesFlag) != 0);
        } else {
          host.GetUrl(url, target);
        }
        break;
      }
      case kStoreRegister: {
        const std::uint8_t index = reader.U8();
        if (reader.Failed()) throw Malformed{};
        if (Value* held = Register(index)) *held = stack_.empty() ? Value{Undefined{}} : stack_.back();
        break;
      }
      case kConstantPool: {
        const std::uint16_t count = reader.U16();
        auto constants = std::make_shared<std::vector<Value>>();
        for (std::uint16_t i = 0; i < count && !reader.Failed(); ++i) constants->push_back(Text(reader.CString()));
        if (reader.Failed()) throw Malformed{};
        f_.ownConstants = std::move(constants);
        f_.constantsOf = &f_.ownConstants;
        break;
      }
      case kWaitForFrame: {
        const std::uint16_t frame = reader.U16();
        const std::uint8_t skip = reader.U8();
        if (reader.Failed()) throw Malformed{};
        if (!FrameLoaded(frame + 1.0)) SkipActions(skip, position);
        break;
      }
      case kWaitForFrame2: {
        const std::uint8_t skip = reader.U8();
        if (reader.Failed()) throw Malformed{};
        if (!FrameLoaded(Pop())) SkipActions(skip, position);
        break;
      }
      case kSetTarget: {
        const std::string target = Text(reader.CString());
        if (reader.Failed()) throw Malformed{};
        SetTarget(target);
        break;
      }
      case kSetTarget2: {
        // A display object is found again by its path (the first of its
        // name there); anything else by its text, toString and all.
        const Value target = Pop();
        auto* const* o = std::get_if<Object*>(&target);
        if (o && (*o)->kind == ObjectKind::Clip) {
          SetTarget((*o)->removedPath.empty() ? host.TargetPath(*o) : (*o)->removedPath);
        } else {
          SetTarget(vm_.ToStr(target));
        }
        break;
      }
      case kDefineFunction: DefineFunction(payload, false, position); break;
      case kDefineFunction2: DefineFunction(payload, true, position); break;
      case kTry: return StepOf(Try(payload, position));
      case kWith: return StepOf(With(payload, position));
      case kPush: PushDecoded(decoded); break;
      case kJump:
      case kIf: return Branch(decoded);
      case kCall:
        CallFrame(PopString());
        // The actions of a timeline that left the stage end at a call():
        // what follows would act for a clip that is no more.
        if (baseRemoved_ || (original_ && original_->kind == ObjectKind::Clip && !original_->removedPath.empty())) {
          position = f_.code.size();
          return Step::Left;
        }
        break;
      case kGotoFrame2: GotoFrame2(payload); break;
      default: break;  // unknown actions are skipped
    }
    return Step::Next;
  }

  // call(frame): runs the actions of a frame ("2", "label" or "path:frame")
  // of the target's timeline without going there.
  void CallFrame(std::string frame) {
    Object* clip = TargetClip();
    if (const std::size_t colon = frame.rfind(':'); colon != std::string::npos) {
      clip = ResolveTarget(std::string_view(frame).substr(0, colon), f_.target);
      frame.erase(0, colon + 1);
    }
    if (!clip || clip->kind != ObjectKind::Clip || !vm_.budget) return;
    if (vm_.callDepth >= vm_.callDepthLimit) throw ScriptAbort{};
    ++vm_.callDepth;
    struct Leave {
      int& depth;
      ~Leave() { --depth; }
    } leave{vm_.callDepth};
    for (const auto& code : vm_.Host().FrameScripts(clip, frame)) {
      if (vm_.RunBlock(*code, clip, *vm_.budget) == ActionResult::OutOfBudget) throw ScriptAbort{};
    }
  }

  // tellTarget: "" goes back to the block's own timeline. A path that leads
  // nowhere leaves version 4 actions without a target (they act on nothing
  // and read no properties), keeps the timeline they had up to version 6, and
  // from version 7 moves them to the root.
  void SetTarget(const std::string& path) {
    targetLost_ = false;
    if (path.empty()) {
      f_.target = original_ ? original_ : f_.target;
      return;
    }
    if (baseRemoved_) {
      // The block's own clip left the stage (its actions sent a timeline
      // elsewhere): no path leads anywhere from it any more, so the timeline
      // actions that follow act on nothing.
      targetLost_ = true;
      return;
    }
    Object* target = ResolveTarget(path, original_ ? original_ : f_.target);
    if (target) {
      f_.target = target;
    } else if (Swf4Rules()) {
      targetLost_ = true;
    } else if (Version() >= 7) {
      f_.target = vm_.Host().RootClip();
    }
  }

  // ifFrameLoaded: a movie in memory has every frame loaded, as far as the
  // platform's limit of 16000 frames goes. A frame that is no whole number
  // names a label, which is loaded too.
  static bool FrameLoaded(double frame) {
    if (!std::isfinite(frame) || std::trunc(frame) != frame) return true;
    const std::uint32_t index = static_cast<std::uint32_t>(ToInt32(frame)) - 1u;
    return static_cast<std::int32_t>(index) <= kLastLoadableFrame;
  }
  bool FrameLoaded(const Value& frame) {
    if (const auto* text = std::get_if<SharedText>(&frame)) {
      const double number = StringToNumber(*text);
      return std::isnan(number) || FrameLoaded(number);
    }
    return FrameLoaded(vm_.ToNum(frame));
  }
  // Skips the next `count` actions (the body of a frame not yet loaded).
  void SkipActions(std::size_t count, std::size_t& position) {
    for (; count > 0 && position < f_.code.size(); --count) {
      const std::uint8_t action = f_.code[position++];
      if (action < 0x80) continue;
      if (f_.code.size() - position < 2) throw Malformed{};
      position += 2 + (f_.code[position] | (std::size_t{f_.code[position + 1]} << 8u));
    }
    if (position > f_.code.size()) throw Malformed{};
  }

  Value BitOperation(std::uint8_t action) {
    const std::int32_t right = ToInt32(PopNumber());
    const std::int32_t left = ToInt32(PopNumber());
    const auto u = [](std::int32_t v) { return static_cast<std::uint32_t>(v); };
    switch (action) {
      case kBitAnd: return static_cast<double>(left & right);
      case kBitOr: return static_cast<double>(left | right);
      case kBitXor: return static_cast<double>(left ^ right);
      case kBitLShift: return static_cast<double>(static_cast<std::int32_t>(u(left) << (u(right) & 31u)));
      case kBitRShift: return static_cast<double>(left >> (u(right) & 31u));
      default: return static_cast<double>(u(left) >> (u(right) & 31u));
    }
  }

  static std::uint32_t FirstCodePoint(const std::string& text) {
    const auto byte = [&](std::size_t i) { return i < text.size() ? static_cast<unsigned char>(text[i]) : 0u; };
    const unsigned first = byte(0);
    if (first < 0x80) return first;
    if ((first & 0xE0u) == 0xC0u) return ((first & 0x1Fu) << 6u) | (byte(1) & 0x3Fu);
    if ((first & 0xF0u) == 0xE0u) return ((first & 0x0Fu) << 12u) | ((byte(1) & 0x3Fu) << 6u) | (byte(2) & 0x3Fu);
    return ((first & 0x07u) << 18u) | ((byte(1) & 0x3Fu) << 12u) | ((byte(2) & 0x3Fu) << 6u) | (byte(3) & 0x3Fu);
  }

 public:
  static std::string CodePointToUtf8(std::uint32_t cp) {
    std::string out;
    if (cp == 0) return out;
    if (cp < 0x80) {
      out += static_cast<char>(cp);
    } else if (cp < 0x800) {
      out += static_cast<char>(0xC0u | (cp >> 6u));
      out += static_cast<char>(0x80u | (cp & 0x3Fu));
    } else if (cp < 0x10000) {
      out += static_cast<char>(0xE0u | (cp >> 12u));
      out += static_cast<char>(0x80u | ((cp >> 6u) & 0x3Fu));
      out += static_cast<char>(0x80u | (cp & 0x3Fu));
    } else {
      out += static_cast<char>(0xF0u | ((cp >> 18u) & 0x07u));
      out += static_cast<char>(0x80u | ((cp >> 12u) & 0x3Fu));
      out += static_cast<char>(0x80u | ((cp >> 6u) & 0x3Fu));
      out += static_cast<char>(0x80u | (cp & 0x3Fu));
    }
    return out;
  }
  Object* original_ = nullptr;
  bool targetLost_ = false;   // a tellTarget found no timeline
  bool baseRemoved_ = false;  // the block's own timeline left the stage

 private:
  std::uint64_t seenRemovals_ = 0;
  std::uint32_t unsettled_ = 0;  // actions run since the last Settle
  std::uint32_t NextRandom() {
    static std::uint32_t state = 0x2545F491u;
    state ^= state << 13u;
    state ^= state >> 17u;
    state ^= state << 5u;
    return state;
  }

  Vm& vm_;
  Frame& f_;
  std::vector<Value> stack_;
  const Value* callFunction_ = nullptr;
  const Value* callObject_ = nullptr;
  const std::vector<Value>* callArgs_ = nullptr;
};

}  // namespace

std::string CodePointText(std::uint32_t codePoint) { return Interpreter::CodePointToUtf8(codePoint); }

ActionResult Vm::RunBlock(std::span<const std::uint8_t> code, Object* clip, std::size_t& budgetLeft) {
  const RunScope running(*this);
  std::size_t* const savedBudget = budget;
  budget = &budgetLeft;
  DecodedCode decoded;
  Frame frame(*this);
  frame.code = code;
  frame.decoded = &decoded;
  frame.scope.push_back(global_);
  frame.scope.push_back(clip);
  frame.self = clip;
  frame.target = clip;
  frame.registers.resize(4);
  struct SharedRegisters {
    std::vector<Value>*& slot;
    std::vector<Value>* saved;
    ~SharedRegisters() { slot = saved; }
  } restoreRegisters{blockRegisters, blockRegisters};
  blockRegisters = &frame.registers;
  ActionResult result = ActionResult::Finished;
  try {
    Interpreter interpreter(*this, frame);
    interpreter.original_ = clip;
    // Only the outermost block shares the tick's stack.
    const bool shared = runningInterpreters.size() == 1;
    if (shared) interpreter.TakeStack(leftOnStack);
    interpreter.RunAll();
    if (shared) interpreter.LeaveStack(leftOnStack);
  } catch (const ScriptThrow& thrown) {
    // An uncaught exception ends the block; the log says so.
    ReportUncaught(thrown.value);
  } catch (const ScriptAbort&) {
    result = ActionResult::OutOfBudget;
  } catch (const Interpreter::Malformed&) {
    result = ActionResult::Malformed;
  }
  budget = savedBudget;
  return result;
}

namespace {

// Whether the activation holds exactly the entries a call of `code` makes
// for its parameters, in their order, plain, and nothing else.
template <typename InActivation>
bool WarmActivation(const Object& activation, const FunctionCode& code, const InActivation& inActivation) {
  auto entry = activation.properties.begin();
  const auto end = activation.properties.end();
  for (std::size_t i = 0; i < code.params.size(); ++i) {
    if (!inActivation(i)) continue;
    if (entry == end) return false;
    const auto& [key, hash] = code.paramKeys[i];
    const Property& property = entry->second;
    if (entry->first.hash != hash || entry->first.text != key || property.flags != 0 || property.getter ||
        property.setter) {
      return false;
    }
    ++entry;
  }
  return entry == end && activation.proto == nullptr && activation.watches.empty();
}

// A call's activation goes back to the spares with its parameters' entries
// (the next call of the same function sets them again) and without the
// locals it defined after them; one the call changed otherwise is emptied.
template <typename InActivation>
void KeepParameterEntries(Object& activation, const FunctionCode& code, const InActivation& inActivation) {
  constexpr std::size_t kMostLocalsDropped = 8;
  std::size_t parameters = 0;
  for (std::size_t i = 0; i < code.params.size(); ++i) parameters += inActivation(i) ? 1 : 0;
  auto& properties = activation.properties;
  if (properties.size() < parameters || properties.size() - parameters > kMostLocalsDropped) {
    properties.clear();
    return;
  }
  while (properties.size() > parameters) properties.erase(properties.end() - 1);
}

}  // namespace

Value Vm::Call(const Value& functionValue, Value self, std::span<const Value> args, Object* home) {
  auto* const* function = std::get_if<Object*>(&functionValue);
  if (!function || (*function)->kind != ObjectKind::Function) return Undefined{};
  Object* callee = *function;
  // A number, text or boolean as `this` is boxed.
  if (!std::holds_alternative<Object*>(self)) {
    if (Object* boxed = ToObject(self)) self = Value{boxed};
  }
  auto* const* selfObject = std::get_if<Object*>(&self);
  if (callDepth >= callDepthLimit) throw ScriptAbort{};
  ++callDepth;
  struct DepthGuard {
    int& depth;
    ~DepthGuard() { --depth; }
  } guard{callDepth};
  if (callee->native) {
    ++nativeDepth;
    struct NativeGuard {
      int& depth;
      ~NativeGuard() { --depth; }
    } native{nativeDepth};
    return callee->native(*this, selfObject ? *selfObject : nullptr, args);
  }
  if (!callee->code) return Undefined{};
  const FunctionCode& code = *callee->code;

  Frame frame(*this);
  frame.code = code.body;
  frame.scope.reserve(callee->scope.size() + 2);  // the activation, and room for a with
  frame.scope.assign(callee->scope.begin(), callee->scope.end());
  Object* activation = TakeActivation();
  frame.scope.push_back(activation);
  frame.self = selfObject ? *selfObject : nullptr;
  frame.home = home;
  frame.callee = callee;
  frame.activation = activation;
  frame.constantsOf = &code.constants;
  frame.decoded = &code.decoded;
  frame.target = nullptr;
  for (std::size_t i = frame.scope.size(); i-- > 0;) {
    if (frame.scope[i]->kind == ObjectKind::Clip) {
      frame.target = frame.scope[i];
      break;
    }
  }
  if (frame.target && !frame.target->removedPath.empty()) {
    // The timeline that defined the function is gone: the clip at its path
    // now, else a clip `this`, else the root.
    Object* live = host_.LiveClip(frame.target);
    if (!live && frame.self && frame.self->kind == ObjectKind::Clip && host_.LiveClip(frame.self) == frame.self) {
      live = frame.self;
    }
    frame.target = live;
  }
  if (!frame.target) frame.target = host_.RootClip();

  Object* arguments = nullptr;
  if (code.needsArguments) {
    arguments = NewArray(std::vector<Value>(args.begin(), args.end()));
    Define(arguments, "callee", Value{callee}, kDontEnum);
    // The script function that made this call; null from a frame script.
    Define(arguments, "caller", runningFunction_ ? Value{runningFunction_} : Value{Null{}}, kDontEnum);
  }
  const Value argumentsValue = arguments ? Value{arguments} : Value{Undefined{}};
  struct RunningFunction {
    Object*& slot;
    Object* saved;
    ~RunningFunction() { slot = saved; }
  } running{runningFunction_, runningFunction_};
  runningFunction_ = callee;
  // The parameters the activation holds (the others go to registers).
  const std::size_t registerCount = code.second ? std::max<std::size_t>(code.registerCount, 1) : 0;
  const auto inActivation = [&code, registerCount](std::size_t index) {
    const std::uint8_t reg = code.params[index].first;
    return reg == 0 || reg >= registerCount;
  };
  // An activation this function's last call left holds the entries of its
  // parameters still, in order: they take their new values in place.
  const bool warm = !arguments && WarmActivation(*activation, code, inActivation);
  if (!warm) {
    activation->properties.clear();
    activation->properties.reserve(code.params.size() + 1);
  }
  std::size_t nextEntry = 0;
  // Define of a parameter in the activation, by the key its function made
  // once: a name the activation does not hold yet is added without hashing
  // it again.
  const auto defineParameter = [this, &code, warm, &nextEntry](Object* holder, std::size_t index, Value value) {
    if (warm) {
      Property& property = (holder->properties.begin() + static_cast<std::ptrdiff_t>(nextEntry++))->second;
      AssignValue(property.value, std::move(value));
      property.order = nextOrder_++;
      if (property.name != code.params[index].second) property.name = code.params[index].second;
      return;
    }
    const auto& [key, hash] = code.paramKeys[index];
    const std::string& name = code.params[index].second;
    if (holder->properties.find(key, hash) != holder->properties.end()) {
      Define(holder, name, std::move(value), 0);
      return;
    }
    holder->properties.append(key, hash, Property{name, std::move(value), 0, nextOrder_++, nullptr, nullptr});
  };
  if (code.second) {
    frame.registers.resize(registerCount);
    std::size_t next = 1;
    const auto preload = [&](std::uint16_t flag, Value value) {
      if ((code.flags & flag) && next < frame.registers.size()) frame.registers[next++] = std::move(value);
    };
    preload(0x01, frame.self ? Value{frame.self} : Value{Undefined{}});
    preload(0x04, argumentsValue);
    if (code.flags & 0x10) {
      preload(0x10, Value{NewSuper(frame.self, home)});
    }
    preload(0x40, Value{host_.RootClip()});
    // A timeline without a parent takes no register: the next one moves up.
    if (Object* parent = frame.target ? host_.ParentClip(frame.target) : nullptr) preload(0x80, Value{parent});
    preload(0x100, Value{global_});
    if (!(code.flags & 0x08) && arguments) Define(activation, "arguments", argumentsValue, 0);
    for (std::size_t i = 0; i < code.params.size(); ++i) {
      if (!inActivation(i)) {
        frame.registers[code.params[i].first] = Arg(args, i);
      } else {
        defineParameter(activation, i, Arg(args, i));
      }
    }
  } else {
    if (arguments) Define(activation, "arguments", argumentsValue, 0);
    for (std::size_t i = 0; i < code.params.size(); ++i) defineParameter(activation, i, Arg(args, i));
  }
  Interpreter interpreter(*this, frame);
  interpreter.original_ = frame.target;
  try {
    interpreter.RunAll();
  } catch (const Interpreter::Malformed&) {
    return Undefined{};
  }
  if (!frame.activationCaptured) {
    KeepParameterEntries(*activation, code, inActivation);
    ReturnActivation(activation);
  }
  return std::move(frame.result);
}

std::vector<Value> Vm::TakeValues() {
  if (spareValues_.empty()) return {};
  std::vector<Value> values = std::move(spareValues_.back());
  spareValues_.pop_back();
  return values;
}

void Vm::ReturnValues(std::vector<Value>& values) noexcept {
  values.clear();
  if (values.capacity() == 0 || values.capacity() > kMaxSpareListCapacity ||
      spareValues_.size() >= spareValues_.capacity()) {
    return;
  }
  spareValues_.push_back(std::move(values));
}

std::vector<Object*> Vm::TakeScope() {
  if (spareScopes_.empty()) return {};
  std::vector<Object*> scope = std::move(spareScopes_.back());
  spareScopes_.pop_back();
  return scope;
}

void Vm::ReturnScope(std::vector<Object*>& scope) noexcept {
  scope.clear();
  if (scope.capacity() == 0 || scope.capacity() > kMaxSpareListCapacity ||
      spareScopes_.size() >= spareScopes_.capacity()) {
    return;
  }
  spareScopes_.push_back(std::move(scope));
}

Object* Vm::TakeActivation() {
  if (spareActivations_.empty()) return NewObject(ObjectKind::Plain, nullptr);
  Object* activation = spareActivations_.back();
  spareActivations_.pop_back();
  return activation;
}

void Vm::ReturnActivation(Object* activation) {
  // Only a closure reaches an activation once its call ended; one watched
  // by a script (which cannot name it) is left to the collector all the same.
  constexpr std::size_t kMaxSpareActivations = 64;
  if (spareActivations_.size() >= kMaxSpareActivations || !activation->watches.empty()) return;
  // What the entries left (a call's parameters, see KeepParameterEntries)
  // hold no texts or objects: nothing stays alive for a spare.
  for (auto& entry : activation->properties) {
    if (HoldsReference(entry.second.value)) entry.second.value = Undefined{};
  }
  activation->proto = nullptr;
  spareActivations_.push_back(activation);
}

bool Vm::CollectionSafeInInnermost() const {
  if (nativeDepth != 0) return false;
  for (std::size_t i = 0; i + 1 < runningInterpreters.size(); ++i) {
    if (!runningInterpreters[i]->inRootedCall) return false;
  }
  return true;
}

namespace {

double SteadySeconds() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

}  // namespace

void Vm::StartScriptClock() {
  actionsUntilClockCheck = kActionsPerClockCheck;
  scriptDeadline_ = (scriptClock ? scriptClock() : SteadySeconds()) + scriptTimeLimit;
}

void Vm::CheckScriptClock() {
  actionsUntilClockCheck = kActionsPerClockCheck;
  if ((scriptClock ? scriptClock() : SteadySeconds()) >= scriptDeadline_) throw ScriptAbort{};
}

void Vm::CallMethodIfPresent(Object* self, std::string_view name, std::size_t& budgetLeft,
                             std::span<const Value> args) {
  const RunScope running(*this);
  std::size_t* const savedBudget = budget;
  budget = &budgetLeft;
  try {
    const Value method = GetMember(self, name);
    if (auto* const* function = std::get_if<Object*>(&method); function && (*function)->kind == ObjectKind::Function) {
      (void)Call(method, Value{self}, args);
    }
  } catch (const ScriptThrow& thrown) {
    ReportUncaught(thrown.value);
  } catch (const ScriptAbort&) {
  }
  budget = savedBudget;
}

}  // namespace swf
