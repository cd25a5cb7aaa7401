#pragma once
// A playing movie: the root timeline and the sprite instances on its display
// lists, frame stepping and gotos, the queue of frame actions, variables and
// the commands the movie raised.

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <limits>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "drawing.h"
#include "movie_player.h"
#include "script/vm.h"
#include "scroll_rect.h"
#include "swf_movie.h"
#include "text/text_field.h"

namespace swf {

// Scripts are stopped by their running time (Vm::scriptTimeLimit), as the
// platform stops them, not by a count of actions: a frame may legitimately
// run a million of them. A count stays available to tests and tools.
inline constexpr std::size_t kActionBudgetPerFrame = std::numeric_limits<std::size_t>::max();
// Tags that frame changes may visit in one tick: a goto replays the tags of
// every frame it passes (going back, every frame from the first), far more
// work than the one action step it costs.
inline constexpr std::size_t kFrameWorkPerTick = 1000000;
inline constexpr int kMaxSpriteNesting = 16;
inline constexpr int kMaxSpriteInstances = 4096;
inline constexpr std::size_t kMaxVariableBytes = 32u << 20;
inline constexpr std::size_t kMaxPendingCommands = 4096;
inline constexpr std::size_t kMaxQueuedActionBlocks = 100000;

// What a display-list entry shows, as the placement tags describe it.
struct Placement {
  std::uint16_t character = 0;
  Matrix matrix;
  ColorTransform colorTransform;
  std::optional<std::uint16_t> clipDepth;
  std::uint16_t ratio = 0;  // where a morph shape stands between its start (0) and end (65535)
  std::string name;
  std::vector<ClipAction> clipActions;
  bool visible = true;
  std::uint8_t blendMode = BlendMode::kNormal;  // see BlendMode
  bool cacheAsBitmap = false;
  // The filters it is drawn through (null or empty: none).
  std::shared_ptr<const std::vector<Filter>> filters;
  // The scales (in percent, signed) and rotation (degrees) a script set last,
  // for the matrix they made: scripts read them back as set, which the matrix
  // alone cannot tell (a negative scale, a scale of 0, an infinite one).
  struct ScriptTransform {
    double a = 1, b = 0, c = 0, d = 1;
    double xscale = 100, yscale = 100, rotation = 0;
  };
  std::optional<ScriptTransform> scriptTransform;
};

class TimelineInstance;

// A rectangle of the bitmap's size showing its pixels, 20 twips a pixel: how
// a bitmap placed on a timeline, or shown by a clip, is drawn.
[[nodiscard]] std::shared_ptr<const Shape> BitmapShape(std::shared_ptr<const Bitmap> bitmap, bool smooth);

// A number no display object had before: see DisplayObject::look.
[[nodiscard]] std::uint64_t NewLookStamp();

struct DisplayObject {
  Placement placement;
  std::shared_ptr<const Shape> shape;
  std::shared_ptr<TimelineInstance> sprite;
  std::uint64_t bornTick = 0;  // sprites start stepping on the tick after the one that placed them
  // The renderer redraws an object whose stamp changed since the last frame,
  // as it does one whose place, matrix or colours changed. Each new object
  // gets a stamp of its own; whatever changes how an object looks other than
  // through its placement (what it draws, its text, a morph's ratio) calls
  // Touch. Drawing an object the renderer cannot compare costs a redraw, never
  // a stale picture.
  std::uint64_t look = NewLookStamp();
  void Touch() { look = NewLookStamp(); }
  int placedFrame = -1;  // the timeline frame whose tag made it; -1 when a script did
  // A script bitmap it shows (attachBitmap): its shape is redrawn from the
  // bitmap's pixels whenever they changed.
  std::shared_ptr<const LiveBitmap> liveBitmap;
  // A script moved, scaled, turned or recoloured it: the timeline's later
  // placements of it keep its matrix and colours.
  bool scriptTransformed = false;
  std::uint64_t liveVersion = 0;
  bool smoothBitmap = false;
  std::optional<ScrollRect> scrollRect;  // a script's scrollRect
  std::weak_ptr<TimelineInstance> scriptMask;  // the clip setMask named
  // From what the object shows (its shapes, children and drawing) to its
  // parent: its matrix, after the move of a scroll rectangle.
  [[nodiscard]] Matrix ContentMatrix() const {
    return scrollRect ? placement.matrix.Then(ScrollOffset(*scrollRect)) : placement.matrix;
  }
};

using DisplayList = std::map<int, DisplayObject>;

// Counters the whole stage shares, kept by every instance it made.
struct StageCounters {
  int liveInstances = 0;
  std::uint64_t made = 0;
};

// Depths scripts give (attachMovie, createEmptyMovieClip) sit above the
// timeline's own: script depth d is display-list depth d + kScriptDepthBase.
inline constexpr int kScriptDepthBase = 16384;

// What kind of script object a display-list entry is: clips have timelines;
// buttons, text fields and videos are instances with an empty one.
enum class DisplayKind : std::uint8_t { Clip, Button, Text, Video };

class TimelineInstance {
 public:
  TimelineInstance(std::shared_ptr<const Timeline> definition, std::weak_ptr<TimelineInstance> parent, int nesting,
                   std::shared_ptr<StageCounters> counters);
  ~TimelineInstance();
  TimelineInstance(const TimelineInstance&) = delete;
  TimelineInstance& operator=(const TimelineInstance&) = delete;

