#pragma once
// The ActionScript 1/2 machine: objects with prototype chains, functions and
// closures, the scope chain, the built-in classes and the interpreter of
// action blocks. One Vm belongs to one playing movie. Values hold plain
// object pointers; objects nothing reaches are freed by a mark-and-sweep
// collection that runs only between scripts (no action block, call or timer
// running), so pointers held by running C++ frames are never swept.

#include <array>
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

#include "bitmap_pixels.h"
#include "filters.h"
#include "property_map.h"
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
inline constexpr double kDefaultScriptSeconds = 15;
inline constexpr std::uint32_t kActionsPerClockCheck = 4096;
// Spare lists the Vm keeps for calls (vm.h, TakeValues), and the longest one
// it keeps: a rare long one is freed rather than held.
inline constexpr std::size_t kMaxSpareLists = 64;
inline constexpr std::size_t kMaxSpareListCapacity = 256;

// Property flags as ASSetPropFlags sets them.
inline constexpr std::uint16_t kDontEnum = 1;
inline constexpr std::uint16_t kDontDelete = 2;
inline constexpr std::uint16_t kReadOnly = 4;
// Version flags: a property carrying one is hidden from movies older than the
// version it names (reads skip it, a write replaces it), though it still
// counts as an own property and is listed by for..in.
inline constexpr std::uint16_t kVersion6 = 0x80;
inline constexpr std::uint16_t kVersion7 = 0x100;
inline constexpr std::uint16_t kVersion8 = 0x400;
inline constexpr std::uint16_t kVersion8b = 0x1000;
inline constexpr std::uint16_t kVersion9 = 0x2000;
inline constexpr std::uint16_t kVersion10 = 0x4000;
// The version flags that hide a property from a movie of `version`.
[[nodiscard]] constexpr std::uint16_t HiddenFlagsBelow(int version) {
  std::uint16_t hidden = 0;
  if (version < 6) hidden |= kVersion6;
  if (version < 7) hidden |= kVersion7;
  if (version < 8) hidden |= kVersion8 | kVersion8b;
  if (version < 9) hidden |= kVersion9;
  if (version < 10) hidden |= kVersion10;
  return hidden;
}

