#pragma once
// The ActionScript 1/2 machine: objects with prototype chains, functions and
// closures, the scope chain, the built-in classes and the interpreter of
// action blocks. One Vm belongs to one playing movie. Values hold plain
// object pointers; objects nothing reaches are freed by a mark-and-sweep
// collection that runs only between scripts (no action block, call or timer
// running), so pointers held by running C++ frames are never swept.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "sound/sound_data.h"
#include "value.h"

namespace swf {

class TimelineInstance;
class Vm;
struct TextField;

inline constexpr std::size_t kMaxObjects = 1u << 20;
inline constexpr std::size_t kMaxArrayLength = 1u << 20;
inline constexpr std::size_t kMaxStoredBytes = 128u << 20;
inline constexpr int kMaxCallDepth = 256;

// Property flags as ASSetPropFlags sets them.
inline constexpr std::uint8_t kDontEnum = 1;
inline constexpr std::uint8_t kDontDelete = 2;
inline constexpr std::uint8_t kReadOnly = 4;

struct Property {
  std::string name;  // as first written; the map key may be lower-cased
  Value value;
  std::uint8_t flags = 0;
  std::uint64_t order = 0;
  Object* getter = nullptr;  // addProperty
  Object* setter = nullptr;
};

using NativeFunction = std::function<Value(Vm& vm, Object* self, std::span<const Value> args)>;

struct FunctionCode;

// What a built-in class keeps beside an object's properties (the tree of an
// XML node): the objects it refers to live as long as the object, and its
// texts count towards the stored bytes.
class NativeState {
 public:
  virtual ~NativeState() = default;
  virtual void AddReferences(std::vector<Object*>& out) const = 0;
  [[nodiscard]] virtual std::size_t StoredBytes() const { return 0; }
};

enum class ObjectKind : std::uint8_t { Plain, Function, Array, String, Number, Boolean, Date, Clip, Error };

class Object {
 public:
  Object(Vm& owner, ObjectKind objectKind) : vm(owner), kind(objectKind) {}
  Vm& vm;
  ObjectKind kind;
  Object* proto = nullptr;
  std::map<std::string, Property, std::less<>> properties;
  std::vector<Value> elements;  // arrays
  Value primitive;              // String, Number, Boolean, Date wrappers
  // Functions: native or compiled from a DefineFunction.
  NativeFunction native;
  std::shared_ptr<const FunctionCode> code;
  std::vector<Object*> scope;            // the scope chain the function closes over
  Object* constructorOf = nullptr;       // for natives that construct (Array, Date): unused by plain calls
  bool isConstructor = false;            // natives that act differently when called with new
  std::vector<Object*> interfaces;       // implements
  std::weak_ptr<TimelineInstance> clip;  // Clip objects
  // A `super` object: the prototype it starts above and the `this` it calls with.
  Object* superHome = nullptr;
  Object* superThis = nullptr;
  std::unique_ptr<NativeState> state;  // built-in classes' own data
  // Object.watch: the function called (with its extra argument) before a
  // property of that name is set, which decides the value stored. By key.
  struct Watch {
    Object* callback = nullptr;
    Value userData;
  };
  std::map<std::string, Watch, std::less<>> watches;
  bool marked = false;  // reached by the running collection
};

// The drawing methods of clips, with their arguments in pixels (colours as
// 0xRRGGBB numbers, alpha in percent).
enum class DrawOp : std::uint8_t { Clear, MoveTo, LineTo, CurveTo, BeginFill, EndFill, LineStyle, NoLine };

// The display side, as scripts reach it through clip objects.
class DisplayHost {
 public:
  virtual ~DisplayHost() = default;
  virtual Object* RootClip() = 0;
  virtual Object* ParentClip(Object* clip) = 0;
  virtual Object* ChildClip(Object* clip, std::string_view name) = 0;
  virtual void Play(Object* clip, bool play) = 0;
  virtual void GotoFrame(Object* clip, int zeroBasedFrame) = 0;
  virtual bool GotoLabel(Object* clip, std::string_view label) = 0;
  virtual int CurrentFrame(Object* clip) = 0;  // 0-based
  virtual int FrameCount(Object* clip) = 0;
  // _x, _y, _name, ...: false when `name` is none of them.
  virtual bool GetClipProperty(Object* clip, std::string_view name, Value& out) = 0;
  virtual bool SetClipProperty(Object* clip, std::string_view name, const Value& value) = 0;
  virtual void GetUrl(std::string_view url, std::string_view target) = 0;
  virtual std::string TargetPath(Object* clip) = 0;
  // Display list changes by script; null when the clip cannot be made.
  // `exportName` "" makes an empty clip. The members of `init` (when not
  // null) are copied onto the new clip before its class constructor runs.
  virtual Object* CreateClip(Object* parent, std::string_view exportName, std::string_view name, int depth,
                             Object* init) = 0;
  virtual Object* DuplicateClip(Object* clip, std::string_view name, int depth, Object* init) = 0;
  virtual void RemoveClip(Object* clip) = 0;
  virtual int Depth(Object* clip) = 0;
  virtual int NextHighestDepth(Object* clip) = 0;
  virtual void SwapDepths(Object* clip, int depth) = 0;
  // Display objects that are no movie clips (text fields, buttons) are Clip
  // objects too; these tell them apart and reach their parts.
  virtual bool IsMovieClip(Object* clip) = 0;
  virtual TextField* TextFieldOf(Object* object) = 0;
  // The field's text changed by script: its bound variable follows.
  virtual void TextChanged(Object* field) = 0;
  virtual Object* CreateTextField(Object* parent, std::string_view name, int depth, double x, double y, double width,
                                  double height) = 0;
  virtual Object* InstanceAtDepth(Object* clip, int depth) = 0;
  // Names of the clip's named display objects, as for..in lists them.
  virtual std::vector<std::string> ChildNames(Object* clip) = 0;
  // Bounds in pixels of what `clip` shows, in the space of `space` (the clip
  // itself when null); false when it shows nothing.
  virtual bool Bounds(Object* clip, Object* space, double& xMin, double& yMin, double& xMax, double& yMax) = 0;
  // A point in pixels from the clip's space to the stage's (or back).
  virtual void ToGlobal(Object* clip, double& x, double& y, bool inverse) = 0;
  // Whether a stage point in pixels falls on the clip's bounds (or, with
  // `shape`, on one of its filled shapes).
  virtual bool HitTestPoint(Object* clip, double x, double y, bool shape) = 0;
  // The display object that has the keyboard focus (null when none or gone).
  virtual Object* FocusedObject() = 0;
  // Moves the focus (null: to nothing), running the old holder's
  // onKillFocus, the new one's onSetFocus and Selection's listeners; false
  // when `object` cannot take the focus (then nothing changes).
  virtual bool SetFocusedObject(Object* object) = 0;
  // The selection of the focused text field in UTF-16 units: false when no
  // field has the focus or the field has no selection.
  virtual bool FocusedSelection(int& /*begin*/, int& /*end*/, int& /*caret*/) { return false; }
  // Selects from `anchor` to `caret` in the focused text field (clamped to its text).
  virtual void SetFocusedSelection(double /*anchor*/, double /*caret*/) {}
  // startDrag: the clip follows the pointer, its registration point on the
  // pointer (`lockCenter`) or kept at the offset it had, inside `limits`
  // (left, top, right, bottom in its parent's pixels) when given.
  virtual void StartDrag(Object* /*clip*/, bool /*lockCenter*/, const double* /*limits*/) {}
  virtual void StopDrag() {}
  virtual void Draw(Object* clip, DrawOp op, std::span<const double> args) = 0;
  // stopAllSounds(): silences every sound playing now.
  virtual void StopAllSounds() {}
  // The keyboard as the movie saw it: keys held now, the last key pressed
  // and the character it typed.
  virtual bool KeyIsDown(int /*keyCode*/) { return false; }
  virtual int LastKeyCode() { return 0; }
  virtual int LastKeyAscii() { return 0; }
  // The pointer in `clip`'s space, in pixels (_xmouse, _ymouse).
  virtual void PointerIn(Object* /*clip*/, double& x, double& y) { x = y = 0; }
  // What Sound objects do. `clip` is the clip a Sound controls, null for the
  // whole movie; a clip no longer on the stage has no levels (false).
  virtual bool GetSoundLevels(Object* /*clip*/, SoundTransform& /*out*/) { return false; }
  virtual void SetSoundLevels(Object* /*clip*/, const SoundTransform& /*levels*/) {}
  // The sound exported under a linkage name: its character and length.
  virtual bool FindExportedSound(std::string_view /*name*/, std::uint16_t& /*id*/, double& /*millis*/) {
    return false;
  }
  virtual void StartScriptSound(Object* /*clip*/, std::uint16_t /*id*/, double /*offsetSeconds*/, int /*loops*/) {}
  // Stops the clip's voices of the sound, or all of them for id 0.
  virtual void StopScriptSound(Object* /*clip*/, std::uint16_t /*id*/) {}
  // How far the clip's newest voice of the sound has played; nullopt when none plays.
  virtual std::optional<double> ScriptSoundMillis(Object* /*clip*/, std::uint16_t /*id*/) { return std::nullopt; }
};

// What a running interpreter holds (stack, registers, scope chain): roots of
// a collection made while it runs.
class ScriptRoots {
 public:
  virtual void AddRoots(std::vector<Object*>& out) const = 0;

