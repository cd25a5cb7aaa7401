#include "movie_player.h"

#include <algorithm>
#include <map>
#include <utility>

#include "rasterizer.h"
#include "sound/sound_mixer.h"
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

std::string_view ScaleModeName(ScaleMode scale) {
  switch (scale) {
    case ScaleMode::ExactFit: return "exactFit";
    case ScaleMode::NoScale: return "noScale";
    case ScaleMode::NoBorder: return "noBorder";
    case ScaleMode::ShowAll: break;
  }
  return "showAll";
}

StageAlignment ParseStageAlignment(std::string_view letters) {
  StageAlignment align;
  for (const char letter : letters) {
    switch (letter) {
      case 'T': case 't': align.top = true; break;
      case 'B': case 'b': align.bottom = true; break;
      case 'L': case 'l': align.left = true; break;
      case 'R': case 'r': align.right = true; break;
      default: break;
    }
  }
  return align;
}

std::string StageAlignmentLetters(const StageAlignment& align) {
  std::string letters;
  if (align.top) letters += 'T';
  if (align.bottom) letters += 'B';
  if (align.left) letters += 'L';
  if (align.right) letters += 'R';
  return letters;
}

struct MoviePlayer::State final : Stage::SoundPort {
  std::unique_ptr<Stage> stage;
  // The last FlashVars text: it also reaches every movie loaded later, as the
  // FlashVars property of the control does.
  std::string flashVars;
  std::function<void(std::string_view)> traceSink;
  std::function<std::optional<std::string>(std::string_view)> urlReader;
  std::function<double()> clock;
  double scriptSeconds = kDefaultScriptSeconds;
  std::function<double()> scriptClock;
  // Scratch memory of the drawing code, kept between frames so drawing a
  // frame allocates nothing once warmed up.
  mutable Rasterizer rasterizer;
  mutable FrameRenderer renderer;
  std::shared_ptr<SoundMixer> mixer = std::make_shared<SoundMixer>();
  Mp3Decoder mp3;
  DeviceFonts* deviceFonts = nullptr;
  // Each DefineSound decoded once, when it first plays; dropped with the movie.
  std::map<std::uint16_t, std::shared_ptr<const DecodedSound>> decoded;
  std::size_t decodedFrames = 0;
  // The timeline whose stream plays; another one's blocks wait until it has played out.
  const Timeline* streamOwner = nullptr;
  // Stream blocks queued since the stream began, and the output's clock then.
  std::uint64_t streamBlocks = 0;
  std::uint64_t streamStartMixed = 0;
  int ticksWaited = 0;

  std::shared_ptr<const DecodedSound> Decoded(std::uint16_t id);
  void StartSound(std::uint16_t id, const SoundInfo& info, const void* owner) override;
  void StopSound(std::uint16_t id, const void* owner) override;
  void StopEverySound() override;
  std::optional<double> PlayedMillis(std::uint16_t id, const void* owner) override;
  void SetLevels(const void* owner, const SoundTransform& levels) override;
  void QueueStreamBlock(const Timeline& timeline, const StreamBlockTag& block);
  void PlayFrameSounds();
  void DropSounds();
};

// All decoded event sounds of a movie together hold at most this many frames
// (about 24 minutes at 44.1 kHz, 256 MiB in stereo); sounds beyond it stay silent.
constexpr std::size_t kMaxDecodedFramesPerMovie = 64u << 20;

std::shared_ptr<const DecodedSound> MoviePlayer::State::Decoded(std::uint16_t id) {
  const Movie& movie = stage->GetMovie();
  auto cached = decoded.find(id);
  if (cached == decoded.end()) {
    const auto defined = movie.sounds.find(id);
    if (defined == movie.sounds.end()) return nullptr;
    auto sound = std::make_shared<const DecodedSound>(DecodeSound(*defined->second, mp3));
    if (decodedFrames + sound->Frames() > kMaxDecodedFramesPerMovie) sound = std::make_shared<const DecodedSound>();
    decodedFrames += sound->Frames();
    cached = decoded.emplace(id, std::move(sound)).first;
  }
  return cached->second;
}

