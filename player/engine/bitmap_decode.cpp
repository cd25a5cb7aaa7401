#include "bitmap_decode.h"

#include <algorithm>
#include <csetjmp>
#include <cstdio>

#include <jpeglib.h>
// After jpeglib.h, which it needs.
#include <jerror.h>

namespace swf {

namespace {

std::uint32_t PackPremultiplied(std::uint32_t a, std::uint32_t r, std::uint32_t g, std::uint32_t b) {
  // A stored colour brighter than its alpha cannot be premultiplied: keep the
  // invariant the blending relies on.
  return a << 24 | std::min(r, a) << 16 | std::min(g, a) << 8 | std::min(b, a);
}

std::uint32_t Premultiply(std::uint32_t a, std::uint32_t r, std::uint32_t g, std::uint32_t b) {
  const auto scale = [a](std::uint32_t c) { return (c * a + 127) / 255; };
  return a << 24 | scale(r) << 16 | scale(g) << 8 | scale(b);
}

bool SizeFits(std::size_t width, std::size_t height, std::size_t maxPixels) {
  return width > 0 && height > 0 && width * height <= std::min(maxPixels, kMaxBitmapPixels);
}

std::shared_ptr<Bitmap> NewBitmap(int width, int height) {
  auto bitmap = std::make_shared<Bitmap>();
  bitmap->width = width;
  bitmap->height = height;
  bitmap->pixels.resize(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
  return bitmap;
}

void NoteOpacity(Bitmap& bitmap) {
  bitmap.opaque =
      std::all_of(bitmap.pixels.begin(), bitmap.pixels.end(), [](std::uint32_t p) { return (p >> 24) == 0xFFu; });
}

// Colour-mapped pixels: a table of RGB (or premultiplied RGBA) entries, then
// one index per pixel, rows padded to four bytes.
bool DecodeColorMapped(std::span<const std::uint8_t> data, std::size_t tableSize, bool alpha, Bitmap& bitmap) {
  const std::size_t entryBytes = alpha ? 4 : 3;
  const auto width = static_cast<std::size_t>(bitmap.width);
  const std::size_t rowBytes = (width + 3) & ~std::size_t{3};
  if (data.size() < tableSize * entryBytes + rowBytes * static_cast<std::size_t>(bitmap.height)) return false;
  std::vector<std::uint32_t> table(256, 0);
  for (std::size_t i = 0; i < tableSize; ++i) {
    const std::uint8_t* e = data.data() + i * entryBytes;
    table[i] = alpha ? PackPremultiplied(e[3], e[0], e[1], e[2]) : PackPremultiplied(255, e[0], e[1], e[2]);
  }
  const std::uint8_t* indices = data.data() + tableSize * entryBytes;
  for (std::size_t y = 0; y < static_cast<std::size_t>(bitmap.height); ++y) {
    for (std::size_t x = 0; x < width; ++x) bitmap.pixels[y * width + x] = table[indices[y * rowBytes + x]];
  }
  return true;
}

// 15-bit pixels: big-endian 0RRRRRGG GGGBBBBB, rows padded to four bytes.
bool Decode15Bit(std::span<const std::uint8_t> data, Bitmap& bitmap) {
  const auto width = static_cast<std::size_t>(bitmap.width);
  const std::size_t rowBytes = (width * 2 + 3) & ~std::size_t{3};
  if (data.size() < rowBytes * static_cast<std::size_t>(bitmap.height)) return false;
  const auto widen = [](std::uint32_t five) { return five << 3 | five >> 2; };
  for (std::size_t y = 0; y < static_cast<std::size_t>(bitmap.height); ++y) {
    for (std::size_t x = 0; x < width; ++x) {
      const std::uint8_t* p = data.data() + y * rowBytes + x * 2;
      const std::uint32_t v = std::uint32_t{p[0]} << 8 | p[1];
      bitmap.pixels[y * width + x] = PackPremultiplied(255, widen(v >> 10 & 31), widen(v >> 5 & 31), widen(v & 31));
    }
  }
  return true;
}

// 32-bit pixels: a padding byte and RGB, or premultiplied ARGB.
bool Decode32Bit(std::span<const std::uint8_t> data, bool alpha, Bitmap& bitmap) {
  if (data.size() / 4 < bitmap.pixels.size()) return false;
  for (std::size_t i = 0; i < bitmap.pixels.size(); ++i) {
    const std::uint8_t* p = data.data() + i * 4;
    bitmap.pixels[i] = PackPremultiplied(alpha ? p[0] : 255, p[1], p[2], p[3]);
  }
  return true;
}

}  // namespace

std::shared_ptr<const Bitmap> DecodeLosslessBitmap(std::span<const std::uint8_t> body, bool alpha,
                                                   std::size_t maxPixels) {
  if (body.size() < 5) return nullptr;
  const std::uint8_t format = body[0];
  const int width = body[1] | body[2] << 8;
  const int height = body[3] | body[4] << 8;
  if (!SizeFits(static_cast<std::size_t>(width), static_cast<std::size_t>(height), maxPixels)) return nullptr;
  std::size_t tableSize = 0;
  std::size_t headerBytes = 5;
  if (format == 3) {
    if (body.size() < 6) return nullptr;
    tableSize = std::size_t{body[5]} + 1;
    headerBytes = 6;
  }
  const auto w = static_cast<std::size_t>(width), h = static_cast<std::size_t>(height);
  const std::size_t expected = format == 3   ? tableSize * 4 + ((w + 3) & ~std::size_t{3}) * h
                               : format == 4 ? ((w * 2 + 3) & ~std::size_t{3}) * h
                                             : w * h * 4;
  const std::optional<std::vector<std::uint8_t>> data = Inflate(body.subspan(headerBytes), expected);
  if (!data) return nullptr;
  std::shared_ptr<Bitmap> bitmap = NewBitmap(width, height);
  bool decoded = false;
  if (format == 3) {
    decoded = DecodeColorMapped(*data, tableSize, alpha, *bitmap);
  } else if (format == 4 && !alpha) {
    decoded = Decode15Bit(*data, *bitmap);
  } else if (format == 5) {
    decoded = Decode32Bit(*data, alpha, *bitmap);
  }
  if (!decoded) return nullptr;
  NoteOpacity(*bitmap);
  return bitmap;
}

namespace {

struct JpegError {
  jpeg_error_mgr manager;
  std::jmp_buf jump;
};

[[noreturn]] void OnJpegError(j_common_ptr info) {
  auto* error = reinterpret_cast<JpegError*>(info->err);
  std::longjmp(error->jump, 1);
}

// Warnings pass, but for data that ends before the picture does: a
// truncated stream draws nothing rather than a grey remainder.
void OnJpegMessage(j_common_ptr info, int level) {
  if (level < 0 && info->err->msg_code == JWRN_JPEG_EOF) OnJpegError(info);
}

// Some files put an end-of-image and start-of-image marker before the real
// stream; libjpeg wants the stream to start with its start-of-image.
std::span<const std::uint8_t> SkipLeadingEndMarker(std::span<const std::uint8_t> data) {
  if (data.size() >= 4 && data[0] == 0xFF && data[1] == 0xD9 && data[2] == 0xFF && data[3] == 0xD8) {
    return data.subspan(4);
  }
  return data;
}

bool IsJpeg(std::span<const std::uint8_t> data) { return data.size() >= 2 && data[0] == 0xFF && data[1] == 0xD8; }

void SetSource(jpeg_decompress_struct& info, std::span<const std::uint8_t> data) {
  jpeg_mem_src(&info, data.data(), static_cast<unsigned long>(data.size()));
}

// Decodes into `bitmap` (opaque pixels); false on any error libjpeg reports.
// The objects longjmp can skip back over are all made by the caller.
bool DecodeJpegInto(jpeg_decompress_struct& info, JpegError& error, std::span<const std::uint8_t> jpeg,
                    std::span<const std::uint8_t> tables, std::size_t maxPixels, std::vector<std::uint8_t>& row,
                    Bitmap& bitmap) {
  if (setjmp(error.jump) != 0) return false;
  jpeg_create_decompress(&info);
  if (!tables.empty()) {
    SetSource(info, tables);
    (void)jpeg_read_header(&info, FALSE);
  }
  SetSource(info, jpeg);
  if (jpeg_read_header(&info, TRUE) != JPEG_HEADER_OK) return false;
  if (!SizeFits(info.image_width, info.image_height, maxPixels)) return false;
  info.out_color_space = JCS_RGB;
  jpeg_start_decompress(&info);
  if (info.output_components != 3) return false;
  bitmap.width = static_cast<int>(info.output_width);
  bitmap.height = static_cast<int>(info.output_height);
  bitmap.pixels.assign(static_cast<std::size_t>(info.output_width) * info.output_height, 0xFF000000u);
  row.resize(static_cast<std::size_t>(info.output_width) * 3);
  while (info.output_scanline < info.output_height) {
    const std::size_t y = info.output_scanline;
    JSAMPROW rows[1] = {row.data()};
    if (jpeg_read_scanlines(&info, rows, 1) != 1) return false;
    std::uint32_t* out = bitmap.pixels.data() + y * info.output_width;
    for (std::size_t x = 0; x < info.output_width; ++x) {
      out[x] = PackPremultiplied(255, row[x * 3], row[x * 3 + 1], row[x * 3 + 2]);
    }
  }
  jpeg_finish_decompress(&info);
  return true;
}

bool ApplyAlphaPlane(std::span<const std::uint8_t> alphaZlib, Bitmap& bitmap) {
  const std::optional<std::vector<std::uint8_t>> alpha = Inflate(alphaZlib, bitmap.pixels.size());
  if (!alpha || alpha->size() < bitmap.pixels.size()) return false;
  for (std::size_t i = 0; i < bitmap.pixels.size(); ++i) {
    const std::uint32_t p = bitmap.pixels[i];
    bitmap.pixels[i] = Premultiply((*alpha)[i], p >> 16 & 0xFFu, p >> 8 & 0xFFu, p & 0xFFu);
  }
  return true;
}

}  // namespace

std::shared_ptr<const Bitmap> DecodeJpegBitmap(std::span<const std::uint8_t> jpeg, std::span<const std::uint8_t> tables,
                                               std::span<const std::uint8_t> alphaZlib, std::size_t maxPixels) {
  jpeg = SkipLeadingEndMarker(jpeg);
  tables = SkipLeadingEndMarker(tables);
  if (!IsJpeg(jpeg)) return nullptr;  // PNG or GIF data, which we do not decode
  if (!tables.empty() && !IsJpeg(tables)) tables = {};
  jpeg_decompress_struct info{};
  JpegError error{};
  info.err = jpeg_std_error(&error.manager);
  error.manager.error_exit = OnJpegError;
  error.manager.emit_message = OnJpegMessage;
  std::vector<std::uint8_t> row;
  auto bitmap = std::make_shared<Bitmap>();
  const bool decoded = DecodeJpegInto(info, error, jpeg, tables, maxPixels, row, *bitmap);
  jpeg_destroy_decompress(&info);
  if (!decoded) return nullptr;
  if (!alphaZlib.empty() && !ApplyAlphaPlane(alphaZlib, *bitmap)) return nullptr;
  NoteOpacity(*bitmap);
  return bitmap;
}

}  // namespace swf
