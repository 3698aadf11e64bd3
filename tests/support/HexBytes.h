#pragma once
// Byte images as lowercase hex text, two digits a byte: the form in which the test fixtures
// (ide_peer, fake_display) and the suites driving them pass packets over pipes and log files.

#include <cstddef>
#include <span>
#include <string>

namespace hex_bytes {

inline std::string ToHex(std::span<const std::byte> bytes) {
  static const char kDigits[] = "0123456789abcdef";
  std::string text;
  text.reserve(2 * bytes.size());
  for (const std::byte b : bytes) {
    text += kDigits[std::to_integer<unsigned>(b) >> 4];
    text += kDigits[std::to_integer<unsigned>(b) & 15];
  }
  return text;
}

}  // namespace hex_bytes