 protected:
  ~ScriptRoots() = default;
};

class Vm {
 public:
  Vm(int version, DisplayHost& host);
  ~Vm();
  Vm(const Vm&) = delete;
  Vm& operator=(const Vm&) = delete;

  [[nodiscard]] int Version() const { return version_; }
  void SetTraceSink(std::function<void(std::string_view)> sink) { trace_ = std::move(sink); }

  // Runs an action block on `clip`'s timeline, within `budget` actions
  // (shared by every block of a tick).
  ActionResult RunBlock(std::span<const std::uint8_t> code, Object* clip, std::size_t& budget);
  // Calls a method of `self` by name when it is a function (onEnterFrame, ...).
  void CallMethodIfPresent(Object* self, std::string_view name, std::size_t& budget,
                           std::span<const Value> args = {});

  // Objects.
  Object* NewObject(ObjectKind kind = ObjectKind::Plain, Object* proto = nullptr);
  Object* NewPlain() { return NewObject(ObjectKind::Plain, objectProto_); }
  Object* NewArray(std::vector<Value> elements = {});
  Object* NewNative(NativeFunction fn, bool constructor = false);
  Object* NewClip(std::weak_ptr<TimelineInstance> clip);
  Object* Global() { return global_; }

  [[nodiscard]] std::string Key(std::string_view name) const;
  Value Get(const Value& target, std::string_view name);
  Value GetMember(Object* object, std::string_view name);
  void SetMember(Object* object, std::string_view name, Value value);
  Property* FindOwn(Object* object, std::string_view name);
  Property* FindInChain(Object* object, std::string_view name);
  bool DeleteMember(Object* object, std::string_view name);
  void Define(Object* object, std::string_view name, Value value, std::uint8_t flags = kDontEnum);
  void DefineMethod(Object* object, std::string_view name, NativeFunction fn);
  std::vector<std::string> EnumerableNames(Object* object);

