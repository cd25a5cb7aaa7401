#include "movie_player.h"

#include <algorithm>
#include <utility>

#include "rasterizer.h"
#include "render.h"
#include "stage.h"
#include "swf_text.h"

namespace swf {

std::optional<ScaleMode> ParseScaleMode(std::string_view text) {
  const std::string lower = LowerAscii(text);
  if (lower == "showall") return ScaleMode::ShowAll;
  if (lower == "exactfit") return ScaleMode::ExactFit;
  if (lower == "noscale") return ScaleMode::NoScale;
  if (lower == "noborder") return ScaleMode::NoBorder;
  return std::nullopt;
}

struct MoviePlayer::State {
  std::unique_ptr<Stage> stage;
  // The last FlashVars text: it also reaches every movie loaded later, as the
  // FlashVars property of the control does.
  std::string flashVars;
  std::function<void(std::string_view)> traceSink;
  std::function<double()> clock;
  // Scratch memory of the drawing code, kept between frames so drawing a
  // frame allocates nothing once warmed up.
  mutable Rasterizer rasterizer;
};

namespace {

void ApplyFlashVars(Stage& stage, std::string_view query) {
  while (!query.empty()) {
    const std::size_t amp = query.find('&');
    const std::string_view pair = query.substr(0, amp);
    query = amp == std::string_view::npos ? std::string_view() : query.substr(amp + 1);
    const std::size_t equals = pair.find('=');
    if (equals == std::string_view::npos || equals == 0) continue;
    stage.SetRootVariable(UrlDecode(pair.substr(0, equals)), UrlDecode(pair.substr(equals + 1)));
  }
}

}  // namespace

MoviePlayer::MoviePlayer() : state_(std::make_unique<State>()) {}
MoviePlayer::~MoviePlayer() = default;

bool MoviePlayer::Load(std::span<const std::uint8_t> fileBytes) {
  state_->stage.reset();
  std::optional<Movie> movie = ParseMovie(fileBytes);
  if (!movie) return false;
  state_->stage = std::make_unique<Stage>(std::move(*movie));
  if (state_->traceSink) state_->stage->SetTraceSink(state_->traceSink);
  if (state_->clock) state_->stage->SetClock(state_->clock);
  ApplyFlashVars(*state_->stage, state_->flashVars);
  state_->stage->Start();
  return true;
}

void MoviePlayer::Unload() { state_->stage.reset(); }

bool MoviePlayer::HasMovie() const { return state_->stage != nullptr; }

void MoviePlayer::Play() {
  if (state_->stage) state_->stage->Root().playing = true;
}

void MoviePlayer::Stop() {
  if (state_->stage) state_->stage->Root().playing = false;
}

bool MoviePlayer::IsPlaying() const { return state_->stage && state_->stage->Root().playing; }

double MoviePlayer::FrameRate() const {
  if (!state_->stage || !(state_->stage->GetMovie().frameRate > 0)) return 12;
  return state_->stage->GetMovie().frameRate;
}

int MoviePlayer::StageWidth() const {
  if (!state_->stage) return 0;
  const Movie& movie = state_->stage->GetMovie();
  return std::max(0, static_cast<int>((movie.maxXTwips - movie.minXTwips) / 20));
}

int MoviePlayer::StageHeight() const {
  if (!state_->stage) return 0;
  const Movie& movie = state_->stage->GetMovie();
  return std::max(0, static_cast<int>((movie.maxYTwips - movie.minYTwips) / 20));
}

int MoviePlayer::CurrentFrame() const { return state_->stage ? state_->stage->Root().frame + 1 : 0; }

int MoviePlayer::FrameCount() const { return state_->stage ? state_->stage->Root().FrameCount() : 0; }

void MoviePlayer::Advance() {
  if (state_->stage) state_->stage->Tick();
}

void MoviePlayer::SetFlashVars(std::string_view query) {
  state_->flashVars = std::string(query);
  if (state_->stage) ApplyFlashVars(*state_->stage, query);
}

std::optional<std::string> MoviePlayer::RootVariable(std::string_view name) const {
  if (!state_->stage) return std::nullopt;
  const Value* value = state_->stage->Root().FindVariable(name);
  if (!value) return std::nullopt;
  return ToString(*value, state_->stage->GetMovie().version);
}

std::size_t MoviePlayer::LiveScriptObjects() const { return state_->stage ? state_->stage->LiveScriptObjects() : 0; }

void MoviePlayer::SetTraceSink(std::function<void(std::string_view)> sink) {
  state_->traceSink = std::move(sink);
  if (state_->stage) state_->stage->SetTraceSink(state_->traceSink);
}

void MoviePlayer::SetClock(std::function<double()> millis) {
  state_->clock = std::move(millis);
  if (state_->stage) state_->stage->SetClock(state_->clock);
}

std::vector<FsCommand> MoviePlayer::TakeFsCommands() {
  return state_->stage ? state_->stage->TakeCommands() : std::vector<FsCommand>{};
}

void MoviePlayer::Render(const Surface& target, ScaleMode scale) const {
  if (!state_->stage) {
    FillSurface(target, Rgba{255, 255, 255, 255});
    return;
  }
  RenderStage(*state_->stage, target, scale, state_->rasterizer);
}

}  // namespace swf