  [[nodiscard]] const Timeline& Definition() const { return *definition_; }
  [[nodiscard]] const std::shared_ptr<const Timeline>& SharedDefinition() const { return definition_; }
  [[nodiscard]] int FrameCount() const { return definition_->FrameCount(); }

  int frame = 0;  // 0-based
  bool playing = true;
  DisplayList displayList;
  std::weak_ptr<TimelineInstance> parent;
  int nesting = 0;
  std::uint64_t serial = 0;  // order of making: frames step newest first

  // The clip object scripts see; its properties are the timeline's variables.
  Object* object = nullptr;
  std::vector<ClipAction> clipActions;
  DisplayKind kind = DisplayKind::Clip;
  std::unique_ptr<TextField> text;                 // text fields
  std::shared_ptr<const ButtonDefinition> button;  // buttons
  std::optional<VideoDefinition> video;            // videos
  std::uint8_t buttonState = 0x01;                 // the record state bit shown: up, over or down
  SoundTransform soundLevels;                      // of the sounds it starts (Sound objects)
  Drawing drawing;                                 // what the drawing methods made
  std::optional<bool> focusRect;                   // a clip's own _focusrect (none: the movie's)
  bool lockRoot = false;                           // _lockroot

  [[nodiscard]] const Value* FindVariable(std::string_view name) const;
  void SetVariable(std::string_view name, Value value);

 private:
  std::shared_ptr<const Timeline> definition_;
  std::shared_ptr<StageCounters> counters_;
};

class Stage final : private DisplayHost {
 public:
  // `actionBudget`: action steps per tick for all the blocks it runs (no
  // limit by default: the script time limit stops runaway scripts).
  explicit Stage(Movie movie, std::size_t actionBudget = kActionBudgetPerFrame);
  ~Stage() override;
  Stage(const Stage&) = delete;
  Stage& operator=(const Stage&) = delete;

  // Each trace() of the movie's scripts, as one line of UTF-8 text.
  void SetTraceSink(std::function<void(std::string_view)> sink);
  // What scripts' loads read (Vm::urlReader).
  void SetUrlReader(std::function<std::optional<std::string>(std::string_view)> reader) {
    vm_->urlReader = std::move(reader);
  }
  // Where script time comes from (see MoviePlayer::SetClock); the movie's
  // clock starts at 0 when this is set.
  void SetClock(std::function<double()> millis);
  // How long one script may run before it is stopped: the movie's own limit
  // (ScriptLimits, else the platform's 15 seconds), shortened to `maxSeconds`.
  // `secondsClock` replaces the steady clock scripts are timed by (tests).
  void SetScriptTimeLimit(double maxSeconds, std::function<double()> secondsClock = {});

  // Shows frame 1: its display list, then its actions.
  void Start();
  // One tick: steps the root when it plays and every sprite that plays, then
  // runs the actions of the frames entered.
  void Tick();

