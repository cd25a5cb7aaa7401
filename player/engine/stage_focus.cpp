// The keyboard focus: which clip, button or text field holds it, the
// handlers a move runs (onKillFocus, onSetFocus, Selection's listeners), the
// order the Tab key follows (automatic by position, or custom by tabIndex),
// the focus leaving objects that are removed or hidden, the selection of the
// focused text field, and dragging clips with the pointer.

#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>

#include "hit_test.h"
#include "stage.h"

namespace swf {
namespace {

bool IsUndefined(const Value& value) { return std::holds_alternative<Undefined>(value); }

Value ObjectOrNull(const std::shared_ptr<TimelineInstance>& timeline) {
  return timeline && timeline->object ? Value{timeline->object} : Value{Null{}};
}

bool Contains(const TimelineInstance& outer, const TimelineInstance& inner) {
  const TimelineInstance* at = &inner;
  for (int hops = 0; at && hops <= kMaxSpriteNesting + 2; ++hops) {
    if (at == &outer) return true;
    const auto parent = at->parent.lock();
    at = parent.get();
  }
  return false;
}

}  // namespace

// ---------------------------------------------------------------------------
// Who holds the focus

std::shared_ptr<TimelineInstance> Stage::FocusedTimeline() {
  auto focused = focus_.lock();
  return focused && focused->object && IsOnStage(*focused) ? focused : nullptr;
}

Object* Stage::FocusedObject() {
  const auto focused = FocusedTimeline();
  return focused ? focused->object : nullptr;
}

// Text fields and buttons take the focus; a clip only when its focusEnabled
// is set or it acts as a button.
bool Stage::CanTakeFocus(TimelineInstance& timeline) {
  if (!timeline.object || !IsOnStage(timeline)) return false;
  if (timeline.kind != DisplayKind::Clip) return true;
  if (vm_->ToBool(vm_->GetMember(timeline.object, "focusEnabled"))) return true;
  return ActsAsButton(timeline);
}

bool Stage::SetFocusedObject(Object* object) {
  if (!object) {
    MoveFocus(nullptr);
    return true;
  }
  const auto timeline = TimelineOf(object);
  if (!timeline || !CanTakeFocus(*timeline)) return false;
  MoveFocus(timeline);
  return true;
}

void Stage::CallScriptMethod(Object* self, std::string_view name, std::span<const Value> args) {
  if (!self) return;
  std::size_t& budget = vm_->budget ? *vm_->budget : actionsLeft_;
  if (budget == 0) return;
  vm_->CallMethodIfPresent(self, name, budget, args);
}

// The old holder hears onKillFocus(new), the new one onSetFocus(old), then
// Selection's listeners onSetFocus(old, new), all at once.
void Stage::MoveFocus(const std::shared_ptr<TimelineInstance>& next) {
  const auto old = FocusedTimeline();
  if (old == next) return;
  focus_ = next;
  focusShown_ = next != nullptr;
  focusRectShown_ = focusByKeyboard_ && next && next->kind != DisplayKind::Text && next->focusRect.value_or(focusRect_);
  UpdateFocusRectangle();
  RestartCaretBlink();
  if (old && old->text) old->text->showsSelection = false;
  if (next && next->text) next->text->showsSelection = true;
  if (next && next->text && next->text->selectionAnchor < 0 && focusByKeyboard_) {
    next->text->Select(0, next->text->Utf16Length());  // tabbing into a field selects its text
  }
  if (old) {
    const Value args[] = {ObjectOrNull(next)};
    CallScriptMethod(old->object, "onKillFocus", args);
  }
  if (next) {
    const Value args[] = {ObjectOrNull(old)};
    CallScriptMethod(next->object, "onSetFocus", args);
  }
  const Value selection = vm_->GetMember(vm_->Global(), "Selection");
  if (auto* const* holder = std::get_if<Object*>(&selection); holder && *holder) {
    const Value args[] = {Value{std::string("onSetFocus")}, ObjectOrNull(old), ObjectOrNull(next)};
    CallScriptMethod(*holder, "broadcastMessage", args);
  }
}

// A focused object that left the stage or is no longer shown gives the
// focus up, with the handlers of any move.
void Stage::DropFocusIfGone() {
  const auto focused = focus_.lock();
  if (!focused) return;
  bool shown = focused->object && IsOnStage(*focused);
  for (const TimelineInstance* at = focused.get(); shown && at && at != root_.get();) {
    const DisplayObject* entry = EntryOf(at->object);
    shown = entry && entry->placement.visible;
    const auto parent = at->parent.lock();
    at = parent.get();
  }
  if (shown) return;
  // The handlers see the object that lost the focus as the old holder.
  const Value args[] = {Value{Null{}}};
  focus_.reset();
  if (focused->object) CallScriptMethod(focused->object, "onKillFocus", args);
  const Value selection = vm_->GetMember(vm_->Global(), "Selection");
  if (auto* const* holder = std::get_if<Object*>(&selection); holder && *holder) {
    const Value broadcast[] = {Value{std::string("onSetFocus")}, ObjectOrNull(focused), Value{Null{}}};
    CallScriptMethod(*holder, "broadcastMessage", broadcast);
  }
}

// Called while the object is still where it was, so that the handlers see
// the old holder's path.
void Stage::HidingObject(const TimelineInstance& hidden) {
  const auto focused = FocusedTimeline();
  if (focused && Contains(hidden, *focused)) MoveFocus(nullptr);
}

// ---------------------------------------------------------------------------
// Selection of the focused text field

bool Stage::FocusedSelection(int& begin, int& end, int& caret) {
  const auto focused = FocusedTimeline();
  if (!focused || !focused->text) return false;
  const TextField& field = *focused->text;
  if (field.selectionAnchor < 0 || field.selectionCaret < 0) return false;
  const int length = field.Utf16Length();
  const int anchor = std::min(field.selectionAnchor, length);
  caret = std::min(field.selectionCaret, length);
  begin = std::min(anchor, caret);
  end = std::max(anchor, caret);
  return true;
}

void Stage::SetFocusedSelection(double anchor, double caret) {
  const auto focused = FocusedTimeline();
  if (!focused || !focused->text || !focused->text->selectable) return;
  TextField& field = *focused->text;
  const int length = field.Utf16Length();
  const auto index = [length](double value, int otherwise) {
    if (std::isnan(value)) return otherwise;
    return static_cast<int>(std::clamp(value, 0.0, static_cast<double>(length)));
  };
  field.Select(index(anchor, 0), index(caret, length));
}

// ---------------------------------------------------------------------------
// Tab order

// Whether Tab may stop at the object: tabEnabled when set; otherwise input
// fields, buttons, and clips that act as buttons.
bool Stage::TabStopsAt(TimelineInstance& timeline) {
  const Value tabEnabled = vm_->GetMember(timeline.object, "tabEnabled");
  if (!IsUndefined(tabEnabled)) return vm_->ToBool(tabEnabled);
  switch (timeline.kind) {
    case DisplayKind::Text: return timeline.text && timeline.text->editable;
    case DisplayKind::Button: return true;
    case DisplayKind::Video: return false;
    case DisplayKind::Clip: return ActsAsButton(timeline);
  }
  return false;
}

// The shown objects of `timeline`'s subtree that Tab may reach, lowest depth
// first, parents before their children; `custom` also those with a tabIndex.
void Stage::CollectTabStops(const std::shared_ptr<TimelineInstance>& timeline, std::vector<TabStop>& into,
                            int nesting) {
  if (nesting > kMaxSpriteNesting + 1) return;
  for (auto& [depth, object] : timeline->displayList) {
    const std::shared_ptr<TimelineInstance>& child = object.sprite;
    if (!child || !child->object || !object.placement.visible || object.placement.clipDepth) continue;
    if (child->kind == DisplayKind::Button && !vm_->ToBool(vm_->GetMember(child->object, "enabled"))) continue;
    TabStop stop{child, TabStopsAt(*child), std::nullopt};
    const Value index = vm_->GetMember(child->object, "tabIndex");
    if (!IsUndefined(index) && !std::holds_alternative<Null>(index)) {
      const double number = vm_->ToNum(index);
      if (std::isfinite(number)) stop.index = ToInt32(number);
    }
    if (stop.automatic || stop.index) into.push_back(stop);
    if (child->kind == DisplayKind::Clip) {
      const Value children = vm_->GetMember(child->object, "tabChildren");
      if (IsUndefined(children) || vm_->ToBool(children)) CollectTabStops(child, into, nesting + 1);
    }
  }
}

// The top left corner of what the object shows, on the stage: the automatic
// order reads rows from the top, each from the left.
std::pair<double, double> Stage::TabPosition(const TimelineInstance& timeline) {
  const Matrix global = GlobalMatrix(timeline);
  double bounds[4];
  if (!LocalBounds(timeline, bounds)) {
    const Point origin = Apply(global, 0, 0);
    return {origin.y, origin.x};
  }
  double left = std::numeric_limits<double>::infinity(), top = left;
  for (const auto& [x, y] : {std::pair{bounds[0], bounds[1]}, std::pair{bounds[2], bounds[1]},
                             std::pair{bounds[0], bounds[3]}, std::pair{bounds[2], bounds[3]}}) {
    const Point corner = Apply(global, x, y);
    left = std::min(left, corner.x);
    top = std::min(top, corner.y);
  }
  return {std::round(top), std::round(left)};
}

std::shared_ptr<TimelineInstance> Stage::NextTabStop(bool backward) {
  std::vector<TabStop> stops;
  const Value rootChildren = vm_->GetMember(root_->object, "tabChildren");
  if (IsUndefined(rootChildren) || vm_->ToBool(rootChildren)) CollectTabStops(root_, stops, 0);
  const auto focused = FocusedTimeline();
  const bool custom = std::any_of(stops.begin(), stops.end(), [](const TabStop& stop) { return stop.index.has_value(); });
  if (custom) {
    // Only the objects with a tabIndex (and not tab-disabled), by index.
    std::vector<TabStop> ordered;
    for (TabStop& stop : stops) {
      if (!stop.index) continue;
      const Value tabEnabled = vm_->GetMember(stop.timeline->object, "tabEnabled");
      const bool enabled = IsUndefined(tabEnabled) ? stop.timeline->kind != DisplayKind::Text || stop.automatic
                                                   : vm_->ToBool(tabEnabled);
      if (enabled) ordered.push_back(stop);
    }
    std::stable_sort(ordered.begin(), ordered.end(),
                     [](const TabStop& left, const TabStop& right) { return *left.index < *right.index; });
    if (ordered.empty()) return nullptr;
    const auto at = std::find_if(ordered.begin(), ordered.end(),
                                 [&focused](const TabStop& stop) { return stop.timeline == focused; });
    if (at == ordered.end()) return backward ? ordered.back().timeline : ordered.front().timeline;
    const auto position = static_cast<std::size_t>(at - ordered.begin());
    const std::size_t next = backward ? (position + ordered.size() - 1) % ordered.size() : (position + 1) % ordered.size();
    return ordered[next].timeline;
  }
  // Automatic: the nearest position after (or before) the focused object's;
  // of objects at the same position only the first is ever reached.
  std::vector<std::pair<std::pair<double, double>, std::shared_ptr<TimelineInstance>>> placed;
  for (const TabStop& stop : stops) {
    if (stop.automatic) placed.emplace_back(TabPosition(*stop.timeline), stop.timeline);
  }
  if (placed.empty()) return nullptr;
  std::optional<std::pair<double, double>> from;
  if (focused) from = TabPosition(*focused);
  const std::shared_ptr<TimelineInstance>* best = nullptr;
  const std::pair<double, double>* bestKey = nullptr;
  for (const auto& [key, timeline] : placed) {
    const bool beyond = !from || (backward ? key < *from : key > *from);
    if (!beyond) continue;
    if (!bestKey || (backward ? key > *bestKey : key < *bestKey)) {
      best = &timeline;
      bestKey = &key;
    }
  }
  if (!best) {
    // Round again from the first (or the last).
    for (const auto& [key, timeline] : placed) {
      if (!bestKey || (backward ? key > *bestKey : key < *bestKey)) {
        best = &timeline;
        bestKey = &key;
      }
    }
  }
  return best ? *best : nullptr;
}

void Stage::TabFocus(bool backward) {
  const auto next = NextTabStop(backward);
  if (!next) return;
  focusByKeyboard_ = true;
  MoveFocus(next);
  focusByKeyboard_ = false;
}

// The platform's caret blinks at the system's default rate: 530 ms shown, 530 hidden.
constexpr double kCaretBlinkMillis = 530;

void Stage::RestartCaretBlink() {
  caretSinceMillis_ = vm_->nowMillis;
  if (const auto focused = FocusedTimeline(); focused && focused->text) focused->text->caretBlinkOn = true;
}

void Stage::BlinkCaret() {
  const auto focused = FocusedTimeline();
  if (!focused || !focused->text) return;
  const double since = std::max(0.0, vm_->nowMillis - caretSinceMillis_);
  focused->text->caretBlinkOn = std::fmod(since, 2 * kCaretBlinkMillis) < kCaretBlinkMillis;
}

namespace {

// The focus rectangle's line: two pixels of yellow, centred on the bounds.
constexpr std::uint16_t kFocusLineTwips = 40;
constexpr Rgba kFocusYellow{255, 255, 0, 255};

std::shared_ptr<const Shape> FocusOutline(const std::array<double, 4>& b) {
  auto shape = std::make_shared<Shape>();
  ShapeLayer layer;
  LineStyle line;
  line.widthTwips = kFocusLineTwips;
  line.color = kFocusYellow;
  line.join = LineJoin::Miter;
  layer.lines.push_back(std::move(line));
  const Point corners[] = {{b[0], b[1]}, {b[2], b[1]}, {b[2], b[3]}, {b[0], b[3]}};
  for (std::size_t i = 0; i < 4; ++i) {
    const Segment edge{corners[i], corners[i], corners[(i + 1) % 4], false};
    layer.lineEdges.push_back({0, edge});
    GrowBounds(*shape, edge);
  }
  shape->layers.push_back(std::move(layer));
  shape->declaredMinX = b[0];
  shape->declaredMinY = b[1];
  shape->declaredMaxX = b[2];
  shape->declaredMaxY = b[3];
  return shape;
}

}  // namespace

void Stage::UpdateFocusRectangle() {
  if (!focusRectShown_) return;
  const auto focused = FocusedTimeline();
  double root[4];
  if (!focused || !Bounds(focused->object, root_->object, root[0], root[1], root[2], root[3])) {
    focusRectShape_.reset();
    return;
  }
  const Matrix toStage = RootToStage();
  std::array<double, 4> b{INFINITY, INFINITY, -INFINITY, -INFINITY};
  for (const Point& p : {Apply(toStage, root[0] * 20, root[1] * 20), Apply(toStage, root[2] * 20, root[1] * 20),
                         Apply(toStage, root[0] * 20, root[3] * 20), Apply(toStage, root[2] * 20, root[3] * 20)}) {
    b = {std::min(b[0], p.x), std::min(b[1], p.y), std::max(b[2], p.x), std::max(b[3], p.y)};
  }
  if (!std::isfinite(b[0]) || !std::isfinite(b[1]) || !std::isfinite(b[2]) || !std::isfinite(b[3])) {
    focusRectShape_.reset();
    return;
  }
  // The same rectangle keeps its shape, so an unmoved one draws nothing new.
  if (focusRectShape_ && b == focusRectBounds_) return;
  focusRectBounds_ = b;
  focusRectShape_ = FocusOutline(b);
}

// ---------------------------------------------------------------------------
// Dragging

void Stage::StartDrag(Object* clip, bool lockCenter, const double* limits) {
  const auto timeline = TimelineOf(clip);
  if (!timeline || timeline == root_ || timeline->kind != DisplayKind::Clip) return;
  Drag drag;
  drag.clip = timeline;
  if (limits) {
    const std::array<double, 4> box{std::min(limits[0], limits[2]) * 20, std::min(limits[1], limits[3]) * 20,
                                    std::max(limits[0], limits[2]) * 20, std::max(limits[1], limits[3]) * 20};
    // Limits that are not all numbers limit nothing.
    if (std::all_of(box.begin(), box.end(), [](double side) { return std::isfinite(side); })) drag.limits = box;
  }
  if (!lockCenter) {
    // Keep the clip where it is against the pointer.
    if (const DisplayObject* entry = EntryOf(clip)) {
      const Point pointer = ParentPointer(*timeline);
      drag.offsetX = entry->placement.matrix.tx - pointer.x;
      drag.offsetY = entry->placement.matrix.ty - pointer.y;
    }
  }
  drag_ = drag;
  FollowDrag();
}

void Stage::StopDrag() {
  const auto dragged = drag_ ? drag_->clip.lock() : nullptr;
  if (dragged) {
    dropped_ = dragged;
    droppedOn_ = DropTargetOf(*dragged);
  }
  drag_.reset();
}

// The pointer in the space of the clip's parent, in twips.
Point Stage::ParentPointer(const TimelineInstance& timeline) {
  const auto parent = timeline.parent.lock();
  const Matrix toStage = parent ? GlobalMatrix(*parent) : rootPlacement_.matrix;
  return Apply(Inverse(toStage), pointer_.x, pointer_.y);
}

void Stage::FollowDrag() {
  if (!drag_) return;
  const auto dragged = drag_->clip.lock();
  DisplayObject* entry = dragged ? EntryOf(dragged->object) : nullptr;
  if (!entry) {
    drag_.reset();
    return;
  }
  const Point pointer = ParentPointer(*dragged);
  double x = pointer.x + drag_->offsetX;
  double y = pointer.y + drag_->offsetY;
  if (drag_->limits) {
    const auto& [left, top, right, bottom] = *drag_->limits;
    x = std::clamp(x, left, right);
    y = std::clamp(y, top, bottom);
  }
  entry->placement.matrix.tx = std::round(x);
  entry->placement.matrix.ty = std::round(y);
}

// The topmost clip other than the dragged one (and its children) whose
// shapes lie under the pointer, as a slash path; "" for none.
std::string Stage::DropTargetOf(const TimelineInstance& dragged) {
  if (!RootWindowHas(pointer_.x, pointer_.y)) return {};
  const std::shared_ptr<TimelineInstance> found =
      ClipShowingPoint(root_, RootToStage(), pointer_.x, pointer_.y, dragged, 0);
  if (!found || found == root_) return {};
  std::string path = TargetPath(found->object);
  std::string slashed = "/";
  constexpr std::string_view kLevel = "_level0.";
  if (path.starts_with(kLevel)) slashed += path.substr(kLevel.size());
  std::replace(slashed.begin(), slashed.end(), '.', '/');
  return slashed;
}

std::shared_ptr<TimelineInstance> Stage::ClipShowingPoint(const std::shared_ptr<TimelineInstance>& timeline,
                                                          const Matrix& toStage, double x, double y,
                                                          const TimelineInstance& excluded, int nesting) {
  if (nesting > kMaxSpriteNesting + 1 || timeline.get() == &excluded) return nullptr;
  for (auto it = timeline->displayList.rbegin(); it != timeline->displayList.rend(); ++it) {
    const DisplayObject& object = it->second;
    if (!object.placement.visible || object.placement.clipDepth) continue;
    if (object.sprite && object.sprite.get() == &excluded) continue;
    const Matrix m = toStage.Then(object.ContentMatrix());
    if (ScrollRectCutsPoint(object.scrollRect, m, x, y)) continue;
    if (object.sprite && object.sprite->kind == DisplayKind::Clip) {
      if (auto found = ClipShowingPoint(object.sprite, m, x, y, excluded, nesting + 1)) return found;
    } else if (ObjectShowsPoint(object, toStage, x, y, nesting)) {
      return timeline;
    }
  }
  if (const std::shared_ptr<const Shape> drawn = timeline->drawing.GetShape()) {
    const Point local = Apply(Inverse(toStage), x, y);
    if (ShapeContains(*drawn, local.x, local.y)) return timeline;
  }
  return nullptr;
}

std::string Stage::DropTarget(const TimelineInstance& clip) {
  const auto dragged = drag_ ? drag_->clip.lock() : nullptr;
  if (dragged.get() == &clip) return DropTargetOf(clip);
  const auto dropped = dropped_.lock();
  return dropped.get() == &clip ? droppedOn_ : std::string();
}

}  // namespace swf
