// Command packets as the IDE builds them and replies as it decodes them: the byte layouts
// both sides rely on, and the malformed replies the decoder must refuse.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tools/IdePacket.h"
#include "tools/IdeReply.h"

namespace {

std::vector<std::byte> Bytes(std::initializer_list<unsigned> values) {
  std::vector<std::byte> bytes;
  for (const unsigned value : values) bytes.push_back(static_cast<std::byte>(value));
  return bytes;
}

std::vector<std::byte> Image(char cCommand, std::vector<std::byte> payload, std::size_t nDeclared = SIZE_MAX) {
  const unsigned declared = static_cast<unsigned>(nDeclared == SIZE_MAX ? payload.size() : nDeclared);
  std::vector<std::byte> image = Bytes({0, 0, 0, 0, static_cast<unsigned char>(cCommand), 0, declared & 0xFF,
                                        (declared >> 8) & 0xFF, 0, 0, 0, 0});
  image.insert(image.end(), payload.begin(), payload.end());
  return image;
}

std::vector<std::byte> ToVector(std::span<const std::byte> bytes) { return {bytes.begin(), bytes.end()}; }

TEST(IdePacketTest, HeaderCarriesLetterAndLengthWithZeroReservedBytes) {
  const auto packet = CIdePacket::Make('u', Bytes({7, 8, 9}));
  ASSERT_TRUE(packet);
  EXPECT_EQ(Image('u', Bytes({7, 8, 9})), ToVector(packet->GetImage()));
  EXPECT_EQ(3, packet->GetPayloadLength());
  EXPECT_FALSE(CIdePacket::Make('p', std::vector<std::byte>(65536)));
  EXPECT_TRUE(CIdePacket::Make('p', std::vector<std::byte>(65535)));
}

struct PathCase {
  const char* szName;
  std::string strUtf8;
  std::vector<std::byte> payload;  // empty: refused
};

TEST(IdePacketTest, PathBecomesUtf16LittleEndianWithOneZeroUnit) {
  const PathCase cases[] = {
      {"ascii", "a/b", Bytes({'a', 0, '/', 0, 'b', 0, 0, 0})},
      {"empty path", "", Bytes({0, 0})},
      {"two-byte sequence", "\xC3\xA9", Bytes({0xE9, 0, 0, 0})},
      {"surrogate pair", "\xF0\x9D\x84\x9E", Bytes({0x34, 0xD8, 0x1E, 0xDD, 0, 0})},
      {"stray continuation byte", "a\x80", {}},
      {"overlong slash", "\xC0\xAF", {}},
      {"encoded surrogate", "\xED\xA0\x80", {}},
      {"cut-off sequence", "\xE2\x82", {}},
      {"embedded zero", std::string("a\0b", 3), {}},
  };
  for (const PathCase& test : cases) {
    SCOPED_TRACE(test.szName);
    const auto packet = CIdePacket::MakePath('s', test.strUtf8);
    ASSERT_EQ(!test.payload.empty(), packet.has_value());
    if (packet) {
      EXPECT_EQ('s', packet->GetCommand());
      EXPECT_EQ(test.payload, ToVector(packet->GetPayload()));
    }
  }
  // 32766 units and the zero fill the largest payload; one more unit does not fit.
  EXPECT_TRUE(CIdePacket::MakePath('p', std::string(32766, 'x')));
  EXPECT_FALSE(CIdePacket::MakePath('p', std::string(32767, 'x')));
}

TEST(IdePacketTest, MemoryEntriesGoLowByteFirstAndSplitAfter255) {
  const MemoryEntry entries[] = {{0x0040, 0x01}, {0x1234, 0xFF}};
  EXPECT_EQ(Image('r', Bytes({2, 0x40, 0x00, 0x01, 0x34, 0x12, 0xFF})),
            ToVector(CIdePacket::MakeMemory(entries)->GetImage()));
  EXPECT_EQ(Image('r', Bytes({0})), ToVector(CIdePacket::MakeMemory({})->GetImage()));

  std::vector<MemoryEntry> many(256);
  for (std::size_t i = 0; i < many.size(); ++i) many[i] = {static_cast<std::uint16_t>(i), static_cast<std::uint8_t>(i)};
  EXPECT_FALSE(CIdePacket::MakeMemory(many));
  const auto packets = CIdePacket::MakeMemoryPackets(many);
  ASSERT_EQ(2u, packets.size());
  EXPECT_EQ(766, packets[0].GetPayloadLength());
  EXPECT_EQ(Bytes({1, 0xFF, 0x00, 0xFF}), ToVector(packets[1].GetPayload()));
  EXPECT_EQ(1u, CIdePacket::MakeMemoryPackets({}).size());
}

TEST(IdeReplyTest, DecodesWindowHandleAndAddressList) {
  const auto handle = CIdeReply::Decode(Image('t', Bytes({0x5C, 0xA0, 0x02, 0x00})));
  ASSERT_TRUE(handle);
  EXPECT_EQ(0x2A05Cu, handle->GetWindowHandle());
  EXPECT_EQ("t reply: window handle 0x0002A05C", handle->Describe());

  const auto list = CIdeReply::Decode(Image('u', Bytes({1, 2, 0x10, 0x00, 0x23, 0x01})));
  ASSERT_TRUE(list);
  EXPECT_TRUE(list->IsRealTimeSample());
  EXPECT_EQ((std::vector<std::uint16_t>{0x0010, 0x0123}), list->GetAddresses());
  EXPECT_EQ("u reply: real time sample on, 2 addresses: 0x0010 0x0123", list->Describe());

  EXPECT_EQ("r reply: memory values applied", CIdeReply::Decode(Image('r', {}))->Describe());
  EXPECT_EQ("u reply: real time sample off, 0 addresses", CIdeReply::Decode(Image('u', Bytes({0, 0})))->Describe());
}

struct MalformedCase {
  const char* szName;
  std::vector<std::byte> image;
};

TEST(IdeReplyTest, RefusesRepliesShorterThanTheirFields) {
  const MalformedCase cases[] = {
      {"shorter than a header", Bytes({0, 0, 0, 0, 't', 0, 0})},
      {"declared payload beyond the image", Image('r', Bytes({1, 2}), 3)},
      {"handle of three bytes", Image('t', Bytes({1, 2, 3}))},
      {"address list without its count", Image('u', Bytes({1}))},
      {"address count beyond the payload", Image('u', Bytes({0, 3, 0x10, 0x00, 0x11, 0x00}))},
  };
  for (const MalformedCase& test : cases) {
    SCOPED_TRACE(test.szName);
    EXPECT_FALSE(CIdeReply::Decode(test.image));
  }
}

}  // namespace
