#include "stage.h"

#include <algorithm>
#include <optional>
#include <span>
#include <variant>

#include "swf_text.h"

namespace swf {

namespace {

std::size_t VariableBytes(std::string_view name, const Value& value) {
  const auto* text = std::get_if<std::string>(&value);
  return name.size() + (text ? text->size() : 0) + sizeof(Value);
}

}  // namespace

TimelineInstance::TimelineInstance(std::shared_ptr<const Timeline> definition,
                                   std::weak_ptr<TimelineInstance> parentTimeline, int nestingLevel,
                                   std::shared_ptr<StageCounters> counters)
    : parent(std::move(parentTimeline)),
      nesting(nestingLevel),
      definition_(std::move(definition)),
      counters_(std::move(counters)) {
  ++counters_->liveInstances;
}

TimelineInstance::~TimelineInstance() {
  --counters_->liveInstances;
  counters_->variableBytes -= variableBytes_;
}

const Value* TimelineInstance::FindVariable(std::string_view name) const {
  const auto found = variables_.find(name);
  return found == variables_.end() ? nullptr : &found->second;
}

void TimelineInstance::SetVariable(std::string_view name, Value value) {
  const auto found = variables_.find(name);
  const std::size_t oldBytes = found == variables_.end() ? 0 : VariableBytes(name, found->second);
  const std::size_t newBytes = VariableBytes(name, value);
  // Past the stage's limit a variable keeps its old value.
  if (counters_->variableBytes - oldBytes + newBytes > kMaxVariableBytes) return;
  counters_->variableBytes = counters_->variableBytes - oldBytes + newBytes;
  variableBytes_ = variableBytes_ - oldBytes + newBytes;
  if (found == variables_.end()) {
    variables_.emplace(std::string(name), std::move(value));
  } else {
    found->second = std::move(value);
  }
}

namespace {

// Resolves "_root.x", "_level0.x", "/:x" and "_parent.x" to the timeline and
// the variable's own name; other names belong to `timeline` itself.
std::pair<std::shared_ptr<TimelineInstance>, std::string_view> ResolveVariable(
    const std::shared_ptr<TimelineInstance>& timeline, const std::shared_ptr<TimelineInstance>& root,
    std::string_view name) {
  for (const std::string_view prefix : {"_root.", "_level0.", "/:"}) {
    if (StartsWithIgnoringCase(name, prefix)) return {root, name.substr(prefix.size())};
  }
  if (StartsWithIgnoringCase(name, "_parent.")) {
    std::shared_ptr<TimelineInstance> parent = timeline->parent.lock();
    return {parent ? parent : timeline, name.substr(8)};
  }
  return {timeline, name};
}

// The actions of one timeline, acting on it.
class TimelineActions final : public ActionHost {
 public:
  TimelineActions(Stage& stage, std::shared_ptr<TimelineInstance> timeline, std::shared_ptr<TimelineInstance> root)
      : stage_(stage), own_(timeline), timeline_(std::move(timeline)), root_(std::move(root)) {}

  void Play() override { timeline_->playing = true; }
  void Stop() override { timeline_->playing = false; }
  void NextFrame() override {
    stage_.GotoFrame(timeline_, timeline_->frame + 1);
    timeline_->playing = false;
  }
  void PrevFrame() override {
    stage_.GotoFrame(timeline_, std::max(0, timeline_->frame - 1));
    timeline_->playing = false;
  }
  void GotoFrame(int frame) override { stage_.GotoFrame(timeline_, frame); }
  void GotoLabel(std::string_view label) override {
    const auto& labels = timeline_->Definition().labels;
    const auto found = labels.find(LowerAscii(label));
    if (found != labels.end()) stage_.GotoFrame(timeline_, found->second);
  }
  Value GetVariable(std::string_view name) override {
    const auto [owner, own] = ResolveVariable(timeline_, root_, name);
    const Value* value = owner->FindVariable(own);
    return value ? *value : Value{Undefined{}};
  }
  void SetVariable(std::string_view name, Value value) override {
    const auto [owner, own] = ResolveVariable(timeline_, root_, name);
    owner->SetVariable(own, std::move(value));
  }
  void GetUrl(std::string_view url, std::string_view target) override {
    constexpr std::string_view kPrefix = "FSCommand:";
    if (!StartsWithIgnoringCase(url, kPrefix)) return;  // the stand-in player opens no web pages
    stage_.RaiseCommand(FsCommand{std::string(url.substr(kPrefix.size())), std::string(target)});
  }
  void SetTarget(std::string_view path) override {
    // A target that names no timeline leaves the actions acting on nothing
    // else: the player ignores them; here they keep their own timeline.
    timeline_ = path.empty() ? own_ : FindTimeline(path).value_or(own_);
  }