void MoviePlayer::State::StartSound(std::uint16_t id, const SoundInfo& info, const void* owner) {
  if (!stage) return;
  if (auto sound = Decoded(id)) mixer->Start(id, std::move(sound), info, owner);
}

void MoviePlayer::State::StopSound(std::uint16_t id, const void* owner) {
  if (id == 0) {
    mixer->StopOwnedBy(owner);
  } else if (owner == nullptr) {
    mixer->Stop(id);
  } else {
    mixer->Stop(id, owner);
  }
}

void MoviePlayer::State::StopEverySound() {
  mixer->StopAll();
  streamBlocks = 0;
}

std::optional<double> MoviePlayer::State::PlayedMillis(std::uint16_t id, const void* owner) {
  const std::optional<double> frames = mixer->Position(id, owner);
  const auto sound = decoded.find(id);
  if (!frames || sound == decoded.end() || sound->second->rate <= 0) return std::nullopt;
  return *frames * 1000.0 / sound->second->rate;
}

void MoviePlayer::State::SetLevels(const void* owner, const SoundTransform& levels) {
  if (owner == nullptr) {
    mixer->SetGlobalLevels(levels);
  } else {
    mixer->SetOwnerLevels(owner, levels);
  }
}

void MoviePlayer::State::QueueStreamBlock(const Timeline& timeline, const StreamBlockTag& block) {
  if (!timeline.streamHead || !block.data) return;
  if (streamOwner != &timeline) {
    if (streamOwner != nullptr && mixer->StreamFramesQueued() > 0) return;
    streamOwner = &timeline;
  }
  if (streamBlocks == 0) streamStartMixed = mixer->FramesMixed();
  ++streamBlocks;
  mixer->QueueStream(DecodeStreamBlock(*timeline.streamHead, *block.data, mp3));
}

void MoviePlayer::State::PlayFrameSounds() {
  for (const Stage::SoundEvent& event : stage->TakeSoundEvents()) {
    if (event.start) {
      StartSound(event.start->sound, event.start->info, event.owner);
    } else if (event.stream && event.block) {
      QueueStreamBlock(*event.stream, *event.block);
    } else {
      StopEverySound();
    }
  }
}

void MoviePlayer::State::DropSounds() {
  mixer->StopAll();
  mixer->SetGlobalLevels({});
  decoded.clear();
  decodedFrames = 0;
  streamOwner = nullptr;
  streamBlocks = 0;
}

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
  std::optional<Movie> movie = ParseMovie(fileBytes);
  if (!movie) {
    Unload();
    return false;
  }
  return Load(std::move(*movie));
}

bool MoviePlayer::Load(Movie movie) {
  state_->DropSounds();
  state_->renderer.Forget();
  state_->stage.reset();
  state_->stage = std::make_unique<Stage>(std::move(movie));
  state_->stage->SetSoundPort(state_.get());
  state_->stage->SetDeviceFonts(state_->deviceFonts);
  if (state_->traceSink) state_->stage->SetTraceSink(state_->traceSink);
  if (state_->urlReader) state_->stage->SetUrlReader(state_->urlReader);
  if (state_->clock) state_->stage->SetClock(state_->clock);
  state_->stage->SetScriptTimeLimit(state_->scriptSeconds, state_->scriptClock);
  ApplyFlashVars(*state_->stage, state_->flashVars);
  state_->stage->Start();
  state_->PlayFrameSounds();
  return true;
}

void MoviePlayer::Unload() {
  state_->DropSounds();
  state_->renderer.Forget();
  state_->stage.reset();
}

bool MoviePlayer::HasMovie() const { return state_->stage != nullptr; }

void MoviePlayer::Play() {
  if (state_->stage) state_->stage->Root().playing = true;
}

void MoviePlayer::Stop() {
  if (state_->stage) state_->stage->Root().playing = false;
}

void MoviePlayer::StopSounds() {
  state_->mixer->StopAll();
  state_->streamBlocks = 0;
}

