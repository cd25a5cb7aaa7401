#include "swf_reader.h"

#include <bit>
#include <cstring>

namespace swf {

std::uint8_t ByteReader::U8() {
  if (position_ >= data_.size()) {
    failed_ = true;
    return 0;
  }
  return data_[position_++];
}

std::uint16_t ByteReader::U16() {
  const unsigned low = U8();
  const unsigned high = U8();
  return static_cast<std::uint16_t>(low | (high << 8));
}

std::uint32_t ByteReader::U32() {
  const std::uint32_t low = U16();
  const std::uint32_t high = U16();
  return low | (high << 16);
}

float ByteReader::F32() { return std::bit_cast<float>(U32()); }

double ByteReader::F64Swapped() {
  const std::uint64_t high = U32();
  const std::uint64_t low = U32();
  return std::bit_cast<double>((high << 32) | low);
}

std::string ByteReader::CString() {
  const std::span<const std::uint8_t> rest = Rest();
  const void* zero = std::memchr(rest.data(), 0, rest.size());
  if (zero == nullptr) {
    failed_ = true;
    position_ = data_.size();
    return std::string(rest.begin(), rest.end());
  }
  const auto length = static_cast<std::size_t>(static_cast<const std::uint8_t*>(zero) - rest.data());
  position_ += length + 1;
  return std::string(rest.begin(), rest.begin() + static_cast<std::ptrdiff_t>(length));
}

std::span<const std::uint8_t> ByteReader::Bytes(std::size_t count) {
  if (count > Remaining()) {
    failed_ = true;
    count = Remaining();
  }
  const std::span<const std::uint8_t> result = data_.subspan(position_, count);
  position_ += count;
  return result;
}

std::uint32_t BitReader::UB(unsigned bits) {
  std::uint32_t value = 0;
  for (unsigned i = 0; i < bits; ++i) {
    if (available_ == 0) {
      current_ = bytes_.U8();
      available_ = 8;
    }
    --available_;
    // Fields wider than 32 bits keep their low 32 bits.
    value = (value << 1) | ((current_ >> available_) & 1u);
  }
  return value;
}

std::int32_t BitReader::SB(unsigned bits) {
  if (bits == 0) return 0;
  const std::uint32_t raw = UB(bits);
  if (bits >= 32) return static_cast<std::int32_t>(raw);
  const std::uint32_t sign = 1u << (bits - 1);
  return static_cast<std::int32_t>((raw ^ sign)) - static_cast<std::int32_t>(sign);
}

}  // namespace swf
