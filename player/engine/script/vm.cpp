#include "vm.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <unordered_map>
#include <utility>

#include "deferred_globals.h"
#include "geom.h"
#include "swf_text.h"

namespace swf {

namespace {
// New objects between two collections; the next one is due when the heap has
// doubled or grown by this much, whichever is more.
constexpr std::size_t kCollectionStep = 20000;

std::size_t StoredBytes(const Value& value) {
  const auto* text = std::get_if<SharedText>(&value);
  return sizeof(Value) + (text ? text->size() : 0);
}
}  // namespace

Value Arg(std::span<const Value> args, std::size_t index) {
  return index < args.size() ? args[index] : Value{Undefined{}};
}

std::size_t Utf8Length(std::string_view text) {
  std::size_t count = 0;
  for (const char ch : text) {
    const auto byte = static_cast<unsigned char>(ch);
    // A character beyond U+FFFF (a 4-byte sequence) is two UTF-16 units.
    count += ((byte & 0xC0u) != 0x80u) + (byte >= 0xF0u);
  }
  return count;
}

std::int32_t ToInt32(double number) {
  if (!std::isfinite(number)) return 0;
  const double wrapped = std::fmod(std::trunc(number), 4294967296.0);
  const double positive = wrapped < 0 ? wrapped + 4294967296.0 : wrapped;
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(positive));
}

Vm::Vm(int version, DisplayHost& host) : version_(version), hiddenFlags_(HiddenFlagsBelow(version)), host_(host) {
  // Room for every spare list up front: returning one never allocates.
  spareValues_.reserve(kMaxSpareLists);
  spareScopes_.reserve(kMaxSpareLists);
  InstallBuiltins();
}

Vm::~Vm() = default;

void Vm::InstallBuiltins() {
  objectProto_ = NewObject(ObjectKind::Plain, nullptr);
  functionProto_ = NewObject(ObjectKind::Plain, objectProto_);
  // _global is bare: no prototype, so no toString or valueOf of its own.
  global_ = NewObject(ObjectKind::Plain, nullptr);
  InstallObjectClass(*this);
  InstallFunctionClass(*this);
  InstallArrayClass(*this);
  InstallStringClass(*this);
  InstallNumberAndBoolean(*this);
  InstallMathClass(*this);
  DeferDateClass(*this);
  InstallGlobalFunctions(*this);
  InstallMovieClipClass(*this);
  InstallTextFieldClass(*this);
  InstallButtonClass(*this);
  DeferSoundClass(*this);
  DeferXmlClasses(*this);
  DeferFlashPackages(*this);
  DeferPlatformObjects(*this);
  InstallNetClasses(*this);
  InstallNativeTable(*this);
  // The packages (flash.geom, flash.filters, ...) and the authoring tool's
  // objects came with version 8: older movies do not see them.
  for (const char* name : {"flash", "CustomActions", "XMLUI"}) {
    if (Property* property = FindOwnAny(global_, name)) property->flags |= kVersion8;
  }
  permanentObjects_ = heap_.size();
  nextCollection_ = permanentObjects_ + kCollectionStep;
}

namespace {

void PushObject(const Value& value, std::vector<Object*>& pending) {
  if (auto* const* object = std::get_if<Object*>(&value); object && *object && !(*object)->marked) {
    pending.push_back(*object);
  }
}

void PushObject(Object* object, std::vector<Object*>& pending) {
  if (object && !object->marked) pending.push_back(object);
}

}  // namespace

void Vm::Mark(Object* root, std::vector<Object*>& pending) {
  PushObject(root, pending);
  while (!pending.empty()) {
    Object* object = pending.back();
    pending.pop_back();
    if (object->marked) continue;
    object->marked = true;
    PushObject(object->proto, pending);
    for (const auto& [key, property] : object->properties) {
      PushObject(property.value, pending);
      PushObject(property.getter, pending);
      PushObject(property.setter, pending);
    }
    for (const Value& element : object->elements) PushObject(element, pending);
    for (Object* link : object->scope) PushObject(link, pending);
    for (Object* link : object->interfaces) PushObject(link, pending);
    for (const auto& [key, watch] : object->watches) {
      PushObject(watch.callback, pending);
      PushObject(watch.userData, pending);
    }
    PushObject(object->constructorOf, pending);
    PushObject(object->superHome, pending);
    PushObject(object->superThis, pending);
    if (object->state) {
      std::vector<Object*> referenced;
      object->state->AddReferences(referenced);
      for (Object* link : referenced) PushObject(link, pending);
    }
  }
}

