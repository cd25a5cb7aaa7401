// The pointer and the keyboard: which button or button-like clip the pointer
// is over, the transitions of its state (roll over and out, press, release,
// drag out and over, release outside) with their actions, handlers and
// sounds, the mouse and key events every clip and listener gets, and what
// Key and _xmouse/_ymouse report.

#include <algorithm>
#include <array>
#include <utility>
#include <vector>

#include "hit_test.h"
#include "stage.h"

namespace swf {
namespace {

// Clip event bits of PlaceObject2/3 handlers.
constexpr std::uint32_t kMouseMoveEvent = 0x08u;
constexpr std::uint32_t kMouseDownEvent = 0x10u;
constexpr std::uint32_t kMouseUpEvent = 0x20u;
constexpr std::uint32_t kKeyDownEvent = 0x40u;
constexpr std::uint32_t kKeyUpEvent = 0x80u;
constexpr std::uint32_t kKeyPressEvent = 0x20000u;

// Record state bits of a button.
constexpr std::uint8_t kUpState = 0x01u;
constexpr std::uint8_t kOverState = 0x02u;
constexpr std::uint8_t kDownState = 0x04u;
constexpr std::uint8_t kHitState = 0x08u;

struct ButtonEventInfo {
  std::uint16_t condition;      // DefineButton2 condition bit
  std::uint32_t clipEvent;      // the clip event bit of on(...) handlers of clips
  const char* method;           // the handler scripts set
  int sound;                    // index in DefineButtonSound, -1 for none
  std::uint8_t stateAfter;      // the state the button shows afterwards
};

// In the order of Stage::ButtonEvent.
constexpr std::array<ButtonEventInfo, 7> kButtonEvents{{
    {0x0001u, 0x2000u, "onRollOver", 1, kOverState},
    {0x0002u, 0x4000u, "onRollOut", 0, kUpState},
    {0x0004u, 0x0400u, "onPress", 2, kDownState},
    {0x0008u, 0x0800u, "onRelease", 3, kOverState},
    {0x0010u, 0x10000u, "onDragOut", -1, kOverState},
    {0x0020u, 0x8000u, "onDragOver", -1, kDownState},
    {0x0040u, 0x1000u, "onReleaseOutside", -1, kUpState},
}};

constexpr std::uint32_t kButtonClipEvents = 0x400u | 0x800u | 0x1000u | 0x2000u | 0x4000u | 0x8000u | 0x10000u;

// Every clip, button and field under `timeline`, parents before children.
void CollectDisplayed(const std::shared_ptr<TimelineInstance>& timeline,
                      std::vector<std::shared_ptr<TimelineInstance>>& into, int nesting = 0) {
  into.push_back(timeline);
  if (nesting > kMaxSpriteNesting + 1) return;
  for (auto& [depth, object] : timeline->displayList) {
    if (object.sprite) CollectDisplayed(object.sprite, into, nesting + 1);
  }
}

// The shown clips and buttons under `timeline`, parents before children.
void CollectShown(const std::shared_ptr<TimelineInstance>& timeline,
                  std::vector<std::shared_ptr<TimelineInstance>>& into, int nesting = 0) {
  into.push_back(timeline);
  if (nesting > kMaxSpriteNesting + 1) return;
  for (auto& [depth, object] : timeline->displayList) {
    if (object.sprite && object.placement.visible) CollectShown(object.sprite, into, nesting + 1);
  }
}

// The key code a button's keyPress condition uses: its own codes for the
// keys that type nothing, the character otherwise.
int ButtonKeyOf(int keyCode, int ascii) {
  switch (keyCode) {
    case 37: return 1;   // left
    case 39: return 2;   // right
    case 36: return 3;   // home
    case 35: return 4;   // end
    case 45: return 5;   // insert
    case 46: return 6;   // delete
    case 8: return 8;    // backspace
    case 13: return 13;  // enter
    case 38: return 14;  // up
    case 40: return 15;  // down
    case 33: return 16;  // page up
    case 34: return 17;  // page down
    case 9: return 18;   // tab
    case 27: return 19;  // escape
    default: return ascii >= 32 && ascii < 128 ? ascii : 0;
  }
}

// A clip scaled to nothing in either direction covers no point.
bool Flattened(const Matrix& m) { return m.a * m.d - m.b * m.c == 0; }

}  // namespace

// ---------------------------------------------------------------------------
// Finding what the pointer is over

bool Stage::ActsAsButton(TimelineInstance& timeline) {
  if (!timeline.object) return false;
  if (timeline.kind == DisplayKind::Text) return false;
  const Value enabled = vm_->GetMember(timeline.object, "enabled");
  if (std::holds_alternative<bool>(enabled) && !std::get<bool>(enabled)) return false;
  if (timeline.kind == DisplayKind::Button) return true;
  for (const ClipAction& action : timeline.clipActions) {
    if (action.events & kButtonClipEvents) return true;
  }
  // A handler counts once it is set, to anything.
  for (const ButtonEventInfo& info : kButtonEvents) {
    if (vm_->FindInChain(timeline.object, info.method)) return true;
  }
  return false;
}

bool Stage::ButtonHitAreaHas(const TimelineInstance& button, const Matrix& toStage, double x, double y) {
  for (const ButtonRecord& record : button.button->records) {
    if (!(record.states & kHitState)) continue;
    const auto character = movie_.characters.find(record.character);
    if (character == movie_.characters.end()) continue;
    const Matrix m = toStage.Then(record.matrix);
    if (const auto* shape = std::get_if<std::shared_ptr<const Shape>>(&character->second)) {
      const Point local = Apply(Inverse(m), x, y);
      if (ShapeContains(**shape, local.x, local.y)) return true;
    } else if (const auto* timeline = std::get_if<std::shared_ptr<const Timeline>>(&character->second)) {
      // A sprite as hit area: the shapes its first frame places.
      for (const ControlTag& tag : (*timeline)->FrameTags(0)) {
        const auto* place = std::get_if<PlaceTag>(&tag);
        if (!place || !place->character) continue;
        const auto inner = movie_.characters.find(*place->character);
        if (inner == movie_.characters.end()) continue;
        const auto* innerShape = std::get_if<std::shared_ptr<const Shape>>(&inner->second);
        if (!innerShape) continue;
        const Point local = Apply(Inverse(m.Then(place->matrix.value_or(Matrix{}))), x, y);
        if (ShapeContains(**innerShape, local.x, local.y)) return true;
      }
    }
  }
  return false;
}

bool Stage::ObjectShowsPoint(const DisplayObject& object, const Matrix& toStage, double x, double y, int nesting,
                             bool asMask) {
  if (!asMask && (!object.placement.visible || object.placement.clipDepth)) return false;
  const Matrix m = toStage.Then(object.ContentMatrix());
  if (object.shape || object.scrollRect) {
    if (Flattened(m)) return false;
    const Point local = Apply(Inverse(m), x, y);
    if (object.shape) return ShapeContains(*object.shape, local.x, local.y);
    if (!ScrollRectShows(*object.scrollRect, local)) return false;
  }
  return object.sprite && ShowsPoint(*object.sprite, m, x, y, nesting + 1);
}

bool Stage::ShowsPoint(const TimelineInstance& timeline, const Matrix& toStage, double x, double y, int nesting) {
  if (nesting > kMaxSpriteNesting + 1 || Flattened(toStage)) return false;
  const Point local = Apply(Inverse(toStage), x, y);
  if (timeline.text) {
    const TextField& field = *timeline.text;
    return local.x >= field.minX && local.x <= field.maxX && local.y >= field.minY && local.y <= field.maxY;
  }
  if (timeline.button) return ButtonHitAreaHas(timeline, toStage, x, y);
  if (const std::shared_ptr<const Shape> drawn = timeline.drawing.GetShape()) {
    if (ShapeContains(*drawn, local.x, local.y)) return true;
  }
  // A masked object shows the point only where its mask (an object placed
  // with a clip depth, below it, reaching up to its depth) shows it too.
  std::vector<std::pair<int, const DisplayObject*>> masks;
  for (const auto& [depth, object] : timeline.displayList) {
    if (object.placement.clipDepth) {
      masks.emplace_back(static_cast<int>(*object.placement.clipDepth), &object);
      continue;
    }
    if (!ObjectShowsPoint(object, toStage, x, y, nesting)) continue;
    const bool maskedAway = std::any_of(masks.begin(), masks.end(), [&, at = depth](const auto& mask) {
      return at <= mask.first && !ObjectShowsPoint(*mask.second, toStage, x, y, nesting, true);
    });
    if (!maskedAway) return true;
  }
  return false;
}

// The topmost button, or clip acting as one, at the point: later depths lie
// above earlier ones, and a clip that acts as a button takes the clicks of
// everything it shows.
std::shared_ptr<TimelineInstance> Stage::ButtonIn(const std::shared_ptr<TimelineInstance>& timeline,
                                                  const Matrix& toStage, double x, double y, int nesting) {
  if (nesting > kMaxSpriteNesting + 1) return nullptr;
  for (auto it = timeline->displayList.rbegin(); it != timeline->displayList.rend(); ++it) {
    const DisplayObject& object = it->second;
    if (!object.sprite || !object.placement.visible || object.placement.clipDepth) continue;
    const Matrix m = toStage.Then(object.ContentMatrix());
    if (ScrollRectCutsPoint(object.scrollRect, m, x, y)) continue;
    const std::shared_ptr<TimelineInstance>& child = object.sprite;
    if (ActsAsButton(*child)) {
      if (ShowsPoint(*child, m, x, y, nesting + 1)) return child;
      continue;
    }
    if (child->kind == DisplayKind::Clip) {
      if (auto found = ButtonIn(child, m, x, y, nesting + 1)) return found;
    }
  }
  return nullptr;
}

Matrix Stage::RootToStage() const {
  const bool scrolled = scrolledRoot_ && scrolledRoot_->scrollRect;
  return scrolled ? rootPlacement_.matrix.Then(ScrollOffset(*scrolledRoot_->scrollRect)) : rootPlacement_.matrix;
}

bool Stage::RootWindowHas(double x, double y) const {
  return !scrolledRoot_ || !ScrollRectCutsPoint(scrolledRoot_->scrollRect, RootToStage(), x, y);
}

std::shared_ptr<TimelineInstance> Stage::ButtonAt(double x, double y) {
  if (!RootWindowHas(x, y)) return nullptr;
  return ButtonIn(root_, RootToStage(), x, y, 0);
}

// ---------------------------------------------------------------------------
// Button states and events

void Stage::ShowButtonState(const std::shared_ptr<TimelineInstance>& button, std::uint8_t state) {
  if (!button->button || button->buttonState == state) return;
  button->buttonState = state;
  DisplayList shown;
  for (const ButtonRecord& record : button->button->records) {
    if (!(record.states & state)) continue;
    const auto kept = button->displayList.find(record.depth);
    if (kept != button->displayList.end() && kept->second.placement.character == record.character) {
      // What both states show stays as it is (a sprite there keeps playing).
      kept->second.placement.matrix = record.matrix;
      kept->second.placement.colorTransform = record.colorTransform;
      shown.emplace(record.depth, std::move(kept->second));
      button->displayList.erase(kept);
      continue;
    }
    Placement placement;
    placement.character = record.character;
    placement.matrix = record.matrix;
    placement.colorTransform = record.colorTransform;
    shown.insert_or_assign(record.depth, MakeObject(button, std::move(placement)));
  }
  button->displayList = std::move(shown);
}

void Stage::SendButtonEvent(const std::shared_ptr<TimelineInstance>& target, ButtonEvent event) {
  const ButtonEventInfo& info = kButtonEvents[static_cast<std::size_t>(event)];
  if (target->button) {
    ShowButtonState(target, info.stateAfter);
    // A button's own actions run on the timeline it sits in.
    if (const auto parent = target->parent.lock()) {
      for (const ButtonAction& action : target->button->actions) {
        if ((action.conditions & info.condition) && action.code) QueueActions(parent, action.code);
      }
    }
    if (info.sound >= 0) {
      for (const auto& [id, sounds] : movie_.buttonSounds) {
        const auto character = movie_.characters.find(id);
        if (character == movie_.characters.end()) continue;
        const auto* definition = std::get_if<std::shared_ptr<const ButtonDefinition>>(&character->second);
        if (!definition || *definition != target->button) continue;
        const StartSoundTag& sound = sounds.transitions[static_cast<std::size_t>(info.sound)];
        if (sound.sound != 0 && soundEvents_.size() < kMaxPendingSoundEvents) {
          soundEvents_.push_back(SoundEvent{&sound, nullptr, nullptr});
        }
        break;
      }
    }
  } else {
    for (const ClipAction& action : target->clipActions) {
      if (action.events & info.clipEvent) QueueActions(target, action.code);
    }
  }
  if (queue_.size() < kMaxQueuedActionBlocks) queue_.push_back({target, nullptr, info.method, nullptr});
}

// ---------------------------------------------------------------------------
// Events every clip and listener gets

void Stage::SendToEveryClip(std::uint32_t clipEvent, const char* method) {
  std::vector<std::shared_ptr<TimelineInstance>> clips;
  CollectDisplayed(root_, clips);
  // Newest first, as frames step: a child hears the event before its parent.
  std::stable_sort(clips.begin(), clips.end(),
                   [](const auto& left, const auto& right) { return left->serial > right->serial; });
  for (const auto& clip : clips) {
    if (clip->kind == DisplayKind::Clip) QueueClipEvents(clip, clipEvent, method);
  }
}

// Calls `method` of each listener of the global object `broadcaster` (Key,
// Mouse). The list is read anew for each call: a listener may remove itself.
void Stage::BroadcastTo(const char* broadcaster, const char* method) {
  const Value holder = vm_->GetMember(vm_->Global(), broadcaster);
  auto* const* object = std::get_if<Object*>(&holder);
  if (!object || !*object) return;
  for (std::size_t i = 0; actionsLeft_ > 0; ++i) {
    const Value listeners = vm_->GetMember(*object, "_listeners");
    auto* const* list = std::get_if<Object*>(&listeners);
    if (!list || !*list || (*list)->kind != ObjectKind::Array || i >= (*list)->elements.size()) return;
    auto* const* listener = std::get_if<Object*>(&(*list)->elements[i]);
    if (listener && *listener) vm_->CallMethodIfPresent(*listener, method, actionsLeft_);
  }
}

void Stage::RunInputScripts() {
  StartTick();
  RunQueuedActions();
  SyncBoundFields();
}

// ---------------------------------------------------------------------------
// Input

// The transitions the pointer's position causes: rolling over and out of
// buttons with the button up, dragging out of and over the pressed one.
void Stage::FollowPointer() {
  const std::shared_ptr<TimelineInstance> under = ButtonAt(pointer_.x, pointer_.y);
  if (pointer_.down) {
    const std::shared_ptr<TimelineInstance> pressed = pointer_.pressed.lock();
    if (!pressed) return;
    const bool inside = under == pressed;
    if (inside != pointer_.pressedInside) {
      pointer_.pressedInside = inside;
      SendButtonEvent(pressed, inside ? ButtonEvent::DragOver : ButtonEvent::DragOut);
    }
    // Menu buttons hear the pointer drag over and out of them while a press
    // that began elsewhere lasts.
    const std::shared_ptr<TimelineInstance> menuBefore = pointer_.menu.lock();
    const std::shared_ptr<TimelineInstance> menu = !inside && under && TracksAsMenu(*under) ? under : nullptr;
    if (menu != menuBefore) {
      pointer_.menu = menu;
      if (menuBefore) SendButtonEvent(menuBefore, ButtonEvent::DragOut);
      if (menu) SendButtonEvent(menu, ButtonEvent::DragOver);
    }
    pointer_.hover = inside ? pressed : menu;
    return;
  }
  const std::shared_ptr<TimelineInstance> before = pointer_.hover.lock();
  if (before == under) return;
  pointer_.hover = under;
  if (before) SendButtonEvent(before, ButtonEvent::RollOut);
  if (under) SendButtonEvent(under, ButtonEvent::RollOver);
}

void Stage::PointerMove(double xTwips, double yTwips) {
  if (xTwips == pointer_.x && yTwips == pointer_.y) return;
  pointer_.x = xTwips;
  pointer_.y = yTwips;
  focusShown_ = false;
  focusRectShown_ = false;
  StartTick();
  actionsLeft_ = actionBudget_;
  FollowDrag();
  FollowPointer();
  SendToEveryClip(kMouseMoveEvent, "onMouseMove");
  RunInputScripts();
  BroadcastTo("Mouse", "onMouseMove");
  SyncBoundFields();
}

bool Stage::TracksAsMenu(TimelineInstance& button) {
  if (!button.object) return false;
  const Value set = vm_->GetMember(button.object, "trackAsMenu");
  if (!std::holds_alternative<Undefined>(set)) return vm_->ToBool(set);
  return button.button && button.button->trackAsMenu;
}

// The topmost shown text field at the point.
std::shared_ptr<TimelineInstance> Stage::TextFieldAt(const std::shared_ptr<TimelineInstance>& timeline,
                                                     const Matrix& toStage, double x, double y, int nesting) {
  if (nesting > kMaxSpriteNesting + 1) return nullptr;
  for (auto it = timeline->displayList.rbegin(); it != timeline->displayList.rend(); ++it) {
    const DisplayObject& object = it->second;
    if (!object.sprite || !object.placement.visible || object.placement.clipDepth) continue;
    const Matrix m = toStage.Then(object.ContentMatrix());
    if (ScrollRectCutsPoint(object.scrollRect, m, x, y)) continue;
    if (object.sprite->kind == DisplayKind::Text) {
      if (ShowsPoint(*object.sprite, m, x, y, nesting + 1)) return object.sprite;
    } else if (object.sprite->kind == DisplayKind::Clip) {
      if (auto found = TextFieldAt(object.sprite, m, x, y, nesting + 1)) return found;
    }
  }
  return nullptr;
}

// A press puts the focus in a selectable text field under the pointer, and
// takes it from whatever had it otherwise. Every clip and the Mouse
// listeners hear the press or release before the button under the pointer.
void Stage::PointerButton(bool down) {
  if (down == pointer_.down) return;
  pointer_.down = down;
  StartTick();
  actionsLeft_ = actionBudget_;
  if (down) {
    const std::shared_ptr<TimelineInstance> field =
        RootWindowHas(pointer_.x, pointer_.y) ? TextFieldAt(root_, RootToStage(), pointer_.x, pointer_.y, 0) : nullptr;
    MoveFocus(field && field->text && field->text->selectable ? field : nullptr);
    SendToEveryClip(kMouseDownEvent, "onMouseDown");
    RunInputScripts();
    BroadcastTo("Mouse", "onMouseDown");
    const std::shared_ptr<TimelineInstance> under = ButtonAt(pointer_.x, pointer_.y);
    pointer_.hover = under;
    pointer_.pressed = under;
    pointer_.pressedInside = under != nullptr;
    if (under) SendButtonEvent(under, ButtonEvent::Press);
    RunInputScripts();
  } else {
    SendToEveryClip(kMouseUpEvent, "onMouseUp");
    RunInputScripts();
    BroadcastTo("Mouse", "onMouseUp");
    const std::shared_ptr<TimelineInstance> pressed = pointer_.pressed.lock();
    pointer_.pressed.reset();
    const std::shared_ptr<TimelineInstance> under = ButtonAt(pointer_.x, pointer_.y);
    if (pressed) SendButtonEvent(pressed, pointer_.pressedInside ? ButtonEvent::Release : ButtonEvent::ReleaseOutside);
    // A menu button takes the release of a press that began elsewhere.
    const bool menuRelease = under && under != pressed && TracksAsMenu(*under);
    if (menuRelease) SendButtonEvent(under, ButtonEvent::Release);
    pointer_.menu.reset();
    pointer_.hover = pointer_.pressedInside ? pressed : menuRelease ? under : nullptr;
    pointer_.pressedInside = false;
    FollowPointer();
    RunInputScripts();
  }
  SyncBoundFields();
}

// The first shown button whose keyPress condition names the key runs its
// actions, and the on(keyPress) handlers of shown clips run; true when any did.
bool Stage::SendKeyPress(int keyCode, int ascii) {
  const int buttonKey = ButtonKeyOf(keyCode, ascii);
  if (buttonKey == 0) return false;
  std::vector<std::shared_ptr<TimelineInstance>> shown;
  CollectShown(root_, shown);
  bool handled = false;
  bool buttonDone = false;
  for (const auto& timeline : shown) {
    if (timeline->button && !buttonDone) {
      const auto parent = timeline->parent.lock();
      for (const ButtonAction& action : timeline->button->actions) {
        if (parent && (action.conditions >> 9) == buttonKey && action.code) {
          QueueActions(parent, action.code);
          buttonDone = true;
        }
      }
    }
    if (timeline->kind != DisplayKind::Clip) continue;
    for (const ClipAction& action : timeline->clipActions) {
      if ((action.events & kKeyPressEvent) && action.keyCode == buttonKey) {
        QueueActions(timeline, action.code);
        handled = true;
      }
    }
  }
  RunInputScripts();
  return handled || buttonDone;
}

// A key goes first to the focused clip or button (onKeyDown, onKeyUp) while
// it shows its focus (the pointer has not moved since the focus came), then
// to every clip's keyDown/keyUp handlers and Key's listeners, then to the
// buttons and clips waiting for it as a keyPress. Tab, unless such a handler
// took it, moves the focus (Shift+Tab backwards); Enter and Space press and
// release the focused button while the focus rectangle is on.
void Stage::KeyChange(bool down, int keyCode, int ascii) {
  StartTick();
  actionsLeft_ = actionBudget_;
  if (down) {
    keysDown_.insert(keyCode);
    lastKeyCode_ = keyCode;
    lastAscii_ = ascii;
  } else {
    keysDown_.erase(keyCode);
  }
  const std::shared_ptr<TimelineInstance> focused = focusShown_ ? FocusedTimeline() : nullptr;
  if (const auto holder = FocusedTimeline(); down && holder && holder->text) {
    RestartCaretBlink();  // the caret stays up while keys go in
  }
  if (focused && focused->kind != DisplayKind::Text) {
    CallScriptMethod(focused->object, down ? "onKeyDown" : "onKeyUp", {});
  }
  SendToEveryClip(down ? kKeyDownEvent : kKeyUpEvent, nullptr);
  RunInputScripts();
  BroadcastTo("Key", down ? "onKeyDown" : "onKeyUp");
  if (down) {
    constexpr int kTab = 9, kShift = 16, kEnter = 13, kSpace = 32;
    const bool taken = SendKeyPress(keyCode, ascii);
    if (keyCode == kTab && !taken) {
      TabFocus(keysDown_.count(kShift) != 0);
    } else if ((keyCode == kEnter || keyCode == kSpace) && focused && focused->focusRect.value_or(focusRect_) &&
               focused == FocusedTimeline() && focused->kind != DisplayKind::Text && ActsAsButton(*focused)) {
      SendButtonEvent(focused, ButtonEvent::Press);
      RunInputScripts();
      SendButtonEvent(focused, ButtonEvent::Release);
      RunInputScripts();
    }
  }
  SyncBoundFields();
}

bool Stage::PointerOnButton() const {
  const std::shared_ptr<TimelineInstance> hover = pointer_.hover.lock();
  return hover && hover->object && vm_->ToBool(vm_->GetMember(hover->object, "useHandCursor"));
}

void Stage::PointerIn(Object* clip, double& x, double& y) {
  const auto timeline = TimelineOf(clip);
  x = y = 0;
  if (!timeline) return;
  const Point local = Apply(Inverse(GlobalMatrix(*timeline)), pointer_.x, pointer_.y);
  x = local.x / 20;
  y = local.y / 20;
}

}  // namespace swf
