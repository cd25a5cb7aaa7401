#pragma once
// A playing movie: the root timeline and the sprite instances on its display
// lists, frame stepping and gotos, the queue of frame actions, variables and
// the commands the movie raised.

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "avm1.h"
#include "movie_player.h"
#include "swf_movie.h"

namespace swf {

inline constexpr std::size_t kActionBudgetPerFrame = 100000;
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
  std::string name;
};

class TimelineInstance;

struct DisplayObject {
  Placement placement;
  std::shared_ptr<const Shape> shape;
  std::shared_ptr<TimelineInstance> sprite;
  std::uint64_t bornTick = 0;  // sprites start stepping on the tick after the one that placed them
};

using DisplayList = std::map<int, DisplayObject>;

// Counters the whole stage shares, kept by every instance it made.
struct StageCounters {
  int liveInstances = 0;
  std::size_t variableBytes = 0;
};

class TimelineInstance {
 public:
  TimelineInstance(std::shared_ptr<const Timeline> definition, std::weak_ptr<TimelineInstance> parent, int nesting,
                   std::shared_ptr<StageCounters> counters);
  ~TimelineInstance();
  TimelineInstance(const TimelineInstance&) = delete;
  TimelineInstance& operator=(const TimelineInstance&) = delete;

  [[nodiscard]] const Timeline& Definition() const { return *definition_; }
  [[nodiscard]] int FrameCount() const { return definition_->FrameCount(); }

  int frame = 0;  // 0-based
  bool playing = true;
  DisplayList displayList;
  std::weak_ptr<TimelineInstance> parent;
  int nesting = 0;

  [[nodiscard]] const Value* FindVariable(std::string_view name) const;
  void SetVariable(std::string_view name, Value value);

 private:
  std::shared_ptr<const Timeline> definition_;
  std::shared_ptr<StageCounters> counters_;
  std::map<std::string, Value, std::less<>> variables_;
  std::size_t variableBytes_ = 0;
};

class Stage {
 public:
  // `actionBudget`: action steps per tick for all the blocks it runs.
  explicit Stage(Movie movie, std::size_t actionBudget = kActionBudgetPerFrame);

  // Shows frame 1: its display list, then its actions.
  void Start();
  // One tick: steps the root when it plays and every sprite that plays, then
  // runs the actions of the frames entered.
  void Tick();

  [[nodiscard]] const Movie& GetMovie() const { return movie_; }
  [[nodiscard]] TimelineInstance& Root() { return *root_; }
  [[nodiscard]] const TimelineInstance& Root() const { return *root_; }

  void SetRootVariable(std::string_view name, std::string value);
  [[nodiscard]] std::vector<FsCommand> TakeCommands() { return std::exchange(commands_, {}); }

  // Used by the actions of `timeline`. A goto that would visit more tags than
  // the tick has left is ignored and stops the running actions, and every
  // block after them, until the next tick.
  void GotoFrame(const std::shared_ptr<TimelineInstance>& timeline, int frame);
  void RaiseCommand(FsCommand command);

 private:
  void StartTick();
  void StepTimeline(const std::shared_ptr<TimelineInstance>& timeline);
  void ChangeFrame(const std::shared_ptr<TimelineInstance>& timeline, int target);
  void SpendFrameWork(std::size_t tags);
  void EnterFrame(const std::shared_ptr<TimelineInstance>& timeline, int frame, bool queueActions);
  void ApplyPlace(const std::shared_ptr<TimelineInstance>& timeline, const PlaceTag& tag);
  void Rebuild(const std::shared_ptr<TimelineInstance>& timeline, int frame);
  DisplayObject MakeObject(const std::shared_ptr<TimelineInstance>& parent, Placement placement);
  void QueueActions(const std::shared_ptr<TimelineInstance>& timeline,
                    const std::shared_ptr<const std::vector<std::uint8_t>>& code);
  void RunQueuedActions();

  Movie movie_;
  std::size_t actionBudget_;
  std::size_t actionsLeft_ = 0;    // of the blocks running now
  std::size_t frameWorkLeft_ = 0;  // tags frame changes may still visit this tick
  std::shared_ptr<StageCounters> counters_ = std::make_shared<StageCounters>();
  std::shared_ptr<TimelineInstance> root_;
  std::uint64_t tick_ = 0;
  struct QueuedActions {
    std::weak_ptr<TimelineInstance> timeline;
    std::shared_ptr<const std::vector<std::uint8_t>> code;
  };
  std::vector<QueuedActions> queue_;
  std::vector<FsCommand> commands_;
};

}  // namespace swf