struct Property {
  std::string name;  // as first written; the map key may be lower-cased
  Value value;
  std::uint16_t flags = 0;
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
  PropertyMap<Property> properties;
  std::vector<Value> elements;  // arrays
  // Beside the elements of an array: when each element was made (the listing
  // order), its flags, and which indices hold none (a hole reads as undefined
  // but is neither listed nor owned). An index past the end of this list holds
  // an element made with the array.
  struct ElementInfo {
    std::uint64_t order = 0;
    std::uint8_t flags = 0;
    bool hole = false;
  };
  std::vector<ElementInfo> elementInfo;
  Value primitive;              // String, Number, Boolean, Date wrappers
  // Functions: native or compiled from a DefineFunction.
  NativeFunction native;
  std::shared_ptr<const FunctionCode> code;
  std::vector<Object*> scope;            // the scope chain the function closes over
  Object* constructorOf = nullptr;       // for natives that construct (Array, Date): unused by plain calls
  bool isConstructor = false;            // natives that act differently when called with new
  std::vector<Object*> interfaces;       // implements
  std::weak_ptr<TimelineInstance> clip;  // Clip objects
  // A text field's clip object: its properties (text, border, ...) need no
  // underscore, so the stage is asked about every name.
  bool textField = false;
  // Clip objects that left the stage: the target path (`_level0.a.b`) they
  // had, by which a reference finds the clip living there now. Empty while
  // the clip is on the stage.
  std::string removedPath;
  // A `super` object: the prototype the running method was found on (its
  // home), above which `super.x` reads, and the `this` it calls with.
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
// The drawing methods; GradientFill and LineGradient hand their gradient over
// as ScriptGradient (drawing.h) reads it, LineStyle as ScriptLineStyle does.
enum class DrawOp : std::uint8_t {
  Clear,
  MoveTo,
  LineTo,
  CurveTo,
  BeginFill,
  EndFill,
  LineStyle,
  NoLine,
  GradientFill,
  LineGradient
};

// A clip's matrix as scripts see it (flash.geom.Matrix): the move in pixels.
struct ClipMatrix {
  double a = 1, b = 0, c = 0, d = 1, tx = 0, ty = 0;
};

// The display side, as scripts reach it through clip objects.
// A character of the static text a clip shows: its code unit and the box of
// its glyph (origin on the baseline, advance wide, the text height tall) in
// the clip's twips.
struct StaticGlyph {
  std::uint16_t code = 0;
  double x = 0, y = 0, width = 0, height = 0;
};

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
  // The action blocks of a frame of the clip's timeline (a 1-based number or
  // a label), for the Call action.
  virtual std::vector<std::shared_ptr<const std::vector<std::uint8_t>>> FrameScripts(Object* /*clip*/,
                                                                                      std::string_view /*frame*/) {
    return {};
  }
  // The clip a reference leads to: the clip itself while it is on the stage;
  // after it left, the clip living at its path now (null when none).
  virtual Object* LiveClip(Object* clip) { return clip; }
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
  // setMask: the clip shows only where `mask` does (null: no mask).
  virtual void SetScriptMask(Object* /*clip*/, Object* /*mask*/) {}
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
  // MovieClip.blendMode as the display list keeps it (see BlendMode in
  // swf_movie.h); 0 for what is no clip on the stage.
  virtual std::uint8_t GetBlendMode(Object* /*clip*/) { return 0; }
  virtual void SetBlendMode(Object* /*clip*/, std::uint8_t /*mode*/) {}
  // MovieClip.filters as the display list keeps them (null: none or no clip).
  virtual std::shared_ptr<const std::vector<Filter>> GetFilters(Object* /*clip*/) { return nullptr; }
  virtual void SetFilters(Object* /*clip*/, std::vector<Filter> /*filters*/) {}
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
  // The Stage object: how the movie fits its window (scaleMode, align) and the
  // size scripts see (width, height: the window's under noScale).
  virtual std::string StageScaleMode() { return "showAll"; }
  virtual void SetStageScaleMode(std::string_view /*mode*/) {}
  virtual std::string StageAlign() { return ""; }
  virtual void SetStageAlign(std::string_view /*letters*/) {}
  virtual void StageSize(double& width, double& height) { width = height = 0; }
  // A clip's matrix and colour transform (Transform, Color), its own or
  // multiplied through its parents; false when it is not on the stage.
  virtual bool GetClipMatrix(Object* /*clip*/, bool /*concatenated*/, ClipMatrix& /*out*/) { return false; }
  virtual void SetClipMatrix(Object* /*clip*/, const ClipMatrix& /*matrix*/) {}
  virtual bool GetClipColors(Object* /*clip*/, bool /*concatenated*/, ColorTerms& /*out*/) { return false; }
  virtual void SetClipColors(Object* /*clip*/, const ColorTerms& /*terms*/) {}
  // Shows a script bitmap in `clip` at a script depth (attachBitmap); false
  // when the clip is not on the stage.
  virtual bool AttachBitmap(Object* /*clip*/, std::shared_ptr<const LiveBitmap> /*bitmap*/, int /*depth*/,
                            bool /*smoothing*/) {
    return false;
  }
  // beginBitmapFill: the clip's drawing fills with a script bitmap, `m`
  // mapping its pixels onto the clip's.
  virtual void BeginBitmapFill(Object* /*clip*/, std::shared_ptr<const LiveBitmap> /*bitmap*/,
                               const ClipMatrix& /*m*/, bool /*repeat*/, bool /*smooth*/) {}
  // BitmapData.draw of a clip: what the clip shows, its own matrix and
  // colours aside, drawn through `m` (pixels) and `colors` over the bitmap's
  // pixels within `area`, its bitmaps smoothed when `smooth` (and where they
  // ask for it themselves); false when the clip is not on the stage.
  virtual bool DrawClip(Object* /*clip*/, const ClipMatrix& /*m*/, const ColorTerms& /*colors*/,
                        const PixelArea& /*area*/, bool /*smooth*/, PixelBitmap& /*into*/) {
    return false;
  }
  // MovieClip.scrollRect (x, y, width, height in pixels of the clip's
  // space); false when the clip has none or is not on the stage.
  virtual bool GetScrollRect(Object* /*clip*/, std::array<double, 4>& /*rect*/) { return false; }
  // Nullopt takes the rectangle away.
  virtual void SetScrollRect(Object* /*clip*/, const std::optional<std::array<double, 4>>& /*rect*/) {}
  // A bitmap exported from the movie's library under a linkage name, as
  // unmultiplied ARGB rows (BitmapData.loadBitmap).
  virtual bool LoadExportedBitmap(std::string_view /*name*/, int& /*width*/, int& /*height*/,
                                  std::vector<std::uint32_t>& /*argb*/) {
    return false;
  }
  // The characters of the static text on the clip's display list, lowest depth first.
  virtual std::vector<StaticGlyph> StaticTextOf(Object* /*clip*/) { return {}; }
};