std::size_t Vm::Collect() {
  std::vector<Object*> pending;
  for (const ScriptRoots* running : runningInterpreters) {
    std::vector<Object*> held;
    running->AddRoots(held);
    for (Object* object : held) Mark(object, pending);
  }
  for (std::size_t i = 0; i < permanentObjects_ && i < heap_.size(); ++i) Mark(heap_[i].get(), pending);
  for (Object* root : {global_, objectProto_, functionProto_, arrayProto_, stringProto_, numberProto_, booleanProto_,
                       dateProto_, clipProto_, errorProto_}) {
    Mark(root, pending);
  }
  for (const Value& value : leftOnStack) {
    if (auto* const* object = std::get_if<Object*>(&value); object && *object) Mark(*object, pending);
  }
  for (Object* spare : spareActivations_) Mark(spare, pending);
  for (const Deferred& call : deferred) {
    PushObject(call.function, pending);
    PushObject(call.self, pending);
    for (const Value& arg : call.args) PushObject(arg, pending);
    while (!pending.empty()) {
      Object* next = pending.back();
      pending.pop_back();
      Mark(next, pending);
    }
  }
  for (const Timer& timer : timers) {
    PushObject(timer.function, pending);
    PushObject(timer.self, pending);
    for (const Value& arg : timer.args) PushObject(arg, pending);
    while (!pending.empty()) {
      Object* next = pending.back();
      pending.pop_back();
      Mark(next, pending);
    }
  }
  // A clip on the display list (or still held by the stage) stays with its
  // variables.
  for (const auto& object : heap_) {
    if (object->kind == ObjectKind::Clip && !object->clip.expired()) Mark(object.get(), pending);
  }
  const std::size_t before = heap_.size();
  std::erase_if(heap_, [](const std::unique_ptr<Object>& object) { return !object->marked; });
  // What the survivors store is counted again, so freed texts free their charge.
  storedBytes = 0;
  for (const auto& object : heap_) {
    object->marked = false;
    for (const auto& [key, property] : object->properties)
      storedBytes += property.name.size() + StoredBytes(property.value);
    for (const Value& element : object->elements) storedBytes += StoredBytes(element);
    if (object->state) storedBytes += object->state->StoredBytes();
  }
  liveObjects = heap_.size();
  storedAfterCollection_ = storedBytes;
  nextCollection_ = std::max(heap_.size() * 2, heap_.size() + kCollectionStep);
  return before - heap_.size();
}

void Vm::KeepAsBuiltins(std::size_t firstMade) {
  if (firstMade < permanentObjects_ || firstMade > heap_.size()) return;
  const auto first = heap_.begin() + static_cast<std::ptrdiff_t>(permanentObjects_);
  std::rotate(first, heap_.begin() + static_cast<std::ptrdiff_t>(firstMade), heap_.end());
  permanentObjects_ += heap_.size() - firstMade;
}

void Vm::CollectIfDue() {
  if (runDepth_ != 0 || callDepth != 0 || !CollectionDue()) return;
  (void)Collect();
}

Object* Vm::NewObject(ObjectKind kind, Object* proto) {
  if (heap_.size() >= kMaxObjects) Throw(std::string("Too many objects"));
  heap_.push_back(std::make_unique<Object>(*this, kind));
  Object* object = heap_.back().get();
  object->proto = proto;
  liveObjects = heap_.size();
  return object;
}

bool Vm::ChargeReplacing(std::size_t oldBytes, std::size_t newBytes) {
  if (newBytes <= oldBytes) {
    storedBytes -= std::min(storedBytes, oldBytes - newBytes);
    return true;
  }
  return Charge(newBytes - oldBytes);
}

bool Vm::Charge(std::size_t bytes) {
  if (storedBytes + bytes > kMaxStoredBytes) return false;
  storedBytes += bytes;
  return true;
}

Object* Vm::NewArray(std::vector<Value> elements) {
  Object* array = NewObject(ObjectKind::Array, arrayProto_);
  if (elements.size() > kMaxArrayLength) elements.resize(kMaxArrayLength);
  std::size_t bytes = 0;
  for (const Value& value : elements) bytes += StoredBytes(value);
  if (!Charge(bytes)) elements.clear();
  array->elements = std::move(elements);
  return array;
}

Object* Vm::NewNative(NativeFunction fn, bool constructor) {
  Object* function = NewObject(ObjectKind::Function, functionProto_);
  function->native = std::move(fn);
  function->isConstructor = constructor;
  return function;
}

Object* Vm::NewClip(std::weak_ptr<TimelineInstance> clip) {
  Object* object = NewObject(ObjectKind::Clip, clipProto_);
  object->clip = std::move(clip);
  return object;
}

std::string Vm::Key(std::string_view name) const { return version_ < 7 ? FoldNameCase(name) : std::string(name); }

Property* Vm::FindOwnAny(Object* object, std::string_view name) {
  const PropertyKey key(name, Caseless());
  return FindOwnAny(object, key);
}

Property* Vm::FindOwn(Object* object, std::string_view name) {
  Property* property = FindOwnAny(object, name);
  return property && !Hidden(*property) ? property : nullptr;
}

Property* Vm::FindInChain(Object* object, std::string_view name) {
  const PropertyKey key(name, Caseless());
  return FindInChain(object, key);
}

Property* Vm::FindInChain(Object* object, const PropertyKey& key) {
  int hops = 0;
  for (Object* at = object; at && hops < 256; at = at->proto, ++hops) {
    if (Property* property = FindOwn(at, key)) return property;
  }
  return nullptr;
}

