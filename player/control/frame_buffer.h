#pragma once
// A 32-bit top-down DIB section selected into a memory DC: the engine draws
// into its pixels, and it is copied to a window or any other DC from there.

#include <windows.h>

#include "engine/movie_player.h"

namespace tpl::player {

class FrameBuffer {
 public:
  FrameBuffer() = default;
  ~FrameBuffer();
  FrameBuffer(const FrameBuffer&) = delete;
  FrameBuffer& operator=(const FrameBuffer&) = delete;

  // Draws the movie's current frame at this size; false when no bitmap of
  // that size could be made. The bitmap is kept while the size stays.
  [[nodiscard]] bool Render(const swf::MoviePlayer& movie, swf::ScaleMode scale, int width, int height);
  // Copies the last rendered frame to (x, y) of the target.
  void CopyTo(HDC target, int x, int y) const;

 private:
  [[nodiscard]] bool Resize(int width, int height);
  void Free() noexcept;

  HDC dc_ = nullptr;
  HBITMAP bitmap_ = nullptr;
  HGDIOBJ previousBitmap_ = nullptr;
  void* pixels_ = nullptr;
  int width_ = 0;
  int height_ = 0;
};

}  // namespace tpl::player