// What a running interpreter holds (stack, registers, scope chain): roots of
// a collection made while it runs.
class ScriptRoots {
 public:
  // Set while the interpreter waits in a call whose function, `this` and
  // arguments it holds among its roots: nothing but roots then holds objects
  // on its C++ frames, so the called function may collect between actions.
  bool inRootedCall = false;
  virtual void AddRoots(std::vector<Object*>& out) const = 0;
  // The timeline the running actions address (tellTarget included).
  [[nodiscard]] virtual Object* CurrentTarget() const = 0;

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
  // The `super` of a method found on `home` and called on `self`.
  Object* NewSuper(Object* self, Object* home);
  // Where a `super` object reads its members, and what `super()` calls; null
  // and undefined when the chain leads through a display object.
  static Object* SuperReadBase(const Object* super);
  Value SuperConstructor(const Object* super);
  Object* Global() { return global_; }

  [[nodiscard]] std::string Key(std::string_view name) const;
  Value Get(const Value& target, std::string_view name);
  Value GetMember(Object* object, std::string_view name);
  // GetMember for a name the object (or its chain, children or clip
  // properties) has; false, with `out` untouched, when it has none.
  bool Lookup(Object* object, std::string_view name, Value& out);
  void SetMember(Object* object, std::string_view name, Value value);
  // An own property the movie's version sees (none hidden by a version flag).
  Property* FindOwn(Object* object, std::string_view name);
  // An own property, hidden or not (hasOwnProperty, delete).
  Property* FindOwnAny(Object* object, std::string_view name);
  Property* FindOwnAny(Object* object, const PropertyKey& key) {
    const auto found = object->properties.find(key);
    return found == object->properties.end() ? nullptr : &found->second;
  }
  Property* FindOwn(Object* object, const PropertyKey& key) {
    Property* property = FindOwnAny(object, key);
    return property && !Hidden(*property) ? property : nullptr;
  }
  [[nodiscard]] bool Hidden(const Property& property) const { return (property.flags & hiddenFlags_) != 0; }
  // Whether `name` can be a display property of the clip object (_x, _name,
  // a text field's text): only then is the stage asked, which costs a lock
  // of the clip's timeline.
  [[nodiscard]] static bool MayBeClipProperty(const Object* clip, std::string_view name) {
    return clip->textField || (!name.empty() && name[0] == '_');
  }
  Property* FindInChain(Object* object, std::string_view name);
  Property* FindInChain(Object* object, const PropertyKey& key);
  // `name` as the property maps compare it in this movie.
  [[nodiscard]] bool Caseless() const { return version_ < 7; }
  bool DeleteMember(Object* object, std::string_view name);
  // Arrays: whether an element (not a hole) is at `index`; storing one there
  // (a new one, listed first, where there was none), growing the array with
  // holes; a new length, which cuts elements off or adds holes.
  [[nodiscard]] static bool HasElement(const Object* array, std::size_t index);
  [[nodiscard]] bool HasElement(const Object* array, std::string_view name) const;
  bool SetElement(Object* array, std::size_t index, Value value);
  void SetArrayLength(Object* array, std::size_t length);
  // ASSetPropFlags on the elements named (every one with `all`).
  void SetElementFlags(Object* array, std::span<const std::string> names, bool all, std::uint16_t set,
                       std::uint16_t clear);
  // Array methods that move elements around leave every index an element.
  static void FillHoles(Object* array);
  void Define(Object* object, std::string_view name, Value value, std::uint16_t flags = kDontEnum);
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
  // An exception no script caught: the log gets a warning line.
  void ReportUncaught(const Value& value);
  void Trace(const Value& value);

