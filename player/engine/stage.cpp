#include "stage.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cmath>
#include <limits>
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
  serial = ++counters_->made;
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
  if (tag.ratio) slot->ratio = *tag.ratio;
  if (tag.name) slot->name = *tag.name;
  if (!tag.clipActions.empty()) slot->clipActions = tag.clipActions;
  if (tag.blendMode) slot->blendMode = *tag.blendMode;
  if (tag.cacheAsBitmap) slot->cacheAsBitmap = *tag.cacheAsBitmap;
  if (tag.filters) slot->filters = tag.filters;
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
  SetScriptTimeLimit(kDefaultScriptSeconds);
  if (movie_.scriptLimits) {
    // A movie may ask for shallower calls, never for deeper ones than the stack allows.
    vm_->callDepthLimit = std::min<int>(kMaxCallDepth, movie_.scriptLimits->maxRecursionDepth);
  }
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

void Stage::SetScriptTimeLimit(double maxSeconds, std::function<double()> secondsClock) {
  const double movieSeconds =
      movie_.scriptLimits ? movie_.scriptLimits->timeoutSeconds : kDefaultScriptSeconds;
  vm_->scriptTimeLimit = std::min(movieSeconds, maxSeconds);
  vm_->scriptClock = std::move(secondsClock);
}

void Stage::SetClock(std::function<double()> millis) {
  clock_ = std::move(millis);
  if (clock_) clockStart_ = clock_();
}

void Stage::Start() {
  StartTick();
  EnterFrame(root_, 0, true);
  RunQueuedActions();
  SyncBoundFields();
  RefreshAttachedBitmaps();
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
  StepTimelines();
  RunQueuedActions();
  DropFocusIfGone();
  FollowDrag();
  std::size_t budget = actionBudget_;
  vm_->RunTimers(budget);
  vm_->RunDeferred(budget);
  TellResize();
  SyncBoundFields();
  RefreshAttachedBitmaps();
  BlinkCaret();
  UpdateFocusRectangle();
}

void Stage::SetRootVariable(std::string_view name, std::string value) { root_->SetVariable(name, std::move(value)); }

void Stage::RaiseCommand(FsCommand command) {
  if (commands_.size() < kMaxPendingCommands) commands_.push_back(std::move(command));
}

void Stage::StartTick() {
  frameWorkLeft_ = kFrameWorkPerTick;
  vm_->leftOnStack.clear();  // what the last tick's blocks left is gone
}

void Stage::SpendFrameWork(std::size_t tags) { frameWorkLeft_ -= std::min(tags, frameWorkLeft_); }

// Every clip on the stage steps once a tick, the newest first: a child made
// after its parent runs its frame's actions before the parent's.
void Stage::StepTimelines() {
  std::vector<std::shared_ptr<TimelineInstance>> clips;
  CollectSteppers(root_, clips);
  std::stable_sort(clips.begin(), clips.end(),
                   [](const auto& left, const auto& right) { return left->serial > right->serial; });
  for (const auto& clip : clips) {
    if (IsOnStage(*clip)) StepTimeline(clip);
  }
}

void Stage::CollectSteppers(const std::shared_ptr<TimelineInstance>& timeline,
                            std::vector<std::shared_ptr<TimelineInstance>>& into) {
  if (timeline->kind != DisplayKind::Text) into.push_back(timeline);
  for (auto& [depth, object] : timeline->displayList) {
    if (object.sprite && object.bornTick < tick_) CollectSteppers(object.sprite, into);
  }
}

// Still in its parent's display list, and the parent on the stage.
bool Stage::IsOnStage(const TimelineInstance& timeline) {
  const TimelineInstance* at = &timeline;
  for (int hops = 0; at != root_.get(); ++hops) {
    if (hops > kMaxSpriteNesting + 1 || !EntryOf(at->object)) return false;
    const auto parent = at->parent.lock();
    at = parent.get();
    if (!at) return false;
  }
  return true;
}

void Stage::StepTimeline(const std::shared_ptr<TimelineInstance>& timeline) {
  if (timeline->kind == DisplayKind::Clip) QueueClipEvents(timeline, 0x02u, "onEnterFrame");
  if (timeline->playing && timeline->FrameCount() > 1) {
    const int next = timeline->frame + 1;
    if (next >= timeline->FrameCount()) {
      // The end of a timeline loops to its start.
      if (timeline->Definition().loops) ChangeFrame(timeline, 0);
    } else {
      timeline->frame = next;
      EnterFrame(timeline, next, true);
    }
  }
}

void Stage::EnterFrame(const std::shared_ptr<TimelineInstance>& timeline, int frame, bool queueActions) {
  const std::span<const ControlTag> tags = timeline->Definition().FrameTags(frame);
  SpendFrameWork(tags.size());
  // A frame's init actions run before any of its placements, wherever their
  // tags stand: the classes they register shape the clips the frame places.
  if (queueActions) {
    for (const ControlTag& tag : tags) {
      if (const auto* action = std::get_if<ActionTag>(&tag); action && action->init) {
        RunInitActions(timeline, action->code);
      }
    }
  }
  for (const ControlTag& tag : tags) {
    if (const auto* place = std::get_if<PlaceTag>(&tag)) {
      ApplyPlace(timeline, *place, frame);
    } else if (const auto* remove = std::get_if<RemoveTag>(&tag)) {
      RemoveAtDepth(timeline, remove->depth);
    } else if (const auto* action = std::get_if<ActionTag>(&tag); action && queueActions) {
      if (!action->init) QueueActions(timeline, action->code);
    } else if (queueActions) {
      NoteSound(timeline, tag);
    }
  }
}

// Sounds start only with frames really entered, not with those a goto passes over.
void Stage::NoteSound(const std::shared_ptr<TimelineInstance>& timeline, const ControlTag& tag) {
  if (soundEvents_.size() >= kMaxPendingSoundEvents) return;
  if (const auto* start = std::get_if<StartSoundTag>(&tag)) {
    soundEvents_.push_back(SoundEvent{start, nullptr, nullptr, timeline.get()});
  } else if (const auto* block = std::get_if<StreamBlockTag>(&tag)) {
    soundEvents_.push_back(SoundEvent{nullptr, &timeline->Definition(), block, timeline.get()});
  }
}

// With a port the sounds stop at once, so that a script's sound started right
// after still plays; what the frames queued before is dropped with them.
void Stage::StopAllSounds() {
  if (soundPort_) {
    soundEvents_.clear();
    soundPort_->StopEverySound();
    return;
  }
  if (soundEvents_.size() < kMaxPendingSoundEvents) soundEvents_.push_back(SoundEvent{});
}

void Stage::RunInitActions(const std::shared_ptr<TimelineInstance>& timeline,
                           const std::shared_ptr<const std::vector<std::uint8_t>>& code) {
  // Each DoInitAction block runs once, before the actions of its frame.
  if (!initDone_.insert(code.get()).second) return;
  std::size_t budget = actionBudget_;
  (void)vm_->RunBlock(*code, timeline->object, budget);
}

namespace {

constexpr std::uint32_t kConstructEvent = 0x40000u;

// A morph shape placed at a new ratio draws the shape of that ratio.
void ShowMorphRatio(DisplayObject& object) {
  if (!object.shape || !object.shape->morph) return;
  object.shape = MorphShapeAt(*object.shape, object.placement.ratio);
  object.Touch();
}

}  // namespace