  [[nodiscard]] const Movie& GetMovie() const { return movie_; }
  [[nodiscard]] TimelineInstance& Root() { return *root_; }
  [[nodiscard]] const TimelineInstance& Root() const { return *root_; }
  // The root with its scroll rectangle, for drawing; null while it has none.
  [[nodiscard]] const DisplayObject* ScrolledRoot() const { return scrolledRoot_ ? &*scrolledRoot_ : nullptr; }
  // The yellow rectangle around the object the Tab key focused, in stage
  // twips, drawn above everything; null while none shows.
  [[nodiscard]] std::shared_ptr<const Shape> FocusRectangle() const {
    return focusRectShown_ ? focusRectShape_ : nullptr;
  }

  void SetRootVariable(std::string_view name, std::string value);
  [[nodiscard]] std::size_t LiveScriptObjects() const { return vm_->liveObjects; }
  [[nodiscard]] std::vector<FsCommand> TakeCommands() { return std::exchange(commands_, {}); }

  // A sound tag of a frame that was entered: an event sound's start, or the
  // stream block of `stream` (whose head gives its format); neither is a
  // script's stopAllSounds(). Pointers into the movie, valid while it is loaded.
  struct SoundEvent {
    const StartSoundTag* start = nullptr;
    const Timeline* stream = nullptr;
    const StreamBlockTag* block = nullptr;
    const void* owner = nullptr;  // the timeline that started it, whose levels it plays at
  };
  // Where the sounds scripts start and control go at once: the player's mixer.
  class SoundPort {
   public:
    virtual void StartSound(std::uint16_t id, const SoundInfo& info, const void* owner) = 0;
    // Every voice of the owner for id 0.
    virtual void StopSound(std::uint16_t id, const void* owner) = 0;
    virtual void StopEverySound() = 0;
    [[nodiscard]] virtual std::optional<double> PlayedMillis(std::uint16_t id, const void* owner) = 0;
    // Owner null: the levels of every sound.
    virtual void SetLevels(const void* owner, const SoundTransform& levels) = 0;

   protected:
    ~SoundPort() = default;
  };
  void SetSoundPort(SoundPort* port) { soundPort_ = port; }
  // Where text fields without an embedded font get their glyphs (none: they
  // draw no text, only their border and background).
  void SetDeviceFonts(DeviceFonts* fonts) { deviceFonts_ = fonts; }
  // Events nobody takes stop piling up at this many.
  static constexpr std::size_t kMaxPendingSoundEvents = 4096;
  [[nodiscard]] std::vector<SoundEvent> TakeSoundEvents() { return std::exchange(soundEvents_, {}); }

  // Used by the actions of `timeline`. A goto that would visit more tags than
  // the tick has left is ignored and stops the running actions, and every
  // block after them, until the next tick.
  void GotoFrame(const std::shared_ptr<TimelineInstance>& timeline, int frame);
  void RaiseCommand(FsCommand command);

  // The window the movie is drawn into: its size in pixels and the scale mode
  // its host asks for. Under noScale a change of size is told to the Stage's
  // listeners (onResize) at the next tick.
  void NoteViewport(int width, int height, ScaleMode hostScale);
  // The scale mode the movie is drawn with: the one its scripts set, else the host's.
  [[nodiscard]] ScaleMode ScaleFor(ScaleMode hostScale) const { return scriptScale_.value_or(hostScale); }
  [[nodiscard]] const StageAlignment& Alignment() const { return align_; }

  // Input. The pointer is in the stage's twips (the root clip's space). Each
  // event runs the scripts it calls at once, as the platform does, with a
  // tick's action budget.
  void PointerMove(double xTwips, double yTwips);
  void PointerButton(bool down);
  // `keyCode`: the platform's key code (Key.LEFT, ...); `ascii`: the
  // character typed, 0 for none.
  void KeyChange(bool down, int keyCode, int ascii);
  // Whether the pointer rests on a button or a clip that acts as one: the
  // control shows the hand pointer there.
  // A button or clip whose useHandCursor is false keeps the arrow.
  [[nodiscard]] bool PointerOnButton() const;

