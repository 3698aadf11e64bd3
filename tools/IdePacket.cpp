#include "tools/IdePacket.h"

#include <algorithm>
#include <string>

namespace {

// Decodes UTF-8 into UTF-16 code units; nothing on a malformed, overlong or surrogate
// sequence, because a path the display would open under a different name is worse than none.
std::optional<std::u16string> DecodeUtf8(std::string_view text) {
  std::u16string units;
  units.reserve(text.size());
  std::size_t i = 0;
  while (i < text.size()) {
    const auto lead = static_cast<unsigned char>(text[i]);
    std::size_t extra = 0;
    char32_t code = 0;
    char32_t minimum = 0;
    if (lead < 0x80) {
      code = lead;
    } else if ((lead & 0xE0) == 0xC0) {
      extra = 1, code = lead & 0x1F, minimum = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
      extra = 2, code = lead & 0x0F, minimum = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
      extra = 3, code = lead & 0x07, minimum = 0x10000;
    } else {
      return std::nullopt;
    }
    if (text.size() - i <= extra) return std::nullopt;
    for (std::size_t k = 1; k <= extra; ++k) {
      const auto next = static_cast<unsigned char>(text[i + k]);
      if ((next & 0xC0) != 0x80) return std::nullopt;
      code = (code << 6) | (next & 0x3F);
    }
    if (code < minimum || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return std::nullopt;
    if (code >= 0x10000) {
      code -= 0x10000;
      units.push_back(static_cast<char16_t>(0xD800 + (code >> 10)));
      units.push_back(static_cast<char16_t>(0xDC00 + (code & 0x3FF)));
    } else {
      units.push_back(static_cast<char16_t>(code));
    }
    i += extra + 1;
  }
  return units;
}

}  // namespace

std::uint16_t ReadPayloadLength(std::span<const std::byte> image) {
  return MapPacket::ReadPayloadLength(image).value_or(0);
}

std::uint16_t CIdePacket::GetPayloadLength() const { return ReadPayloadLength(m_image); }

std::optional<CIdePacket> CIdePacket::Make(char command, std::span<const std::byte> payload) {
  if (payload.size() > kMaxPayloadLength) return std::nullopt;
  std::vector<std::byte> image(kHeaderSize + payload.size(), std::byte{0});
  image[kCommandOffset] = static_cast<std::byte>(command);
  image[kPayloadLengthOffset] = static_cast<std::byte>(payload.size() & 0xFF);
  image[kPayloadLengthOffset + 1] = static_cast<std::byte>(payload.size() >> 8);
  std::copy(payload.begin(), payload.end(), image.begin() + kHeaderSize);
  return CIdePacket(std::move(image));
}

std::optional<CIdePacket> CIdePacket::MakePath(char command, std::string_view utf8Path) {
  // The display takes the path up to the first zero unit, so an embedded one would cut it short.
  if (utf8Path.find('\0') != std::string_view::npos) return std::nullopt;
  const auto units = DecodeUtf8(utf8Path);
  if (!units) return std::nullopt;
  std::vector<std::byte> payload;
  payload.reserve(2 * (units->size() + 1));
  for (const char16_t unit : *units) {
    payload.push_back(static_cast<std::byte>(unit & 0xFF));
    payload.push_back(static_cast<std::byte>(unit >> 8));
  }
  payload.push_back(std::byte{0});
  payload.push_back(std::byte{0});
  return Make(command, payload);
}

std::optional<CIdePacket> CIdePacket::MakeMemory(std::span<const MemoryEntry> entries) {
  if (entries.size() > kMaxMemoryEntries) return std::nullopt;
  std::vector<std::byte> payload;
  payload.reserve(1 + 3 * entries.size());
  payload.push_back(static_cast<std::byte>(entries.size()));
  for (const MemoryEntry& entry : entries) {
    payload.push_back(static_cast<std::byte>(entry.wAddress & 0xFF));
    payload.push_back(static_cast<std::byte>(entry.wAddress >> 8));
    payload.push_back(static_cast<std::byte>(entry.nValue));
  }
  return Make('r', payload);
}

std::vector<CIdePacket> CIdePacket::MakeMemoryPackets(std::span<const MemoryEntry> entries) {
  std::vector<CIdePacket> packets;
  do {
    const std::size_t count = std::min(entries.size(), kMaxMemoryEntries);
    packets.push_back(*MakeMemory(entries.first(count)));
    entries = entries.subspan(count);
  } while (!entries.empty());
  return packets;
}