void Stage::ApplyPlace(const std::shared_ptr<TimelineInstance>& timeline, const PlaceTag& tag, int frame) {
  DisplayList& list = timeline->displayList;
  const auto found = list.find(tag.depth);
  if (found != list.end() && tag.character && !tag.move) {
    // A new object cannot take a depth that is in use: what is there stays.
    vm_->Trace(Value{"Warning: Failed to place object at depth " + std::to_string(tag.depth) + "."});
    return;
  }
  std::optional<Placement> slot;
  if (found != list.end()) slot = found->second.placement;
  const std::optional<std::uint16_t> before = slot ? std::optional<std::uint16_t>(slot->character) : std::nullopt;
  if (!ApplyPlaceTag(slot, tag)) return;
  const bool sameCharacter = before == slot->character && !(tag.character && !tag.move);
  if (found != list.end() && sameCharacter) {
    DisplayObject& object = found->second;
    if (object.scriptTransformed) {
      slot->matrix = object.placement.matrix;
      slot->colorTransform = object.placement.colorTransform;
    }
    const bool remorph = object.placement.ratio != slot->ratio;
    object.placement = std::move(*slot);
    if (remorph) ShowMorphRatio(object);
    return;
  }
  // The clip stands at its depth before its construct handlers and class
  // constructor run, so they see its path and its parent sees it.
  DisplayObject made = MakeObject(timeline, std::move(*slot), [&](DisplayObject early) {
    early.placedFrame = frame;
    list.insert_or_assign(tag.depth, std::move(early));
  });
  made.placedFrame = frame;
  list.insert_or_assign(tag.depth, std::move(made));
}

DisplayObject Stage::MakeObject(const std::shared_ptr<TimelineInstance>& parent, Placement placement,
                                const std::function<void(DisplayObject)>& place) {
  DisplayObject object;
  object.bornTick = tick_;
  const auto character = movie_.characters.find(placement.character);
  object.placement = std::move(placement);
  if (character == movie_.characters.end()) {
    // From version 8 a bitmap may be placed as it is: a shape of its size.
    if (const auto bitmap = movie_.bitmaps.find(object.placement.character); bitmap != movie_.bitmaps.end()) {
      object.shape = BitmapShape(bitmap->second, false);
    } else if (const auto video = movie_.videos.find(object.placement.character); video != movie_.videos.end()) {
      // A video placed without a name gets none: scripts cannot reach it.
      object.sprite = MakeVideo(parent, video->second);
    }
    return object;
  }
  // Script objects placed without a name get one, before what they show gets theirs.
  const bool named = object.placement.name.empty() &&
                     (std::holds_alternative<std::shared_ptr<const Timeline>>(character->second) ||
                      std::holds_alternative<std::shared_ptr<const EditTextDefinition>>(character->second) ||
                      std::holds_alternative<std::shared_ptr<const ButtonDefinition>>(character->second));
  if (named) object.placement.name = "instance" + std::to_string(++unnamedInstances_);
  if (const auto* shape = std::get_if<std::shared_ptr<const Shape>>(&character->second)) {
    object.shape = (*shape)->morph ? MorphShapeAt(**shape, object.placement.ratio) : *shape;
  } else if (const auto* sprite = std::get_if<std::shared_ptr<const Timeline>>(&character->second)) {
    if (place) {
      object.sprite = MakeSprite(parent, *sprite, object.placement, character->first, nullptr,
                                 [&](const std::shared_ptr<TimelineInstance>& made) {
                                   DisplayObject early = object;
                                   early.sprite = made;
                                   place(std::move(early));
                                 });
    } else {
      object.sprite = MakeSprite(parent, *sprite, object.placement, character->first);
    }
  } else if (const auto* text = std::get_if<std::shared_ptr<const EditTextDefinition>>(&character->second)) {
    object.sprite = MakeTextField(parent, **text);
  } else if (const auto* button = std::get_if<std::shared_ptr<const ButtonDefinition>>(&character->second)) {
    object.sprite = MakeButton(parent, *button);
  }
  if (named && !object.sprite) object.placement.name.clear();
  return object;
}

std::shared_ptr<TimelineInstance> Stage::MakeTextField(const std::shared_ptr<TimelineInstance>& parent,
                                                       const EditTextDefinition& definition) {
  if (counters_->liveInstances >= kMaxSpriteInstances || vm_->liveObjects >= kMaxObjects - 16) return nullptr;
  auto field = std::make_shared<TimelineInstance>(emptyTimeline_, parent, parent->nesting + 1, counters_);
  field->kind = DisplayKind::Text;
  field->object = vm_->NewClip(field);
  field->object->textField = true;
  field->object->proto = vm_->textFieldProto_;
  vm_->Define(field->object, "_listeners", Value{vm_->NewArray({Value{field->object}})}, kDontEnum);
  field->text = std::make_unique<TextField>();
  field->text->Define(definition, movie_);
  field->text->deviceFonts = &deviceFonts_;
  if (!field->text->variable.empty()) {
    boundFields_.push_back(field);
    // A defined variable sets the field's text; else the field's own text,
    // when it has any, sets the variable.
    std::string name;
    Object* holder = VariableHolder(*field, name);
    if (holder && !std::holds_alternative<Undefined>(vm_->GetMember(holder, name))) {
      PullVariable(*field);
    } else if (!field->text->text.empty()) {
      PushVariable(*field);
    }
  }
  return field;
}

std::shared_ptr<TimelineInstance> Stage::MakeVideo(const std::shared_ptr<TimelineInstance>& parent,
                                                   const VideoDefinition& definition) {
  if (parent->nesting + 1 > kMaxSpriteNesting || counters_->liveInstances >= kMaxSpriteInstances) return nullptr;
  if (vm_->liveObjects >= kMaxObjects - 16) return nullptr;
  auto video = std::make_shared<TimelineInstance>(emptyTimeline_, parent, parent->nesting + 1, counters_);
  video->kind = DisplayKind::Video;
  video->video = definition;
  video->object = vm_->NewClip(video);
  // An instance of whatever the movie's Video class is when the video is placed.
  const Value constructor = vm_->GetMember(vm_->Global(), "Video");
  if (const auto* holder = std::get_if<Object*>(&constructor)) {
    if (const Value prototype = vm_->GetMember(*holder, "prototype"); std::holds_alternative<Object*>(prototype)) {
      video->object->proto = std::get<Object*>(prototype);
    }
  }
  return video;
}

std::shared_ptr<TimelineInstance> Stage::MakeButton(const std::shared_ptr<TimelineInstance>& parent,
                                                    std::shared_ptr<const ButtonDefinition> definition) {
  if (parent->nesting + 1 > kMaxSpriteNesting || counters_->liveInstances >= kMaxSpriteInstances) return nullptr;
  if (vm_->liveObjects >= kMaxObjects - 16) return nullptr;
  auto button = std::make_shared<TimelineInstance>(emptyTimeline_, parent, parent->nesting + 1, counters_);
  button->kind = DisplayKind::Button;
  button->object = vm_->NewClip(button);
  button->object->proto = vm_->buttonProto_;
  button->button = std::move(definition);
  // The up state shows until the pointer comes; the headless stage has none.
  for (const ButtonRecord& record : button->button->records) {
    if (!(record.states & 0x01u)) continue;
    Placement placement;
    placement.character = record.character;
    placement.matrix = record.matrix;
    placement.colorTransform = record.colorTransform;
    button->displayList.insert_or_assign(record.depth, MakeObject(button, std::move(placement)));
  }
  return button;
}