 private:
  void StartTick();
  void StepTimelines();
  void StepTimeline(const std::shared_ptr<TimelineInstance>& timeline);
  void CollectSteppers(const std::shared_ptr<TimelineInstance>& timeline,
                       std::vector<std::shared_ptr<TimelineInstance>>& into);
  [[nodiscard]] bool IsOnStage(const TimelineInstance& timeline);
  void ChangeFrame(const std::shared_ptr<TimelineInstance>& timeline, int target);
  void SpendFrameWork(std::size_t tags);
  void EnterFrame(const std::shared_ptr<TimelineInstance>& timeline, int frame, bool queueActions);
  void ApplyPlace(const std::shared_ptr<TimelineInstance>& timeline, const PlaceTag& tag, int frame);
  void Rebuild(const std::shared_ptr<TimelineInstance>& timeline, int frame);
  // `place` puts a new clip at its depth before its constructors run.
  DisplayObject MakeObject(const std::shared_ptr<TimelineInstance>& parent, Placement placement,
                           const std::function<void(DisplayObject)>& place = nullptr);
  void QueueActions(const std::shared_ptr<TimelineInstance>& timeline,
                    const std::shared_ptr<const std::vector<std::uint8_t>>& code);
  void RunQueuedActions();
  void NoteSound(const std::shared_ptr<TimelineInstance>& timeline, const ControlTag& tag);
  void RunInitActions(const std::shared_ptr<TimelineInstance>& timeline,
                      const std::shared_ptr<const std::vector<std::uint8_t>>& code);
  void QueueClipEvents(const std::shared_ptr<TimelineInstance>& timeline, std::uint32_t clipEvent, const char* method);
  // Queues the unload handlers of a clip leaving the display list.
  void QueueUnload(const DisplayObject& leaving);
  // Records the path of a clip leaving the stage (and of the clips inside it).
  void MarkRemoved(TimelineInstance& timeline, const std::string& path, int nesting);
  void MarkReplaced(TimelineInstance& parent, int depth);
  // Removes the object at `depth` of `timeline`'s display list, unloading it.
  void RemoveAtDepth(const std::shared_ptr<TimelineInstance>& timeline, int depth);
  std::shared_ptr<TimelineInstance> MakeSprite(
      const std::shared_ptr<TimelineInstance>& parent, std::shared_ptr<const Timeline> definition, Placement& placement,
      std::uint16_t character, Object* init = nullptr,
      const std::function<void(const std::shared_ptr<TimelineInstance>&)>& attach = {});
  DisplayObject* EntryOf(Object* clip, int* depth = nullptr);
  static std::shared_ptr<TimelineInstance> TimelineOf(Object* clip);

