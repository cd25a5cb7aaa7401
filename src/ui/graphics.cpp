#include "ui/graphics.h"

#include <csetjmp>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <vector>

// jpeglib.h needs size_t and FILE declared before it.
#include <jerror.h>
#include <jpeglib.h>

#include "common/system_error.h"
#include "ui/layout_scaling.h"

namespace tpl::ui {
namespace {

BITMAPINFO TopDown32BitInfo(int width, int height) {
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;  // rows from the top
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  return info;
}

// libjpeg reports fatal errors through error_exit, which must not return; it
// jumps back to the decoder, which turns the message into an exception after
// libjpeg's frames are gone.
struct JpegErrorManager {
  jpeg_error_mgr base;
  std::jmp_buf resume;
  char message[JMSG_LENGTH_MAX];
};

extern "C" void JpegErrorExit(j_common_ptr info) {
  auto* manager = reinterpret_cast<JpegErrorManager*>(info->err);
  (*info->err->format_message)(info, manager->message);
  std::longjmp(manager->resume, 1);
}

extern "C" void JpegIgnoreMessage(j_common_ptr, int) {}

struct JpegDecodeResult {
  HBITMAP bitmap;
  int width;
  int height;
};

// Decodes into a new 32-bit DIB section. Only objects without destructors live
// in this frame, so the jump back from libjpeg skips nothing that needs undoing
// except what the error branch undoes itself. Returns false with `message` set.
bool DecodeJpegToDib(const unsigned char* bytes, unsigned long size, JpegDecodeResult* result, char* message,
                     std::size_t messageSize) {
  jpeg_decompress_struct decoder;
  JpegErrorManager errors;
  decoder.err = jpeg_std_error(&errors.base);
  errors.base.error_exit = JpegErrorExit;
  errors.base.emit_message = JpegIgnoreMessage;
  errors.message[0] = '\0';
  result->bitmap = nullptr;
  if (setjmp(errors.resume) != 0) {
    jpeg_destroy_decompress(&decoder);
    if (result->bitmap != nullptr) ::DeleteObject(result->bitmap);
    result->bitmap = nullptr;
    std::snprintf(message, messageSize, "JPEG picture: %s", errors.message);
    return false;
  }
  jpeg_create_decompress(&decoder);
  jpeg_mem_src(&decoder, bytes, size);
  jpeg_read_header(&decoder, TRUE);
  decoder.out_color_space = JCS_EXT_BGRX;  // the byte order of a 32-bit DIB
  jpeg_start_decompress(&decoder);
  const int width = static_cast<int>(decoder.output_width);
  const int height = static_cast<int>(decoder.output_height);
  BITMAPINFO info = TopDown32BitInfo(width, height);
  void* bits = nullptr;
  result->bitmap = ::CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (result->bitmap == nullptr) {
    jpeg_destroy_decompress(&decoder);
    std::snprintf(message, messageSize, "JPEG picture: no memory for %d x %d pixels", width, height);
    return false;
  }
  auto* rows = static_cast<unsigned char*>(bits);
  while (decoder.output_scanline < decoder.output_height) {
    JSAMPROW row = rows + static_cast<std::size_t>(decoder.output_scanline) * static_cast<std::size_t>(width) * 4;
    jpeg_read_scanlines(&decoder, &row, 1);
  }
  jpeg_finish_decompress(&decoder);
  jpeg_destroy_decompress(&decoder);
  result->width = width;
  result->height = height;
  return true;
}

std::vector<std::uint8_t> ReadWholeFile(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  if (!file) throw std::runtime_error("Cannot open the picture file " + path + ".");
  return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

}  // namespace

COLORREF ToColorRef(Colour colour) noexcept {
  if ((colour & kSystemColourFlag) != 0) return ::GetSysColor(static_cast<int>(colour & ~kSystemColourFlag));
  return static_cast<COLORREF>(colour);
}

UniqueGdiObject CreateFontFor(const FontStyle& style, int pixelsPerInch) {
  const int height = style.height != 0 ? style.height : FontHeightForPoints(style.points, pixelsPerInch);
  HFONT font = ::CreateFontA(height, 0, 0, 0, style.bold ? FW_BOLD : FW_NORMAL, FALSE, FALSE, FALSE,
                             static_cast<DWORD>(style.charset), OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                             DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, style.face.c_str());
  if (font == nullptr) throw WindowsError("CreateFont " + style.face, ::GetLastError());
  return UniqueGdiObject(font);
}

int ScreenPixelsPerInch() {
  HDC screen = ::GetDC(nullptr);
  const int pixelsPerInch = screen != nullptr ? ::GetDeviceCaps(screen, LOGPIXELSY) : kDesignPixelsPerInch;
  if (screen != nullptr) ::ReleaseDC(nullptr, screen);
  return pixelsPerInch > 0 ? pixelsPerInch : kDesignPixelsPerInch;
}

Bitmap::Bitmap(HBITMAP handle) : handle_(handle) {
  BITMAP info{};
  if (handle != nullptr && ::GetObjectA(handle, sizeof(info), &info) != 0) {
    width_ = static_cast<int>(info.bmWidth);
    height_ = static_cast<int>(info.bmHeight < 0 ? -info.bmHeight : info.bmHeight);
  }
}

Bitmap Bitmap::FromBitmapFile(const std::string& path) {
  HANDLE loaded = ::LoadImageA(nullptr, path.c_str(), IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE | LR_CREATEDIBSECTION);
  if (loaded == nullptr) throw WindowsError("Loading the bitmap " + path, ::GetLastError());
  return Bitmap(static_cast<HBITMAP>(loaded));
}

Bitmap Bitmap::FromBitmapResource(HINSTANCE module, const char* name) {
  HANDLE loaded = ::LoadImageA(module, name, IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION);
  if (loaded == nullptr) throw WindowsError("Loading a bitmap resource", ::GetLastError());
  return Bitmap(static_cast<HBITMAP>(loaded));
}

Bitmap Bitmap::FromJpegFile(const std::string& path) { return FromJpegMemory(ReadWholeFile(path)); }

Bitmap Bitmap::FromJpegMemory(std::span<const std::uint8_t> bytes) {
  if (bytes.empty()) throw std::runtime_error("JPEG picture: no data");
  JpegDecodeResult result{};
  char message[JMSG_LENGTH_MAX + 32];
  if (!DecodeJpegToDib(bytes.data(), static_cast<unsigned long>(bytes.size()), &result, message, sizeof(message))) {
    throw std::runtime_error(message);
  }
  return Bitmap(result.bitmap);
}

Bitmap Bitmap::FromJpegResource(HINSTANCE module, const char* name, const char* type) {
  HRSRC resource = ::FindResourceA(module, name, type != nullptr ? type : MAKEINTRESOURCEA(10) /* RT_RCDATA */);
  if (resource == nullptr) throw WindowsError("Finding a JPEG resource", ::GetLastError());
  HGLOBAL loaded = ::LoadResource(module, resource);
  const void* data = loaded != nullptr ? ::LockResource(loaded) : nullptr;
  if (data == nullptr) throw WindowsError("Loading a JPEG resource", ::GetLastError());
  const DWORD size = ::SizeofResource(module, resource);
  return FromJpegMemory(std::span(static_cast<const std::uint8_t*>(data), size));
}

Bitmap Bitmap::FromPictureFile(const std::string& path) {
  const std::vector<std::uint8_t> bytes = ReadWholeFile(path);
  if (bytes.size() >= 2 && bytes[0] == 0xFF && bytes[1] == 0xD8) return FromJpegMemory(bytes);
  return FromBitmapFile(path);
}

Surface::Surface(int width, int height) : width_(width), height_(height) {
  if (width <= 0 || height <= 0) throw std::invalid_argument("A drawing surface needs a positive size.");
  BITMAPINFO info = TopDown32BitInfo(width, height);
  void* bits = nullptr;
  bitmap_.Reset(::CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
  if (!bitmap_) throw WindowsError("CreateDIBSection", ::GetLastError());
  dc_ = ::CreateCompatibleDC(nullptr);
  if (dc_ == nullptr) throw WindowsError("CreateCompatibleDC", ::GetLastError());
  previous_ = ::SelectObject(dc_, bitmap_.Get());
  pixels_ = static_cast<std::uint32_t*>(bits);
}

Surface::~Surface() {
  ::SelectObject(dc_, previous_);
  ::DeleteDC(dc_);
}

}  // namespace tpl::ui
