#include "link/MapPacket.h"

#include <cstring>
#include <new>

namespace {

constexpr std::size_t kWindowHandleReplyLength = 4;
constexpr std::size_t kAddressListHeadLength = 2;

void StoreLittleEndian16(std::byte* pTarget, std::uint16_t nValue) {
  pTarget[0] = static_cast<std::byte>(nValue & 0xFF);
  pTarget[1] = static_cast<std::byte>(nValue >> 8);
}

std::uint16_t LoadLittleEndian16(const std::byte* pSource) {
  return static_cast<std::uint16_t>(std::to_integer<unsigned>(pSource[0]) |
                                    (std::to_integer<unsigned>(pSource[1]) << 8));
}

}  // namespace

std::uint16_t MapPacket::GetPayloadLength() const {
  return LoadLittleEndian16(reinterpret_cast<const std::byte*>(m_header) + kPayloadLengthOffset);
}

std::span<std::byte> MapPacket::GetBytes() {
  return {reinterpret_cast<std::byte*>(this), kHeaderSize + GetPayloadLength()};
}

std::span<const std::byte> MapPacket::GetBytes() const {
  return {reinterpret_cast<const std::byte*>(this), kHeaderSize + GetPayloadLength()};
}

std::span<std::byte> MapPacket::GetPayload() { return GetBytes().subspan(kHeaderSize); }

std::span<const std::byte> MapPacket::GetPayload() const {
  return GetBytes().subspan(kHeaderSize);
}

std::optional<std::uint16_t> MapPacket::ReadPayloadLength(std::span<const std::byte> image) {
  if (image.size() < kHeaderSize)
    return std::nullopt;
  return LoadLittleEndian16(image.data() + kPayloadLengthOffset);
}

void MapPacketDeleter::operator()(MapPacket* pPacket) const noexcept { ::operator delete(pPacket); }

MapPacketPtr AllocPacket(std::size_t nLength) {
  if (nLength > MapPacket::kMaxPayloadLength)
    return nullptr;
  const std::size_t size = MapPacket::kHeaderSize + nLength;
  void* pStorage = ::operator new(size, std::nothrow);
  if (pStorage == nullptr)
    return nullptr;
  std::memset(pStorage, 0, size);
  auto* pBytes = static_cast<std::byte*>(pStorage);
  StoreLittleEndian16(pBytes + MapPacket::kPayloadLengthOffset, static_cast<std::uint16_t>(nLength));
  // The allocation implicitly creates the MapPacket (an implicit-lifetime type) at its start.
  return MapPacketPtr(static_cast<MapPacket*>(pStorage));
}

MapPacketPtr AllocEmptyReply(std::uint8_t nCommand) {
  MapPacketPtr pPacket = AllocPacket(0);
  if (pPacket)
    pPacket->SetCommand(nCommand);
  return pPacket;
}

MapPacketPtr AllocWindowHandleReply(std::uint32_t nWindowHandle) {
  MapPacketPtr pPacket = AllocPacket(kWindowHandleReplyLength);
  if (!pPacket)
    return nullptr;
  pPacket->SetCommand(MapPacket::kCommandWindowHandle);
  std::byte* pPayload = pPacket->GetPayload().data();
  StoreLittleEndian16(pPayload, static_cast<std::uint16_t>(nWindowHandle & 0xFFFF));
  StoreLittleEndian16(pPayload + 2, static_cast<std::uint16_t>(nWindowHandle >> 16));
  return pPacket;
}

MapPacketPtr AllocAddressListReply(bool bRealTimeSample, std::span<const std::uint16_t> addresses) {
  if (addresses.size() > (MapPacket::kMaxPayloadLength - kAddressListHeadLength) / 2)
    return nullptr;
  MapPacketPtr pPacket = AllocPacket(kAddressListHeadLength + 2 * addresses.size());
  if (!pPacket)
    return nullptr;
  pPacket->SetCommand(MapPacket::kCommandAddressList);
  std::byte* pPayload = pPacket->GetPayload().data();
  pPayload[0] = std::byte{bRealTimeSample ? std::uint8_t{1} : std::uint8_t{0}};
  pPayload[1] = static_cast<std::byte>(addresses.size() & 0xFF);
  for (std::size_t i = 0; i < addresses.size(); ++i)
    StoreLittleEndian16(pPayload + kAddressListHeadLength + 2 * i, addresses[i]);
  return pPacket;
}
