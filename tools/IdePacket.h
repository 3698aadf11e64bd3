// CIdePacket: one packet image as the IDE builds it before writing it into the inbound area.
//
// The image is the 12-byte header (command letter at byte 4, little-endian payload length at
// bytes 6-7, every other header byte zero) followed by the payload, exactly the bytes that go
// into "LCDMapMemory". Factories return nothing when the content cannot be encoded (a path too
// long for one packet, more memory entries than one packet can carry, text that is not UTF-8),
// so a caller never sends a packet the display would misread.
//
// A value type: copy it, keep it, send it from any thread.

#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "link/MapPacket.h"

// One data-memory byte as the IDE reports it in a memory packet.
struct MemoryEntry {
  std::uint16_t wAddress = 0;
  std::uint8_t nValue = 0;
  friend bool operator==(const MemoryEntry&, const MemoryEntry&) = default;
};

class CIdePacket {
 public:
  // The layout is the link's own: one definition for both sides of it.
  static constexpr std::size_t kHeaderSize = MapPacket::kHeaderSize;
  static constexpr std::size_t kMaxPayloadLength = MapPacket::kMaxPayloadLength;
  static constexpr std::size_t kCommandOffset = MapPacket::kCommandOffset;
  static constexpr std::size_t kPayloadLengthOffset = MapPacket::kPayloadLengthOffset;
  // One memory packet carries at most this many entries; more go into further packets.
  static constexpr std::size_t kMaxMemoryEntries = 255;

  // A packet whose payload is the given bytes; nothing when the payload is too long.
  static std::optional<CIdePacket> Make(char command, std::span<const std::byte> payload = {});
  // `p` or `s`: the UTF-8 path converted to UTF-16LE units plus one zero unit.
  static std::optional<CIdePacket> MakePath(char command, std::string_view utf8Path);
  // `r`: the entry count, then address (low byte first) and value per entry.
  static std::optional<CIdePacket> MakeMemory(std::span<const MemoryEntry> entries);
  // Splits any number of entries into as many `r` packets as needed, in order.
  static std::vector<CIdePacket> MakeMemoryPackets(std::span<const MemoryEntry> entries);

  char GetCommand() const { return static_cast<char>(m_image[kCommandOffset]); }
  std::uint16_t GetPayloadLength() const;
  std::span<const std::byte> GetImage() const { return m_image; }
  std::span<const std::byte> GetPayload() const {
    return std::span<const std::byte>(m_image).subspan(kHeaderSize);
  }

 private:
  explicit CIdePacket(std::vector<std::byte> image) : m_image(std::move(image)) {}

  std::vector<std::byte> m_image;
};

// Reads the little-endian payload length of a packet image of at least kHeaderSize bytes (zero
// for a shorter one).
std::uint16_t ReadPayloadLength(std::span<const std::byte> image);