 private:
  // "/", "_root", "_level0", "_parent", "..", instance names, joined by "/",
  // "." or ":" ("/clip/inner", "_root.clip", "../other").
  std::optional<std::shared_ptr<TimelineInstance>> FindTimeline(std::string_view path) const {
    std::shared_ptr<TimelineInstance> at = timeline_;
    if (path.front() == '/') {
      at = root_;
      path.remove_prefix(1);
    }
    while (!path.empty()) {
      std::string_view name;
      if (path.starts_with("..")) {
        name = "..";
        path.remove_prefix(2);
      } else {
        const std::size_t end = path.find_first_of("/.:");
        name = path.substr(0, end);
        path = end == std::string_view::npos ? std::string_view() : path.substr(end + 1);
      }
      if (name.empty()) continue;
      if (name == "_root" || name == "_level0") {
        at = root_;
      } else if (name == "_parent" || name == "..") {
        at = at->parent.lock();
      } else if (name != "this") {
        at = ChildNamed(*at, name);
      }
      if (!at) return std::nullopt;
    }
    return at;
  }

  static std::shared_ptr<TimelineInstance> ChildNamed(const TimelineInstance& parent, std::string_view name) {
    for (const auto& [depth, object] : parent.displayList) {
      if (object.sprite && object.placement.name == name) return object.sprite;
    }
    return nullptr;
  }

  Stage& stage_;
  std::shared_ptr<TimelineInstance> own_;
  std::shared_ptr<TimelineInstance> timeline_;
  std::shared_ptr<TimelineInstance> root_;
};

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
  // The root's timeline lives in movie_, which the stage keeps for its lifetime.
  root_ = std::make_shared<TimelineInstance>(
      std::shared_ptr<const Timeline>(std::shared_ptr<const Timeline>(), &movie_.root),
      std::weak_ptr<TimelineInstance>(), 0, counters_);
}

void Stage::Start() {
  StartTick();
  EnterFrame(root_, 0, true);
  RunQueuedActions();
}

void Stage::Tick() {
  ++tick_;
  StartTick();
  StepTimeline(root_);
  RunQueuedActions();
}

void Stage::SetRootVariable(std::string_view name, std::string value) { root_->SetVariable(name, std::move(value)); }

void Stage::RaiseCommand(FsCommand command) {
  if (commands_.size() < kMaxPendingCommands) commands_.push_back(std::move(command));
}

void Stage::StartTick() { frameWorkLeft_ = kFrameWorkPerTick; }

void Stage::SpendFrameWork(std::size_t tags) { frameWorkLeft_ -= std::min(tags, frameWorkLeft_); }

void Stage::StepTimeline(const std::shared_ptr<TimelineInstance>& timeline) {
  if (timeline->playing && timeline->FrameCount() > 1) {
    const int next = timeline->frame + 1;
    if (next >= timeline->FrameCount()) {
      ChangeFrame(timeline, 0);  // the end of a timeline loops to its start
    } else {
      timeline->frame = next;
      EnterFrame(timeline, next, true);
    }
  }
  for (auto& [depth, object] : timeline->displayList) {
    if (object.sprite && object.bornTick < tick_) StepTimeline(object.sprite);
  }
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
      QueueActions(timeline, action->code);
    }
  }
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
    if (parent->nesting + 1 > kMaxSpriteNesting || counters_->liveInstances >= kMaxSpriteInstances) return object;
    object.sprite = std::make_shared<TimelineInstance>(*sprite, parent, parent->nesting + 1, counters_);
    EnterFrame(object.sprite, 0, true);
  }
  return object;
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
  if (queue_.size() < kMaxQueuedActionBlocks) queue_.push_back({timeline, code});
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
    TimelineActions host(*this, timeline, root_);
    (void)RunActions(*code, movie_.version, host, actionsLeft_);
  }
  queue_.clear();
}

}  // namespace swf
