#include "tools/IdeReply.h"

#include <cstdio>

#include "tools/IdePacket.h"

namespace {

unsigned ByteAt(std::span<const std::byte> bytes, std::size_t index) {
  return std::to_integer<unsigned>(bytes[index]);
}

std::string FormatHex(unsigned value, int digits) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%0*X", digits, value);
  return text;
}

}  // namespace

std::optional<CIdeReply> CIdeReply::Decode(std::span<const std::byte> image) {
  if (image.size() < CIdePacket::kHeaderSize) return std::nullopt;
  const std::size_t payloadLength = ReadPayloadLength(image);
  if (image.size() - CIdePacket::kHeaderSize < payloadLength) return std::nullopt;
  const auto payload = image.subspan(CIdePacket::kHeaderSize, payloadLength);

  CIdeReply reply;
  reply.m_cCommand = static_cast<char>(ByteAt(image, CIdePacket::kCommandOffset));
  reply.m_nPayloadLength = payloadLength;
  if (reply.m_cCommand == 't') {
    if (payload.size() < 4) return std::nullopt;
    reply.m_nWindowHandle = ByteAt(payload, 0) | ByteAt(payload, 1) << 8 | ByteAt(payload, 2) << 16 |
                            static_cast<std::uint32_t>(ByteAt(payload, 3)) << 24;
  } else if (reply.m_cCommand == 'u') {
    if (payload.size() < 2) return std::nullopt;
    const std::size_t count = ByteAt(payload, 1);
    if (payload.size() < 2 + 2 * count) return std::nullopt;
    reply.m_bRealTimeSample = ByteAt(payload, 0) != 0;
    for (std::size_t i = 0; i < count; ++i)
      reply.m_addresses.push_back(static_cast<std::uint16_t>(ByteAt(payload, 2 + 2 * i) |
                                                             ByteAt(payload, 3 + 2 * i) << 8));
  }
  return reply;
}

std::string CIdeReply::Describe() const {
  std::string text(1, m_cCommand >= 0x20 && m_cCommand < 0x7F ? m_cCommand : '?');
  text += " reply";
  switch (m_cCommand) {
    case 'p': return text + ": panel file loaded";
    case 's': return text + ": panel file saved";
    case 'r': return text + ": memory values applied";
    case 'q': return text + ": quitting";
    case 't': return text + ": window handle " + FormatHex(m_nWindowHandle, 8);
    case 'u': {
      text += ": real time sample ";
      text += m_bRealTimeSample ? "on" : "off";
      text += ", " + std::to_string(m_addresses.size()) + " addresses";
      if (!m_addresses.empty()) text += ":";
      for (const std::uint16_t address : m_addresses) {
        text += ' ';
        text += FormatHex(address, 4);
      }
      return text;
    }
    default: return text + " of unknown kind " + FormatHex(static_cast<unsigned char>(m_cCommand), 2) +
                    ", " + std::to_string(m_nPayloadLength) + " payload bytes";
  }
}
