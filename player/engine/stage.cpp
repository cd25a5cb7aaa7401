#include "stage.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <optional>
#include <span>
#include <variant>

#include "swf_text.h"

namespace swf {

std::uint64_t NewLookStamp() {
  static std::atomic<std::uint64_t> next{1};
  return next.fetch_add(1, std::memory_order_relaxed);
}

TimelineInstance::TimelineInstance(std::shared_ptr<const Timeline> definition,
                                   std::weak_ptr<TimelineInstance> parentTimeline, int nestingLevel,
                                   std::shared_ptr<StageCounters> counters)
    : parent(std::move(parentTimeline)),
      nesting(nestingLevel),
      definition_(std::move(definition)),
      counters_(std::move(counters)) {
  ++counters_->liveInstances;
}

TimelineInstance::~TimelineInstance() { --counters_->liveInstances; }

const Value* TimelineInstance::FindVariable(std::string_view name) const {
  if (!object) return nullptr;
  const Property* property = object->vm.FindOwn(object, name);
  return property ? &property->value : nullptr;
}

void TimelineInstance::SetVariable(std::string_view name, Value value) {
  if (object) object->vm.SetMember(object, name, std::move(value));
}

namespace {

// A placement tag applied to what a depth shows; false when it shows nothing
// (a move of an empty depth).
bool ApplyPlaceTag(std::optional<Placement>& slot, const PlaceTag& tag) {
  if (tag.character && (!tag.move || !slot)) {
    slot = Placement{};
    slot->character = *tag.character;
  } else if (!slot) {
    return false;
  } else if (tag.character) {
    slot->character = *tag.character;
  }
  if (tag.matrix) slot->matrix = *tag.matrix;
  if (tag.colorTransform) slot->colorTransform = *tag.colorTransform;
  if (tag.clipDepth) slot->clipDepth = tag.clipDepth;
  if (tag.name) slot->name = *tag.name;
  if (!tag.clipActions.empty()) slot->clipActions = tag.clipActions;
  return true;
}

// Index in the timeline's tags just past the last tag of `frame`.
std::size_t TagsThrough(const Timeline& timeline, int frame) {
  return frame + 1 < timeline.FrameCount() ? timeline.frameStarts[static_cast<std::size_t>(frame) + 1]
                                           : timeline.tags.size();
}

// The tags a change from the timeline's frame to `target` visits: those of the
// frames after the current one up to `target`, or going back, those of every
// frame from the first.
std::size_t TagsVisitedGoingTo(const TimelineInstance& timeline, int target) {
  const Timeline& definition = timeline.Definition();
  const std::size_t first = target > timeline.frame ? TagsThrough(definition, timeline.frame) : 0;
  return TagsThrough(definition, target) - first;
}

}  // namespace

Stage::Stage(Movie movie, std::size_t actionBudget) : movie_(std::move(movie)), actionBudget_(actionBudget) {
  vm_ = std::make_unique<Vm>(movie_.version, static_cast<DisplayHost&>(*this));
  auto empty = std::make_shared<Timeline>();
  empty->frameStarts.push_back(0);
  emptyTimeline_ = std::move(empty);
  // The root's timeline lives in movie_, which the stage keeps for its lifetime.
  root_ = std::make_shared<TimelineInstance>(
      std::shared_ptr<const Timeline>(std::shared_ptr<const Timeline>(), &movie_.root),
      std::weak_ptr<TimelineInstance>(), 0, counters_);
  root_->object = vm_->NewClip(root_);
}

Stage::~Stage() {
  queue_.clear();
  root_.reset();
}

void Stage::SetTraceSink(std::function<void(std::string_view)> sink) { vm_->SetTraceSink(std::move(sink)); }

void Stage::SetClock(std::function<double()> millis) {
  clock_ = std::move(millis);
  if (clock_) clockStart_ = clock_();
}

void Stage::Start() {
  StartTick();
  EnterFrame(root_, 0, true);
  RunQueuedActions();
}

void Stage::Tick() {
  ++tick_;
  StartTick();
  if (clock_) {
    vm_->nowMillis = std::max(0.0, clock_() - clockStart_);
  } else {
    const double frameRate = movie_.frameRate > 0 ? movie_.frameRate : 12;
    vm_->nowMillis = static_cast<double>(tick_) * 1000.0 / frameRate;
  }
  StepTimeline(root_);
  RunQueuedActions();
  std::size_t budget = actionBudget_;
  vm_->RunTimers(budget);
}

void Stage::SetRootVariable(std::string_view name, std::string value) { root_->SetVariable(name, std::move(value)); }

void Stage::RaiseCommand(FsCommand command) {
  if (commands_.size() < kMaxPendingCommands) commands_.push_back(std::move(command));
}

void Stage::StartTick() { frameWorkLeft_ = kFrameWorkPerTick; }

void Stage::SpendFrameWork(std::size_t tags) { frameWorkLeft_ -= std::min(tags, frameWorkLeft_); }

void Stage::StepTimeline(const std::shared_ptr<TimelineInstance>& timeline) {
  QueueClipEvents(timeline, 0x02u, "onEnterFrame");
  if (timeline->playing && timeline->FrameCount() > 1) {
    const int next = timeline->frame + 1;
    if (next >= timeline->FrameCount()) {
      ChangeFrame(timeline, 0);  // the end of a timeline loops to its start
    } else {
      timeline->frame = next;
      EnterFrame(timeline, next, true);
    }
  }
  std::vector<std::shared_ptr<TimelineInstance>> children;
  for (auto& [depth, object] : timeline->displayList) {
    if (object.sprite && object.bornTick < tick_) children.push_back(object.sprite);
  }
  for (const auto& child : children) StepTimeline(child);
}

void Stage::EnterFrame(const std::shared_ptr<TimelineInstance>& timeline, int frame, bool queueActions) {
  const std::span<const ControlTag> tags = timeline->Definition().FrameTags(frame);
  SpendFrameWork(tags.size());
  for (const ControlTag& tag : tags) {
    if (const auto* place = std::get_if<PlaceTag>(&tag)) {
      ApplyPlace(timeline, *place);
    } else if (const auto* remove = std::get_if<RemoveTag>(&tag)) {
      timeline->displayList.erase(remove->depth);
    } else if (const auto* action = std::get_if<ActionTag>(&tag); action && queueActions) {
      if (action->init) {
        RunInitActions(timeline, action->code);
      } else {
        QueueActions(timeline, action->code);
      }
    } else if (queueActions) {
      NoteSound(timeline, tag);
    }
  }
}

// Sounds start only with frames really entered, not with those a goto passes over.
void Stage::NoteSound(const std::shared_ptr<TimelineInstance>& timeline, const ControlTag& tag) {
  if (soundEvents_.size() >= kMaxPendingSoundEvents) return;
  if (const auto* start = std::get_if<StartSoundTag>(&tag)) {
    soundEvents_.push_back(SoundEvent{start, nullptr, nullptr});
  } else if (const auto* block = std::get_if<StreamBlockTag>(&tag)) {
    soundEvents_.push_back(SoundEvent{nullptr, &timeline->Definition(), block});
  }
}

void Stage::StopAllSounds() {
  if (soundEvents_.size() < kMaxPendingSoundEvents) soundEvents_.push_back(SoundEvent{});
}

void Stage::RunInitActions(const std::shared_ptr<TimelineInstance>& timeline,
                           const std::shared_ptr<const std::vector<std::uint8_t>>& code) {
  // Each DoInitAction block runs once, before the actions of its frame.
  if (!initDone_.insert(code.get()).second) return;
  std::size_t budget = actionBudget_;
  (void)vm_->RunBlock(*code, timeline->object, budget);
}

void Stage::ApplyPlace(const std::shared_ptr<TimelineInstance>& timeline, const PlaceTag& tag) {
  DisplayList& list = timeline->displayList;
  const auto found = list.find(tag.depth);
  std::optional<Placement> slot;
  if (found != list.end()) slot = found->second.placement;
  const std::optional<std::uint16_t> before = slot ? std::optional<std::uint16_t>(slot->character) : std::nullopt;
  if (!ApplyPlaceTag(slot, tag)) return;
  const bool sameCharacter = before == slot->character && !(tag.character && !tag.move);
  if (found != list.end() && sameCharacter) {
    found->second.placement = std::move(*slot);
    return;
  }
  list.insert_or_assign(tag.depth, MakeObject(timeline, std::move(*slot)));
}

DisplayObject Stage::MakeObject(const std::shared_ptr<TimelineInstance>& parent, Placement placement) {
  DisplayObject object;
  object.bornTick = tick_;
  const auto character = movie_.characters.find(placement.character);
  object.placement = std::move(placement);
  if (character == movie_.characters.end()) return object;
  if (const auto* shape = std::get_if<std::shared_ptr<const Shape>>(&character->second)) {
    object.shape = *shape;
  } else if (const auto* sprite = std::get_if<std::shared_ptr<const Timeline>>(&character->second)) {
    object.sprite = MakeSprite(parent, *sprite, object.placement, character->first);
  }
  return object;
}

std::shared_ptr<TimelineInstance> Stage::MakeSprite(const std::shared_ptr<TimelineInstance>& parent,
                                                    std::shared_ptr<const Timeline> definition, Placement& placement,
                                                    std::uint16_t character) {
  if (parent->nesting + 1 > kMaxSpriteNesting || counters_->liveInstances >= kMaxSpriteInstances) return nullptr;
  if (vm_->liveObjects >= kMaxObjects - 16) return nullptr;
  auto sprite = std::make_shared<TimelineInstance>(std::move(definition), parent, parent->nesting + 1, counters_);
  sprite->object = vm_->NewClip(sprite);
  sprite->clipActions = placement.clipActions;
  // A class registered for the symbol's linkage name becomes the clip's prototype.
  Object* constructor = nullptr;
  if (const Value registry = vm_->GetMember(vm_->Global(), "__registeredClasses");
      std::holds_alternative<Object*>(registry)) {
    for (const auto& [name, id] : movie_.exports) {
      if (id != character) continue;
      const Value found = vm_->GetMember(std::get<Object*>(registry), name);
      if (auto* const* c = std::get_if<Object*>(&found)) constructor = *c;
    }
  }
  if (constructor) {
    const Value prototype = vm_->GetMember(constructor, "prototype");
    if (auto* const* p = std::get_if<Object*>(&prototype)) sprite->object->proto = *p;
  }
  EnterFrame(sprite, 0, true);
  if (constructor) {
    std::size_t budget = actionBudget_;
    std::size_t* saved = vm_->budget;
    vm_->budget = &budget;
    try {
      (void)vm_->Call(Value{constructor}, Value{sprite->object}, {}, sprite->object->proto);
    } catch (const ScriptThrow&) {
    } catch (const ScriptAbort&) {
    }
    vm_->budget = saved;
  }
  QueueClipEvents(sprite, 0x01u, "onLoad");
  return sprite;
}

void Stage::GotoFrame(const std::shared_ptr<TimelineInstance>& timeline, int frame) {
  const int target = std::clamp(frame, 0, std::max(0, timeline->FrameCount() - 1));
  if (target == timeline->frame) return;
  if (TagsVisitedGoingTo(*timeline, target) > frameWorkLeft_) {
    frameWorkLeft_ = 0;
    actionsLeft_ = 0;
    return;
  }
  ChangeFrame(timeline, target);
}

void Stage::ChangeFrame(const std::shared_ptr<TimelineInstance>& timeline, int target) {
  if (target == timeline->frame) return;
  if (target > timeline->frame) {
    for (int f = timeline->frame + 1; f <= target; ++f) EnterFrame(timeline, f, f == target);
  } else {
    Rebuild(timeline, target);
  }
  timeline->frame = target;
}

// Going back: the display list the frames up to `frame` build from an empty
// one. Objects that show the same character at the same depth as before are
// kept (a sprite there keeps playing); the others are made anew.
void Stage::Rebuild(const std::shared_ptr<TimelineInstance>& timeline, int frame) {
  std::map<int, std::optional<Placement>> wanted;
  const Timeline& definition = timeline->Definition();
  for (int f = 0; f <= frame; ++f) {
    const std::span<const ControlTag> tags = definition.FrameTags(f);
    SpendFrameWork(tags.size());
    for (const ControlTag& tag : tags) {
      if (const auto* place = std::get_if<PlaceTag>(&tag)) {
        (void)ApplyPlaceTag(wanted[place->depth], *place);
      } else if (const auto* remove = std::get_if<RemoveTag>(&tag)) {
        wanted.erase(remove->depth);
      } else if (const auto* action = std::get_if<ActionTag>(&tag); action && f == frame) {
        QueueActions(timeline, action->code);
      } else if (f == frame) {
        NoteSound(timeline, tag);
      }
    }
  }
  DisplayList rebuilt;
  for (auto& [depth, slot] : wanted) {
    if (!slot) continue;
    const auto old = timeline->displayList.find(depth);
    if (old != timeline->displayList.end() && old->second.placement.character == slot->character) {
      DisplayObject kept = std::move(old->second);
      kept.placement = std::move(*slot);
      rebuilt.emplace(depth, std::move(kept));
    } else {
      rebuilt.emplace(depth, MakeObject(timeline, std::move(*slot)));
    }
  }
  timeline->displayList = std::move(rebuilt);
}

void Stage::QueueActions(const std::shared_ptr<TimelineInstance>& timeline,
                         const std::shared_ptr<const std::vector<std::uint8_t>>& code) {
  if (queue_.size() < kMaxQueuedActionBlocks) queue_.push_back({timeline, code, {}});
}

// The clip's onClipEvent blocks for the event, then its handler method.
void Stage::QueueClipEvents(const std::shared_ptr<TimelineInstance>& timeline, std::uint32_t clipEvent,
                            const char* method) {
  if (queue_.size() >= kMaxQueuedActionBlocks) return;
  for (const ClipAction& action : timeline->clipActions) {
    if (action.events & clipEvent) QueueActions(timeline, action.code);
  }
  queue_.push_back({timeline, nullptr, method});
}

void Stage::RunQueuedActions() {
  actionsLeft_ = actionBudget_;
  // Gotos queue the actions of the frames they reach; those run in turn, all
  // from the one budget.
  for (std::size_t next = 0; next < queue_.size() && actionsLeft_ > 0; ++next) {
    const std::shared_ptr<TimelineInstance> timeline = queue_[next].timeline.lock();
    if (!timeline) continue;
    const std::shared_ptr<const std::vector<std::uint8_t>> code = queue_[next].code;
    --actionsLeft_;  // even an empty block costs a step, so gotos between frames end
    if (!timeline->object) continue;
    if (code) {
      (void)vm_->RunBlock(*code, timeline->object, actionsLeft_);
    } else {
      vm_->CallMethodIfPresent(timeline->object, queue_[next].method, actionsLeft_);
    }
  }
  queue_.clear();
}

std::shared_ptr<TimelineInstance> Stage::TimelineOf(Object* clip) {
  if (!clip || clip->kind != ObjectKind::Clip) return nullptr;
  return clip->clip.lock();
}

// The display-list entry that shows `clip` in its parent (null for the root
// and for clips that are gone).
DisplayObject* Stage::EntryOf(Object* clip, int* depth) {
  const std::shared_ptr<TimelineInstance> timeline = TimelineOf(clip);
  if (!timeline) return nullptr;
  const std::shared_ptr<TimelineInstance> parent = timeline->parent.lock();
  if (!parent) return nullptr;
  for (auto& [at, object] : parent->displayList) {
    if (object.sprite == timeline) {
      if (depth) *depth = at;
      return &object;
    }
  }
  return nullptr;
}

Object* Stage::RootClip() { return root_->object; }

Object* Stage::ParentClip(Object* clip) {
  const std::shared_ptr<TimelineInstance> timeline = TimelineOf(clip);
  if (!timeline) return nullptr;
  const std::shared_ptr<TimelineInstance> parent = timeline->parent.lock();
  return parent ? parent->object : nullptr;
}

Object* Stage::ChildClip(Object* clip, std::string_view name) {
  const std::shared_ptr<TimelineInstance> timeline = TimelineOf(clip);
  if (!timeline || name.empty()) return nullptr;
  const bool caseless = movie_.version < 7;
  for (const auto& [depth, object] : timeline->displayList) {
    if (!object.sprite) continue;
    const bool same = caseless ? LowerAscii(object.placement.name) == LowerAscii(name) : object.placement.name == name;
    if (same) return object.sprite->object;
  }
  return nullptr;
}

void Stage::Play(Object* clip, bool play) {
  if (const auto timeline = TimelineOf(clip)) timeline->playing = play;
}

void Stage::GotoFrame(Object* clip, int zeroBasedFrame) {
  if (const auto timeline = TimelineOf(clip)) GotoFrame(timeline, zeroBasedFrame);
}

bool Stage::GotoLabel(Object* clip, std::string_view label) {
  const auto timeline = TimelineOf(clip);
  if (!timeline) return false;
  const auto& labels = timeline->Definition().labels;
  const auto found = labels.find(LowerAscii(label));
  if (found == labels.end()) return false;
  GotoFrame(timeline, found->second);
  return true;
}

int Stage::CurrentFrame(Object* clip) {
  const auto timeline = TimelineOf(clip);
  return timeline ? timeline->frame : 0;
}

int Stage::FrameCount(Object* clip) {
  const auto timeline = TimelineOf(clip);
  return timeline ? timeline->FrameCount() : 0;
}

namespace {

double RoundTo(double value, double step) { return std::round(value / step) * step; }

double ScaleOf(double a, double b) { return std::sqrt(a * a + b * b) * 100; }

// "_level0.a.b" as "/a/b", "_level0" as "/".
std::string SlashPath(std::string_view dotted) {
  constexpr std::string_view kLevel = "_level0";
  std::string slashed(1, '/');
  if (dotted.size() > kLevel.size() + 1) slashed.append(dotted.substr(kLevel.size() + 1));
  for (char& ch : slashed) ch = ch == '.' ? '/' : ch;
  return slashed;
}

}  // namespace

bool Stage::GetClipProperty(Object* clip, std::string_view rawName, Value& out) {
  if (rawName.empty() || rawName[0] != '_') return false;
  const std::string name = LowerAscii(rawName);
  const auto timeline = TimelineOf(clip);
  if (!timeline) return false;
  int depth = 0;
  DisplayObject* entry = EntryOf(clip, &depth);
  const Placement& placement = entry ? entry->placement : rootPlacement_;
  const Matrix& m = placement.matrix;
  if (name == "_x") {
    out = RoundTo(m.tx / 20, 0.05);
  } else if (name == "_y") {
    out = RoundTo(m.ty / 20, 0.05);
  } else if (name == "_xscale") {
    out = ScaleOf(m.a, m.b);
  } else if (name == "_yscale") {
    out = ScaleOf(m.c, m.d);
  } else if (name == "_rotation") {
    out = std::atan2(m.b, m.a) * 180 / 3.14159265358979323846;
  } else if (name == "_alpha") {
    out = placement.colorTransform.ma * 100;
  } else if (name == "_visible") {
    out = placement.visible;
  } else if (name == "_currentframe") {
    out = static_cast<double>(timeline->frame + 1);
  } else if (name == "_totalframes" || name == "_framesloaded") {
    out = static_cast<double>(timeline->FrameCount());
  } else if (name == "_name") {
    out = entry ? placement.name : std::string();
  } else if (name == "_target") {
    out = SlashPath(TargetPath(clip));
  } else if (name == "_width" || name == "_height") {
    out = 0.0;
  } else if (name == "_url") {
    out = std::string();
  } else if (name == "_droptarget") {
    out = std::string();
  } else if (name == "_highquality") {
    out = 1.0;
  } else if (name == "_quality") {
    out = std::string("HIGH");
  } else if (name == "_focusrect") {
    out = true;
  } else if (name == "_soundbuftime") {
    out = 5.0;
  } else if (name == "_xmouse" || name == "_ymouse") {
    out = 0.0;
  } else if (name == "_parent") {
    const auto parent = timeline->parent.lock();
    if (!parent) return false;
    out = parent->object;
  } else if (name == "_root" || name == "_level0") {
    out = root_->object;
  } else {
    return false;
  }
  return true;
}

bool Stage::SetClipProperty(Object* clip, std::string_view rawName, const Value& value) {
  if (rawName.empty() || rawName[0] != '_') return false;
  const std::string name = LowerAscii(rawName);
  const auto timeline = TimelineOf(clip);
  if (!timeline) return false;
  DisplayObject* entry = EntryOf(clip);
  Placement& placement = entry ? entry->placement : rootPlacement_;
  Matrix& m = placement.matrix;
  const double number = vm_->ToNum(value);
  const bool valid = std::isfinite(number);
  if (name == "_x") {
    if (valid) m.tx = std::round(number * 20);
  } else if (name == "_y") {
    if (valid) m.ty = std::round(number * 20);
  } else if (name == "_xscale" || name == "_yscale") {
    if (!valid) return true;
    const bool x = name == "_xscale";
    double& a = x ? m.a : m.d;
    double& b = x ? m.b : m.c;
    const double old = std::sqrt(a * a + b * b);
    const double wanted = number / 100;
    if (old > 0) {
      a = a / old * wanted;
      b = b / old * wanted;
    } else {
      a = wanted;
    }
  } else if (name == "_rotation") {
    if (!valid) return true;
    const double sx = ScaleOf(m.a, m.b) / 100;
    const double sy = ScaleOf(m.c, m.d) / 100;
    const double radians = std::fmod(number, 360.0) * 3.14159265358979323846 / 180;
    m.a = std::cos(radians) * sx;
    m.b = std::sin(radians) * sx;
    m.c = -std::sin(radians) * sy;
    m.d = std::cos(radians) * sy;
  } else if (name == "_alpha") {
    if (valid) placement.colorTransform.ma = number / 100;
  } else if (name == "_visible") {
    placement.visible = vm_->ToBool(value);
  } else if (name == "_name") {
    if (entry) placement.name = vm_->ToStr(value);
  } else if (name == "_currentframe" || name == "_totalframes" || name == "_framesloaded" || name == "_target" ||
             name == "_url" || name == "_xmouse" || name == "_ymouse" || name == "_droptarget" || name == "_width" ||
             name == "_height" || name == "_highquality" || name == "_quality" || name == "_focusrect" ||
             name == "_soundbuftime") {
    // read-only here, or not drawn by the stand-in
  } else {
    return false;
  }
  return true;
}

void Stage::GetUrl(std::string_view url, std::string_view target) {
  constexpr std::string_view kPrefix = "FSCommand:";
  if (!StartsWithIgnoringCase(url, kPrefix)) return;  // the stand-in player opens no web pages
  RaiseCommand(FsCommand{std::string(url.substr(kPrefix.size())), std::string(target)});
}

std::string Stage::TargetPath(Object* clip) {
  std::vector<std::string> names;
  for (std::shared_ptr<TimelineInstance> at = TimelineOf(clip); at; at = at->parent.lock()) {
    DisplayObject* entry = EntryOf(at->object);
    if (!entry) break;
    names.push_back(entry->placement.name);
    if (names.size() > 64) break;
  }
  std::string path = "_level0";
  for (auto it = names.rbegin(); it != names.rend(); ++it) path += "." + *it;
  return path;
}

Object* Stage::CreateClip(Object* parentClip, std::string_view exportName, std::string_view name, int depth) {
  const auto parent = TimelineOf(parentClip);
  if (!parent) return nullptr;
  std::shared_ptr<const Timeline> definition = emptyTimeline_;
  std::uint16_t character = 0;
  if (!exportName.empty()) {
    const auto exported = movie_.exports.find(LowerAscii(exportName));
    if (exported == movie_.exports.end()) return nullptr;
    const auto found = movie_.characters.find(exported->second);
    if (found == movie_.characters.end()) return nullptr;
    const auto* sprite = std::get_if<std::shared_ptr<const Timeline>>(&found->second);
    if (!sprite) return nullptr;
    definition = *sprite;
    character = exported->second;
  }
  DisplayObject object;
  object.bornTick = tick_;
  object.placement.character = character;
  object.placement.name = std::string(name);
  object.sprite = MakeSprite(parent, definition, object.placement, character);
  if (!object.sprite) return nullptr;
  Object* made = object.sprite->object;
  parent->displayList.insert_or_assign(depth + kScriptDepthBase, std::move(object));
  return made;
}

Object* Stage::DuplicateClip(Object* clip, std::string_view name, int depth) {
  int oldDepth = 0;
  DisplayObject* entry = EntryOf(clip, &oldDepth);
  const auto timeline = TimelineOf(clip);
  if (!entry || !timeline) return nullptr;
  const auto parent = timeline->parent.lock();
  DisplayObject object;
  object.bornTick = tick_;
  object.placement = entry->placement;
  object.placement.name = std::string(name);
  object.sprite = MakeSprite(parent, timeline->SharedDefinition(), object.placement, object.placement.character);
  if (!object.sprite) return nullptr;
  Object* made = object.sprite->object;
  parent->displayList.insert_or_assign(depth + kScriptDepthBase, std::move(object));
  return made;
}

void Stage::RemoveClip(Object* clip) {
  int depth = 0;
  if (!EntryOf(clip, &depth) || depth < kScriptDepthBase) return;
  const auto parent = TimelineOf(clip)->parent.lock();
  parent->displayList.erase(depth);
}

int Stage::Depth(Object* clip) {
  int depth = 0;
  if (!EntryOf(clip, &depth)) return -kScriptDepthBase;
  return depth - kScriptDepthBase;
}

int Stage::NextHighestDepth(Object* clip) {
  const auto timeline = TimelineOf(clip);
  if (!timeline || timeline->displayList.empty()) return 0;
  return std::max(0, timeline->displayList.rbegin()->first - kScriptDepthBase + 1);
}

void Stage::SwapDepths(Object* clip, int depth) {
  int oldDepth = 0;
  if (!EntryOf(clip, &oldDepth)) return;
  const auto parent = TimelineOf(clip)->parent.lock();
  const int newDepth = depth + kScriptDepthBase;
  if (newDepth == oldDepth) return;
  DisplayList& list = parent->displayList;
  DisplayObject moving = std::move(list[oldDepth]);
  const auto other = list.find(newDepth);
  if (other != list.end()) {
    list[oldDepth] = std::move(other->second);
  } else {
    list.erase(oldDepth);
  }
  list[newDepth] = std::move(moving);
}

}  // namespace swf