namespace {

// "12" -> 12; anything that is not a plain array index -> -1.
std::int64_t ArrayIndex(std::string_view name) {
  if (name.empty() || name.size() > 10) return -1;
  std::int64_t index = 0;
  for (const char ch : name) {
    if (ch < '0' || ch > '9') return -1;
    index = index * 10 + (ch - '0');
  }
  if (name.size() > 1 && name[0] == '0') return -1;
  return index;
}

bool NameIs(const Vm& vm, std::string_view name, std::string_view builtin) {
  return vm.Version() < 7 ? EqualsIgnoringCase(name, builtin) : name == builtin;
}

// __proto__ may be given any value, and deleted: what it reads as then is
// kept here, while the chain lookups follow (an object given to __proto__,
// or none for anything else).
constexpr std::string_view kProtoSlot = "\x01proto";

Value ProtoValue(Vm& vm, Object* object) {
  if (const Property* slot = vm.FindOwnAny(object, kProtoSlot)) return slot->value;
  return object->proto ? Value{object->proto} : Value{Undefined{}};
}

}  // namespace

namespace {

// A property's getter and setter (addProperty) run inside one another at
// most this deep, counted together for the property: past it a read gives
// the value last written and a write is dropped. Two properties whose
// accessors call each other each go this deep.
constexpr int kMaxAccessorDepth = 65;

// An accessor or watcher entered for one call, when it is not yet running
// kMaxAccessorDepth deep (`entered` false then, and nothing is counted).
class AccessorEntry {
 public:
  AccessorEntry(Vm& vm, const Object* function) : vm_(vm), function_(function) {
    if (!function) return;
    int& depth = Running()[function];
    entered = depth < kMaxAccessorDepth;
    if (!entered) return;
    ++depth;
    ++vm_.accessorDepth;
  }
  ~AccessorEntry() {
    auto& running = Running();
    const auto found = running.find(function_);
    if (entered) --vm_.accessorDepth;
    if (found != running.end() && (entered ? --found->second : found->second) <= 0) running.erase(found);
  }
  AccessorEntry(const AccessorEntry&) = delete;
  AccessorEntry& operator=(const AccessorEntry&) = delete;
  bool entered = false;

 private:
  // The accessors running now, with how deep each is (one thread runs a Vm).
  static std::unordered_map<const Object*, int>& Running() {
    thread_local std::unordered_map<const Object*, int> running;
    return running;
  }
  Vm& vm_;
  const Object* function_;
};

// `home`: the object the accessor was found on, above which its `super` reads
// (for one of the object itself, the object's prototype). An accessor
// running too deep gives `blocked`: for a getter the value last written to
// the property, which its setter's writes keep.
Value CallAccessor(Vm& vm, Object* function, Object* self, std::span<const Value> args, Object* home,
                   const Value& blocked = Undefined{}, const Object* countedAs = nullptr) {
  const AccessorEntry entry(vm, countedAs ? countedAs : function);
  if (!entry.entered) return blocked;
  return vm.Call(Value{function}, Value{self}, args, home);
}

// What a property's accessors count their depth by: its getter, which
// addProperty always gives (a setter alone counts by itself).
const Object* DepthKey(const Property& property) { return property.getter ? property.getter : property.setter; }

Object* AccessorHome(Object* self, Object* holder) { return holder == self && self ? self->proto : holder; }

// A property on the object's chain, and the object that holds it.
Property* FindWithHolder(Vm& vm, Object* object, const PropertyKey& key, Object*& holder) {
  int hops = 0;
  for (Object* at = object; at && hops < 256; at = at->proto, ++hops) {
    if (Property* property = vm.FindOwn(at, key)) {
      holder = at;
      return property;
    }
  }
  return nullptr;
}

Property* FindWithHolder(Vm& vm, Object* object, std::string_view name, Object*& holder) {
  const PropertyKey key(name, vm.Caseless());
  return FindWithHolder(vm, object, key, holder);
}

// A member from the object's own properties and its prototype chain only.
Value GetFromChain(Vm& vm, Object* object, std::string_view name) {
  const PropertyKey key(name, vm.Caseless());
  int hops = 0;
  for (Object* at = object; at && hops < 256; at = at->proto, ++hops) {
    if (Property* property = vm.FindOwn(at, key)) {
      if (property->getter) return CallAccessor(vm, property->getter, object, {}, AccessorHome(object, at), property->value);
      return property->value;
    }
  }
  return Undefined{};
}

}  // namespace

