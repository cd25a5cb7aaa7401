#pragma once
// The movie engine as the control sees it: load a movie, run its timeline and
// actions one frame at a time, and draw the current frame into a pixel buffer.
// Portable: no Windows header, so it is tested and fuzzed natively.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "sound/sound_data.h"

namespace swf {

class SoundMixer;
class DeviceFonts;
struct Movie;

enum class ScaleMode { ShowAll, ExactFit, NoScale, NoBorder };

// "ShowAll", "ExactFit", "NoScale", "NoBorder" in any letter case; nothing else.
[[nodiscard]] std::optional<ScaleMode> ParseScaleMode(std::string_view text);
// The name scripts see for a scale mode ("showAll", "exactFit", "noScale", "noBorder").
[[nodiscard]] std::string_view ScaleModeName(ScaleMode scale);

// Where the movie sits in a window it does not fill: the edges it keeps to
// (neither of a pair: centred).
struct StageAlignment {
  bool top = false, bottom = false, left = false, right = false;
  friend bool operator==(const StageAlignment&, const StageAlignment&) = default;
};
// The letters T, B, L and R in any order and case; other characters are ignored.
[[nodiscard]] StageAlignment ParseStageAlignment(std::string_view letters);
// The letters scripts read back: "T" or "B" before "L" or "R" ("TL", "B", "").
[[nodiscard]] std::string StageAlignmentLetters(const StageAlignment& align);

// A 32-bit top-down pixel buffer as a Windows DIB section lays it out:
// each pixel is 0xAARRGGBB in a little-endian word (bytes B, G, R, A).
struct Surface {
  std::uint32_t* pixels = nullptr;
  int width = 0;
  int height = 0;
  int stridePixels = 0;  // pixels from one row to the next
};

// A rectangle of pixels: columns left..right - 1, rows top..bottom - 1.
struct PixelRect {
  int left = 0, top = 0, right = 0, bottom = 0;
  [[nodiscard]] bool Empty() const { return right <= left || bottom <= top; }
  [[nodiscard]] long long Area() const {
    return Empty() ? 0 : static_cast<long long>(right - left) * static_cast<long long>(bottom - top);
  }
  friend bool operator==(const PixelRect&, const PixelRect&) = default;
};

// A command raised by the movie: GetURL/GetURL2 with the "FSCommand:" prefix.
// Texts are UTF-8.
struct FsCommand {
  std::string command;
  std::string args;
  friend bool operator==(const FsCommand&, const FsCommand&) = default;
};

class MoviePlayer {
 public:
  MoviePlayer();
  ~MoviePlayer();
  MoviePlayer(const MoviePlayer&) = delete;
  MoviePlayer& operator=(const MoviePlayer&) = delete;

  // Replaces the current movie with the one in fileBytes (a whole .swf file,
  // FWS or CWS), shows its first frame (display list, then that frame's
  // actions) and starts playing. Returns false when the data is not a movie
  // we can play; the player is then empty (draws white, never plays).
  bool Load(std::span<const std::uint8_t> fileBytes);
  // The same in two steps: ParseMovie (swf_movie.h) reads the file, on any
  // thread; this replaces the current movie with it and starts it.
  bool Load(Movie movie);
  void Unload();
  [[nodiscard]] bool HasMovie() const;

  void Play();
  void Stop();
  [[nodiscard]] bool IsPlaying() const;

  // The movie's frames per second (12 when no movie is loaded or the header
  // says 0); the control sets its timer from it.
  [[nodiscard]] double FrameRate() const;
  // Stage size in pixels from the header (0 x 0 when empty).
  [[nodiscard]] int StageWidth() const;
  [[nodiscard]] int StageHeight() const;
  [[nodiscard]] int CurrentFrame() const;  // 1-based; 0 when empty
  [[nodiscard]] int FrameCount() const;

  // One timer tick: when playing, advances the root timeline (and every
  // sprite's) by one frame, looping the root at its end, and runs the new
  // frame's actions within an instruction budget. When the root is stopped,
  // it stays on its frame; sprites that play go on with their own timelines,
  // as in the platform's player.
  void Advance();

