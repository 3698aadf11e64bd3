#pragma once
// MapPacket: one packet of the IDE link, a single contiguous buffer holding the byte image that
// also travels through the shared areas:
//
//   offset 0  4 bytes  reserved (zero in packets we build; never read, kept as received)
//   offset 4  1 byte   Command: the command letter 'p' 'q' 'r' 's' 't' 'u'
//   offset 5  1 byte   reserved
//   offset 6  2 bytes  PayloadLength, unsigned 16-bit little-endian
//   offset 8  4 bytes  reserved
//   offset 12          PayloadLength payload bytes
//
// A MapPacket object is only ever the start of such a buffer made by AllocPacket: its payload
// follows it in the same allocation, so it is never constructed, copied or moved by value.
// Ownership: a MapPacketPtr is the packet's owner; a packet belongs to its producer until a
// CBufferList::Push succeeds, to the queue until Pop, and to the consumer afterwards.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>

class MapPacket {
 public:
  static constexpr std::size_t kHeaderSize = 12;
  static constexpr std::size_t kCommandOffset = 4;
  static constexpr std::size_t kPayloadLengthOffset = 6;
  static constexpr std::size_t kMaxPayloadLength = 0xFFFF;
  static constexpr std::size_t kMaxPacketSize = kHeaderSize + kMaxPayloadLength;

  static constexpr std::uint8_t kCommandLoadPanel = 'p';
  static constexpr std::uint8_t kCommandQuit = 'q';
  static constexpr std::uint8_t kCommandMemoryBytes = 'r';
  static constexpr std::uint8_t kCommandSavePanel = 's';
  static constexpr std::uint8_t kCommandWindowHandle = 't';
  static constexpr std::uint8_t kCommandAddressList = 'u';

  MapPacket(const MapPacket&) = delete;
  MapPacket& operator=(const MapPacket&) = delete;

  std::uint8_t GetCommand() const { return m_header[kCommandOffset]; }
  void SetCommand(std::uint8_t nCommand) { m_header[kCommandOffset] = nCommand; }
  std::uint16_t GetPayloadLength() const;

  // The whole image, header included: 12 + PayloadLength bytes.
  std::span<std::byte> GetBytes();
  std::span<const std::byte> GetBytes() const;
  std::span<std::byte> GetPayload();
  std::span<const std::byte> GetPayload() const;

  // PayloadLength read from the start of an untrusted image (a shared area): nothing when the
  // image is shorter than a header. The caller still checks that the payload fits the image.
  static std::optional<std::uint16_t> ReadPayloadLength(std::span<const std::byte> image);

 private:
  // Never constructed: AllocPacket's raw allocation creates the object implicitly (it is an
  // implicit-lifetime type), and MapPacketDeleter frees the allocation.
  MapPacket() = default;
  ~MapPacket() = default;

  std::uint8_t m_header[kHeaderSize];
};
static_assert(sizeof(MapPacket) == MapPacket::kHeaderSize);

struct MapPacketDeleter {
  void operator()(MapPacket* pPacket) const noexcept;
};
using MapPacketPtr = std::unique_ptr<MapPacket, MapPacketDeleter>;

// A new packet of 12 + nLength bytes, every byte zero, PayloadLength set to nLength; the caller
// writes Command and the payload. Null when nLength exceeds 65535 or memory is exhausted; never
// throws.
MapPacketPtr AllocPacket(std::size_t nLength);

// Replies, built complete. Each is null when memory is exhausted.
// An empty reply ('p', 'q', 'r', 's'): the letter and no payload.
MapPacketPtr AllocEmptyReply(std::uint8_t nCommand);
// 't': the window handle as unsigned 32-bit, lowest byte first.
MapPacketPtr AllocWindowHandleReply(std::uint32_t nWindowHandle);
// 'u': byte 0 the "Real Time Sample" state (1 ticked, else 0), byte 1 the low eight bits of the
// address count N, then the N addresses lowest byte first. Null when 2 + 2N exceeds 65535.
MapPacketPtr AllocAddressListReply(bool bRealTimeSample, std::span<const std::uint16_t> addresses);