Value Vm::GetMember(Object* object, std::string_view name) {
  if (!object) return Undefined{};
  // super.x reads x from above the method's home.
  if (object->superThis) {
    Object* base = SuperReadBase(object);
    if (!base) return Undefined{};
    // A getter reached through super runs on the method's `this`, its own
    // super above the prototype that holds it.
    if (Object* holder = nullptr; Property* found = FindWithHolder(*this, base, name, holder)) {
      if (found->getter) return CallAccessor(*this, found->getter, object->superThis, {}, holder);
    }
    return GetMember(base, name);
  }
  if (NameIs(*this, name, "__proto__")) return ProtoValue(*this, object);
  if (object->kind == ObjectKind::Array) {
    if (NameIs(*this, name, "length")) return static_cast<double>(object->elements.size());
    const std::int64_t index = ArrayIndex(name);
    if (index >= 0) {
      if (HasElement(object, static_cast<std::size_t>(index))) return object->elements[static_cast<std::size_t>(index)];
      return Undefined{};
    }
  }
  if (object->kind == ObjectKind::String && NameIs(*this, name, "length")) {
    return static_cast<double>(Utf8Length(ToString(object->primitive, version_)));
  }
  if (object->kind == ObjectKind::Clip && !object->removedPath.empty()) {
    // A clip that left the stage: the clip living at its path now answers;
    // with none there, only the object's own variables and methods remain.
    Object* live = host_.LiveClip(object);
    if (live && live != object) return GetMember(live, name);
    if (!live) return GetFromChain(*this, object, name);
  }
  if (object->kind == ObjectKind::Clip) {
    Value special;
    if (MayBeClipProperty(object, name) && host_.GetClipProperty(object, name, special)) return special;
    const PropertyKey key(name, Caseless());
    if (Property* own = FindOwn(object, key)) {
      if (own->getter) return CallAccessor(*this, own->getter, object, {}, object->proto, own->value);
      return own->value;
    }
    if (Object* child = host_.ChildClip(object, name)) return child;
    for (Object* at = object->proto; at; at = at->proto) {
      if (Property* property = FindOwn(at, key)) {
        if (property->getter) return CallAccessor(*this, property->getter, object, {}, at, property->value);
        return property->value;
      }
    }
    return Undefined{};
  }
  return GetFromChain(*this, object, name);
}

bool Vm::Lookup(Object* object, std::string_view name, Value& out) {
  if (!object) return false;
  bool onStage = true;
  if (object->kind == ObjectKind::Clip && !object->removedPath.empty()) {
    Object* live = host_.LiveClip(object);
    if (live && live != object) return Lookup(live, name, out);
    onStage = live != nullptr;
  }
  if (object->kind == ObjectKind::Clip && onStage) {
    if (MayBeClipProperty(object, name) && host_.GetClipProperty(object, name, out)) return true;
    const PropertyKey key(name, Caseless());
    if (Property* own = FindOwn(object, key)) {
      out = own->getter ? CallAccessor(*this, own->getter, object, {}, object->proto, own->value) : own->value;
      return true;
    }
    if (Object* child = host_.ChildClip(object, name)) {
      out = child;
      return true;
    }
    for (Object* at = object->proto; at; at = at->proto) {
      if (Property* property = FindOwn(at, key)) {
        out = property->getter ? CallAccessor(*this, property->getter, object, {}, at, property->value) : property->value;
        return true;
      }
    }
    return false;
  }
  const PropertyKey key(name, Caseless());
  if (object->kind == ObjectKind::Array || object->kind == ObjectKind::String || object->superThis ||
      object->kind == ObjectKind::Clip ||
      NameIs(*this, name, "__proto__")) {
    // The length of arrays and texts counts as theirs; the rest reads as GetMember does.
    const bool has =
        ((object->kind == ObjectKind::Array || object->kind == ObjectKind::String) && key.Text() == "length") ||
        FindInChain(object, key);
    if (has) out = GetMember(object, name);
    return has;
  }
  int hops = 0;
  for (Object* at = object; at && hops < 256; at = at->proto, ++hops) {
    if (Property* property = FindOwn(at, key)) {
      out = property->getter ? CallAccessor(*this, property->getter, object, {}, AccessorHome(object, at), property->value)
                             : property->value;
      return true;
    }
  }
  return false;
}

Value Vm::Get(const Value& target, std::string_view name) {
  if (const auto* text = std::get_if<SharedText>(&target)) {
    if (NameIs(*this, name, "length")) return static_cast<double>(Utf8Length(*text));
    return GetMember(stringProto_, name);
  }
  if (std::holds_alternative<double>(target)) return GetMember(numberProto_, name);
  if (std::holds_alternative<bool>(target)) return GetMember(booleanProto_, name);
  if (auto* const* object = std::get_if<Object*>(&target)) return GetMember(*object, name);
  return Undefined{};
}

