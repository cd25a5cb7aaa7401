#include "deferred_globals.h"

#include <atomic>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "geom.h"

namespace swf {
namespace {

bool g_deferred = true;
std::atomic<std::size_t> g_groupsMade{0};

// What a group keeps while it waits: the values its installer reads, as they
// were when the group was deferred.
struct Waiting {
  DeferredGroup group;
  std::vector<std::pair<std::string_view, std::optional<Property>>> reads;
  bool made = false;
};

// Marks the accessors of a waiting group's names, so that they are told from
// a script's own (addProperty).
class WaitingState final : public NativeState {
 public:
  explicit WaitingState(std::shared_ptr<Waiting> group) : waiting(std::move(group)) {}
  void AddReferences(std::vector<Object*>& out) const override {
    for (const auto& [name, start] : waiting->reads) {
      if (!start) continue;
      if (auto* const* object = std::get_if<Object*>(&start->value); object && *object) out.push_back(*object);
      if (start->getter) out.push_back(start->getter);
      if (start->setter) out.push_back(start->setter);
    }
  }
  std::shared_ptr<Waiting> waiting;
};

std::shared_ptr<Waiting> WaitingOf(const Property& property) {
  if (!property.getter || !property.getter->state) return nullptr;
  const auto* state = dynamic_cast<const WaitingState*>(property.getter->state.get());
  return state ? state->waiting : nullptr;
}

bool StandsIn(const Property* property, const Waiting& waiting) {
  return property && WaitingOf(*property).get() == &waiting;
}

void Erase(Vm& vm, Object* object, std::string_view name) { object->properties.erase(vm.Key(name)); }

// Puts `property` under its name, in place of whatever is there.
void Put(Vm& vm, Object* object, const Property& property) {
  if (Property* own = vm.FindOwnAny(object, property.name)) {
    *own = property;
    return;
  }
  const PropertyKey key(property.name, vm.Caseless());
  object->properties.append(std::string(key.Text()), key.Hash(), property);
}

// While the installer runs, the globals it reads are the ones of the start.
class StartValues {
 public:
  StartValues(Vm& vm, const Waiting& waiting) : vm_(vm) {
    for (const auto& [name, start] : waiting.reads) {
      const Property* now = vm.FindOwnAny(vm.Global(), name);
      saved_.emplace_back(name, now ? std::optional<Property>(*now) : std::nullopt);
      if (start) {
        Put(vm, vm.Global(), *start);
      } else {
        Erase(vm, vm.Global(), name);
      }
    }
  }
  ~StartValues() {
    for (const auto& [name, now] : saved_) {
      if (now) {
        Put(vm_, vm_.Global(), *now);
      } else {
        Erase(vm_, vm_.Global(), name);
      }
    }
  }
  StartValues(const StartValues&) = delete;
  StartValues& operator=(const StartValues&) = delete;

 private:
  Vm& vm_;
  std::vector<std::pair<std::string_view, std::optional<Property>>> saved_;
};

class KeptAsBuiltins {
 public:
  explicit KeptAsBuiltins(Vm& vm) : vm_(vm), firstMade_(vm.liveObjects) {}
  ~KeptAsBuiltins() { vm_.KeepAsBuiltins(firstMade_); }
  KeptAsBuiltins(const KeptAsBuiltins&) = delete;
  KeptAsBuiltins& operator=(const KeptAsBuiltins&) = delete;