  // Conversions by the movie's version, objects through valueOf/toString.
  std::string ToStr(const Value& value);
  double ToNum(const Value& value);
  bool ToBool(const Value& value) const;
  Value ToPrimitive(const Value& value, bool preferString = false);
  Object* ToObject(const Value& value);
  bool Equals(const Value& a, const Value& b);
  std::string TypeOf(const Value& value);
  bool InstanceOf(const Value& value, Object* constructor);

  // `home`: the prototype the function was found on, which `super` starts above.
  Value Call(const Value& function, Value self, std::span<const Value> args, Object* home = nullptr);
  Value Construct(const Value& constructor, std::span<const Value> args);
  [[noreturn]] void Throw(Value value);
  void Trace(const Value& value);

  DisplayHost& Host() { return host_; }
  Object* objectProto_ = nullptr;
  Object* functionProto_ = nullptr;
  Object* arrayProto_ = nullptr;
  Object* stringProto_ = nullptr;
  Object* numberProto_ = nullptr;
  Object* booleanProto_ = nullptr;
  Object* dateProto_ = nullptr;
  Object* clipProto_ = nullptr;
  Object* textFieldProto_ = nullptr;
  Object* buttonProto_ = nullptr;
  Object* textFormatProto_ = nullptr;
  Object* errorProto_ = nullptr;
  // Milliseconds since the movie started, as the stage's clock says.
  double nowMillis = 0;
  struct Timer {
    int id = 0;
    Value function;
    Value self;
    std::string method;
    std::vector<Value> args;
    double interval = 0;
    double due = 0;
    bool repeat = true;
  };
  std::vector<Timer> timers;
  int nextTimerId = 1;
  // Calls the timers due by nowMillis.
  void RunTimers(std::size_t& budget);
  std::size_t* budget = nullptr;  // the running blocks' budget
  int callDepth = 0;
  bool constructing = false;  // a native runs as the constructor of `new`
  std::size_t liveObjects = 0;
  // Frees every object nothing reaches from the roots (globals, the built-ins,
  // live clips, timers, the running interpreters); returns how many it freed.
  // Only call it while no script runs, or between two actions of the only
  // running interpreter (nothing else then holds objects on the C++ stack).
  std::size_t Collect();
  // The interpreters running now, outermost first.
  std::vector<const ScriptRoots*> runningInterpreters;
  [[nodiscard]] bool CollectionDue() const;
  std::size_t stackTextBytes = 0;  // texts on the stacks of the running blocks
  // Texts and element slots stored in objects; past kMaxStoredBytes a store
  // is refused (the old value stays).
  std::size_t storedBytes = 0;
  [[nodiscard]] bool Charge(std::size_t bytes);
  // A stored value replaced by one of `newBytes`.
  [[nodiscard]] bool ChargeReplacing(std::size_t oldBytes, std::size_t newBytes);