void Vm::SetMember(Object* object, std::string_view name, Value value) {
  if (!object) return;
  bool onStage = true;
  if (object->kind == ObjectKind::Clip && !object->removedPath.empty()) {
    Object* live = host_.LiveClip(object);
    if (live && live != object) {
      SetMember(live, name, std::move(value));
      return;
    }
    onStage = live != nullptr;
  }
  if (object->superThis) {
    // A setter reached through super runs on the method's `this`.
    Object* holder = nullptr;
    Object* base = SuperReadBase(object);
    if (Property* found = base ? FindWithHolder(*this, base, name, holder) : nullptr; found && found->setter) {
      (void)CallAccessor(*this, found->setter, object->superThis, std::span<const Value>(&value, 1), holder,
                         Undefined{}, DepthKey(*found));
      return;
    }
  }
  if (object->kind == ObjectKind::Array) {
    if (NameIs(*this, name, "length")) {
      const double length = ToNum(value);
      if (length >= 0 && length <= static_cast<double>(kMaxArrayLength)) {
        const auto wanted = static_cast<std::size_t>(length);
        if (wanted > object->elements.size() && !Charge((wanted - object->elements.size()) * sizeof(Value))) return;
        SetArrayLength(object, wanted);
      }
      return;
    }
    const std::int64_t index = ArrayIndex(name);
    if (index >= 0) {
      (void)SetElement(object, static_cast<std::size_t>(index), std::move(value));
      return;
    }
  }
  if (!object->watches.empty()) {
    if (const auto found = object->watches.find(Key(name)); found != object->watches.end()) {
      const Object::Watch watch = found->second;  // the callback may unwatch
      // A display object's watcher sees the value stored on the object itself:
      // its built-in properties (a field's text, ...) are no stored values.
      Value old;
      // Nor does a property with a getter run it for the watcher: its old
      // value reads as undefined.
      if (object->kind == ObjectKind::Clip) {
        const Property* own = FindOwn(object, name);
        if (own && !own->getter) old = own->value;
      } else if (const Property* held = FindInChain(object, name); held && held->getter) {
        old = Undefined{};
      } else {
        old = GetMember(object, name);
      }
      // A watcher that sets what it watches (or what another's watcher
      // watches) runs as deep as an accessor; past that the value is stored
      // as given.
      // While it runs, the property's own accessors count as running as deep
      // as it does.
      const Property* accessors = FindOwn(object, name);
      const AccessorEntry entry(*this, watch.callback);
      const AccessorEntry accessorEntry(*this, accessors ? DepthKey(*accessors) : nullptr);
      if (entry.entered) {
        const Value args[] = {Value{std::string(name)}, old, value, watch.userData};
        value = Call(Value{watch.callback}, Value{object}, args);
      }
    }
  }
  if (NameIs(*this, name, "__proto__")) {
    auto* const* proto = std::get_if<Object*>(&value);
    object->proto = proto ? *proto : nullptr;
    if (object->proto) {
      object->properties.erase(kProtoSlot);
    } else {
      Define(object, kProtoSlot, std::move(value), kDontEnum);
    }
    return;
  }
  if (object->kind == ObjectKind::Clip && onStage && MayBeClipProperty(object, name) &&
      host_.SetClipProperty(object, name, value)) {
    return;
  }
  const PropertyKey key(name, Caseless());
  // A setter anywhere on the chain takes the write; the chain starts with
  // the object's own property, when it has one.
  Object* holder = nullptr;
  Property* inherited = FindWithHolder(*this, object, key, holder);
  Property* own = holder == object ? inherited : nullptr;
  if (inherited && inherited->setter) {
    (void)CallAccessor(*this, inherited->setter, object, std::span<const Value>(&value, 1),
                       AccessorHome(object, holder), Undefined{}, DepthKey(*inherited));
    // The property keeps the value written too (the setter may have moved
    // it): a getter that cannot run any deeper reads it.
    if (Property* written = FindOwnAny(holder, key); written && (written->getter || written->setter) &&
                                                    ChargeReplacing(StoredBytes(written->value), StoredBytes(value))) {
      written->value = std::move(value);
    }
    return;
  } else if (inherited && inherited->getter) {
    return;  // a property with a getter and no setter is read-only, inherited or not
  }
  if (own) {
    if (own->flags & kReadOnly) return;
    if (own->getter && !own->setter) return;
    if (!ChargeReplacing(StoredBytes(own->value), StoredBytes(value))) return;
    own->value = std::move(value);
    return;
  }
  if (!Charge(StoredBytes(value) + name.size())) return;
  Property property;
  property.name = std::string(name);
  property.value = std::move(value);
  property.order = nextOrder_++;
  // A property hidden from this version is replaced by the new one.
  object->properties.insert_or_assign(std::string(key.Text()), std::move(property));
}

bool Vm::HasElement(const Object* array, std::size_t index) {
  return index < array->elements.size() && !(index < array->elementInfo.size() && array->elementInfo[index].hole);
}

bool Vm::HasElement(const Object* array, std::string_view name) const {
  if (array->kind != ObjectKind::Array) return false;
  const std::int64_t index = ArrayIndex(name);
  return index >= 0 && HasElement(array, static_cast<std::size_t>(index));
}

bool Vm::SetElement(Object* array, std::size_t index, Value value) {
  if (index >= kMaxArrayLength) return false;
  std::vector<Value>& elements = array->elements;
  std::vector<Object::ElementInfo>& info = array->elementInfo;
  const std::size_t slots = index + 1;
  const std::size_t grow = slots > elements.size() ? (slots - elements.size()) * sizeof(Value) : 0;
  const std::size_t oldBytes = index < elements.size() ? StoredBytes(elements[index]) : 0;
  if (!ChargeReplacing(oldBytes, grow + StoredBytes(value))) return false;
  const bool present = HasElement(array, index);
  if (present) {
    if (index < info.size() && (info[index].flags & kReadOnly)) return false;
    elements[index] = std::move(value);
    return true;
  }
  // A new element: the indices it skips over are holes.
  if (info.size() < elements.size()) info.resize(elements.size());
  if (slots > elements.size()) {
    elements.resize(slots);
    info.resize(slots, Object::ElementInfo{0, 0, true});
  }
  elements[index] = std::move(value);
  info[index] = Object::ElementInfo{nextOrder_++, 0, false};
  return true;
}

