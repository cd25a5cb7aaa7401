#pragma once
// Colours, font descriptions, bitmaps (Windows bitmaps and JPEG pictures) and
// off-screen drawing surfaces of the window framework.

#include <windows.h>

#include <cstdint>
#include <span>
#include <string>

#include "common/win_handles.h"

namespace tpl::ui {

// An RGB colour (COLORREF layout), or a system colour when kSystemColourFlag is set.
using Colour = std::uint32_t;
inline constexpr Colour kSystemColourFlag = 0x80000000u;
[[nodiscard]] constexpr Colour SystemColour(int index) { return kSystemColourFlag | static_cast<Colour>(index); }
[[nodiscard]] constexpr Colour Rgb(std::uint8_t r, std::uint8_t g, std::uint8_t b) {
  return Colour{r} | (Colour{g} << 8) | (Colour{b} << 16);
}
inline constexpr Colour kBlack = Rgb(0, 0, 0);
inline constexpr Colour kWhite = Rgb(255, 255, 255);
inline constexpr Colour kSilver = Rgb(192, 192, 192);
inline constexpr Colour kButtonFace = SystemColour(COLOR_BTNFACE);
inline constexpr Colour kWindowColour = SystemColour(COLOR_WINDOW);
inline constexpr Colour kWindowText = SystemColour(COLOR_WINDOWTEXT);

[[nodiscard]] COLORREF ToColorRef(Colour colour) noexcept;

// A font as forms and controls describe it. `height` in pixels, when not 0,
// wins over `points` (negative: character height, as the font calls take it).
struct FontStyle {
  std::string face = "MS Sans Serif";
  int points = 8;
  int height = 0;
  bool bold = false;
  int charset = DEFAULT_CHARSET;
  Colour colour = kWindowText;
};

// The font of a style at a pixel density.
[[nodiscard]] UniqueGdiObject CreateFontFor(const FontStyle& style, int pixelsPerInch);

// The screen's logical pixels per inch.
[[nodiscard]] int ScreenPixelsPerInch();

// A device-independent bitmap the program owns.
class Bitmap {
 public:
  Bitmap() = default;
  // Takes over a bitmap handle.
  explicit Bitmap(HBITMAP handle);

  [[nodiscard]] static Bitmap FromBitmapFile(const std::string& path);
  [[nodiscard]] static Bitmap FromBitmapResource(HINSTANCE module, const char* name);
  [[nodiscard]] static Bitmap FromJpegFile(const std::string& path);
  [[nodiscard]] static Bitmap FromJpegMemory(std::span<const std::uint8_t> bytes);
  // A JPEG stored as a resource of the given type (RT_RCDATA when none is named).
  [[nodiscard]] static Bitmap FromJpegResource(HINSTANCE module, const char* name, const char* type = nullptr);
  // A Windows bitmap or a JPEG file, told apart by its first bytes.
  [[nodiscard]] static Bitmap FromPictureFile(const std::string& path);

  [[nodiscard]] HBITMAP Handle() const noexcept { return static_cast<HBITMAP>(handle_.Get()); }
  [[nodiscard]] bool Empty() const noexcept { return !handle_; }
  [[nodiscard]] int Width() const noexcept { return width_; }
  [[nodiscard]] int Height() const noexcept { return height_; }

 private:
  UniqueGdiObject handle_;
  int width_ = 0;
  int height_ = 0;
};

// An off-screen drawing surface: a memory device context with a 32-bit
// top-down DIB of a given size selected into it.
class Surface {
 public:
  Surface(int width, int height);
  ~Surface();
  Surface(const Surface&) = delete;
  Surface& operator=(const Surface&) = delete;

  [[nodiscard]] HDC Dc() const noexcept { return dc_; }
  // Pixels as 0x00RRGGBB, row after row from the top, Width() per row.
  [[nodiscard]] std::uint32_t* Pixels() const noexcept { return pixels_; }
  [[nodiscard]] int Width() const noexcept { return width_; }
  [[nodiscard]] int Height() const noexcept { return height_; }

 private:
  HDC dc_ = nullptr;
  UniqueGdiObject bitmap_;
  HGDIOBJ previous_ = nullptr;
  std::uint32_t* pixels_ = nullptr;
  int width_ = 0;
  int height_ = 0;
};

}  // namespace tpl::ui