std::shared_ptr<TimelineInstance> Stage::MakeSprite(
    const std::shared_ptr<TimelineInstance>& parent, std::shared_ptr<const Timeline> definition, Placement& placement,
    std::uint16_t character, Object* init,
    const std::function<void(const std::shared_ptr<TimelineInstance>&)>& attach) {
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
  // Scripts placing a clip put it in the display list first, so its
  // constructor and init members reach its own placement.
  if (attach) attach(sprite);
  EnterFrame(sprite, 0, true);
  if (init) {
    for (const std::string& name : vm_->EnumerableNames(init)) {
      vm_->SetMember(sprite->object, name, vm_->GetMember(init, name));
    }
  }
  // onClipEvent(construct) runs before the class constructor, with the class
  // prototype already in place.
  for (const ClipAction& action : sprite->clipActions) {
    if (!(action.events & kConstructEvent) || !action.code || !sprite->object) continue;
    std::size_t budget = actionBudget_;
    (void)vm_->RunBlock(*action.code, sprite->object, budget);
  }
  if (constructor) {
    std::size_t budget = actionBudget_;
    std::size_t* saved = vm_->budget;
    vm_->budget = &budget;
    if (!saved) vm_->StartScriptClock();  // no script runs: the constructor is one of its own
    try {
      (void)vm_->Call(Value{constructor}, Value{sprite->object}, {}, sprite->object->proto);
    } catch (const ScriptThrow& thrown) {
      vm_->ReportUncaught(thrown.value);
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
  std::map<int, int> madeAt;  // the frame whose tag made what each depth shows
  const Timeline& definition = timeline->Definition();
  for (int f = 0; f <= frame; ++f) {
    const std::span<const ControlTag> tags = definition.FrameTags(f);
    SpendFrameWork(tags.size());
    for (const ControlTag& tag : tags) {
      if (const auto* place = std::get_if<PlaceTag>(&tag)) {
        std::optional<Placement>& slot = wanted[place->depth];
        const std::optional<std::uint16_t> before = slot ? std::optional<std::uint16_t>(slot->character) : std::nullopt;
        (void)ApplyPlaceTag(slot, *place);
        if (slot && (before != slot->character || (place->character && !place->move))) madeAt[place->depth] = f;
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
  // What scripts placed stays where it is.
  for (auto& [depth, object] : timeline->displayList) {
    if (object.placedFrame < 0 && depth >= kScriptDepthBase) rebuilt.emplace(depth, std::move(object));
  }
  for (auto& [depth, slot] : wanted) {
    if (!slot || rebuilt.count(depth)) continue;
    const auto old = timeline->displayList.find(depth);
    // An object the same tag made is kept (a sprite there keeps playing);
    // one a later frame's tag made is made anew.
    if (old != timeline->displayList.end() && old->second.placement.character == slot->character &&
        old->second.placedFrame >= 0 && old->second.placedFrame == madeAt[depth]) {
      DisplayObject kept = std::move(old->second);
      if (slot->name.empty()) slot->name = kept.placement.name;  // keeps a given "instanceN" name
      kept.placement = std::move(*slot);
      rebuilt.emplace(depth, std::move(kept));
    } else {
      DisplayObject made = MakeObject(timeline, std::move(*slot));
      made.placedFrame = madeAt[depth];
      rebuilt.emplace(depth, std::move(made));
    }
  }
  // What was neither kept nor moved over leaves the stage.
  for (const auto& [depth, object] : timeline->displayList) {
    if (object.sprite) QueueUnload(object);
  }
  timeline->displayList = std::move(rebuilt);
}

void Stage::QueueActions(const std::shared_ptr<TimelineInstance>& timeline,
                         const std::shared_ptr<const std::vector<std::uint8_t>>& code) {
  if (queue_.size() < kMaxQueuedActionBlocks) queue_.push_back({timeline, code, {}, nullptr});
}

// The clip's onClipEvent blocks for the event, then its handler method.
void Stage::QueueClipEvents(const std::shared_ptr<TimelineInstance>& timeline, std::uint32_t clipEvent,
                            const char* method) {
  if (queue_.size() >= kMaxQueuedActionBlocks) return;
  for (const ClipAction& action : timeline->clipActions) {
    if (action.events & clipEvent) QueueActions(timeline, action.code);
  }
  if (method) queue_.push_back({timeline, nullptr, method, nullptr});
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
    if (object.placement.name.empty()) continue;
    const bool same = caseless ? FoldNameCase(object.placement.name) == FoldNameCase(name) : object.placement.name == name;
    if (!same) continue;
    // A named shape is no script object: its name stands for the clip that shows it.
    if (!object.sprite) return object.shape ? timeline->object : nullptr;
    return object.sprite->object;
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

Matrix WholeTwipMove(Matrix m) {
  m.tx = std::round(m.tx);
  m.ty = std::round(m.ty);
  return m;
}

double ScaleOf(double a, double b) { return std::sqrt(a * a + b * b) * 100; }

// "_level0.a.b" as "/a/b", "_level0" as "/".
std::string SlashPath(std::string_view dotted) {
  constexpr std::string_view kLevel = "_level0";
  std::string slashed(1, '/');
  if (dotted.size() > kLevel.size() + 1) slashed.append(dotted.substr(kLevel.size() + 1));
  for (char& ch : slashed) ch = ch == '.' ? '/' : ch;
  return slashed;
}

constexpr double kPi = 3.14159265358979323846;

double DegreesOf(const Matrix& m) {
  // The matrix keeps sines and cosines: a rotation that was a whole or short
  // decimal number of degrees reads back as that number.
  const double degrees = std::atan2(m.b, m.a) * 180 / kPi;
  const double snapped = std::round(degrees * 1e6) / 1e6;
  return std::abs(degrees - snapped) < 1e-9 ? snapped : degrees;
}

// The scales and rotation of a placement: what a script set last while the
// matrix is still the one it made, else the matrix taken apart.
Placement::ScriptTransform ScriptTransformOf(const Placement& placement) {
  const Matrix& m = placement.matrix;
  if (const auto& set = placement.scriptTransform;
      set && set->a == m.a && set->b == m.b && set->c == m.c && set->d == m.d) {
    return *set;
  }
  return Placement::ScriptTransform{m.a, m.b, m.c, m.d, ScaleOf(m.a, m.b), ScaleOf(m.c, m.d), DegreesOf(m)};
}

// Makes the matrix of the scales and rotation and remembers them; a part
// that is no finite number (an infinite scale) draws as 0.
void ApplyTransform(Placement& placement, Placement::ScriptTransform transform) {
  const double radians = transform.rotation * kPi / 180;
  const double sx = transform.xscale / 100;
  const double sy = transform.yscale / 100;
  const auto finite = [](double v) { return std::isfinite(v) ? v : 0.0; };
  // The player keeps the scale and skew terms as 16.16 fixed-point numbers.
  const auto fixed = [&finite](double v) { return std::round(finite(v) * 65536) / 65536; };
  Matrix& m = placement.matrix;
  m.a = fixed(std::cos(radians) * sx);
  m.b = fixed(std::sin(radians) * sx);
  m.c = fixed(-std::sin(radians) * sy);
  m.d = fixed(std::cos(radians) * sy);
  transform.a = m.a;
  transform.b = m.b;
  transform.c = m.c;
  transform.d = m.d;
  placement.scriptTransform = transform;
}

// A number as the player stores it in a 32-bit integer: one out of range
// (or infinite) becomes the lowest integer.
double StoredInt32(double number) {
  if (!(std::abs(number) < 2147483648.0)) return -2147483648.0;
  return std::trunc(number);
}

// How far a field scrolls sideways, in whole pixels: a field that wraps its
// words has no line past its box.
int MaxHScroll(const TextField& f) {
  if (f.wordWrap) return 0;
  return static_cast<int>(std::max(0.0, f.TextWidth() + 4 - f.Width()));
}

// A text field's position is where its bounds start: the top-left corner of
// its box (which autoSize moves) in its parent's twips, from its origin.
std::pair<double, double> TextOrigin(const TimelineInstance& timeline, const Matrix& m) {
  if (timeline.kind != DisplayKind::Text || !timeline.text) return {0.0, 0.0};
  const TextField& f = *timeline.text;
  return {m.a * f.minX + m.c * f.minY, m.b * f.minX + m.d * f.minY};
}

constexpr std::array<std::string_view, 4> kQualityNames{"LOW", "MEDIUM", "HIGH", "BEST"};

}  // namespace

bool Stage::GetClipProperty(Object* clip, std::string_view rawName, Value& out) {
  const auto timeline = TimelineOf(clip);
  if (!timeline) return false;
  if (timeline->kind == DisplayKind::Text && GetTextProperty(*timeline, rawName, out)) return true;
  if (rawName == "cacheAsBitmap" && timeline->kind != DisplayKind::Text) {
    const DisplayObject* entry = EntryOf(clip);
    out = entry && entry->placement.cacheAsBitmap;
    return true;
  }
  if (rawName.empty() || rawName[0] != '_') return false;
  const std::string name = LowerAscii(rawName);
  int depth = 0;
  DisplayObject* entry = EntryOf(clip, &depth);
  const Placement& placement = entry ? entry->placement : rootPlacement_;
  const Matrix& m = placement.matrix;
  const auto [originX, originY] = TextOrigin(*timeline, m);
  if (name == "_x") {
    out = RoundTo((m.tx + originX) / 20, 0.05);
  } else if (name == "_y") {
    out = RoundTo((m.ty + originY) / 20, 0.05);
  } else if (name == "_xscale") {
    out = ScriptTransformOf(placement).xscale;
  } else if (name == "_yscale") {
    out = ScriptTransformOf(placement).yscale;
  } else if (name == "_rotation") {
    out = ScriptTransformOf(placement).rotation;
  } else if (name == "_alpha") {
    out = placement.colorTransform.ma * 100;
  } else if (name == "_visible") {
    out = placement.visible;
  } else if (name == "_currentframe") {
    // A clip made empty by a script has no frame to stand on.
    const bool empty = timeline->kind == DisplayKind::Clip && timeline->SharedDefinition() == emptyTimeline_;
    out = empty ? 0.0 : static_cast<double>(timeline->frame + 1);
  } else if (name == "_totalframes" || name == "_framesloaded") {
    out = static_cast<double>(timeline->FrameCount());
  } else if (name == "_name") {
    out = placement.name;
  } else if (name == "_target") {
    out = SlashPath(TargetPath(clip));
  } else if (name == "_width" || name == "_height") {
    double bounds[4];
    const bool shows = entry ? ObjectBounds(*entry, bounds, 0) : LocalBounds(*timeline, bounds);
    const double twips = !shows ? 0 : name == "_width" ? bounds[2] - bounds[0] : bounds[3] - bounds[1];
    out = RoundTo(twips / 20, 0.05);
  } else if (name == "_url") {
    out = std::string();
  } else if (name == "_droptarget") {
    out = DropTarget(*timeline);
  } else if (name == "_highquality") {
    out = quality_ == 0 ? 0.0 : quality_ == 3 ? 2.0 : 1.0;
  } else if (name == "_quality") {
    out = std::string(kQualityNames[static_cast<std::size_t>(quality_)]);
  } else if (name == "_focusrect") {
    // A number before version 6, a boolean from it. From version 6 a clip
    // other than the root has its own, null until set (the movie's counts).
    if (vm_->Version() >= 6 && timeline != root_) {
      out = timeline->focusRect ? Value{*timeline->focusRect} : Value{Null{}};
    } else {
      out = vm_->Version() < 6 ? Value{focusRect_ ? 1.0 : 0.0} : Value{focusRect_};
    }
  } else if (name == "_lockroot") {
    out = timeline->lockRoot;
  } else if (name == "_soundbuftime") {
    out = soundBufferSeconds_;
  } else if (name == "_xmouse" || name == "_ymouse") {
    double x = 0, y = 0;
    PointerIn(clip, x, y);
    out = name == "_xmouse" ? x : y;
  } else if (name == "_parent") {
    const auto parent = timeline->parent.lock();
    if (!parent) return false;
    out = parent->object;
  } else if (const std::string_view exact = vm_->Version() >= 7 ? rawName : name;
             exact == "_root" || exact == "_level0") {
    // Unlike the other properties these two keep their case from version 7.
    out = root_->object;
  } else {
    return false;
  }
  return true;
}

bool Stage::SetClipProperty(Object* clip, std::string_view rawName, const Value& value) {
  const auto timeline = TimelineOf(clip);
  if (!timeline) return false;
  if (timeline->kind == DisplayKind::Text && SetTextProperty(timeline, rawName, value)) return true;
  if (rawName == "cacheAsBitmap" && timeline->kind != DisplayKind::Text) {
    if (DisplayObject* entry = EntryOf(clip)) entry->placement.cacheAsBitmap = vm_->ToBool(value);
    return true;
  }
  if (rawName.empty() || rawName[0] != '_') return false;
  const std::string name = LowerAscii(rawName);
  DisplayObject* entry = EntryOf(clip);
  Placement offStage;  // a clip off the stage keeps no placement
  Placement& placement = entry ? entry->placement : timeline == root_ ? rootPlacement_ : offStage;
  Matrix& m = placement.matrix;
  // A clip a script moved, scaled, turned or recoloured keeps that transform
  // when its timeline moves it later.
  const auto scripted = [entry] {
    if (entry) entry->scriptTransformed = true;
  };
  // The numeric properties take a number; undefined and null are none in any
  // version, and a value that is no number leaves the property as it was.
  const auto numberOf = [&]() {
    if (std::holds_alternative<Undefined>(value) || std::holds_alternative<Null>(value)) {
      return std::numeric_limits<double>::quiet_NaN();
    }
    return vm_->ToNum(value);
  };
  if (name == "_x" || name == "_y") {
    const double number = numberOf();
    if (!std::isnan(number)) {
      const auto [originX, originY] = TextOrigin(*timeline, m);
      (name == "_x" ? m.tx : m.ty) = StoredInt32(std::round(number * 20 - (name == "_x" ? originX : originY)));
      scripted();
    }
  } else if (name == "_xscale" || name == "_yscale" || name == "_rotation") {
    const double number = numberOf();
    if (std::isnan(number)) return true;
    Placement::ScriptTransform transform = ScriptTransformOf(placement);
    if (name == "_xscale") {
      transform.xscale = number;
    } else if (name == "_yscale") {
      transform.yscale = number;
    } else {
      double degrees = std::fmod(number, 360.0);
      if (degrees > 180) degrees -= 360;
      if (degrees < -180) degrees += 360;
      transform.rotation = degrees;
    }
    ApplyTransform(placement, transform);
    scripted();
  } else if (name == "_alpha") {
    // Kept as an 8.8 fixed-point factor of a 16-bit colour transform.
    const double number = numberOf();
    if (!std::isnan(number)) {
      const auto fixed = static_cast<std::int16_t>(static_cast<std::int32_t>(StoredInt32(number * 256 / 100)));
      placement.colorTransform.ma = fixed / 256.0;
      scripted();
    }
  } else if (name == "_visible") {
    const double number = numberOf();
    if (!std::isnan(number)) {
      placement.visible = number != 0;
      if (!placement.visible) HidingObject(*timeline);  // a hidden holder gives the focus up at once
    }
  } else if (name == "_name") {
    // From version 7 a NaN names the clip "0".
    const auto* number = std::get_if<double>(&value);
    placement.name = number && std::isnan(*number) && vm_->Version() >= 7 ? std::string("0") : NameText(value);
  } else if (name == "_width" || name == "_height") {
    const double number = numberOf();
    if (std::isfinite(number) && number >= 0) {
      SetSize(timeline, placement, name == "_width", number);
      scripted();
    }
  } else if (name == "_highquality") {
    const double number = numberOf();
    if (!std::isnan(number)) quality_ = number >= 2 ? 3 : std::trunc(number) == 0 ? 0 : 2;
  } else if (name == "_quality") {
    const std::string wanted = LowerAscii(NameText(value));
    for (std::size_t i = 0; i < kQualityNames.size(); ++i) {
      if (wanted == LowerAscii(kQualityNames[i])) quality_ = static_cast<int>(i);
    }
  } else if (name == "_focusrect") {
    if (vm_->Version() >= 6 && timeline != root_) {
      // A clip's own: null and undefined give it back to the movie's.
      if (std::holds_alternative<Undefined>(value) || std::holds_alternative<Null>(value)) {
        timeline->focusRect.reset();
      } else {
        timeline->focusRect = vm_->ToBool(value);
      }
    } else if (std::holds_alternative<Object*>(value)) {
      // An object turns it off without being asked for its value.
      focusRect_ = false;
    } else if (const double number = numberOf(); !std::isnan(number)) {
      focusRect_ = number != 0;
    }
  } else if (name == "_lockroot") {
    timeline->lockRoot = vm_->ToBool(value);
  } else if (name == "_soundbuftime") {
    const double number = numberOf();
    if (!std::isnan(number)) soundBufferSeconds_ = StoredInt32(number);
  } else if (name == "_currentframe" || name == "_totalframes" || name == "_framesloaded" || name == "_target" ||
             name == "_url" || name == "_xmouse" || name == "_ymouse" || name == "_droptarget") {
    // read-only
  } else {
    return false;
  }
  return true;
}

// A text property's value as a text: an object whose toString gives no text
// is named "[type Object]".
std::string Stage::NameText(const Value& value) {
  if (const auto* object = std::get_if<Object*>(&value); object && (*object)->kind != ObjectKind::Clip) {
    const Value text = vm_->ToPrimitive(value, true);
    if (const auto* string = std::get_if<SharedText>(&text)) return string->str();
    return (*object)->kind == ObjectKind::Function ? "[type Function]" : "[type Object]";
  }
  return vm_->ToStr(value);
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

Object* Stage::CreateClip(Object* parentClip, std::string_view exportName, std::string_view name, int depth,
                          Object* init) {
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
  const int at = depth + kScriptDepthBase;
  Placement placement = object.placement;
  const auto sprite = MakeSprite(parent, definition, placement, character, init, [&](const auto& made) {
    object.sprite = made;
    MarkReplaced(*parent, at);
    parent->displayList.insert_or_assign(at, std::move(object));
  });
  return sprite ? sprite->object : nullptr;
}

Object* Stage::DuplicateClip(Object* clip, std::string_view name, int depth, Object* init) {
  int oldDepth = 0;
  DisplayObject* entry = EntryOf(clip, &oldDepth);
  const auto timeline = TimelineOf(clip);
  if (!entry || !timeline) return nullptr;
  const auto parent = timeline->parent.lock();
  DisplayObject object;
  object.bornTick = tick_;
  object.placement = entry->placement;
  object.placement.name = std::string(name);
  const int at = depth + kScriptDepthBase;
  if (timeline->text) {
    // A duplicated field starts as its definition made it, where the
    // original stands; one a script created starts empty in the same bounds.
    if (!parent) return nullptr;
    object.placement.filters.reset();  // nor does it take the original's filters
    EditTextDefinition blank;
    const EditTextDefinition* definition = &blank;
    const auto character = movie_.characters.find(object.placement.character);
    if (character != movie_.characters.end()) {
      if (const auto* text = std::get_if<std::shared_ptr<const EditTextDefinition>>(&character->second)) {
        definition = text->get();
      }
    }
    if (definition == &blank) {
      blank.minX = timeline->text->minX;
      blank.minY = timeline->text->minY;
      blank.maxX = timeline->text->maxX;
      blank.maxY = timeline->text->maxY;
      blank.readOnly = true;
    }
    object.sprite = MakeTextField(parent, *definition);
    if (!object.sprite) return nullptr;
    Object* made = object.sprite->object;
    MarkReplaced(*parent, at);
    parent->displayList.insert_or_assign(at, std::move(object));
    return made;
  }
  Placement placement = object.placement;
  const Drawing drawn = timeline->drawing;
  const auto sprite =
      MakeSprite(parent, timeline->SharedDefinition(), placement, placement.character, init, [&](const auto& made) {
        made->drawing = drawn;  // a duplicate starts with what the original drew
        object.sprite = made;
        MarkReplaced(*parent, at);
        parent->displayList.insert_or_assign(at, std::move(object));
      });
  return sprite ? sprite->object : nullptr;
}

void Stage::RemoveClip(Object* clip) {
  int depth = 0;
  if (!EntryOf(clip, &depth) || depth < kScriptDepthBase) return;
  const auto timeline = TimelineOf(clip);
  HidingObject(*timeline);
  const auto parent = timeline->parent.lock();
  if (parent) RemoveAtDepth(parent, depth);
}

void Stage::RemoveAtDepth(const std::shared_ptr<TimelineInstance>& timeline, int depth) {
  const auto at = timeline->displayList.find(depth);
  if (at == timeline->displayList.end()) return;
  QueueUnload(at->second);
  timeline->displayList.erase(at);
}

// onClipEvent(unload) blocks, then onUnload; the queue keeps the clip alive
// for them.
// A clip that a new one replaces at its depth leaves the stage: references
// to it go by its path from now on.
void Stage::MarkReplaced(TimelineInstance& parent, int depth) {
  const auto old = parent.displayList.find(depth);
  if (old == parent.displayList.end() || !old->second.sprite || !old->second.sprite->object ||
      !old->second.sprite->object->removedPath.empty()) {
    return;
  }
  MarkRemoved(*old->second.sprite, TargetPath(old->second.sprite->object), 0);
  ++vm_->clipRemovals;
}

void Stage::MarkRemoved(TimelineInstance& timeline, const std::string& path, int nesting) {
  if (!timeline.object || nesting > 64) return;
  timeline.object->removedPath = path;
  for (auto& [depth, child] : timeline.displayList) {
    if (child.sprite && !child.placement.name.empty()) {
      MarkRemoved(*child.sprite, path + "." + child.placement.name, nesting + 1);
    }
  }
}

std::vector<std::shared_ptr<const std::vector<std::uint8_t>>> Stage::FrameScripts(Object* clip,
                                                                                  std::string_view frame) {
  std::vector<std::shared_ptr<const std::vector<std::uint8_t>>> scripts;
  const auto timeline = TimelineOf(clip);
  if (!timeline) return scripts;
  const Timeline& definition = timeline->Definition();
  int index = -1;
  const double number = StringToNumber(frame);
  if (std::isfinite(number)) {
    index = number >= 1 && number <= 1e9 ? static_cast<int>(number) - 1 : -1;
  } else if (const auto found = definition.labels.find(LowerAscii(frame)); found != definition.labels.end()) {
    index = found->second;
  }
  if (index < 0 || index >= definition.FrameCount()) return scripts;
  for (const ControlTag& tag : definition.FrameTags(index)) {
    if (const auto* action = std::get_if<ActionTag>(&tag); action && !action->init && action->code) {
      scripts.push_back(action->code);
    }
  }
  return scripts;
}

Object* Stage::LiveClip(Object* clip) {
  if (!clip || clip->removedPath.empty()) return clip;
  // The path as it was written: "_level0" and the names below it.
  std::string_view path = clip->removedPath;
  constexpr std::string_view kLevel = "_level0";
  if (!path.starts_with(kLevel)) return nullptr;
  path.remove_prefix(kLevel.size());
  Object* at = root_->object;
  while (at && !path.empty()) {
    path.remove_prefix(1);  // the dot
    const std::size_t dot = path.find('.');
    at = ChildClip(at, path.substr(0, dot));
    path = dot == std::string_view::npos ? std::string_view() : path.substr(dot);
  }
  return at == clip ? clip : (at && at->removedPath.empty() ? at : nullptr);
}

void Stage::QueueUnload(const DisplayObject& leaving) {
  const std::shared_ptr<TimelineInstance>& clip = leaving.sprite;
  if (clip && clip->object && clip->object->removedPath.empty()) {
    MarkRemoved(*clip, TargetPath(clip->object), 0);
    ++vm_->clipRemovals;
  }
  if (!clip || clip->kind != DisplayKind::Clip || queue_.size() >= kMaxQueuedActionBlocks) return;
  constexpr std::uint32_t kUnloadEvent = 0x04u;
  for (const ClipAction& action : clip->clipActions) {
    if (action.events & kUnloadEvent) queue_.push_back({clip, action.code, {}, clip});
  }
  queue_.push_back({clip, nullptr, "onUnload", clip});
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

namespace swf {

namespace {


// The box around a rectangle after a matrix, added to `bounds` (min x, min y,
// max x, max y); `any` says whether bounds held something before.
void AddTransformed(const Matrix& m, const double rect[4], double bounds[4], bool& any) {
  for (Point corner : {Apply(m, rect[0], rect[1]), Apply(m, rect[2], rect[1]), Apply(m, rect[0], rect[3]),
                       Apply(m, rect[2], rect[3])}) {
    // Bounds are kept in whole twips: each turned corner lands on the nearest.
    corner = {std::round(corner.x), std::round(corner.y)};
    if (!any) {
      bounds[0] = bounds[2] = corner.x;
      bounds[1] = bounds[3] = corner.y;
      any = true;
      continue;
    }
    bounds[0] = std::min(bounds[0], corner.x);
    bounds[1] = std::min(bounds[1], corner.y);
    bounds[2] = std::max(bounds[2], corner.x);
    bounds[3] = std::max(bounds[3], corner.y);
  }
}

// Whether a property name matches: without regard to case before version 7.
bool NameIs(std::string_view name, std::string_view wanted, int version) {
  return version >= 7 ? name == wanted : LowerAscii(name) == LowerAscii(wanted);
}

std::string AutoSizeName(AutoSize size) {
  switch (size) {
    case AutoSize::Left: return "left";
    case AutoSize::Center: return "center";
    case AutoSize::Right: return "right";
    case AutoSize::None: break;
  }
  return "none";
}

}  // namespace

void Stage::Draw(Object* clip, DrawOp op, std::span<const double> args) {
  const auto timeline = TimelineOf(clip);
  if (!timeline || timeline->kind != DisplayKind::Clip) return;
  const auto arg = [&](std::size_t i, double fallback) { return i < args.size() ? args[i] : fallback; };
  const auto color = [&](std::size_t rgb, std::size_t alpha) {
    const auto value = static_cast<std::uint32_t>(ToInt32(arg(rgb, 0)));
    const double percent = std::clamp(arg(alpha, 100), 0.0, 100.0);
    return Rgba{static_cast<std::uint8_t>(value >> 16), static_cast<std::uint8_t>(value >> 8),
                static_cast<std::uint8_t>(value), static_cast<std::uint8_t>(std::lround(percent * 2.55))};
  };
  Drawing& drawing = timeline->drawing;
  switch (op) {
    case DrawOp::Clear: drawing.Clear(); break;
    case DrawOp::MoveTo: drawing.MoveTo(arg(0, 0), arg(1, 0)); break;
    case DrawOp::LineTo: drawing.LineTo(arg(0, 0), arg(1, 0)); break;
    case DrawOp::CurveTo: drawing.CurveTo(arg(0, 0), arg(1, 0), arg(2, 0), arg(3, 0)); break;
    case DrawOp::BeginFill: drawing.BeginFill(color(0, 1)); break;
    case DrawOp::EndFill: drawing.EndFill(); break;
    case DrawOp::NoLine: drawing.SetLineStyle(std::nullopt); break;
    case DrawOp::LineStyle: drawing.SetLineStyle(ScriptLineStyle(args)); break;
    case DrawOp::GradientFill:
      if (auto gradient = ScriptGradient(args)) drawing.BeginFill(std::move(*gradient));
      break;
    case DrawOp::LineGradient:
      if (auto gradient = ScriptGradient(args)) drawing.SetLineGradient(*gradient);
      break;
  }
}

std::uint8_t Stage::GetBlendMode(Object* clip) {
  const DisplayObject* entry = EntryOf(clip);
  return entry ? entry->placement.blendMode : std::uint8_t{0};
}

void Stage::SetBlendMode(Object* clip, std::uint8_t mode) {
  DisplayObject* entry = EntryOf(clip);
  if (entry && mode >= BlendMode::kNormal && mode <= BlendMode::kHardLight) entry->placement.blendMode = mode;
}

std::shared_ptr<const std::vector<Filter>> Stage::GetFilters(Object* clip) {
  const DisplayObject* entry = EntryOf(clip);
  return entry ? entry->placement.filters : nullptr;
}

void Stage::SetFilters(Object* clip, std::vector<Filter> filters) {
  DisplayObject* entry = EntryOf(clip);
  if (!entry) return;
  for (Filter& filter : filters) filter = SaneFilter(std::move(filter));
  entry->placement.filters =
      filters.empty() ? nullptr : std::make_shared<const std::vector<Filter>>(std::move(filters));
}

bool Stage::IsMovieClip(Object* clip) {
  const auto timeline = TimelineOf(clip);
  return !timeline || timeline->kind == DisplayKind::Clip;
}

TextField* Stage::TextFieldOf(Object* object) {
  const auto timeline = TimelineOf(object);
  return timeline ? timeline->text.get() : nullptr;
}

void Stage::TextChanged(Object* field) {
  if (const auto timeline = TimelineOf(field); timeline && timeline->text) PushVariable(*timeline);
}

Object* Stage::CreateTextField(Object* parentClip, std::string_view name, int depth, double x, double y, double width,
                               double height) {
  const auto parent = TimelineOf(parentClip);
  if (!parent || parent->kind != DisplayKind::Clip) return nullptr;
  EditTextDefinition definition;
  definition.maxX = std::round(std::abs(width) * 20);
  definition.maxY = std::round(std::abs(height) * 20);
  definition.readOnly = true;
  DisplayObject object;
  object.bornTick = tick_;
  object.placement.name = std::string(name);
  object.placement.matrix.tx = std::round(x * 20);
  object.placement.matrix.ty = std::round(y * 20);
  object.sprite = MakeTextField(parent, definition);
  if (!object.sprite) return nullptr;
  TextFormatData twelve;
  twelve.size = 12;
  object.sprite->text->ApplyToAll(twelve);
  Object* made = object.sprite->object;
  parent->displayList.insert_or_assign(depth + kScriptDepthBase, std::move(object));
  return made;
}

std::vector<std::string> Stage::ChildNames(Object* clip) {
  std::vector<std::string> names;
  const auto timeline = TimelineOf(clip);
  if (!timeline) return names;
  for (auto it = timeline->displayList.rbegin(); it != timeline->displayList.rend(); ++it) {
    if (!it->second.placement.name.empty()) names.push_back(it->second.placement.name);
  }
  return names;
}

std::vector<StaticGlyph> Stage::StaticTextOf(Object* clip) {
  std::vector<StaticGlyph> glyphs;
  const auto timeline = TimelineOf(clip);
  if (!timeline) return glyphs;
  for (const auto& [depth, object] : timeline->displayList) {
    if (!object.shape || !object.shape->text) continue;
    const StaticText& text = *object.shape->text;
    const Matrix m = object.placement.matrix.Then(text.matrix);
    for (const StaticTextRun& run : text.runs) {
      for (std::size_t i = 0; i < run.codes.size() && i < run.xs.size(); ++i) {
        const Point at = Apply(m, run.xs[i], run.y);
        glyphs.push_back({run.codes[i], at.x, at.y, run.advances[i] * std::hypot(m.a, m.b),
                          run.height * std::hypot(m.c, m.d)});
      }
    }
  }
  return glyphs;
}

Object* Stage::InstanceAtDepth(Object* clip, int depth) {
  const auto timeline = TimelineOf(clip);
  if (!timeline) return nullptr;
  const auto found = timeline->displayList.find(depth + kScriptDepthBase);
  if (found == timeline->displayList.end()) return nullptr;
  if (found->second.sprite) return found->second.sprite->object;
  return found->second.shape ? timeline->object : nullptr;
}

// From the object up through its parents to the stage; each step keeps its
// move in whole twips, as the player's matrices do.
Matrix Stage::GlobalMatrix(const TimelineInstance& timeline) {
  Matrix global;
  int steps = 0;
  for (const TimelineInstance* at = &timeline; at && steps <= kMaxSpriteNesting + 1; ++steps) {
    const DisplayObject* entry = EntryOf(at->object);
    if (!entry) break;
    global = WholeTwipMove(entry->ContentMatrix().Then(global));
    const auto parent = at->parent.lock();
    at = parent.get();
  }
  return WholeTwipMove(RootToStage().Then(global));
}

bool Stage::ObjectBounds(const DisplayObject& object, double bounds[4], int nesting) {
  double inner[4];
  bool any = false;
  if (object.shape) {
    const Shape& shape = *object.shape;
    const double rect[4] = {shape.declaredMinX, shape.declaredMinY, shape.declaredMaxX, shape.declaredMaxY};
    if (rect[0] > rect[2] || rect[1] > rect[3]) return false;
    AddTransformed(object.placement.matrix, rect, bounds, any);
    return any;
  }
  if (object.scrollRect) {
    // What shows is the rectangle, whatever the content.
    const double rect[4] = {0, 0, object.scrollRect->width, object.scrollRect->height};
    AddTransformed(object.placement.matrix, rect, bounds, any);
    return any;
  }
  if (!object.sprite || !LocalBounds(*object.sprite, inner, nesting + 1)) return false;
  AddTransformed(object.placement.matrix, inner, bounds, any);
  return any;
}

bool Stage::LocalBounds(const TimelineInstance& timeline, double bounds[4], int nesting) {
  if (nesting > kMaxSpriteNesting + 1) return false;
  bool any = false;
  if (timeline.text) {
    const TextField& field = *timeline.text;
    bounds[0] = field.minX;
    bounds[1] = field.minY;
    bounds[2] = field.maxX;
    bounds[3] = field.maxY;
    return true;
  }
  const Matrix identity;
  if (const std::shared_ptr<const Shape> drawn = timeline.drawing.GetShape()) {
    const double rect[4] = {drawn->declaredMinX, drawn->declaredMinY, drawn->declaredMaxX, drawn->declaredMaxY};
    AddTransformed(identity, rect, bounds, any);
  }
  for (const auto& [depth, object] : timeline.displayList) {
    double one[4];
    if (!ObjectBounds(object, one, nesting)) continue;
    AddTransformed(identity, one, bounds, any);
  }
  return any;
}

bool Stage::Bounds(Object* clip, Object* space, double& xMin, double& yMin, double& xMax, double& yMax) {
  const auto timeline = TimelineOf(clip);
  if (!timeline) return false;
  double local[4];
  if (const DisplayObject* entry = EntryOf(clip); entry && entry->scrollRect) {
    const ScrollRect& r = *entry->scrollRect;
    local[0] = r.x;
    local[1] = r.y;
    local[2] = r.x + r.width;
    local[3] = r.y + r.height;
  } else if (!LocalBounds(*timeline, local)) {
    return false;
  }
  Matrix toSpace;
  const auto target = TimelineOf(space);
  if (target && target != timeline) toSpace = Inverse(GlobalMatrix(*target)).Then(GlobalMatrix(*timeline));
  double result[4];
  bool any = false;
  AddTransformed(toSpace, local, result, any);
  xMin = result[0] / 20;
  yMin = result[1] / 20;
  xMax = result[2] / 20;
  yMax = result[3] / 20;
  return true;
}

void Stage::ToGlobal(Object* clip, double& x, double& y, bool inverse) {
  const auto timeline = TimelineOf(clip);
  if (!timeline) return;
  Matrix m = GlobalMatrix(*timeline);
  if (inverse) m = WholeTwipMove(Inverse(m));
  // Positions are whole twips.
  const Point p = Apply(m, x * 20, y * 20);
  x = std::round(p.x) / 20;
  y = std::round(p.y) / 20;
}

// The point is taken in the root's space: a script that moves, turns or
// scales the root still tests the points it names there.
bool Stage::HitTestPoint(Object* clip, double x, double y, bool shape) {
  if (std::isnan(x) || std::isnan(y)) return false;
  if (shape) {
    const auto timeline = TimelineOf(clip);
    if (!timeline) return false;
    const Point onStage = Apply(RootToStage(), x * 20, y * 20);
    // A clip that setMask masks is hit only where its mask shows the point.
    const DisplayObject* entry = EntryOf(clip);
    if (const auto mask = entry ? entry->scriptMask.lock() : nullptr;
        mask && mask->object && !ShowsPoint(*mask, GlobalMatrix(*mask), onStage.x, onStage.y, 0)) {
      return false;
    }
    return ShowsPoint(*timeline, GlobalMatrix(*timeline), onStage.x, onStage.y, 0);
  }
  double bounds[4];
  if (!Bounds(clip, root_->object, bounds[0], bounds[1], bounds[2], bounds[3])) return false;
  return x >= bounds[0] && x <= bounds[2] && y >= bounds[1] && y <= bounds[3];
}

void Stage::SetScriptMask(Object* clip, Object* mask) {
  DisplayObject* entry = EntryOf(clip);
  if (!entry) return;
  const auto timeline = mask ? TimelineOf(mask) : nullptr;
  entry->scriptMask = timeline && timeline->kind == DisplayKind::Clip ? timeline : nullptr;
}

void Stage::SetSize(const std::shared_ptr<TimelineInstance>& timeline, Placement& placement, bool width,
                    double pixels) {
  Matrix& m = placement.matrix;
  if (timeline->text) {
    // A field takes the size as its own bounds; its scale stays and applies on top.
    if (width) {
      timeline->text->SetWidth(pixels);
    } else {
      timeline->text->SetHeight(pixels);
    }
    return;
  }
  double local[4];
  if (!LocalBounds(*timeline, local)) return;
  const double extent = width ? local[2] - local[0] : local[3] - local[1];
  if (extent <= 0) return;
  const double wanted = pixels * 20 / extent;
  double& a = width ? m.a : m.d;
  double& b = width ? m.b : m.c;
  const double old = std::sqrt(a * a + b * b);
  if (old > 0) {
    a = a / old * wanted;
    b = b / old * wanted;
  } else {
    a = wanted;
  }
}

Object* Stage::VariableHolder(const TimelineInstance& field, std::string& name) {
  const std::string& path = field.text->variable;
  const auto parent = field.parent.lock();
  if (!parent || path.empty()) return nullptr;
  const std::size_t split = path.find_last_of(".:");
  name = split == std::string::npos ? path : path.substr(split + 1);
  Object* at = parent->object;
  if (split == std::string::npos) return at;
  std::string_view rest = std::string_view(path).substr(0, split);
  if (!rest.empty() && rest[0] == '/') {
    at = root_->object;
    rest.remove_prefix(1);
  }
  while (!rest.empty() && at) {
    const std::size_t end = std::min(rest.find_first_of("./"), rest.size());
    const std::string part(rest.substr(0, end));
    rest.remove_prefix(std::min(end + 1, rest.size()));
    if (part.empty()) continue;
    if (NameIs(part, "_root", 6) || NameIs(part, "_level0", 6)) {
      at = root_->object;
    } else if (part == "..") {
      at = ParentClip(at);
    } else {
      const Value next = vm_->GetMember(at, part);
      auto* const* object = std::get_if<Object*>(&next);
      at = object ? *object : nullptr;
    }
  }
  return at;
}

void Stage::PullVariable(TimelineInstance& field) {
  std::string name;
  Object* holder = VariableHolder(field, name);
  if (!holder) return;
  const Value value = vm_->GetMember(holder, name);
  if (std::holds_alternative<Undefined>(value)) return;
  const std::string text = vm_->ToStr(value);
  if (field.text->html) {
    field.text->SetHtmlText(text, movie_.version);
  } else if (field.text->text != text) {
    field.text->SetText(text);
  }
}

void Stage::PushVariable(TimelineInstance& field) {
  std::string name;
  if (Object* holder = VariableHolder(field, name)) {
    vm_->SetMember(holder, name, field.text->html ? field.text->HtmlText(movie_.version) : field.text->text);
  }
}

// Bound fields show what their variables hold, as each frame ends.
void Stage::SyncBoundFields() {
  std::erase_if(boundFields_, [](const std::weak_ptr<TimelineInstance>& field) { return field.expired(); });
  for (const auto& weak : boundFields_) {
    if (const auto field = weak.lock(); field && field->text && !field->text->variable.empty()) PullVariable(*field);
  }
}

bool Stage::GetTextProperty(TimelineInstance& timeline, std::string_view name, Value& out) {
  TextField& f = *timeline.text;
  const int v = movie_.version;
  const auto is = [&](std::string_view wanted) { return NameIs(name, wanted, v); };
  if ((is("text") || is("htmlText")) && !f.variable.empty()) {
    // A variable of a timeline shows at once; one of another object when the frame ends.
    std::string variable;
    if (Object* holder = VariableHolder(timeline, variable); holder && holder->kind == ObjectKind::Clip) {
      PullVariable(timeline);
    }
  }
  if (is("text")) {
    out = f.text;
  } else if (is("htmlText")) {
    out = f.HtmlText(v);
  } else if (is("html")) {
    out = f.html;
  } else if (is("length")) {
    out = static_cast<double>(Utf8Length(f.text));
  } else if (is("textWidth")) {
    out = f.TextWidth();
  } else if (is("textHeight")) {
    out = f.TextHeight();
  } else if (is("variable")) {
    out = f.variable.empty() ? Value{Null{}} : Value{f.variable};
  } else if (is("maxChars")) {
    out = f.maxChars ? Value{static_cast<double>(*f.maxChars)} : Value{Null{}};
  } else if (is("restrict")) {
    out = f.restrict ? Value{*f.restrict} : Value{Null{}};
  } else if (is("border")) {
    out = f.border;
  } else if (is("borderColor")) {
    out = static_cast<double>(f.borderColor);
  } else if (is("background")) {
    out = f.background;
  } else if (is("backgroundColor")) {
    out = static_cast<double>(f.backgroundColor);
  } else if (is("textColor")) {
    out = static_cast<double>(f.FirstFormat().color.value_or(0));
  } else if (is("multiline")) {
    out = f.multiline;
  } else if (is("wordWrap")) {
    out = f.wordWrap;
  } else if (is("password")) {
    out = f.password;
  } else if (is("selectable")) {
    out = f.selectable;
  } else if (is("type")) {
    out = std::string(f.editable ? "input" : "dynamic");
  } else if (is("autoSize")) {
    out = AutoSizeName(f.autoSize);
  } else if (is("embedFonts")) {
    out = f.embedFonts;
  } else if (is("condenseWhite")) {
    out = f.condenseWhite;
  } else if (is("mouseWheelEnabled")) {
    out = f.mouseWheelEnabled;
  } else if (is("scroll")) {
    out = static_cast<double>(f.scroll);
  } else if (is("maxscroll")) {
    out = static_cast<double>(f.MaxScroll());
  } else if (is("bottomScroll")) {
    out = static_cast<double>(f.BottomScroll());
  } else if (is("hscroll")) {
    out = static_cast<double>(f.hscroll);
  } else if (is("maxhscroll")) {
    out = static_cast<double>(MaxHScroll(f));
  } else if (v >= 8 && is("antiAliasType")) {
    out = f.antiAliasType;
  } else if (v >= 8 && is("gridFitType")) {
    out = f.gridFitType;
  } else if (v >= 8 && is("sharpness")) {
    out = f.sharpness;
  } else if (v >= 8 && is("thickness")) {
    out = f.thickness;
  } else {
    return false;
  }
  return true;
}

bool Stage::SetTextProperty(const std::shared_ptr<TimelineInstance>& timeline, std::string_view name,
                            const Value& value) {
  TextField& f = *timeline->text;
  const int v = movie_.version;
  const auto is = [&](std::string_view wanted) { return NameIs(name, wanted, v); };
  const auto number = [&]() { return vm_->ToNum(value); };
  const auto color = [&]() { return static_cast<std::uint32_t>(ToInt32(number())) & 0xFFFFFFu; };
  if (is("text")) {
    f.SetText(vm_->ToStr(value));
    PushVariable(*timeline);
  } else if (is("htmlText")) {
    f.SetHtmlText(vm_->ToStr(value), v);
    PushVariable(*timeline);
  } else if (is("html")) {
    f.html = vm_->ToBool(value);
  } else if (is("variable")) {
    const bool none = std::holds_alternative<Undefined>(value) || std::holds_alternative<Null>(value);
    f.variable = none ? std::string() : vm_->ToStr(value);
    if (!f.variable.empty()) {
      boundFields_.push_back(timeline);
      // A variable that holds nothing yet starts with the text the field was
      // defined with, as when the field is placed.
      std::string bound;
      Object* holder = VariableHolder(*timeline, bound);
      if (holder && !f.initialText.empty() && std::holds_alternative<Undefined>(vm_->GetMember(holder, bound))) {
        if (f.html) {
          f.SetHtmlText(f.initialText, v);
        } else {
          f.SetText(f.initialText);
        }
        PushVariable(*timeline);
      }
      PullVariable(*timeline);
    }
  } else if (is("maxChars")) {
    const double n = number();
    if (std::isfinite(n) && n > 0) {
      f.maxChars = static_cast<int>(n);
    } else {
      f.maxChars.reset();
    }
  } else if (is("restrict")) {
    const bool none = std::holds_alternative<Undefined>(value) || std::holds_alternative<Null>(value);
    if (none || vm_->ToStr(value).empty()) {
      f.restrict.reset();
    } else {
      f.restrict = vm_->ToStr(value);
    }
  } else if (is("border")) {
    f.border = vm_->ToBool(value);
  } else if (is("borderColor")) {
    f.borderColor = color();
  } else if (is("background")) {
    f.background = vm_->ToBool(value);
  } else if (is("backgroundColor")) {
    f.backgroundColor = color();
  } else if (is("textColor")) {
    TextFormatData colored;
    colored.color = color();
    f.ApplyToAll(colored);
  } else if (is("multiline")) {
    f.multiline = vm_->ToBool(value);
  } else if (is("wordWrap")) {
    f.wordWrap = vm_->ToBool(value);
    f.FitToText();
  } else if (is("password")) {
    f.password = vm_->ToBool(value);
  } else if (is("selectable")) {
    f.selectable = vm_->ToBool(value);
  } else if (is("type")) {
    const std::string type = vm_->ToStr(value);
    if (type == "input" || type == "dynamic") f.editable = type == "input";
  } else if (is("autoSize")) {
    if (const auto* flag = std::get_if<bool>(&value)) {
      f.autoSize = *flag ? AutoSize::Left : AutoSize::None;
    } else {
      const std::string size = LowerAscii(vm_->ToStr(value));
      f.autoSize = size == "left"     ? AutoSize::Left
                   : size == "center" ? AutoSize::Center
                   : size == "right"  ? AutoSize::Right
                                      : AutoSize::None;
    }
    f.FitToText();
  } else if (is("embedFonts")) {
    f.embedFonts = vm_->ToBool(value);
  } else if (is("condenseWhite")) {
    f.condenseWhite = vm_->ToBool(value);
  } else if (is("mouseWheelEnabled")) {
    f.mouseWheelEnabled = vm_->ToBool(value);
  } else if (is("scroll")) {
    const double n = number();
    if (std::isfinite(n)) f.scroll = std::clamp(static_cast<int>(n), 1, f.MaxScroll());
  } else if (is("hscroll")) {
    const double n = number();
    // No further than the text reaches past the box.
    if (std::isfinite(n)) f.hscroll = std::clamp(static_cast<int>(n), 0, MaxHScroll(f));
  } else if (is("length") || is("textWidth") || is("textHeight") || is("maxscroll") || is("bottomScroll") ||
             is("maxhscroll")) {
    // read-only
  } else if (v >= 8 && is("antiAliasType")) {
    const std::string type = vm_->ToStr(value);
    if (type == "normal" || type == "advanced") f.antiAliasType = type;
  } else if (v >= 8 && is("gridFitType")) {
    const std::string type = vm_->ToStr(value);
    if (type == "none" || type == "pixel" || type == "subpixel") f.gridFitType = type;
  } else if (v >= 8 && is("sharpness")) {
    f.sharpness = number();  // kept as given, out of range or not a number
  } else if (v >= 8 && is("thickness")) {
    f.thickness = number();
  } else {
    return false;
  }
  return true;
}

}  // namespace swf