  // What scripts reach through clip objects.
  Object* RootClip() override;
  Object* ParentClip(Object* clip) override;
  Object* ChildClip(Object* clip, std::string_view name) override;
  void Play(Object* clip, bool play) override;
  void GotoFrame(Object* clip, int zeroBasedFrame) override;
  bool GotoLabel(Object* clip, std::string_view label) override;
  int CurrentFrame(Object* clip) override;
  int FrameCount(Object* clip) override;
  bool GetClipProperty(Object* clip, std::string_view name, Value& out) override;
  bool SetClipProperty(Object* clip, std::string_view name, const Value& value) override;
  void GetUrl(std::string_view url, std::string_view target) override;
  std::string TargetPath(Object* clip) override;
  Object* LiveClip(Object* clip) override;
  std::vector<std::shared_ptr<const std::vector<std::uint8_t>>> FrameScripts(Object* clip,
                                                                             std::string_view frame) override;
  Object* CreateClip(Object* parent, std::string_view exportName, std::string_view name, int depth,
                     Object* init) override;
  Object* DuplicateClip(Object* clip, std::string_view name, int depth, Object* init) override;
  void RemoveClip(Object* clip) override;
  int Depth(Object* clip) override;
  int NextHighestDepth(Object* clip) override;
  void SwapDepths(Object* clip, int depth) override;
  void StopAllSounds() override;
  bool IsMovieClip(Object* clip) override;
  TextField* TextFieldOf(Object* object) override;
  void TextChanged(Object* field) override;
  Object* CreateTextField(Object* parent, std::string_view name, int depth, double x, double y, double width,
                          double height) override;
  Object* InstanceAtDepth(Object* clip, int depth) override;
  std::vector<std::string> ChildNames(Object* clip) override;
  bool Bounds(Object* clip, Object* space, double& xMin, double& yMin, double& xMax, double& yMax) override;
  void ToGlobal(Object* clip, double& x, double& y, bool inverse) override;
  bool HitTestPoint(Object* clip, double x, double y, bool shape) override;
  void SetScriptMask(Object* clip, Object* mask) override;
  Object* FocusedObject() override;
  bool SetFocusedObject(Object* object) override;
  bool FocusedSelection(int& begin, int& end, int& caret) override;
  void SetFocusedSelection(double anchor, double caret) override;
  void StartDrag(Object* clip, bool lockCenter, const double* limits) override;
  void StopDrag() override;
  void Draw(Object* clip, DrawOp op, std::span<const double> args) override;
  std::uint8_t GetBlendMode(Object* clip) override;
  void SetBlendMode(Object* clip, std::uint8_t mode) override;
  std::shared_ptr<const std::vector<Filter>> GetFilters(Object* clip) override;
  void SetFilters(Object* clip, std::vector<Filter> filters) override;
  bool KeyIsDown(int keyCode) override { return keysDown_.count(keyCode) != 0; }
  int LastKeyCode() override { return lastKeyCode_; }
  int LastKeyAscii() override { return lastAscii_; }
  void PointerIn(Object* clip, double& x, double& y) override;
  bool GetSoundLevels(Object* clip, SoundTransform& out) override;
  void SetSoundLevels(Object* clip, const SoundTransform& levels) override;
  bool FindExportedSound(std::string_view name, std::uint16_t& id, double& millis) override;
  void StartScriptSound(Object* clip, std::uint16_t id, double offsetSeconds, int loops) override;
  void StopScriptSound(Object* clip, std::uint16_t id) override;
  std::optional<double> ScriptSoundMillis(Object* clip, std::uint16_t id) override;
  std::string StageScaleMode() override;
  void SetStageScaleMode(std::string_view mode) override;
  std::string StageAlign() override;
  void SetStageAlign(std::string_view letters) override;
  void StageSize(double& width, double& height) override;
  void TellResize();
  std::vector<StaticGlyph> StaticTextOf(Object* clip) override;
  // The timeline a Sound object's sounds belong to (null: the movie's own).
  const void* SoundOwner(Object* clip);
  // Transforms and library bitmaps for the graphics classes (stage_graphics.cpp).
  Placement* TransformOf(Object* clip);
  bool GetClipMatrix(Object* clip, bool concatenated, ClipMatrix& out) override;
  void SetClipMatrix(Object* clip, const ClipMatrix& matrix) override;
  bool GetClipColors(Object* clip, bool concatenated, ColorTerms& out) override;
  void SetClipColors(Object* clip, const ColorTerms& terms) override;
  bool LoadExportedBitmap(std::string_view name, int& width, int& height, std::vector<std::uint32_t>& argb) override;
  bool AttachBitmap(Object* clip, std::shared_ptr<const LiveBitmap> bitmap, int depth, bool smoothing) override;
  void BeginBitmapFill(Object* clip, std::shared_ptr<const LiveBitmap> bitmap, const ClipMatrix& m, bool repeat,
                       bool smooth) override;
  bool DrawClip(Object* clip, const ClipMatrix& m, const ColorTerms& colors, const PixelArea& area, bool smooth,
                PixelBitmap& into) override;
  bool GetScrollRect(Object* clip, std::array<double, 4>& rect) override;
  void SetScrollRect(Object* clip, const std::optional<std::array<double, 4>>& rect) override;
  DisplayObject* ScrollEntryOf(Object* clip);
  // Brings the shapes of attached bitmaps up to their pixels.
  void RefreshAttachedBitmaps();