int MoviePlayer::FramesDue() {
  constexpr int kMostExtraFrames = 3;
  constexpr std::int64_t kMostFramesAhead = 6;  // about the output's buffering
  constexpr int kMostTicksWaited = 3;
  State& s = *state_;
  if (!s.stage || !IsPlaying() || s.streamBlocks == 0) return 1;
  const double elapsed = static_cast<double>(s.mixer->FramesMixed() - s.streamStartMixed);
  const auto due = static_cast<std::int64_t>(elapsed * FrameRate() / kMixRate);
  const std::int64_t behind = due - static_cast<std::int64_t>(s.streamBlocks);
  if (behind < -kMostFramesAhead && s.ticksWaited < kMostTicksWaited) {
    ++s.ticksWaited;
    return 0;
  }
  s.ticksWaited = 0;
  return behind > 0 ? 1 + static_cast<int>(std::min<std::int64_t>(behind, kMostExtraFrames)) : 1;
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
  if (!state_->stage) return;
  state_->stage->Tick();
  state_->PlayFrameSounds();
}

void MoviePlayer::PointerMove(double x, double y, int width, int height, ScaleMode scale) {
  if (!state_->stage) return;
  Stage& stage = *state_->stage;
  stage.NoteViewport(width, height, scale);
  const std::optional<Matrix> toSurface =
      StageToSurface(stage.GetMovie(), width, height, stage.ScaleFor(scale), stage.Alignment());
  if (!toSurface) return;
  const Matrix& m = *toSurface;  // only scales and moves
  if (m.a == 0 || m.d == 0) return;
  state_->stage->PointerMove((x - m.tx) / m.a, (y - m.ty) / m.d);
  state_->PlayFrameSounds();
}

void MoviePlayer::PointerButton(bool down) {
  if (!state_->stage) return;
  state_->stage->PointerButton(down);
  state_->PlayFrameSounds();
}

void MoviePlayer::KeyChange(bool down, int keyCode, int ascii) {
  if (!state_->stage) return;
  state_->stage->KeyChange(down, keyCode, ascii);
  state_->PlayFrameSounds();
}

bool MoviePlayer::PointerOnButton() const { return state_->stage && state_->stage->PointerOnButton(); }

SoundMixer& MoviePlayer::Sound() { return *state_->mixer; }

void MoviePlayer::SetDeviceFonts(DeviceFonts* fonts) {
  state_->deviceFonts = fonts;
  if (state_->stage) state_->stage->SetDeviceFonts(fonts);
}

void MoviePlayer::SetMp3Decoder(Mp3Decoder decoder) { state_->mp3 = std::move(decoder); }

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

void MoviePlayer::SetUrlReader(std::function<std::optional<std::string>(std::string_view url)> reader) {
  state_->urlReader = std::move(reader);
  if (state_->stage) state_->stage->SetUrlReader(state_->urlReader);
}

void MoviePlayer::SetTraceSink(std::function<void(std::string_view)> sink) {
  state_->traceSink = std::move(sink);
  if (state_->stage) state_->stage->SetTraceSink(state_->traceSink);
}

void MoviePlayer::SetScriptTimeLimit(double maxSeconds, std::function<double()> secondsClock) {
  state_->scriptSeconds = maxSeconds;
  state_->scriptClock = std::move(secondsClock);
  if (state_->stage) state_->stage->SetScriptTimeLimit(state_->scriptSeconds, state_->scriptClock);
}

void MoviePlayer::SetClock(std::function<double()> millis) {
  state_->clock = std::move(millis);
  if (state_->stage) state_->stage->SetClock(state_->clock);
}

std::vector<FsCommand> MoviePlayer::TakeFsCommands() {
  return state_->stage ? state_->stage->TakeCommands() : std::vector<FsCommand>{};
}

void MoviePlayer::Render(const Surface& target, ScaleMode scale) const {
  if (state_->stage) state_->stage->NoteViewport(target.width, target.height, scale);
  state_->renderer.RenderWhole(state_->stage.get(), target, scale, state_->rasterizer);
}

std::span<const PixelRect> MoviePlayer::RenderChanges(const Surface& target, ScaleMode scale) {
  if (state_->stage) state_->stage->NoteViewport(target.width, target.height, scale);
  return state_->renderer.RenderChanges(state_->stage.get(), target, scale, state_->rasterizer);
}

void MoviePlayer::ForgetRenderedFrame() { state_->renderer.Forget(); }

}  // namespace swf