  // "a=1&b=x+y", URL-encoded: each pair becomes a string variable of the
  // root timeline at once. Malformed pairs are skipped. The text is also kept
  // and given to every movie loaded later (before its first frame runs), as
  // the control's FlashVars property is.
  void SetFlashVars(std::string_view query);
  [[nodiscard]] std::optional<std::string> RootVariable(std::string_view name) const;
  // Script objects alive now (the built-ins included); 0 when empty.
  [[nodiscard]] std::size_t LiveScriptObjects() const;

  // Reads what the movie's scripts load by URL (LoadVars, XML, style sheets):
  // the bytes, or nullopt when the host will not or cannot give them (see
  // LocalRequestPath in local_requests.h). Without a reader every load
  // fails, as it does on the platform without a network. It is called on
  // the thread that advances the movie, so it must never wait on a network.
  // Kept for movies loaded later.
  void SetUrlReader(std::function<std::optional<std::string>(std::string_view url)> reader);

  // Where the movie's trace() lines go (UTF-8, one call per line); none by
  // default, and then trace costs nothing. Kept for movies loaded later.
  void SetTraceSink(std::function<void(std::string_view)> sink);

  // The clock that getTimer, the intervals and the timeouts of scripts read:
  // milliseconds since some fixed moment, read once a frame. Without one the
  // clock is the frame count at the movie's frame rate, so a headless run
  // repeats exactly; the control gives the real time. Kept for movies loaded later.
  void SetClock(std::function<double()> millis);
  // A script that runs longer than the movie allows (its ScriptLimits, else
  // 15 seconds) is stopped; a host may shorten that to `maxSeconds` so a
  // runaway script cannot hold it up. `secondsClock` replaces the steady
  // clock scripts are timed by (tests). Kept for movies loaded later.
  void SetScriptTimeLimit(double maxSeconds, std::function<double()> secondsClock = {});

  // The movie's sounds are mixed here; an audio output pulls the mix from it
  // on a thread of its own. The mixer outlives movies loaded and unloaded.
  [[nodiscard]] SoundMixer& Sound();
  // Decodes the movie's MP3 sounds; without one they stay silent. Kept for movies loaded later.
  void SetMp3Decoder(Mp3Decoder decoder);
  // Gives text fields that use device fonts their glyphs; without it they
  // draw no text. Kept for movies loaded later; must outlive the player.
  void SetDeviceFonts(DeviceFonts* fonts);
  // Silences every sound at once (the control's Stop, the end of the saver).
  void StopSounds();
  // How many frames to advance on this tick so that the timeline keeps in
  // step with a stream sound an output is playing in real time: 1 without a
  // stream; more when the timeline lags the sound (those frames are not
  // drawn), 0 when it runs ahead (never more than a few ticks in a row, so
  // a stalled output cannot freeze the movie).
  [[nodiscard]] int FramesDue();

  // The pointer at a point of a surface of `width` x `height` pixels that
  // shows the movie drawn with `scale`, as Render draws it; buttons and the
  // mouse events of scripts follow it.
  void PointerMove(double x, double y, int width, int height, ScaleMode scale);
  void PointerButton(bool down);
  // A key went down or up: `keyCode` as Key.getCode reports it (the system's
  // virtual-key codes), `ascii` the character it typed or 0.
  void KeyChange(bool down, int keyCode, int ascii);
  // Whether the pointer rests on something clickable (the hand pointer shows).
  [[nodiscard]] bool PointerOnButton() const;

  // The commands raised since the last call, in the order raised.
  [[nodiscard]] std::vector<FsCommand> TakeFsCommands();

  // Draws the current frame, scaled into the whole surface; the background
  // colour (white when the movie sets none or none is loaded) fills it.
  void Render(const Surface& target, ScaleMode scale) const;

  // Brings a surface that keeps its pixels between calls to the current
  // frame, as Render would draw it, redrawing only the areas that changed
  // since the last call when it is the same surface (pixels, size) at the same
  // scale; the whole surface otherwise, and after a load. Returns the areas
  // drawn, none when nothing changed. One surface at a time is kept up to date
  // so: Render into other surfaces does not disturb it.
  std::span<const PixelRect> RenderChanges(const Surface& target, ScaleMode scale);
  // The surface last given to RenderChanges was changed by someone else: the
  // next call draws it whole.
  void ForgetRenderedFrame();

 private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace swf
