#include "frame_buffer.h"

#include <algorithm>

namespace tpl::player {

FrameBuffer::~FrameBuffer() { Free(); }

void FrameBuffer::Free() noexcept {
  if (dc_ != nullptr) {
    ::SelectObject(dc_, previousBitmap_);
    ::DeleteDC(dc_);
  }
  if (bitmap_ != nullptr) ::DeleteObject(bitmap_);
  dc_ = nullptr;
  bitmap_ = nullptr;
  previousBitmap_ = nullptr;
  pixels_ = nullptr;
  width_ = height_ = 0;
}

bool FrameBuffer::Resize(int width, int height) {
  if (bitmap_ != nullptr && width == width_ && height == height_) return true;
  Free();
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;  // top-down, as the engine's surface is laid out
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  bitmap_ = ::CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &pixels_, nullptr, 0);
  dc_ = ::CreateCompatibleDC(nullptr);
  if (bitmap_ == nullptr || dc_ == nullptr || pixels_ == nullptr) {
    Free();
    return false;
  }
  previousBitmap_ = ::SelectObject(dc_, bitmap_);
  width_ = width;
  height_ = height;
  return true;
}

swf::Surface FrameBuffer::Surface() const {
  swf::Surface surface;
  surface.pixels = static_cast<std::uint32_t*>(pixels_);
  surface.width = width_;
  surface.height = height_;
  surface.stridePixels = width_;
  return surface;
}

bool FrameBuffer::Render(const swf::MoviePlayer& movie, swf::ScaleMode scale, int width, int height) {
  if (width <= 0 || height <= 0 || !Resize(width, height)) return false;
  ::GdiFlush();  // GDI must be done with the pixels before we write them
  movie.Render(Surface(), scale);
  return true;
}

bool FrameBuffer::Update(swf::MoviePlayer& movie, swf::ScaleMode scale, int width, int height,
                         std::vector<RECT>& changed) {
  changed.clear();
  if (width <= 0 || height <= 0) return false;
  if (!Holds(width, height)) {
    // A new bitmap: whatever the movie drew last went elsewhere.
    movie.ForgetRenderedFrame();
    if (!Resize(width, height)) return false;
  }
  ::GdiFlush();
  for (const swf::PixelRect& area : movie.RenderChanges(Surface(), scale)) {
    changed.push_back(RECT{area.left, area.top, area.right, area.bottom});
  }
  return true;
}

void FrameBuffer::CopyTo(HDC target, int x, int y) const {
  if (dc_ == nullptr) return;
  ::BitBlt(target, x, y, width_, height_, dc_, 0, 0, SRCCOPY);
}

void FrameBuffer::CopyAreaTo(HDC target, const RECT& area) const {
  if (dc_ == nullptr) return;
  const LONG left = std::max(area.left, 0L), top = std::max(area.top, 0L);
  const LONG right = std::min(area.right, static_cast<LONG>(width_)),
             bottom = std::min(area.bottom, static_cast<LONG>(height_));
  if (right <= left || bottom <= top) return;
  ::BitBlt(target, left, top, right - left, bottom - top, dc_, left, top, SRCCOPY);
}

}  // namespace tpl::player

namespace tpl::player {

bool FrameBuffer::CopyRegionTo(HDC target, HRGN region) {
  // Past this many rectangles the fixed cost of each copy outweighs the pixels saved.
  constexpr DWORD kMostRectangles = 32;
  if (dc_ == nullptr || region == nullptr) return false;
  const DWORD size = ::GetRegionData(region, 0, nullptr);
  if (size < sizeof(RGNDATAHEADER)) return false;
  if (regionData_.size() < size) regionData_.resize(size);
  auto* data = reinterpret_cast<RGNDATA*>(regionData_.data());
  if (::GetRegionData(region, size, data) == 0) return false;
  const DWORD count = data->rdh.nCount;
  if (count == 0 || count > kMostRectangles) return false;
  const auto* rectangles = reinterpret_cast<const RECT*>(data->Buffer);
  for (DWORD i = 0; i < count; ++i) CopyAreaTo(target, rectangles[i]);
  return true;
}

}  // namespace tpl::player
