#pragma once
// Decoding the bitmaps of a movie's DefineBits tags into premultiplied
// 0xAARRGGBB pixels: the zlib-packed lossless formats and JPEG through libjpeg.
// Anything corrupt, truncated or too large yields null.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <vector>

#include "swf_movie.h"

namespace swf {

// DefineBitsLossless (`alpha` false) or DefineBitsLossless2 after the id;
// null when it would hold more than `maxPixels` pixels.
[[nodiscard]] std::shared_ptr<const Bitmap> DecodeLosslessBitmap(std::span<const std::uint8_t> body, bool alpha,
                                                                 std::size_t maxPixels);

// A JPEG stream (with `tables` read first when not empty: DefineBits with
// JPEGTables) and, when not empty, a zlib-packed alpha plane of one byte per
// pixel (DefineBitsJPEG3 and 4). PNG and GIF data yield null.
[[nodiscard]] std::shared_ptr<const Bitmap> DecodeJpegBitmap(std::span<const std::uint8_t> jpeg,
                                                             std::span<const std::uint8_t> tables,
                                                             std::span<const std::uint8_t> alphaZlib,
                                                             std::size_t maxPixels);

// Inflates `compressed` until `limit` bytes are out, the stream ends or breaks;
// nullopt when nothing came out and the stream did not end well.
[[nodiscard]] std::optional<std::vector<std::uint8_t>> Inflate(std::span<const std::uint8_t> compressed,
                                                               std::size_t limit);

}  // namespace swf
