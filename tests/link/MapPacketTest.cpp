#include "link/MapPacket.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace {

std::vector<std::uint8_t> BytesOf(const MapPacket& packet) {
  std::vector<std::uint8_t> bytes;
  for (std::byte b : packet.GetBytes())
    bytes.push_back(std::to_integer<std::uint8_t>(b));
  return bytes;
}

TEST(MapPacketTest, AllocPacketZeroesEverythingButTheLength) {
  struct Case {
    std::size_t m_nLength;
    std::uint8_t m_lengthLow;
    std::uint8_t m_lengthHigh;
  };
  for (const Case& c : {Case{0, 0x00, 0x00}, Case{766, 0xFE, 0x02}, Case{65535, 0xFF, 0xFF}}) {
    SCOPED_TRACE(c.m_nLength);
    MapPacketPtr pPacket = AllocPacket(c.m_nLength);
    ASSERT_TRUE(pPacket);
    std::vector<std::uint8_t> expected(MapPacket::kHeaderSize + c.m_nLength, 0);
    expected[6] = c.m_lengthLow;
    expected[7] = c.m_lengthHigh;
    EXPECT_EQ(expected, BytesOf(*pPacket));
    EXPECT_EQ(c.m_nLength, pPacket->GetPayloadLength());
    EXPECT_EQ(c.m_nLength, pPacket->GetPayload().size());
  }
  EXPECT_FALSE(AllocPacket(65536));
}

// The image of every reply kind, byte for byte, header included.
TEST(MapPacketTest, RepliesHaveTheirExactBytes) {
  const std::uint16_t twoAddresses[] = {0x0010, 0x0123};
  struct Case {
    const char* m_szName;
    MapPacketPtr m_pPacket;
    std::vector<std::uint8_t> m_expected;
  };
  Case cases[] = {
      {"p", AllocEmptyReply('p'), {0, 0, 0, 0, 0x70, 0, 0, 0, 0, 0, 0, 0}},
      {"q", AllocEmptyReply('q'), {0, 0, 0, 0, 0x71, 0, 0, 0, 0, 0, 0, 0}},
      {"r", AllocEmptyReply('r'), {0, 0, 0, 0, 0x72, 0, 0, 0, 0, 0, 0, 0}},
      {"s", AllocEmptyReply('s'), {0, 0, 0, 0, 0x73, 0, 0, 0, 0, 0, 0, 0}},
      {"t with handle 2A05C",
       AllocWindowHandleReply(0x2A05C),
       {0, 0, 0, 0, 0x74, 0, 4, 0, 0, 0, 0, 0, 0x5C, 0xA0, 0x02, 0x00}},
      {"u ticked with 0x0010 and 0x0123",
       AllocAddressListReply(true, twoAddresses),
       {0, 0, 0, 0, 0x75, 0, 6, 0, 0, 0, 0, 0, 0x01, 0x02, 0x10, 0x00, 0x23, 0x01}},
      {"u unticked without addresses",
       AllocAddressListReply(false, {}),
       {0, 0, 0, 0, 0x75, 0, 2, 0, 0, 0, 0, 0, 0x00, 0x00}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.m_szName);
    ASSERT_TRUE(c.m_pPacket);
    EXPECT_EQ(c.m_expected, BytesOf(*c.m_pPacket));
  }
}

TEST(MapPacketTest, AddressListBeyondOnePacketIsRefused) {
  // 2 + 2N bytes must fit the 16-bit length: 32766 addresses do, 32767 do not.
  const std::vector<std::uint16_t> fits(32766, 0x1234);
  const std::vector<std::uint16_t> tooMany(32767, 0x1234);
  MapPacketPtr pPacket = AllocAddressListReply(true, fits);
  ASSERT_TRUE(pPacket);
  EXPECT_EQ(65534, pPacket->GetPayloadLength());
  EXPECT_EQ(std::byte{32766 & 0xFF}, pPacket->GetPayload()[1]);  // the low eight bits of N
  EXPECT_FALSE(AllocAddressListReply(true, tooMany));
}

TEST(MapPacketTest, PayloadLengthIsReadOnlyFromACompleteHeader) {
  const std::byte image[MapPacket::kHeaderSize] = {
      std::byte{0xAA}, std::byte{0xBB}, std::byte{0xCC}, std::byte{0xDD}, std::byte{'r'},
      std::byte{0xEE}, std::byte{0x34}, std::byte{0x12}};
  EXPECT_EQ(0x1234, MapPacket::ReadPayloadLength(image));
  EXPECT_FALSE(MapPacket::ReadPayloadLength(std::span(image).first(MapPacket::kHeaderSize - 1)));
}

}  // namespace