  // Pointer and keys.
  enum class ButtonEvent : std::uint8_t { RollOver, RollOut, Press, Release, DragOut, DragOver, ReleaseOutside };
  std::shared_ptr<TimelineInstance> ButtonAt(double x, double y);
  // The root's space to the stage's: its placement, then its scroll rectangle's move.
  [[nodiscard]] Matrix RootToStage() const;
  // Whether a stage point lies in the window the root's scroll rectangle leaves (all of it without one).
  [[nodiscard]] bool RootWindowHas(double x, double y) const;
  std::shared_ptr<TimelineInstance> ButtonIn(const std::shared_ptr<TimelineInstance>& timeline, const Matrix& toStage,
                                             double x, double y, int nesting);
  bool ActsAsButton(TimelineInstance& timeline);
  bool ShowsPoint(const TimelineInstance& timeline, const Matrix& toStage, double x, double y, int nesting);
  // `asMask`: the object masks others, so it is tested though it is not drawn.
  bool ObjectShowsPoint(const DisplayObject& object, const Matrix& toStage, double x, double y, int nesting,
                        bool asMask = false);
  bool ButtonHitAreaHas(const TimelineInstance& button, const Matrix& toStage, double x, double y);
  void SendButtonEvent(const std::shared_ptr<TimelineInstance>& target, ButtonEvent event);
  void ShowButtonState(const std::shared_ptr<TimelineInstance>& button, std::uint8_t state);
  void SendToEveryClip(std::uint32_t clipEvent, const char* method);
  void BroadcastTo(const char* broadcaster, const char* method);
  void FollowPointer();
  void RunInputScripts();
  bool SendKeyPress(int keyCode, int ascii);
  bool TracksAsMenu(TimelineInstance& button);
  void SendClipMouseEvent(std::uint32_t clipEvent, const char* method);
  std::shared_ptr<TimelineInstance> TextFieldAt(const std::shared_ptr<TimelineInstance>& timeline,
                                                const Matrix& toStage, double x, double y, int nesting);

  // Focus (stage_focus.cpp).
  std::shared_ptr<TimelineInstance> FocusedTimeline();
  bool CanTakeFocus(TimelineInstance& timeline);
  void MoveFocus(const std::shared_ptr<TimelineInstance>& next);
  // Gives the focus up (running the handlers) when its holder left the stage or is hidden.
  void DropFocusIfGone();
  void HidingObject(const TimelineInstance& hidden);
  // Calls a script method with the running budget (a tick's when none runs).
  void CallScriptMethod(Object* self, std::string_view name, std::span<const Value> args);
  struct TabStop {
    std::shared_ptr<TimelineInstance> timeline;
    bool automatic = false;      // in the automatic order
    std::optional<int> index;    // tabIndex, as a 32-bit integer
  };
  bool TabStopsAt(TimelineInstance& timeline);
  void CollectTabStops(const std::shared_ptr<TimelineInstance>& timeline, std::vector<TabStop>& into, int nesting);
  std::pair<double, double> TabPosition(const TimelineInstance& timeline);  // (top, left) on the stage
  std::shared_ptr<TimelineInstance> NextTabStop(bool backward);
  void TabFocus(bool backward);
  // The focused field's caret: shown half of each blink period from its last restart.
  void RestartCaretBlink();
  void BlinkCaret();
  // Brings the tab-focus rectangle's shape up to where the focused object is.
  void UpdateFocusRectangle();
  // Dragging.
  Point ParentPointer(const TimelineInstance& timeline);
  void FollowDrag();
  std::string DropTargetOf(const TimelineInstance& dragged);
  std::string DropTarget(const TimelineInstance& clip);
  std::shared_ptr<TimelineInstance> ClipShowingPoint(const std::shared_ptr<TimelineInstance>& timeline,
                                                     const Matrix& toStage, double x, double y,
                                                     const TimelineInstance& excluded, int nesting);

  // Text fields and buttons.
  std::shared_ptr<TimelineInstance> MakeTextField(const std::shared_ptr<TimelineInstance>& parent,
                                                  const EditTextDefinition& definition);
  std::shared_ptr<TimelineInstance> MakeButton(const std::shared_ptr<TimelineInstance>& parent,
                                               std::shared_ptr<const ButtonDefinition> definition);
  std::shared_ptr<TimelineInstance> MakeVideo(const std::shared_ptr<TimelineInstance>& parent,
                                              const VideoDefinition& definition);
  bool GetTextProperty(TimelineInstance& field, std::string_view name, Value& out);
  bool SetTextProperty(const std::shared_ptr<TimelineInstance>& field, std::string_view name, const Value& value);
  // A bound field's variable: the object holding it and its name; null when
  // the path leads nowhere.
  Object* VariableHolder(const TimelineInstance& field, std::string& name);
  void PullVariable(TimelineInstance& field);
  void PushVariable(TimelineInstance& field);
  void SyncBoundFields();
  // Geometry: the matrix from a timeline's space to the stage's, and bounds
  // in twips of what a timeline shows in its own space.
  Matrix GlobalMatrix(const TimelineInstance& timeline);
  bool LocalBounds(const TimelineInstance& timeline, double bounds[4], int nesting = 0);
  bool ObjectBounds(const DisplayObject& object, double bounds[4], int nesting);
  void SetSize(const std::shared_ptr<TimelineInstance>& timeline, Placement& placement, bool width, double pixels);