void Vm::SetArrayLength(Object* array, std::size_t length) {
  if (length < array->elements.size()) {
    array->elements.resize(length);
    if (array->elementInfo.size() > length) array->elementInfo.resize(length);
    return;
  }
  if (length == array->elements.size()) return;
  array->elementInfo.resize(array->elements.size());
  array->elements.resize(length);
  array->elementInfo.resize(length, Object::ElementInfo{0, 0, true});
}

void Vm::SetElementFlags(Object* array, std::span<const std::string> names, bool all, std::uint16_t set,
                         std::uint16_t clear) {
  if (array->kind != ObjectKind::Array || array->elements.empty()) return;
  std::vector<Object::ElementInfo>& info = array->elementInfo;
  const auto change = [&](std::size_t index) {
    if (!HasElement(array, index)) return;
    if (info.size() < array->elements.size()) info.resize(array->elements.size());
    // Elements keep the low flags only: the version flags are for named properties.
    info[index].flags = static_cast<std::uint8_t>(((info[index].flags & ~clear) | set) & 0xFFu);
  };
  if (all) {
    for (std::size_t i = 0; i < array->elements.size(); ++i) change(i);
    return;
  }
  for (const std::string& name : names) {
    const std::int64_t index = ArrayIndex(name);
    if (index >= 0) change(static_cast<std::size_t>(index));
  }
}

void Vm::FillHoles(Object* array) { array->elementInfo.clear(); }

bool Vm::DeleteMember(Object* object, std::string_view name) {
  if (!object) return false;
  if (object->kind == ObjectKind::Array) {
    const std::int64_t index = ArrayIndex(name);
    if (index >= 0) {
      const auto at = static_cast<std::size_t>(index);
      if (!HasElement(object, at)) return false;
      if (at < object->elementInfo.size() && (object->elementInfo[at].flags & kDontDelete)) return false;
      if (object->elementInfo.size() < object->elements.size()) object->elementInfo.resize(object->elements.size());
      storedBytes -= std::min(storedBytes, StoredBytes(object->elements[at]) - sizeof(Value));
      object->elements[at] = Undefined{};
      object->elementInfo[at] = Object::ElementInfo{0, 0, true};
      return true;
    }
  }
  if (NameIs(*this, name, "__proto__")) {
    // The link stays for lookups; only what __proto__ reads as is gone.
    if (std::holds_alternative<Undefined>(ProtoValue(*this, object))) return false;
    Define(object, kProtoSlot, Undefined{}, kDontEnum);
    return true;
  }
  const PropertyKey key(name, Caseless());
  const auto found = object->properties.find(key);
  if (found == object->properties.end() || (found->second.flags & kDontDelete)) return false;
  object->properties.erase(found);
  return true;
}

void Vm::Define(Object* object, std::string_view name, Value value, std::uint16_t flags) {
  const PropertyKey key(name, Caseless());
  if (Property* own = FindOwnAny(object, key)) {
    // Made anew in its old place: no getter or setter stays.
    own->name.assign(name);
    own->value = std::move(value);
    own->flags = flags;
    own->order = nextOrder_++;
    own->getter = nullptr;
    own->setter = nullptr;
    return;
  }
  object->properties.append(std::string(key.Text()), key.Hash(),
                            Property{std::string(name), std::move(value), flags, nextOrder_++, nullptr, nullptr});
}

void Vm::DefineMethod(Object* object, std::string_view name, NativeFunction fn) {
  Define(object, name, Value{NewNative(std::move(fn))}, kDontEnum);
}

std::vector<std::string> Vm::EnumerableNames(Object* object) {
  // Each object's names newest first; a prototype's come before those of the
  // objects that inherit from it.
  std::vector<std::vector<std::string>> levels;
  std::vector<std::string> seen;
  // An own property or array element of one object on the chain.
  struct Item {
    std::uint64_t order;
    const Property* property;  // null for an element
    std::size_t index;
  };
  int hops = 0;
  for (Object* at = object; at && hops < 256; at = at->proto, ++hops) {
    std::vector<std::string>& names = levels.emplace_back();
    std::vector<Item> own;
    for (const auto& [key, property] : at->properties) own.push_back(Item{property.order, &property, 0});
    if (at->kind == ObjectKind::Array) {
      for (std::size_t i = 0; i < at->elements.size(); ++i) {
        if (i >= at->elementInfo.size()) {
          own.push_back(Item{0, nullptr, i});
        } else if (!at->elementInfo[i].hole && !(at->elementInfo[i].flags & kDontEnum)) {
          own.push_back(Item{at->elementInfo[i].order, nullptr, i});
        }
      }
    }
    // The newest comes first, as the player lists them; elements made with
    // the array come last, the highest index first.
    std::sort(own.begin(), own.end(), [](const Item& a, const Item& b) {
      if (a.order != b.order) return a.order > b.order;
      return a.index > b.index;
    });
    for (const Item& item : own) {
      if (!item.property) {
        names.push_back(std::to_string(item.index));
        continue;
      }
      const std::string key = Key(item.property->name);
      if (std::find(seen.begin(), seen.end(), key) != seen.end()) continue;
      seen.push_back(key);
      if (!(item.property->flags & kDontEnum)) names.push_back(item.property->name);
    }
  }
  std::vector<std::string> names;
  for (auto level = levels.rbegin(); level != levels.rend(); ++level) {
    for (std::string& name : *level) names.push_back(std::move(name));
  }
  return names;
}

