#include "swf_reader.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace swf {
namespace {

TEST(BitReader, ReadsFieldsMostSignificantBitFirstAcrossBytes) {
  const std::vector<std::uint8_t> data = {0b1011'0011, 0b0100'0000};
  ByteReader bytes(data);
  BitReader bits(bytes);
  EXPECT_EQ(bits.UB(3), 0b101u);
  EXPECT_EQ(bits.SB(5), -13);  // 10011
  EXPECT_EQ(bits.UB(2), 0b01u);
  EXPECT_EQ(bits.SB(0), 0);
  EXPECT_FALSE(bits.Failed());
  bits.Align();
  EXPECT_EQ(bits.UB(1), 0u);  // past the end
  EXPECT_TRUE(bits.Failed());
}

TEST(ByteReader, ReadsLittleEndianAndStopsAtTheEnd) {
  const std::vector<std::uint8_t> data = {0x34, 0x12, 0x78, 0x56, 0x34, 0x12, 'a', 'b', 0, 'c'};
  ByteReader reader(data);
  EXPECT_EQ(reader.U16(), 0x1234u);
  EXPECT_EQ(reader.U32(), 0x12345678u);
  EXPECT_EQ(reader.CString(), "ab");
  EXPECT_FALSE(reader.Failed());
  EXPECT_EQ(reader.CString(), "c");  // no terminator: what there was, and failed
  EXPECT_TRUE(reader.Failed());
  EXPECT_EQ(reader.U32(), 0u);
}

TEST(ByteReader, ReadsAvm1DoublesHighWordFirst) {
  const std::vector<std::uint8_t> one = {0x00, 0x00, 0xF0, 0x3F, 0x00, 0x00, 0x00, 0x00};
  ByteReader reader(one);
  EXPECT_EQ(reader.F64Swapped(), 1.0);
}

TEST(ByteReader, GivesOnlyTheBytesThatAreThere) {
  const std::vector<std::uint8_t> data = {1, 2, 3};
  ByteReader reader(data);
  EXPECT_EQ(reader.Bytes(2).size(), 2u);
  EXPECT_EQ(reader.Bytes(5).size(), 1u);
  EXPECT_TRUE(reader.Failed());
}

}  // namespace
}  // namespace swf
