#pragma once
// Bounds-checked readers over a byte span. A read past the end yields zero and
// marks the reader as failed for good, so parsing code reads straight on and
// checks Failed() where it matters instead of testing every field.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace swf {

class ByteReader {
 public:
  ByteReader() = default;
  explicit ByteReader(std::span<const std::uint8_t> data) : data_(data) {}

  [[nodiscard]] std::uint8_t U8();
  [[nodiscard]] std::uint16_t U16();
  [[nodiscard]] std::uint32_t U32();
  [[nodiscard]] std::int16_t S16() { return static_cast<std::int16_t>(U16()); }
  [[nodiscard]] std::int32_t S32() { return static_cast<std::int32_t>(U32()); }
  [[nodiscard]] float F32();
  // AVM1 doubles: two little-endian 32-bit words, the high word first.
  [[nodiscard]] double F64Swapped();
  // Up to (not including) the terminating zero, which is consumed; a string
  // without one fails the reader and yields what was there.
  [[nodiscard]] std::string CString();
  // The next `count` bytes, or fewer (and failed) when the data ends first.
  [[nodiscard]] std::span<const std::uint8_t> Bytes(std::size_t count);
  void Skip(std::size_t count) { (void)Bytes(count); }

  [[nodiscard]] std::size_t Position() const { return position_; }
  [[nodiscard]] std::size_t Remaining() const { return data_.size() - position_; }
  [[nodiscard]] bool AtEnd() const { return position_ >= data_.size(); }
  [[nodiscard]] bool Failed() const { return failed_; }
  [[nodiscard]] std::span<const std::uint8_t> Rest() const { return data_.subspan(position_); }
  [[nodiscard]] std::span<const std::uint8_t> Whole() const { return data_; }

 private:
  std::span<const std::uint8_t> data_;
  std::size_t position_ = 0;
  bool failed_ = false;
};

// Bit fields, most significant bit first, over a ByteReader. Align() drops the
// rest of the current byte; byte reads on the underlying reader must come
// after Align().
class BitReader {
 public:
  explicit BitReader(ByteReader& bytes) : bytes_(bytes) {}

  [[nodiscard]] std::uint32_t UB(unsigned bits);
  [[nodiscard]] std::int32_t SB(unsigned bits);
  // 16.16 fixed point in `bits` bits.
  [[nodiscard]] double FB(unsigned bits) { return SB(bits) / 65536.0; }
  [[nodiscard]] bool Flag() { return UB(1) != 0; }
  void Align() { available_ = 0; }
  [[nodiscard]] bool Failed() const { return bytes_.Failed(); }

 private:
  ByteReader& bytes_;
  std::uint8_t current_ = 0;
  unsigned available_ = 0;
};

}  // namespace swf