// Without a hint (numbers, +, <) an object gives what its valueOf returns,
// even another object; with the string hint, what toString returns.
Value Vm::ToPrimitive(const Value& value, bool preferString) {
  auto* const* object = std::get_if<Object*>(&value);
  if (!object) return value;
  Object* self = *object;
  // Dates prefer their text from version 6; version 5 asks them for valueOf too.
  const bool useString = preferString || (self->kind == ObjectKind::Date && version_ >= 6);
  const Value method = GetMember(self, useString ? "toString" : "valueOf");
  if (auto* const* function = std::get_if<Object*>(&method); function && (*function)->kind == ObjectKind::Function) {
    return Call(method, Value{self}, {});
  }
  // An object without a valueOf to call (a bare one, or one whose valueOf
  // was replaced by something else) converts as undefined.
  if (!useString) return Undefined{};
  if (self->kind == ObjectKind::Function) return std::string("[type Function]");
  return std::string("[type Object]");
}

std::string Vm::ToStr(const Value& value) {
  if (std::holds_alternative<Object*>(value)) {
    Object* object = std::get<Object*>(value);
    if (object->kind == ObjectKind::Clip) {
      // A clip that left the stage names the clip at its path now, or nothing.
      Object* live = host_.LiveClip(object);
      return live ? host_.TargetPath(live) : std::string();
    }
    const Value primitive = ToPrimitive(value, true);
    // A toString that gives no text (a number, null, an object) leaves the
    // object unnamed.
    if (!std::holds_alternative<SharedText>(primitive)) {
      return object->kind == ObjectKind::Function ? "[type Function]" : "[type Object]";
    }
    return ToString(primitive, version_);
  }
  return ToString(value, version_);
}

double Vm::ToNum(const Value& value) {
  if (std::holds_alternative<Object*>(value)) {
    const Value primitive = ToPrimitive(value, false);
    if (std::holds_alternative<Object*>(primitive)) return std::numeric_limits<double>::quiet_NaN();
    return ToNumber(primitive, version_);
  }
  return ToNumber(value, version_);
}

bool Vm::ToBool(const Value& value) const { return ToBoolean(value, version_); }

Object* Vm::ToObject(const Value& value) {
  if (auto* const* object = std::get_if<Object*>(&value)) return *object;
  if (std::holds_alternative<SharedText>(value)) {
    Object* wrapper = NewObject(ObjectKind::String, stringProto_);
    wrapper->primitive = value;
    return wrapper;
  }
  if (std::holds_alternative<double>(value)) {
    Object* wrapper = NewObject(ObjectKind::Number, numberProto_);
    wrapper->primitive = value;
    return wrapper;
  }
  if (std::holds_alternative<bool>(value)) {
    Object* wrapper = NewObject(ObjectKind::Boolean, booleanProto_);
    wrapper->primitive = value;
    return wrapper;
  }
  return nullptr;
}

bool Vm::Equals(const Value& a, const Value& b) {
  const bool aObject = std::holds_alternative<Object*>(a);
  const bool bObject = std::holds_alternative<Object*>(b);
  if (aObject && bObject) {
    if (std::get<Object*>(a) == std::get<Object*>(b)) return true;
    // Version 5 compares two objects by their values (two boxed 1s are equal).
    if (version_ > 5) return false;
    const Value left = ToPrimitive(a);
    const Value right = ToPrimitive(b);
    if (std::holds_alternative<Object*>(left) || std::holds_alternative<Object*>(right)) return left == right;
    return Equals(left, right);
  }
  const auto isNothing = [](const Value& v) {
    return std::holds_alternative<Undefined>(v) || std::holds_alternative<Null>(v);
  };
  // A bare object (no valueOf to call) converts as undefined.
  if (aObject && isNothing(b)) return isNothing(ToPrimitive(a));
  if (bObject && isNothing(a)) return isNothing(ToPrimitive(b));
  if (isNothing(a) || isNothing(b)) return isNothing(a) && isNothing(b);
  if (aObject) {
    const Value primitive = ToPrimitive(a);
    return !std::holds_alternative<Object*>(primitive) && Equals(primitive, b);
  }
  if (bObject) {
    const Value primitive = ToPrimitive(b);
    return !std::holds_alternative<Object*>(primitive) && Equals(a, primitive);
  }
  const double* x = std::get_if<double>(&a);
  const double* y = std::get_if<double>(&b);
  if (x && y && std::isnan(*x) && std::isnan(*y)) return true;
  return LooselyEqual(a, b, version_);
}

