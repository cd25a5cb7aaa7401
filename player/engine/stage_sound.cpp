// What Sound objects reach: the levels of a clip's sounds (or the movie's),
// the library's exported sounds, and starting, stopping and following them in
// the player's mixer.

#include <algorithm>
#include <cmath>

#include "stage.h"
#include "swf_text.h"

namespace swf {

const void* Stage::SoundOwner(Object* clip) {
  const auto timeline = TimelineOf(clip);
  return timeline ? timeline.get() : nullptr;
}

bool Stage::GetSoundLevels(Object* clip, SoundTransform& out) {
  if (!clip) {
    out = globalSoundLevels_;
    return true;
  }
  const auto timeline = TimelineOf(clip);
  if (!timeline || !IsOnStage(*timeline)) return false;
  out = timeline->soundLevels;
  return true;
}

void Stage::SetSoundLevels(Object* clip, const SoundTransform& levels) {
  if (!clip) {
    globalSoundLevels_ = levels;
  } else if (const auto timeline = TimelineOf(clip)) {
    timeline->soundLevels = levels;
  } else {
    return;
  }
  if (soundPort_) soundPort_->SetLevels(SoundOwner(clip), levels);
}

bool Stage::FindExportedSound(std::string_view name, std::uint16_t& id, double& millis) {
  const auto exported = movie_.exports.find(LowerAscii(name));
  if (exported == movie_.exports.end()) return false;
  const auto sound = movie_.sounds.find(exported->second);
  if (sound == movie_.sounds.end()) return false;
  id = exported->second;
  const SoundDef& definition = *sound->second;
  millis = definition.shape.rate > 0 ? definition.sampleCount * 1000.0 / definition.shape.rate : 0;
  return true;
}

void Stage::StartScriptSound(Object* clip, std::uint16_t id, double offsetSeconds, int loops) {
  if (!soundPort_) return;
  SoundInfo info;
  info.loops = static_cast<std::uint16_t>(std::clamp(loops, 1, 65535));
  if (offsetSeconds > 0) info.inPoint44 = static_cast<std::uint32_t>(std::min(offsetSeconds * 44100, 4.0e9));
  soundPort_->StartSound(id, info, SoundOwner(clip));
}

void Stage::StopScriptSound(Object* clip, std::uint16_t id) {
  if (!soundPort_) return;
  if (!clip && id == 0) {
    soundPort_->StopEverySound();
  } else {
    soundPort_->StopSound(id, SoundOwner(clip));
  }
}

std::optional<double> Stage::ScriptSoundMillis(Object* clip, std::uint16_t id) {
  if (!soundPort_) return std::nullopt;
  return soundPort_->PlayedMillis(id, SoundOwner(clip));
}

}  // namespace swf