  Movie movie_;
  std::unique_ptr<Vm> vm_;  // before the timelines, which point into it
  std::string NameText(const Value& value);
  Placement rootPlacement_;
  // The movie-wide properties scripts set through any clip.
  int quality_ = 2;  // LOW, MEDIUM, HIGH, BEST
  double soundBufferSeconds_ = 5;
  std::shared_ptr<const Timeline> emptyTimeline_;
  std::size_t actionBudget_;
  std::size_t actionsLeft_ = 0;    // of the blocks running now
  std::size_t frameWorkLeft_ = 0;  // tags frame changes may still visit this tick
  std::shared_ptr<StageCounters> counters_ = std::make_shared<StageCounters>();
  std::shared_ptr<TimelineInstance> root_;
  std::optional<DisplayObject> scrolledRoot_;  // the root's scrollRect, which no parent's list holds
  std::uint64_t tick_ = 0;
  std::function<double()> clock_;
  double clockStart_ = 0;
  struct QueuedActions {
    std::weak_ptr<TimelineInstance> timeline;
    std::shared_ptr<const std::vector<std::uint8_t>> code;
    std::string method;  // an event handler to call instead of code (onEnterFrame, ...)
    // A clip taken off the display list lives on until its unload handlers ran.
    std::shared_ptr<TimelineInstance> keep;
  };
  std::vector<QueuedActions> queue_;
  std::vector<FsCommand> commands_;
  std::set<const void*> initDone_;
  std::vector<SoundEvent> soundEvents_;
  std::vector<std::weak_ptr<TimelineInstance>> boundFields_;
  int unnamedInstances_ = 0;  // "instanceN" names given so far
  std::weak_ptr<TimelineInstance> focus_;
  bool focusByKeyboard_ = false;  // the move running now comes from the Tab key
  // The holder shows that it has the focus (from its move until the pointer
  // moves): only then does it hear the keys.
  bool focusShown_ = false;
  bool focusRect_ = true;         // _focusrect: the focused button shows its rectangle and takes Enter and Space
  double caretSinceMillis_ = 0;   // when the focused field's caret last started a blink
  // The tab-focus rectangle: shown from a move by the Tab key until the pointer
  // moves; its shape (stage twips) kept while the bounds it stands around stay.
  bool focusRectShown_ = false;
  std::array<double, 4> focusRectBounds_{};
  std::shared_ptr<const Shape> focusRectShape_;
  struct Drag {
    std::weak_ptr<TimelineInstance> clip;
    double offsetX = 0, offsetY = 0;  // twips from the pointer to the clip's origin
    std::optional<std::array<double, 4>> limits;  // left, top, right, bottom in twips of the parent's space
  };
  std::optional<Drag> drag_;
  std::weak_ptr<TimelineInstance> dropped_;  // the clip dragged last and where it was dropped
  std::string droppedOn_;
  struct Pointer {
    double x = 0, y = 0;  // twips, stage space
    bool down = false;
    std::weak_ptr<TimelineInstance> hover;    // the button-like object under the pointer
    std::weak_ptr<TimelineInstance> pressed;  // the one the button went down on
    std::weak_ptr<TimelineInstance> menu;     // a menu button dragged over during another's press
    bool pressedInside = false;
  } pointer_;
  std::set<int> keysDown_;
  std::optional<ScaleMode> scriptScale_;  // Stage.scaleMode as a script set it
  ScaleMode hostScale_ = ScaleMode::ShowAll;
  StageAlignment align_;
  int viewportWidth_ = 0, viewportHeight_ = 0;  // 0: not drawn yet
  bool resizePending_ = false;
  int lastKeyCode_ = 0, lastAscii_ = 0;
  SoundPort* soundPort_ = nullptr;
  DeviceFonts* deviceFonts_ = nullptr;  // text fields point here
  SoundTransform globalSoundLevels_;
};

}  // namespace swf
