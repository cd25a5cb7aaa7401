#pragma once
// A 32-bit top-down DIB section selected into a memory DC: the engine draws
// into its pixels, and it is copied to a window or any other DC from there.

#include <windows.h>

#include <cstddef>
#include <vector>

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
  // Brings the bitmap to the movie's current frame at this size, redrawing
  // only what changed since the last update while the size stays (the movie
  // keeps one such bitmap up to date). `changed` receives the areas drawn,
  // none when nothing changed; false when no bitmap of that size could be made.
  [[nodiscard]] bool Update(swf::MoviePlayer& movie, swf::ScaleMode scale, int width, int height,
                            std::vector<RECT>& changed);
  // Copies the last rendered frame to (x, y) of the target.
  void CopyTo(HDC target, int x, int y) const;
  // Copies one area of the last rendered frame to the same place of the target.
  void CopyAreaTo(HDC target, const RECT& area) const;
  // Copies the rectangles of `region` (target coordinates) one by one: areas
  // far apart cost only their own pixels, not their bounding box's. False when
  // the region is empty, could not be read or has so many rectangles that one
  // copy of its bounding box is cheaper.
  [[nodiscard]] bool CopyRegionTo(HDC target, HRGN region);
  [[nodiscard]] bool Holds(int width, int height) const {
    return dc_ != nullptr && width == width_ && height == height_;
  }

 private:
  [[nodiscard]] bool Resize(int width, int height);
  [[nodiscard]] swf::Surface Surface() const;
  void Free() noexcept;

  HDC dc_ = nullptr;
  HBITMAP bitmap_ = nullptr;
  HGDIOBJ previousBitmap_ = nullptr;
  void* pixels_ = nullptr;
  int width_ = 0;
  int height_ = 0;
  std::vector<std::byte> regionData_;  // kept between paints: no allocation a frame
};

}  // namespace tpl::player