 private:
  Vm& vm_;
  std::size_t firstMade_;
};

// The state of one of the group's names just before it is made: still
// waiting (the made value takes its place, order and flags), deleted, or
// replaced by a script (which stays).
struct Before {
  bool waiting = false;
  std::optional<Property> property;
};

void Make(Vm& vm, Waiting& waiting) {
  if (waiting.made) return;
  waiting.made = true;
  ++g_groupsMade;
  Object* global = vm.Global();
  std::vector<Before> before;
  for (const DeferredName& entry : waiting.group.names) {
    Property* now = vm.FindOwnAny(global, entry.name);
    before.push_back(Before{StandsIn(now, waiting), now ? std::optional<Property>(*now) : std::nullopt});
    if (before.back().waiting) Erase(vm, global, entry.name);
  }
  {
    // Kept even when the installer stops half way (no room for more objects):
    // its natives may already hold what it made.
    const KeptAsBuiltins keep(vm);
    const StartValues start(vm, waiting);
    waiting.group.install(vm);
  }
  for (std::size_t i = 0; i < before.size(); ++i) {
    const std::string_view name = waiting.group.names[i].name;
    Property* made = vm.FindOwnAny(global, name);
    if (before[i].waiting && made) {
      made->order = before[i].property->order;
      made->flags = before[i].property->flags;
    } else if (before[i].property) {
      Put(vm, global, *before[i].property);
    } else {
      Erase(vm, global, name);
    }
  }
}

Value ReadMade(Vm& vm, std::string_view name) {
  const Property* made = vm.FindOwnAny(vm.Global(), name);
  return made && !made->getter ? made->value : Value{Undefined{}};
}

// A write before the first read replaces the name alone (its group is not
// made for it), as a write replaces any property: same place, same flags.
void Replace(Vm& vm, const Waiting& waiting, std::string_view name, Value value) {
  Property* now = vm.FindOwnAny(vm.Global(), name);
  if (!StandsIn(now, waiting) || (now->flags & kReadOnly)) return;
  const auto* text = std::get_if<SharedText>(&value);
  if (!vm.ChargeReplacing(0, sizeof(Value) + (text ? text->size() : 0))) return;
  now->value = std::move(value);
  now->getter = nullptr;
  now->setter = nullptr;
}

// Each name has its own pair of accessors: they are called without it.
void StandIn(Vm& vm, const std::shared_ptr<Waiting>& waiting, const DeferredName& entry) {
  Waiting* raw = waiting.get();
  const std::string_view name = entry.name;
  Object* getter = vm.NewNative([raw, name](Vm& v, Object*, std::span<const Value>) -> Value {
    Make(v, *raw);
    return ReadMade(v, name);
  });
  getter->state = std::make_unique<WaitingState>(waiting);
  Object* setter = vm.NewNative([raw, name](Vm& v, Object*, std::span<const Value> args) -> Value {
    Replace(v, *raw, name, Arg(args, 0));
    return Undefined{};
  });
  vm.Define(vm.Global(), name, Undefined{}, entry.flags);
  Property* property = vm.FindOwnAny(vm.Global(), name);
  property->getter = getter;
  property->setter = setter;
}

}  // namespace

void DeferGlobals(Vm& vm, const DeferredGroup& group) {
  if (!g_deferred) {
    group.install(vm);
    return;
  }
  auto waiting = std::make_shared<Waiting>();
  waiting->group = group;
  for (const std::string_view name : group.reads) {
    const Property* start = vm.FindOwnAny(vm.Global(), name);
    waiting->reads.emplace_back(name, start ? std::optional<Property>(*start) : std::nullopt);
  }
  for (const DeferredName& entry : group.names) StandIn(vm, waiting, entry);
}

void MakeDeferredGlobals(Vm& vm) {
  std::vector<std::shared_ptr<Waiting>> waiting;
  for (const auto& [key, property] : vm.Global()->properties) {
    if (auto group = WaitingOf(property)) waiting.push_back(std::move(group));
  }
  for (const auto& group : waiting) Make(vm, *group);
}

void SetGlobalsDeferred(bool deferred) { g_deferred = deferred; }

std::size_t DeferredGroupsMade() { return g_groupsMade.load(); }

namespace {

constexpr DeferredName kDateNames[] = {{"Date"}};
constexpr DeferredName kSoundNames[] = {{"Sound"}};
constexpr DeferredName kXmlNames[] = {{"XMLNode"}, {"XML"}};
constexpr DeferredName kFlashNames[] = {{"flash"}, {"Color"}};
constexpr std::string_view kBroadcasterRead[] = {"AsBroadcaster"};
// Key, Mouse, Stage and System first heard of at the first input or resize.
constexpr DeferredName kPlatformNames[] = {
    {"MovieClipLoader"}, {"ContextMenu"}, {"ContextMenuItem"}, {"PrintJob"}, {"Camera"}, {"Microphone"},
    {"NetStream"},       {"SharedObject"}, {"Video"},          {"Accessibility"}, {"CustomActions"}, {"XMLUI"},
    {"Key"},             {"Mouse"},        {"Stage"},          {"System"}};
// The broadcaster it hands on, and the classes of other groups it leaves alone when there.
constexpr std::string_view kPlatformReads[] = {"AsBroadcaster", "Color", "Sound", "TextSnapshot", "XML", "XMLNode"};

void InstallFlashPackages(Vm& vm) {
  InstallGraphicsClasses(vm);
  InstallBlurFilter(vm);
  InstallFilterClasses(vm);
  InstallPlatformPackages(vm);
  InstallNetPackage(vm);
}

}  // namespace

void DeferDateClass(Vm& vm) { DeferGlobals(vm, DeferredGroup{kDateNames, InstallDateClass, {}}); }
void DeferSoundClass(Vm& vm) { DeferGlobals(vm, DeferredGroup{kSoundNames, InstallSoundClass, {}}); }
void DeferXmlClasses(Vm& vm) { DeferGlobals(vm, DeferredGroup{kXmlNames, InstallXmlClasses, {}}); }
void DeferPlatformObjects(Vm& vm) {
  DeferGlobals(vm, DeferredGroup{kPlatformNames, InstallPlatformObjects, kPlatformReads});
}
void DeferFlashPackages(Vm& vm) {
  DeferGlobals(vm, DeferredGroup{kFlashNames, InstallFlashPackages, kBroadcasterRead});
}

}  // namespace swf