std::string Vm::TypeOf(const Value& value) {
  struct Visitor {
    std::string operator()(Undefined) const { return "undefined"; }
    std::string operator()(Null) const { return "null"; }
    std::string operator()(bool) const { return "boolean"; }
    std::string operator()(double) const { return "number"; }
    std::string operator()(const SharedText&) const { return "string"; }
    std::string operator()(Object* object) const {
      if (object->kind == ObjectKind::Function) return "function";
      if (object->kind == ObjectKind::Clip) return object->vm.Host().IsMovieClip(object) ? "movieclip" : "object";
      return "object";
    }
  };
  return std::visit(Visitor{}, value);
}

namespace {

bool PrototypeImplements(Vm& vm, Object* proto, Object* target, int depth) {
  if (!proto || depth > 32) return false;
  for (Object* iface : proto->interfaces) {
    const Value ifaceProto = vm.GetMember(iface, "prototype");
    auto* const* p = std::get_if<Object*>(&ifaceProto);
    if (!p) continue;
    if (*p == target) return true;
    if (PrototypeImplements(vm, *p, target, depth + 1)) return true;
  }
  return false;
}

}  // namespace

bool Vm::InstanceOf(const Value& value, Object* constructor) {
  auto* const* object = std::get_if<Object*>(&value);
  if (!object || !constructor) return false;
  const Value prototype = GetMember(constructor, "prototype");
  auto* const* target = std::get_if<Object*>(&prototype);
  if (!target) return false;
  int hops = 0;
  for (Object* at = (*object)->proto; at && hops < 256; at = at->proto, ++hops) {
    if (at == *target) return true;
    if (PrototypeImplements(*this, at, *target, 0)) return true;
  }
  return false;
}

void Vm::Throw(Value value) { throw ScriptThrow{std::move(value)}; }

void Vm::ReportUncaught(const Value& value) {
  if (!trace_) return;
  std::string text;
  try {
    text = ToStr(value);
  } catch (const ScriptThrow&) {
    text = "[type Object]";
  } catch (const ScriptAbort&) {
    text = "[type Object]";
  }
  trace_("Warning: Uncaught exception, " + text);
}

void Vm::Trace(const Value& value) {
  if (!trace_) return;
  // trace prints undefined by name in every version.
  if (std::holds_alternative<Undefined>(value)) {
    trace_("undefined");
    return;
  }
  // The log breaks lines at CR as well as LF: each piece is a line.
  std::string text;
  try {
    text = ToStr(value);
  } catch (const ScriptThrow&) {
    // A conversion that throws still prints, as an unnamed object, before
    // the exception goes on.
    trace_("[type Object]");
    throw;
  }
  std::size_t start = 0;
  while (true) {
    const std::size_t end = text.find_first_of("\r\n", start);
    trace_(std::string_view(text).substr(start, end == std::string::npos ? std::string::npos : end - start));
    if (end == std::string::npos) break;
    start = end + 1;
  }
}

// Prototype chains that lead through a display object are not followed by
// `super`: such a home, or one above it, gives nothing.
Object* Vm::NewSuper(Object* self, Object* home) {
  Object* super = NewObject(ObjectKind::Plain, nullptr);
  super->superHome = home;
  super->superThis = self;
  super->proto = SuperReadBase(super);
  return super;
}

Object* Vm::SuperReadBase(const Object* super) {
  const Object* home = super->superHome;
  if (!home || home->kind == ObjectKind::Clip) return nullptr;
  Object* base = home->proto;
  return base && base->kind != ObjectKind::Clip ? base : nullptr;
}

// `super()` calls the `__constructor__` the home's chain holds: the class the
// home's class extends.
Value Vm::SuperConstructor(const Object* super) {
  Object* home = super->superHome;
  if (!home || home->kind == ObjectKind::Clip) return Undefined{};
  return GetMember(home, "__constructor__");
}

Value Vm::Construct(const Value& constructor, std::span<const Value> args) {
  auto* const* function = std::get_if<Object*>(&constructor);
  if (!function || (*function)->kind != ObjectKind::Function) return Undefined{};
  Object* object = NewPlain();
  const Value prototype = GetMember(*function, "prototype");
  if (auto* const* p = std::get_if<Object*>(&prototype)) object->proto = *p;
  Define(object, "__constructor__", constructor, kDontEnum);
  if (version_ < 7) Define(object, "constructor", constructor, kDontEnum);
  constructing = (*function)->native != nullptr;
  constructRefused = false;
  Value result = Call(constructor, Value{object}, args, object->proto);
  constructing = false;
  if (std::exchange(constructRefused, false)) return Undefined{};
  if ((*function)->native) {
    if (auto* const* made = std::get_if<Object*>(&result)) return *made;
  }
  return object;
}

}  // namespace swf