 private:
  friend class Interpreter;
  void InstallBuiltins();
  // Collects when the heap has grown enough since the last collection and no
  // script is running.
  void CollectIfDue();
  void Mark(Object* root, std::vector<Object*>& pending);
  Object* runningFunction_ = nullptr;  // the script function running now
  int runDepth_ = 0;                   // action blocks, handler calls and timer runs in progress
  friend struct RunScope;
  std::size_t permanentObjects_ = 0;  // the built-ins, which natives may capture
  std::size_t nextCollection_ = 0;
  std::size_t storedAfterCollection_ = 0;
  int version_;
  DisplayHost& host_;
  std::function<void(std::string_view)> trace_;
  std::vector<std::unique_ptr<Object>> heap_;
  Object* global_ = nullptr;
  std::uint64_t nextOrder_ = 1;
};

// Marks a block, handler call or timer run as running; the outermost one
// first collects when a collection is due, since nothing but the roots holds
// objects then.
struct RunScope {
  explicit RunScope(Vm& vm) : vm_(vm) {
    if (vm_.runDepth_ == 0) vm_.CollectIfDue();
    ++vm_.runDepth_;
  }
  ~RunScope() { --vm_.runDepth_; }
  RunScope(const RunScope&) = delete;
  RunScope& operator=(const RunScope&) = delete;

 private:
  Vm& vm_;
};

// Built-in classes, one file each.
void InstallObjectClass(Vm& vm);
void InstallFunctionClass(Vm& vm);
void InstallArrayClass(Vm& vm);
void InstallStringClass(Vm& vm);
void InstallNumberAndBoolean(Vm& vm);
void InstallMathClass(Vm& vm);
void InstallDateClass(Vm& vm);
void InstallGlobalFunctions(Vm& vm);
void InstallMovieClipClass(Vm& vm);
// Key, Mouse, System, XML, Sound, ...: the rest of the platform's globals.
void InstallPlatformObjects(Vm& vm);
void InstallSoundClass(Vm& vm);
void InstallTextFieldClass(Vm& vm);
void InstallButtonClass(Vm& vm);
void InstallSelection(Vm& vm);
void InstallXmlClasses(Vm& vm);

// Helpers the built-ins share.
Value Arg(std::span<const Value> args, std::size_t index);
// Length of a UTF-8 text in UTF-16 units, as the player counts characters.
std::size_t Utf8Length(std::string_view text);
std::int32_t ToInt32(double number);

// Thrown through C++ frames for a script `throw`; caught by Try blocks.
struct ScriptThrow {
  Value value;
};
// Ends every running block of the tick (budget spent, recursion too deep).
struct ScriptAbort {};

}  // namespace swf
