// CIdeReply: a reply image read from the outbound area, decoded for the IDE.
//
// The display's replies are untrusted bytes: Decode checks every length against the image it
// was given and returns nothing for a reply whose payload is too short for its letter, so a
// caller never reads a field the display did not write. A value type.

#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

class CIdeReply {
 public:
  static std::optional<CIdeReply> Decode(std::span<const std::byte> image);

  char GetCommand() const { return m_cCommand; }
  // `t`: the display's window handle.
  std::uint32_t GetWindowHandle() const { return m_nWindowHandle; }
  // `u`: the "Real Time Sample" option and the watched addresses in the display's order.
  bool IsRealTimeSample() const { return m_bRealTimeSample; }
  const std::vector<std::uint16_t>& GetAddresses() const { return m_addresses; }
  std::size_t GetPayloadLength() const { return m_nPayloadLength; }

  // One line for people: "t reply: window handle 0x0002A05C".
  std::string Describe() const;

 private:
  CIdeReply() = default;

  char m_cCommand = 0;
  std::size_t m_nPayloadLength = 0;
  std::uint32_t m_nWindowHandle = 0;
  bool m_bRealTimeSample = false;
  std::vector<std::uint16_t> m_addresses;
};
