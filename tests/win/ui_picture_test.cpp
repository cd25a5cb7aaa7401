#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>
#include <string>
#include <vector>

// The test makes its JPEG pictures with libjpeg's compressor.
#include <jpeglib.h>

#include "support/win_test_support.h"
#include "ui/application.h"
#include "ui/form.h"
#include "ui/graphics.h"

namespace tpl {
namespace {

using Pixels = std::vector<std::uint32_t>;  // 0x00RRGGBB, rows from the top

constexpr std::uint32_t kRed = 0xFF0000;
constexpr std::uint32_t kGreen = 0x00FF00;
constexpr std::uint32_t kBlue = 0x0000FF;
constexpr std::uint32_t kWhite = 0xFFFFFF;

// A JPEG of 16 x 8 pixels, red on the left half and blue on the right, every
// colour component at full resolution so the halves do not bleed.
std::vector<std::uint8_t> MakeRedBlueJpeg() {
  jpeg_compress_struct encoder;
  jpeg_error_mgr errors;
  encoder.err = jpeg_std_error(&errors);
  jpeg_create_compress(&encoder);
  unsigned char* buffer = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&encoder, &buffer, &size);
  encoder.image_width = 16;
  encoder.image_height = 8;
  encoder.input_components = 3;
  encoder.in_color_space = JCS_RGB;
  jpeg_set_defaults(&encoder);
  jpeg_set_quality(&encoder, 100, TRUE);
  for (int i = 0; i < encoder.num_components; ++i) {
    encoder.comp_info[i].h_samp_factor = 1;
    encoder.comp_info[i].v_samp_factor = 1;
  }
  jpeg_start_compress(&encoder, TRUE);
  unsigned char row[16 * 3];
  for (int x = 0; x < 16; ++x) {
    row[x * 3] = x < 8 ? 255 : 0;
    row[x * 3 + 1] = 0;
    row[x * 3 + 2] = x < 8 ? 0 : 255;
  }
  while (encoder.next_scanline < encoder.image_height) {
    JSAMPROW rowPointer = row;
    jpeg_write_scanlines(&encoder, &rowPointer, 1);
  }
  jpeg_finish_compress(&encoder);
  jpeg_destroy_compress(&encoder);
  std::vector<std::uint8_t> bytes(buffer, buffer + size);
  std::free(buffer);
  return bytes;
}

// A 2 x 2 bitmap file, 24 bits, stored bottom-up: red, green over blue, white.
std::string TwoByTwoBitmapFile() {
  std::string file;
  auto put16 = [&](std::uint16_t v) { file.append({static_cast<char>(v & 0xFF), static_cast<char>(v >> 8)}); };
  auto put32 = [&](std::uint32_t v) {
    put16(static_cast<std::uint16_t>(v & 0xFFFF));
    put16(static_cast<std::uint16_t>(v >> 16));
  };
  auto putPixel = [&](std::uint32_t rgb) {
    file.push_back(static_cast<char>(rgb & 0xFF));
    file.push_back(static_cast<char>((rgb >> 8) & 0xFF));
    file.push_back(static_cast<char>((rgb >> 16) & 0xFF));
  };
  const std::uint32_t rowBytes = 8;  // 6 bytes of pixels padded to 4
  file += "BM";
  put32(54 + 2 * rowBytes);
  put32(0);
  put32(54);
  put32(40);
  put32(2);
  put32(2);
  put16(1);
  put16(24);
  put32(0);
  put32(2 * rowBytes);
  put32(2835);
  put32(2835);
  put32(0);
  put32(0);
  putPixel(kBlue);  // bottom row first
  putPixel(kWhite);
  file.append(2, '\0');
  putPixel(kRed);
  putPixel(kGreen);
  file.append(2, '\0');
  return file;
}

Pixels PixelsOf(HBITMAP bitmap, int width, int height) {
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  Pixels pixels(static_cast<std::size_t>(width * height));
  HDC screen = ::GetDC(nullptr);
  const int rows = ::GetDIBits(screen, bitmap, 0, static_cast<UINT>(height), pixels.data(), &info, DIB_RGB_COLORS);
  ::ReleaseDC(nullptr, screen);
  EXPECT_EQ(rows, height);
  for (auto& p : pixels) p &= 0xFFFFFF;
  return pixels;
}

// Within a few steps per channel: JPEG is lossy even at full quality.
bool Near(std::uint32_t actual, std::uint32_t expected) {
  for (int shift = 0; shift <= 16; shift += 8) {
    const int a = static_cast<int>((actual >> shift) & 0xFF);
    const int e = static_cast<int>((expected >> shift) & 0xFF);
    if (std::abs(a - e) > 6) return false;
  }
  return true;
}

TEST(UiPictures, DecodesJpegFromMemoryAndFromFile) {
  const std::vector<std::uint8_t> jpeg = MakeRedBlueJpeg();
  testing::ScratchFolder folder;
  const std::string path = folder.File("picture.jpg");
  testing::WriteFileBytes(path, std::string(jpeg.begin(), jpeg.end()));
  const struct {
    const char* source;
    ui::Bitmap bitmap;
  } cases[] = {
      {"memory", ui::Bitmap::FromJpegMemory(jpeg)},
      {"file", ui::Bitmap::FromJpegFile(path)},
      {"picture file", ui::Bitmap::FromPictureFile(path)},
  };
  for (const auto& c : cases) {
    ASSERT_EQ(c.bitmap.Width(), 16) << c.source;
    ASSERT_EQ(c.bitmap.Height(), 8) << c.source;
    const Pixels pixels = PixelsOf(c.bitmap.Handle(), 16, 8);
    for (int y = 0; y < 8; ++y) {
      for (int x = 0; x < 16; ++x) {
        const std::uint32_t pixel = pixels[static_cast<std::size_t>(y * 16 + x)];
        EXPECT_TRUE(Near(pixel, x < 8 ? kRed : kBlue))
            << c.source << " at " << x << "," << y << ": " << std::hex << pixel;
      }
    }
  }
}

TEST(UiPictures, ABrokenJpegIsAnErrorWithAReadableText) {
  std::vector<std::uint8_t> jpeg = MakeRedBlueJpeg();
  const std::vector<std::vector<std::uint8_t>> broken = {
      {0xFF, 0xD8, 0xFF},                                          // cut short in the header
      {'B', 'M', 0, 0},                                            // not a JPEG at all
      std::vector<std::uint8_t>(jpeg.begin(), jpeg.begin() + 20),  // only the start
  };
  for (const auto& bytes : broken) {
    try {
      static_cast<void>(ui::Bitmap::FromJpegMemory(bytes));
      ADD_FAILURE() << "decoded " << bytes.size() << " broken bytes";
    } catch (const std::runtime_error& error) {
      EXPECT_NE(std::string(error.what()).find("JPEG"), std::string::npos) << error.what();
    }
  }
  EXPECT_THROW(static_cast<void>(ui::Bitmap::FromJpegMemory({})), std::runtime_error);
}

TEST(UiPictures, LoadsWindowsBitmapFiles) {
  testing::ScratchFolder folder;
  const std::string path = folder.File("picture.bmp");
  testing::WriteFileBytes(path, TwoByTwoBitmapFile());
  for (const ui::Bitmap& bitmap : {ui::Bitmap::FromBitmapFile(path), ui::Bitmap::FromPictureFile(path)}) {
    ASSERT_EQ(bitmap.Width(), 2);
    ASSERT_EQ(bitmap.Height(), 2);
    EXPECT_EQ(PixelsOf(bitmap.Handle(), 2, 2), (Pixels{kRed, kGreen, kBlue, kWhite}));
  }
  EXPECT_THROW(static_cast<void>(ui::Bitmap::FromBitmapFile(folder.File("missing.bmp"))), std::runtime_error);
}

TEST(UiPictures, LoadsPicturesFromResources) {
  HINSTANCE module = ::GetModuleHandleA(nullptr);
  const ui::Bitmap bitmap = ui::Bitmap::FromBitmapResource(module, "RED_BLUE_BITMAP");
  ASSERT_EQ(bitmap.Width(), 4);
  ASSERT_EQ(bitmap.Height(), 2);
  EXPECT_EQ(PixelsOf(bitmap.Handle(), 4, 2), (Pixels{kRed, kRed, kBlue, kBlue, kRed, kRed, kBlue, kBlue}));

  const ui::Bitmap jpeg = ui::Bitmap::FromJpegResource(module, "RED_BLUE_JPEG");
  ASSERT_EQ(jpeg.Width(), 16);
  ASSERT_EQ(jpeg.Height(), 8);
  const Pixels pixels = PixelsOf(jpeg.Handle(), 16, 8);
  for (int x = 0; x < 16; ++x) {
    EXPECT_TRUE(Near(pixels[static_cast<std::size_t>(4 * 16 + x)], x < 8 ? kRed : kBlue)) << x;
  }
  EXPECT_THROW(static_cast<void>(ui::Bitmap::FromJpegResource(module, "NO_SUCH_PICTURE")), std::runtime_error);
  EXPECT_THROW(static_cast<void>(ui::Bitmap::FromBitmapResource(module, "NO_SUCH_PICTURE")), std::runtime_error);
}

constexpr ui::FormDesign kPictureDesign{
    "TfrmUiPictureTest",        "Pictures", 200, 120, ui::BorderStyle::None, ui::kWhite, {},
    ui::FormPosition::Designed, false};
constexpr ui::ControlLayout kPictureLayout[] = {
    {"imgStretched", nullptr, 20, 20, 40, 40, "", ui::kStretch},
    {"imgPlain", nullptr, 100, 20, 10, 10},
    {"imgHidden", nullptr, 150, 20, 10, 10, "", ui::kHidden},
};

class TfrmUiPictureTest : public ui::Form {
 public:
  TfrmUiPictureTest() : Form(kPictureDesign, kPictureLayout) {}
  ui::Image imgStretched{*this, "imgStretched"};
  ui::Image imgPlain{*this, "imgPlain"};
  ui::Image imgHidden{*this, "imgHidden"};
};

TEST(UiPictures, ImagesPaintTheirSurfaceStretchedAndTheirPictureClipped) {
  ui::Application application;
  auto& form = application.CreateForm<TfrmUiPictureTest>();
  ui::Surface& surface = form.imgStretched.CreateSurface(2, 2);
  const std::uint32_t quadrants[] = {kRed, kGreen, kBlue, 0x808080};
  std::copy(std::begin(quadrants), std::end(quadrants), surface.Pixels());
  testing::ScratchFolder folder;
  testing::WriteFileBytes(folder.File("p.bmp"), TwoByTwoBitmapFile());
  form.imgPlain.LoadFromFile(folder.File("p.bmp"));
  form.imgHidden.LoadFromFile(folder.File("p.bmp"));

  ui::Surface printed(200, 120);
  ::SendMessageA(form.Handle(), WM_PRINTCLIENT, reinterpret_cast<WPARAM>(printed.Dc()), PRF_CLIENT | PRF_ERASEBKGND);
  auto at = [&](int x, int y) { return printed.Pixels()[y * 200 + x] & 0xFFFFFF; };
  const struct {
    int x, y;
    std::uint32_t expected;
  } cases[] = {
      {5, 5, kWhite},                                                              // form colour
      {25, 25, kRed},    {55, 25, kGreen},  {25, 55, kBlue},  {55, 55, 0x808080},  // stretched 2 x 2 -> 40 x 40
      {61, 61, kWhite},                                                            // outside the image
      {100, 20, kRed},   {101, 20, kGreen}, {100, 21, kBlue}, {101, 21, kWhite},   // picture at its own size
      {105, 25, kWhite},                                                           // the rest of the bounds
      {150, 20, kWhite},                                                           // hidden image
  };
  for (const auto& c : cases) EXPECT_EQ(at(c.x, c.y), c.expected) << c.x << "," << c.y;
}

}  // namespace
}  // namespace tpl