  DisplayHost& Host() { return host_; }
  // Counts the clips that left the stage, so running scripts notice when
  // their timeline may be gone.
  std::uint64_t clipRemovals = 0;
  // Getters, setters and watchers running inside one another.
  int accessorDepth = 0;
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
  // Calls made as the next tick starts, oldest first: what a load, a socket
  // or a dialog reports never arrives inside the call that asked for it.
  struct Deferred {
    Value function;
    Value self;
    std::vector<Value> args;
  };
  std::vector<Deferred> deferred;
  // Runs the deferred calls queued before this call (those they queue wait
  // for the next tick).
  void RunDeferred(std::size_t& budget);
  // Reads what a script asked for by URL (LoadVars.load, XML.load, ...), as
  // the host allows: its bytes, or nullopt when it cannot be had. Without a
  // reader nothing loads. It must not wait on a network.
  std::function<std::optional<std::string>(std::string_view url)> urlReader;
  std::size_t* budget = nullptr;  // the running blocks' budget
  // Scripts run until a time limit (seconds on `scriptClock`, a steady clock
  // unless a test injects its own) and are then stopped; the limit starts
  // over with each script the stage runs. The movie may set the limit; a
  // host may prefer a shorter one.
  std::function<double()> scriptClock;
  double scriptTimeLimit = kDefaultScriptSeconds;
  // Starts the running script's time (the outermost block, handler or timer).
  void StartScriptClock();
  // Called every few thousand actions: stops the script past its time.
  void CheckScriptClock();
  std::uint32_t actionsUntilClockCheck = kActionsPerClockCheck;
  // Natives running now: their C++ frames hold objects no root names.
  int nativeDepth = 0;
  // Whether the innermost interpreter may collect between two actions: every
  // interpreter below it waits in a rooted call and no native runs.
  [[nodiscard]] bool CollectionSafeInInnermost() const;
  // Activations of finished calls that no closure captured, kept empty for
  // the next calls.
  Object* TakeActivation();
  void ReturnActivation(Object* activation);
  // Lists of finished calls and actions (arguments, registers, stacks, scope
  // chains), emptied and kept for the next ones, so a call allocates none.
  std::vector<Value> TakeValues();
  void ReturnValues(std::vector<Value>& values) noexcept;
  std::vector<Object*> TakeScope();
  void ReturnScope(std::vector<Object*>& scope) noexcept;
  // The registers of the innermost frame script running: functions reach
  // them by the register numbers past their own count.
  std::vector<Value>* blockRegisters = nullptr;
  int callDepth = 0;
  int callDepthLimit = kMaxCallDepth;
  bool constructing = false;  // a native runs as the constructor of `new`
  // Set by a native constructor that refuses its arguments: `new` then gives undefined.
  bool constructRefused = false;
  std::size_t liveObjects = 0;
  // The objects made since `firstMade` existed (a built-in class made on its
  // first use, whose natives hold some of them) live as long as the built-ins.
  void KeepAsBuiltins(std::size_t firstMade);
  // Frees every object nothing reaches from the roots (globals, the built-ins,
  // live clips, timers, the running interpreters); returns how many it freed.
  // Only call it while no script runs, or between two actions of the only
  // running interpreter (nothing else then holds objects on the C++ stack).
  std::size_t Collect();
  // The interpreters running now, outermost first.
  std::vector<const ScriptRoots*> runningInterpreters;
  // The timeline of the innermost running actions; null when none run.
  [[nodiscard]] Object* CurrentTarget() const {
    return runningInterpreters.empty() ? nullptr : runningInterpreters.back()->CurrentTarget();
  }
  // Asked between every two actions, so kept inline.
  [[nodiscard]] bool CollectionDue() const {
    return heap_.size() >= nextCollection_ || storedBytes >= storedAfterCollection_ + kMaxStoredBytes / 4;
  }
  // The values an action block left on its stack: the next block of the same
  // tick starts with them (the stage clears them as a tick starts).
  std::vector<Value> leftOnStack;
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
  double scriptDeadline_ = 0;
  std::vector<Object*> spareActivations_;
  std::vector<std::vector<Value>> spareValues_;
  std::vector<std::vector<Object*>> spareScopes_;
  std::size_t permanentObjects_ = 0;  // the built-ins, which natives may capture
  std::size_t nextCollection_ = 0;
  std::size_t storedAfterCollection_ = 0;
  int version_;
  std::uint16_t hiddenFlags_ = 0;
  DisplayHost& host_;
  std::function<void(std::string_view)> trace_;
  std::vector<std::unique_ptr<Object>> heap_;
  Object* global_ = nullptr;
  std::uint64_t nextOrder_ = 1;
};

// Marks a block, handler call or timer run as running; the outermost one
// first collects when a collection is due, since nothing but the roots holds
// objects then, and starts the script's time.
struct RunScope {
  explicit RunScope(Vm& vm) : vm_(vm) {
    if (vm_.runDepth_ == 0) {
      vm_.CollectIfDue();
      vm_.StartScriptClock();
    }
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
// The clip a slash or dot path names, from `from` ("/a/b", "../c", "_root.a"); null when none.
Object* ClipAtPath(Vm& vm, Object* from, std::string_view path);
// Key, Mouse, System, XML, Sound, ...: the rest of the platform's globals.
void InstallPlatformObjects(Vm& vm);
void InstallSoundClass(Vm& vm);
void InstallTextFieldClass(Vm& vm);
// lineStyle, beginGradientFill and lineGradientStyle of movie clips.
void InstallClipDrawingStyles(Vm& vm, Object* clipProto);
void InstallButtonClass(Vm& vm);
void InstallTextSnapshotClass(Vm& vm);
void InstallSelection(Vm& vm);
void InstallXmlClasses(Vm& vm);
// LoadVars, XMLSocket, NetConnection, LocalConnection, TextField.StyleSheet
// and the loads of LoadVars and XML (net_classes.cpp; flash.net's classes
// come with the flash package, deferred_globals.h).
void InstallNetClasses(Vm& vm);
// ASnative, ASSetNative, ASSetNativeAccessor: the built-ins by number. Installed
// last, since its table refers to the others.
void InstallNativeTable(Vm& vm);
// flash.geom, flash.display.BitmapData and Color (geom.h).
void InstallGraphicsClasses(Vm& vm);

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
